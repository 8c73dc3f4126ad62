// Server-side sessions and permissions ("server_auth" 1) end to end: what a
// route answers without a session, with a forged, expired or orphaned one,
// without the permission or the channel, after log-out, at the log-in limit,
// and many runs sharing one session at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "frame/json.h"
#include "frame/session.h"
#include "modules/system/users_records.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kUnauthorized = "Status: 401 Unauthorized\r\n\r\n";
const std::string kForbidden = "Status: 403 Forbidden\r\n\r\n";
constexpr const char* kViewerDigest = "0123456789abcdef0123456789abcdef";
constexpr const char* kRemote = "192.0.2.7";

std::string login_body(const std::string& name, const std::string& digest) {
  return R"({"userName":")" + name + R"(","md5":")" + digest + R"("})";
}

// A viewer: live view everywhere, settings only at the device itself;
// live view of channels 0 and 2 from other hosts.
UserInfo viewer_account() {
  UserInfo user{};
  user.id = 1;
  user.enable = 1;
  strcpy(user.name, "viewer");
  strcpy(user.password, kViewerDigest);
  user.type = 2;
  user.local_flags[0] = user.remote_flags[0] = 1;  // live view
  user.local_flags[7] = 1;                         // settings, loopback only
  user.remote_flags[2] = 1;                        // retrieve, of channel 1 only
  strcpy(user.remoteplayback, "01");
  memset(user.localliveview, '1', 64);
  strcpy(user.remoteliveview, "1010");
  derive_user_channel_masks(&user);
  return user;
}

class AuthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string db = db_of(root);
    ASSERT_EQ(seed_default_accounts(db.c_str()), 1);
    ASSERT_EQ(set_param_int(db.c_str(), "server_auth", 1), 0);
    UserInfo viewer = viewer_account();
    ASSERT_EQ(write_user(db.c_str(), &viewer), 0);
  }

  CgiResult run(CgiRequest request, const std::string& session, const std::string& address,
                int64_t clock_offset = 0) {
    if (!session.empty()) request.cookie = "language=en-US; sessionId=" + session + "; x=1";
    request.remote_addr = address;
    request.env["NVR_TIME_SCALE"] = kFastScale;
    if (clock_offset) request.env["NVR_CLOCK_OFFSET"] = std::to_string(clock_offset);
    return run_cgi(root, request);
  }
  CgiResult get_as(const std::string& route, const std::string& query, const std::string& session,
                   const std::string& address = "127.0.0.1", int64_t clock_offset = 0) {
    CgiRequest request;
    request.path_info = route;
    request.query = query;
    return run(request, session, address, clock_offset);
  }
  CgiResult post_as(const std::string& route, const std::string& body, const std::string& session,
                    const std::string& address = "127.0.0.1") {
    return run(json_post(route, body), session, address);
  }

  // Logs in; the session id of the answer (empty when refused), which the
  // answer's cookie line also carries.
  std::string log_in(const std::string& name, const std::string& digest,
                     const std::string& address = "127.0.0.1", int64_t clock_offset = 0) {
    CgiRequest request = json_post("/1000", login_body(name, digest));
    const CgiResult result = run(request, "", address, clock_offset);
    const size_t body = result.out.find("\r\n\r\n");
    if (body == std::string::npos) return "";
    Json answer = json_parse(result.out.substr(body + 4));
    const char* id = answer ? json_string(answer.get(), "sessionId") : nullptr;
    if (!id) return "";
    EXPECT_NE(result.out.find("Set-Cookie: sessionId=" + std::string(id) + "; path=/; HttpOnly"),
              std::string::npos)
        << result.out;
    return id;
  }

  bool user_list_answered(const CgiResult& result) {
    return result.out.rfind(kJsonHeader, 0) == 0 &&
           result.out.find("\"name\": \"admin\"") != std::string::npos;
  }

  DeviceRoot root;
};

