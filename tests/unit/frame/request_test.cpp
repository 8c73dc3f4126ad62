// Request reading helpers: content type, cookie user name, headers, query
// parameters and upload file names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "frame/cgic.h"
#include "frame/dispatchreq.h"
#include "frame/web_utils.h"

namespace {

void capture_with(const char* content_type, const char* cookie = "") {
  setenv("CONTENT_TYPE", content_type, 1);
  setenv("HTTP_COOKIE", cookie, 1);
  cgi_capture_environment();
}

TEST(ContentType, MediaTypeAndBoundaryWhereverItStands) {
  capture_with("multipart/form-data; charset=utf-8; boundary=----abc123");
  EXPECT_STREQ(cgiContentType, "multipart/form-data");
  EXPECT_STREQ(cgiMultipartBoundary, "----abc123");

  capture_with("multipart/form-data;BOUNDARY=xyz tail");
  EXPECT_STREQ(cgiMultipartBoundary, "xyz");

  capture_with("Application/JSON; charset=UTF-8");
  EXPECT_STREQ(cgiContentType, "Application/JSON");
  EXPECT_STREQ(cgiMultipartBoundary, "");

  unsetenv("CONTENT_TYPE");
  cgi_capture_environment();
  EXPECT_STREQ(cgiContentType, "");
}

TEST(ContentType, LongValueIsCutTo1023Characters) {
  std::string long_type(3000, 'a');
  capture_with(long_type.c_str());
  EXPECT_EQ(strlen(cgiContentType), 1023u);
}

TEST(CurrentUser, FoundAnywhereInTheCookie) {
  char user[64];
  capture_with("", "lang=en; userName=admin; sid=1");
  ASSERT_EQ(get_current_username(user), 0);
  EXPECT_STREQ(user, "admin");

  capture_with("", "lang=en;userName=operator");
  ASSERT_EQ(get_current_username(user), 0);
  EXPECT_STREQ(user, "operator");

  capture_with("", "lang=en");
  EXPECT_EQ(get_current_username(user), -1);
  EXPECT_EQ(get_current_username(nullptr), -1);

  capture_with("", "userName");  // nothing after the key
  ASSERT_EQ(get_current_username(user), 0);
  EXPECT_STREQ(user, "");

  std::string long_cookie = "userName=" + std::string(200, 'u');
  capture_with("", long_cookie.c_str());
  ASSERT_EQ(get_current_username(user, sizeof user), 0);
  EXPECT_EQ(strlen(user), 63u);
}

TEST(Strrpl, ReplacesEveryOccurrence) {
  char out[64];
  strrpl(out, "{%22a%22:%221+2%20%22}", "%22", "\"");
  EXPECT_STREQ(out, "{\"a\":\"1+2%20\"}");
}

TEST(QueryParam, ValueUpToTheNextAmpersand) {
  char buffer[8];
  EXPECT_EQ(cgi_get_query_param("a=1&param:xyz&b=2", "param:", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "xyz");
  EXPECT_EQ(cgi_get_query_param("reset=123456789", "reset=", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "1234567");
  EXPECT_EQ(cgi_get_query_param("a=1", "b=", buffer, sizeof buffer), -1);
  EXPECT_EQ(cgi_get_query_param("", "b=", buffer, sizeof buffer), -1);
  EXPECT_EQ(cgi_get_query_param("a=1", "", buffer, sizeof buffer), -1);
}

TEST(SanitizeFileName, DropsSeparatorsAndRefusesDotDot) {
  char out[16];
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, "a/b\\c\x01.wav"), 0);
  EXPECT_STREQ(out, "abc.wav");
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, "..evil"), -1);
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, ""), -1);
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, nullptr), -1);
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, "/\\/"), -1);
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, "0123456789abcdef"), -1);  // 16 >= size
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, "0123456789abcde"), 0);
}

void no_handler(char*) {}

// The frame knows raw-upload routes only from their rows' upload kinds.
TEST(RawUploadRoutes, FromTheRowsUploadKinds) {
  const Route rows[] = {{"/1010", no_handler, UploadKind::RawUnread},
                        {"/6082", no_handler, UploadKind::Raw},
                        {"/2079", no_handler, UploadKind::Raw},
                        {"/1019", no_handler, UploadKind::Temp},
                        {"/1008", no_handler, UploadKind::File}};
  ASSERT_EQ(RouteRegister(rows, 5), 0);
  EXPECT_TRUE(cgi_is_raw_upload_route("/1010"));
  EXPECT_TRUE(cgi_is_raw_upload_route("/6082"));
  EXPECT_TRUE(cgi_is_raw_upload_route("/2079"));
  EXPECT_FALSE(cgi_is_raw_upload_route("/1019"));
  EXPECT_FALSE(cgi_is_raw_upload_route("/1008"));
  EXPECT_FALSE(cgi_is_raw_upload_route("/9999"));
  EXPECT_FALSE(cgi_is_raw_upload_route(nullptr));
  RouteUnregister(rows, 5);
  EXPECT_FALSE(cgi_is_raw_upload_route("/1010"));
}

}  // namespace
