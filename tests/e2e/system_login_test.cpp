// Log-in ("/1000") and log-in links ("/1018") run end to end against the
// simulated core daemon.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "frame/json.h"
#include "modules/system/system_handlers.h"
#include "modules/system/users_records.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string login_body(const std::string& name, const std::string& digest) {
  return R"({"userName":")" + name + R"(","md5":")" + digest + R"("})";
}

std::vector<std::string> keys_of(json_object* object) {
  std::vector<std::string> keys;
  json_object_object_foreach(object, key, value) {
    (void)value;
    keys.emplace_back(key);
  }
  return keys;
}

std::string session_id_at(time_t second) {
  char id[kSessionIdDigits + 1];
  make_session_id(id, second);
  return id;
}

UserInfo account(int32_t id, const char* name, const char* digest, int32_t type) {
  UserInfo user{};
  user.id = id;
  user.enable = 1;
  snprintf(user.name, sizeof user.name, "%s", name);
  snprintf(user.password, sizeof user.password, "%s", digest);
  user.type = type;
  return user;
}

constexpr const char* kOtherDigest = "0123456789abcdef0123456789abcdef";

class LoginTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(seed_default_accounts(db_of(root).c_str()), 1); }
  DeviceRoot root;
};

TEST_F(LoginTest, DigestInAnyCaseLogsInWithAnswerLogAndFolders) {
  CoreSim sim(root);
  EXPECT_EQ(add_param_value(db_of(root).c_str(), "failover_mode", "3"), 0);
  EXPECT_EQ(add_param_value(db_of(root).c_str(), "same_channel_exist", "2"), 0);
  EXPECT_EQ(add_param_value(db_of(root).c_str(), "model", "NV-16"), 0);

  const time_t before = time(nullptr);
  CgiRequest request;
  request.method = "POST";
  request.path_info = "/1000";
  request.content_type = "application/json";
  request.body = login_body("admin", upper(kDefaultAdminDigest));
  request.remote_addr = "10.1.2.3";
  const CgiResult result = run_cgi(root, request);
  const time_t after = time(nullptr);

  ASSERT_EQ(result.out.rfind(kTextHeader, 0), 0u) << result.out;
  Json answer = json_parse(result.out.substr(kTextHeader.size()));
  ASSERT_TRUE(answer);
  std::vector<std::string> expected = {"type", "userName", "permission"};
  expected.insert(expected.end(), std::begin(kLocalFlagKeys), std::end(kLocalFlagKeys));
  expected.insert(expected.end(), {"localliveview", "localplayback", "remotePermisson"});
  expected.insert(expected.end(), std::begin(kRemoteFlagKeys), std::end(kRemoteFlagKeys));
  expected.insert(expected.end(), {"remoteliveview", "remoteplayback", "sessionId", "failoverMode",
                                   "sameChannel", "hardwareVersion", "softwareVersion", "model"});
  EXPECT_EQ(keys_of(answer.get()), expected);

  json_object* a = answer.get();
  EXPECT_EQ(json_int_or(a, "type", -9), 0);
  EXPECT_STREQ(json_string(a, "userName"), "admin");
  EXPECT_EQ(json_int_or(a, "permission"), -1);
  EXPECT_EQ(json_int_or(a, "remotePermisson"), -1);
  EXPECT_EQ(json_int_or(a, "localShutdown"), 1);
  EXPECT_EQ(std::string(json_string(a, "remoteplayback")), std::string(64, '1'));
  const std::string session = json_string(a, "sessionId");
  EXPECT_TRUE(session == session_id_at(before) || session == session_id_at(after)) << session;
  EXPECT_EQ(json_int_or(a, "failoverMode", -9), 3);
  EXPECT_EQ(json_int_or(a, "sameChannel", -9), 1);
  EXPECT_STREQ(json_string(a, "hardwareVersion"), "V1.1");
  EXPECT_STREQ(json_string(a, "softwareVersion"), "7x.7.0.9");
  EXPECT_STREQ(json_string(a, "model"), "NV-16");

  // The cookie holds no user yet: the record names the user of the request.
  const QvLogInfo record = expect_one_log(sim, 201, 900);
  EXPECT_STREQ(record.ip, "10.1.2.3");
  EXPECT_STREQ(record.user, "admin");

  EXPECT_TRUE(root.exists("/mnt/nand/ssl"));
  EXPECT_TRUE(root.exists("/mnt/nand/ssl/tmp"));
}

TEST_F(LoginTest, RefusalsAnswerOnlyTheTypeAndLogNothing) {
  CoreSim sim(root);
  const std::string db = db_of(root);
  UserInfo viewer = account(1, "viewer", kOtherDigest, kUserTypeNoLogin);
  ASSERT_EQ(write_user(db.c_str(), &viewer), 0);

  struct Case {
    std::string body;
    std::string answer;
  } cases[] = {
      {login_body("viewer", kOtherDigest), R"({ "type": -2 })"},         // right digest
      {login_body("viewer", kDefaultAdminDigest), R"({ "type": -2 })"},  // wrong digest
      {R"({"userName":"viewer"})", R"({ "type": -2 })"},                 // no digest
      {login_body("nobody", kDefaultAdminDigest), R"({ "type": -1 })"},  // unknown user
      {login_body("admin", kOtherDigest), R"({ "type": -1 })"},          // wrong digest
      {login_body("admin", ""), R"({ "type": -1 })"},
      {login_body("ADMIN", kDefaultAdminDigest), R"({ "type": -1 })"},  // names keep case
      {"{}", R"({ "type": -1 })"},
  };
  for (const Case& c : cases) {
    const CgiResult result = post_json(root, "/1000", c.body);
    EXPECT_EQ(result.out, kTextHeader + c.answer) << c.body;
  }
  EXPECT_TRUE(sim.messages(kReqOperationLog).empty());
}