TEST_F(AuthTest, WithoutAValidSessionRoutesAnswer401AndTheLoginRoutesStillRun) {
  CoreSim sim(root);
  const std::string admin = log_in("admin", kDefaultAdminDigest);
  ASSERT_EQ(admin.size(), 32u);
  EXPECT_EQ(admin.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_NE(log_in("admin", kDefaultAdminDigest), admin);  // drawn afresh, not from the time

  std::string forged = admin;
  forged[31] = forged[31] == '9' ? '0' : static_cast<char>(forged[31] + 1);
  for (const std::string& session :
       {std::string(), forged, std::string("0"), admin + "0", std::string("' OR 1=1 --")}) {
    EXPECT_EQ(get_as("/6070", "", session).out, kUnauthorized) << session;
    EXPECT_EQ(get_as("/7040", "", session).out, kUnauthorized) << session;
  }
  // The id is bound to the address it was opened from.
  EXPECT_EQ(get_as("/6070", "", admin, kRemote).out, kUnauthorized);
  EXPECT_TRUE(user_list_answered(get_as("/6070", "", admin)));
  EXPECT_NE(root.read_file("/mnt/nand/cgi_log.txt").find("refused (401 Unauthorized)"),
            std::string::npos);

  // An upload without a session is refused before its body is taken apart:
  // no temporary file is made, and the body is still read to its end.
  const std::vector<std::string> tmp_before = root.list("/tmp");
  const CgiResult upload =
      run(file_post("/6321", "alarm.wav", std::string(4096, 'a')), "", kRemote);
  EXPECT_EQ(upload.out, kUnauthorized);
  EXPECT_TRUE(upload.stdin_fully_read);
  EXPECT_EQ(root.list("/tmp"), tmp_before);

  // Unknown routes stay unknown; the log-in page's language texts need nothing.
  EXPECT_EQ(get_as("/9999", "", "").out, kNoRoute);
  EXPECT_NE(get_as("/json", "", "").out, kUnauthorized);
}

TEST_F(AuthTest, SessionsSlideWithUseAndEndAfterIdleOrTwelveHours) {
  const std::string idle = log_in("admin", kDefaultAdminDigest);
  EXPECT_TRUE(user_list_answered(get_as("/6070", "", idle, "127.0.0.1", 1700)));
  EXPECT_TRUE(user_list_answered(get_as("/6070", "", idle, "127.0.0.1", 3400)));
  EXPECT_EQ(get_as("/6070", "", idle, "127.0.0.1", 3400 + 1800).out, kUnauthorized);
  // Met expired, it is removed: an earlier clock does not bring it back.
  EXPECT_EQ(get_as("/6070", "", idle, "127.0.0.1", 3400).out, kUnauthorized);

  const std::string busy = log_in("admin", kDefaultAdminDigest);
  int64_t offset = 0;
  for (; offset + 1700 < auth::kSessionMaxSeconds; offset += 1700)
    ASSERT_TRUE(user_list_answered(get_as("/6070", "", busy, "127.0.0.1", offset))) << offset;
  EXPECT_EQ(get_as("/6070", "", busy, "127.0.0.1", auth::kSessionMaxSeconds).out, kUnauthorized);
}

TEST_F(AuthTest, ChangingOrDeletingAnAccountEndsItsSessions) {
  CoreSim sim(root);
  const std::string admin = log_in("admin", kDefaultAdminDigest);
  const std::string viewer = log_in("viewer", kViewerDigest);
  const std::string viewer2 = log_in("viewer", kViewerDigest);
  ASSERT_FALSE(viewer.empty());
  EXPECT_EQ(get_as("/4015", "0", viewer).out, kTextHeader + "OK");

  EXPECT_EQ(
      post_as("/6072", R"({"id":1,"password":"00000000000000000000000000000000"})", admin).out,
      kTextHeader + "OK");
  EXPECT_EQ(get_as("/4015", "0", viewer).out, kUnauthorized);
  EXPECT_EQ(get_as("/4015", "0", viewer2).out, kUnauthorized);
  EXPECT_TRUE(user_list_answered(get_as("/6070", "", admin)));  // other accounts keep theirs

  const std::string again = log_in("viewer", "00000000000000000000000000000000");
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(post_as("/6073", R"({"id":1,"type":2})", admin).out, kTextHeader + "OK");
  EXPECT_EQ(get_as("/4015", "0", again).out, kUnauthorized);

  // An account removed behind the program's back (a restored configuration)
  // takes its sessions with it too.
  const std::string second_admin = log_in("admin", kDefaultAdminDigest);
  UserInfo freed{};
  ASSERT_EQ(write_user(db_of(root).c_str(), &freed), 0);  // id 0 is free now
  EXPECT_EQ(get_as("/6070", "", second_admin).out, kUnauthorized);
}

TEST_F(AuthTest, PermissionFlagsAndChannelSelectionsDecide) {
  CoreSim sim(root);
  const std::string local = log_in("viewer", kViewerDigest);
  const std::string remote = log_in("viewer", kViewerDigest, kRemote);
  ASSERT_FALSE(local.empty());
  ASSERT_FALSE(remote.empty());

  // Accounts are for administrators only, wherever the viewer is.
  EXPECT_EQ(get_as("/6070", "", local).out, kForbidden);
  EXPECT_EQ(get_as("/6070", "", remote, kRemote).out, kForbidden);
  EXPECT_EQ(post_as("/6071", R"({"name":"x","type":0,"permission":-1,"remotePermission":-1})",
                    remote, kRemote)
                .out,
            kForbidden);
  EXPECT_EQ(get_as("/1004", "", local).out, kForbidden);  // no shutdown flag
  // Settings: the local flag at the device, the remote one elsewhere.
  EXPECT_EQ(get_as("/7040", "", remote, kRemote).out, kForbidden);
  EXPECT_NE(get_as("/7040", "", local).out, kForbidden);
  // Routes that need only a session.
  EXPECT_NE(get_as("/1009", "", remote, kRemote).out, kForbidden);

  // Channels: remote live view of "1010" holds channels 0 and 2 only.
  struct Case {
    const char* route;
    const char* query;
    bool allowed;
  } cases[] = {
      {"/4015", "0", true},
      {"/4015", "1", false},
      {"/4015", "2", true},
      {"/4015", "3", false},
      {"/4015", "64", false},
      {"/4015", "-1", false},
      {"/4016", "1", false},
      {"/4024", "2", true},
      {"/3000", R"({"chnid":1})", false},
      {"/3000", R"({"chnid":"3"})", false},
  };
  for (const Case& c : cases) {
    const CgiResult result = get_as(c.route, c.query, remote, kRemote);
    EXPECT_EQ(result.out != kForbidden, c.allowed) << c.route << " " << c.query << result.out;
  }
  EXPECT_EQ(post_as("/4010", R"({"id":3,"streamType":0,"streamFrom":0})", remote, kRemote).out,
            kForbidden);
  EXPECT_TRUE(sim.messages(3500).empty());
  // A download is checked against the playback selection.
  EXPECT_EQ(
      post_as("/4013", R"({"id":0,"streamType":0,"startTime":"a","endTime":"b"})", remote, kRemote)
          .out,
      kForbidden);
  EXPECT_EQ(post_as("/4000", R"({"channelId":1})", remote, kRemote).out, kForbidden);  // no flag
  // At the device every channel is selected; an administrator needs no selection.
  EXPECT_EQ(get_as("/4015", "3", local).out, kTextHeader + "OK");
  const std::string admin = log_in("admin", kDefaultAdminDigest, kRemote);
  EXPECT_EQ(get_as("/4015", "3", admin, kRemote).out, kTextHeader + "OK");
  EXPECT_NE(root.read_file("/mnt/nand/cgi_log.txt").find("channel 3 is not in the live view"),
            std::string::npos);
}

TEST_F(AuthTest, LogOutEndsTheSessionAndLogsTheSessionsUser) {
  CoreSim sim(root);
  const std::string viewer = log_in("viewer", kViewerDigest);
  sim.clear_messages();
  // The cookie's user name is not believed: the log names the session's user.
  CgiRequest logout;
  logout.path_info = "/1014";
  logout.env["NVR_TIME_SCALE"] = kFastScale;
  logout.cookie = "userName=admin; sessionId=" + viewer;
  EXPECT_EQ(run_cgi(root, logout).out, kTextHeader + "OK");
  const QvLogInfo record = expect_one_log(sim, 202, 900);
  EXPECT_STREQ(record.user, "viewer");
  EXPECT_EQ(get_as("/4015", "0", viewer).out, kUnauthorized);
  EXPECT_EQ(run_cgi(root, logout).out, kUnauthorized);
}

TEST_F(AuthTest, FiveFailedLoginsRefuseTheAddressForFiveMinutes) {
  CoreSim sim(root);
  const std::string attacker = "198.51.100.9";
  for (int i = 0; i < auth::kLoginFailureLimit; ++i) {
    // Unknown names and wrong digests count alike.
    const std::string name = i % 2 ? "nobody" : "admin";
    const CgiResult result = run(json_post("/1000", login_body(name, kViewerDigest)), "", attacker);
    EXPECT_EQ(result.out, kTextHeader + R"({ "type": -1 })");
  }
  // Refused now even with the right digest, and answered as a wrong one.
  const CgiResult blocked =
      run(json_post("/1000", login_body("admin", kDefaultAdminDigest)), "", attacker);
  EXPECT_EQ(blocked.out, kTextHeader + R"({ "type": -1 })");
  EXPECT_EQ(log_in("admin", kDefaultAdminDigest, attacker, 290), "");
  // Other addresses log in; the refused one again after five minutes.
  EXPECT_FALSE(log_in("admin", kDefaultAdminDigest, kRemote).empty());
  EXPECT_FALSE(log_in("admin", kDefaultAdminDigest, attacker, 301).empty());

  // Failures spread wider than five minutes never add up to a refusal.
  const std::string slow = "198.51.100.10";
  for (int i = 0; i < 8; ++i) log_in("admin", kViewerDigest, slow, static_cast<int64_t>(i) * 100);
  EXPECT_FALSE(log_in("admin", kDefaultAdminDigest, slow, 800).empty());
}

TEST_F(AuthTest, AFailedLoginCostsTheSameForAnUnknownName) {
  auto cost = [&](const std::string& name) {
    CgiRequest request = json_post("/1000", login_body(name, kViewerDigest));
    request.remote_addr = "203.0.113." + std::to_string(name.size());
    request.env["NVR_TIME_SCALE"] = "0.2";  // 200 ms per refused log-in
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_cgi(root, request).out, kTextHeader + R"({ "type": -1 })");
    return std::chrono::steady_clock::now() - start;
  };
  EXPECT_GE(cost("admin"), std::chrono::milliseconds(200));
  EXPECT_GE(cost("nobody-at-all"), std::chrono::milliseconds(200));
}

