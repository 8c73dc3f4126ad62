// The built program as the web server runs it: routes, empty answers and
// upload temporaries.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

TEST(Frame, DownloadRouteAnswersPlainText) {
  DeviceRoot root;
  auto r = get(root, "/dw.cgi");
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, kTextHeader + "NG download");
}

TEST(Frame, UnknownRoutesAndMethodsAnswerTheirStatusAlone) {
  DeviceRoot root;
  EXPECT_EQ(get(root, "/9999").out, kNoRoute);
  EXPECT_EQ(get(root, "/DW.CGI").out, kNoRoute);
  EXPECT_EQ(get(root, "").out, kNoRoute);
  CgiRequest put;
  put.method = "PUT";
  put.path_info = "/dw.cgi";
  put.body = "x";
  EXPECT_EQ(run_cgi(root, put).out, kRefused);
  CgiRequest text;
  text.method = "POST";
  text.path_info = "/dw.cgi";
  text.content_type = "text/plain";
  text.body = "x";
  EXPECT_EQ(run_cgi(root, text).out, kRefused);
  EXPECT_EQ(post_json(root, "/dw.cgi", "{}").out, kTextHeader + "NG download");
}

TEST(Frame, UploadThatDoesNothingLeavesNoTemporaryFile) {
  DeviceRoot root;
  const std::string boundary = "b0undary";
  CgiRequest r;
  r.method = "POST";
  r.path_info = "/1019";
  r.content_type = "multipart/form-data; boundary=" + boundary;
  r.body = "--" + boundary +
           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"x.bin\"\r\n\r\n" +
           std::string(200000, 'z') + "\r\n--" + boundary + "--\r\n";
  auto result = run_cgi(root, r);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, kRefused);
  EXPECT_TRUE(root.list("/tmp").empty());
}

TEST(Frame, JsonBodyInAnyLetterCaseReachesItsHandler) {
  DeviceRoot root;
  CgiRequest login;
  login.method = "Post";
  login.path_info = "/1000";
  login.content_type = "Application/JSON; charset=UTF-8";
  login.body = R"({"userName":"nobody","md5":"00000000000000000000000000000000"})";
  // No such account: the login handler read the body and refused it.
  EXPECT_EQ(run_cgi(root, login).out, kTextHeader + R"({ "type": -1 })");
}

TEST(Frame, QueryQuotesAreDecodedForTheHandler) {
  DeviceRoot root;
  auto decoded = get(root, "/1015", "{%22lan%22:%22en-US%22}");
  EXPECT_EQ(decoded.out.rfind(kJsonHeader + "{ \"mainType\"", 0), 0u) << decoded.out;
  // Other escapes stay as they are: the text is no JSON object then.
  EXPECT_EQ(get(root, "/1015", "%7B%22lan%22:%22en-US%22%7D").out.find("mainType"),
            std::string::npos);
}

TEST(Frame, RouteTableOverflowIsNotHitByTheBuiltTables) {
  // The debug log stays free of the overflow line in an ordinary run.
  DeviceRoot root;
  get(root, "/dw.cgi");
  EXPECT_EQ(root.read_file("/mnt/nand/cgi_log.txt").find("WEBREQ exceeded"), std::string::npos);
}

}  // namespace
}  // namespace nvr::test