TEST_F(LoginTest, FreeSlotNeverLogsInWithEmptyTexts) {
  // A deleted account leaves a zeroed row: empty name, empty digest.
  CoreSim sim(root);
  UserInfo freed{};
  freed.id = 7;
  ASSERT_EQ(write_user(db_of(root).c_str(), &freed), 0);
  EXPECT_EQ(post_json(root, "/1000", login_body("", "")).out, kTextHeader + R"({ "type": -1 })");
}

TEST_F(LoginTest, NotJsonGetsNoAnswer) {
  EXPECT_EQ(post_json(root, "/1000", "userName=admin").out, kRefused);
  EXPECT_FALSE(root.exists("/mnt/nand/ssl/tmp"));
}

TEST_F(LoginTest, LoginsWithinOneSecondShareTheSessionId) {
  CoreSim sim(root);
  const std::string body = login_body("admin", kDefaultAdminDigest);
  // Retried when the pair happens to straddle a second.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const time_t before = time(nullptr);
    const CgiResult first = post_json(root, "/1000", body);
    const CgiResult second = post_json(root, "/1000", body);
    if (time(nullptr) != before) continue;
    Json a = json_parse(first.out.substr(kTextHeader.size()));
    Json b = json_parse(second.out.substr(kTextHeader.size()));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(std::string(json_string(a.get(), "sessionId")), session_id_at(before));
    EXPECT_EQ(std::string(json_string(b.get(), "sessionId")), session_id_at(before));
    return;
  }
  GTEST_SKIP() << "every pair of logins straddled a second";
}

// ---- "/1018" ------------------------------------------------------------------------

CgiResult open_link(const DeviceRoot& root, const std::string& token, const std::string& host,
                    const char* time_scale = nullptr) {
  CgiRequest request;
  request.path_info = "/1018";
  request.query = token;
  request.host = host;
  if (time_scale) request.env["NVR_TIME_SCALE"] = time_scale;
  return run_cgi(root, request);
}

TEST(LoginLinkTest, KnownTokenSetsGuestCookiesForTheHostWithoutPort) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/var/lib/nvr-cored/link_tokens", "other\nT0k3n\n");

  const time_t before = time(nullptr);
  const CgiResult result = open_link(root, "T0k3n", "192.168.1.20:8080");
  const time_t after = time(nullptr);

  auto expected_at = [](time_t now) {
    const time_t expires = now + 600;
    struct tm gmt;
    gmtime_r(&expires, &gmt);
    char date[64];
    strftime(date, sizeof date, "%a, %d-%b-%Y %H:%M:%S GMT", &gmt);
    // The status line first: some web servers only look for it there.
    std::string out = "Status: 302 Found\r\n";
    for (auto [name, value] : {std::pair{"userName", "temp"},
                               {"userType", "2"},
                               {"permission", "0"},
                               {"sessionId", "0"},
                               {"language", "en-US"}})
      out += std::string("Set-Cookie: ") + name + "=" + value +
             "; domain=192.168.1.20; expires=" + date + "; path=/\r\n";
    return out + "Location: ../../html/index.html\r\n\r\n";
  };
  EXPECT_TRUE(result.out == expected_at(before) || result.out == expected_at(after)) << result.out;

  const auto sent = sim.messages(3504);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, 0u);
  std::string payload(256, '\0');
  payload.replace(0, 5, "T0k3n");
  EXPECT_EQ(sent[0].payload, payload);
}

TEST(LoginLinkTest, RefusedTokenOrStatuslessReplyGoesHome) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string home = "Status: 302 Found\r\nLocation: ../../html/home.html\r\n\r\n";
  EXPECT_EQ(open_link(root, "unknown", "nvr.local").out, home);
  EXPECT_EQ(open_link(root, "", "nvr.local").out, home);
  sim.reply(3504, 8504, "");
  EXPECT_EQ(open_link(root, "unknown", "nvr.local").out, home);
  sim.clear(3504).reply(3504, 8504, CoreSim::bytes<int32_t>(0));
  EXPECT_NE(open_link(root, "any", "nvr.local").out.find("domain=nvr.local;"), std::string::npos);
  // A Host header cannot add attributes to the cookies.
  const std::string out = open_link(root, "any", "nvr.local;secure=0; path=/x:80").out;
  EXPECT_NE(out.find("domain=nvr.local; expires="), std::string::npos) << out;
  EXPECT_EQ(out.find("secure"), std::string::npos) << out;
}

TEST(LoginLinkTest, NoDaemonAnswersCgiError) {
  DeviceRoot root;
  EXPECT_EQ(open_link(root, "T0k3n", "nvr.local", "0.001").out, kTextHeader + "CGI ERROR");
}

TEST(LoginLinkTest, LongTokenIsCutTo255Characters) {
  DeviceRoot root;
  CoreSim sim(root);
  open_link(root, std::string(300, 'a'), "nvr.local");
  const auto sent = sim.messages(3504);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].payload, std::string(255, 'a') + '\0');
}

}  // namespace
}  // namespace nvr::test