TEST_F(AuthTest, ManyConcurrentRunsShareOneSession) {
  const std::string admin = log_in("admin", kDefaultAdminDigest);
  ASSERT_FALSE(admin.empty());
  constexpr int kThreads = 8;
  constexpr int kRunsEach = 4;
  std::vector<int> answered(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRunsEach; ++i)
        if (user_list_answered(get_as("/6070", "", admin))) ++answered[t];
    });
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(answered[t], kRunsEach) << t;
  EXPECT_TRUE(user_list_answered(get_as("/6070", "", admin, "127.0.0.1", 1799)));
}

TEST_F(AuthTest, LinkLoginOpensAGuestSessionWithoutPermissions) {
  CoreSim sim(root);
  root.write_file("/var/lib/nvr-cored/link_tokens", "T0k3n\n");
  CgiRequest link;
  link.path_info = "/1018";
  link.query = "T0k3n";
  const CgiResult result = run(link, "", kRemote);
  const size_t at = result.out.find("Set-Cookie: sessionId=");
  ASSERT_NE(at, std::string::npos) << result.out;
  const std::string guest = result.out.substr(at + 22, 32);
  EXPECT_EQ(guest.find_first_not_of("0123456789"), std::string::npos) << guest;
  EXPECT_NE(get_as("/1009", "", guest, kRemote).out, kUnauthorized);
  EXPECT_EQ(get_as("/4015", "0", guest, kRemote).out, kForbidden);
  EXPECT_EQ(get_as("/6070", "", guest, kRemote).out, kForbidden);
}

TEST(AuthSwitchOff, EveryRouteRunsWithoutASessionAsBefore) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(seed_default_accounts(db_of(root).c_str()), 1);
  const CgiResult list = get(root, "/6070");
  EXPECT_EQ(list.out.rfind(kJsonHeader, 0), 0u) << list.out;
  const CgiResult login = post_json(root, "/1000", login_body("admin", kDefaultAdminDigest));
  EXPECT_EQ(login.out.find("Set-Cookie"), std::string::npos);
  EXPECT_FALSE(root.exists("/tmp/web_sessions.db"));
}

}  // namespace
}  // namespace nvr::test
