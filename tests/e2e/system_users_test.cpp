// Account routes ("/6070" to "/6077", "/1024") end to end: answers, what is
// stored, and what the core daemon is told.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "frame/json.h"
#include "modules/system/users_records.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

constexpr const char* kCookie = "language=en-US; userName=boss";
constexpr const char* kDigest = "0123456789abcdef0123456789abcdef";

UserInfo stored_user(const DeviceRoot& root, int32_t id) {
  UserInfo user{};
  read_user(db_of(root).c_str(), &user, id);
  return user;
}

UserInfo account(int32_t id, const std::string& name) {
  UserInfo user{};
  user.id = id;
  user.enable = 1;
  snprintf(user.name, sizeof user.name, "%s", name.c_str());
  snprintf(user.password, sizeof user.password, "%s", kDigest);
  user.type = 1;
  return user;
}

std::string new_user(const std::string& name, const std::string& extra = "") {
  return R"({"name":")" + name + R"(","password":")" + kDigest +
         R"(","type":2,"permission":7,"remotePermission":-1,)"
         R"("localliveview":"1010","localplayback":"01","remoteliveview":"","remoteplayback":"1")" +
         extra + "}";
}

CgiResult post(const DeviceRoot& root, const std::string& route, const std::string& body,
               const char* time_scale = nullptr) {
  CgiRequest request = json_post(route, body, false, kCookie);
  if (time_scale) request.env["NVR_TIME_SCALE"] = time_scale;
  return run_cgi(root, request);
}


void expect_users_changed(CoreSim& sim, const std::string& payload) {
  const auto sent = sim.messages(3505);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  EXPECT_EQ(sent[0].payload, payload);
}

void expect_users_log(CoreSim& sim, int32_t param_type) {
  const QvLogInfo record = expect_one_log(sim, 204, param_type);
  EXPECT_STREQ(record.user, "boss");
  EXPECT_STREQ(record.ip, "127.0.0.1");
}

class UsersTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(seed_default_accounts(db_of(root).c_str()), 1); }
  DeviceRoot root;
};

TEST_F(UsersTest, AddStoresTheAccountAnnouncesAndLogs) {
  CoreSim sim(root);
  const CgiResult result =
      post(root, "/6071", new_user("alice", R"(,"localCamera":1,"remoteShutdown":1)"));
  EXPECT_EQ(result.out, kTextHeader + "id=1");

  const UserInfo alice = stored_user(root, 1);
  EXPECT_EQ(alice.enable, 1);
  EXPECT_STREQ(alice.name, "alice");
  EXPECT_STREQ(alice.password, kDigest);
  EXPECT_EQ(alice.type, 2);
  EXPECT_EQ(alice.permission, 7);
  EXPECT_EQ(alice.remote_permission, -1);
  EXPECT_STREQ(alice.localliveview, "1010");
  EXPECT_EQ(alice.localliveview_mask, 0b101u);  // bits 0 and 2
  EXPECT_EQ(alice.localplayback_mask, 0b10u);
  EXPECT_EQ(alice.remoteliveview_mask, 0u);
  EXPECT_EQ(alice.remoteplayback_mask, 1u);
  EXPECT_STREQ(alice.reserved, "0");
  EXPECT_EQ(alice.local_flags[5], 1);  // localCamera
  EXPECT_EQ(alice.local_flags[0], 0);
  EXPECT_EQ(alice.remote_flags[9], 1);  // remoteShutdown

  expect_users_changed(sim, "");
  expect_users_log(sim, 921);
}

TEST_F(UsersTest, AddRefusesSameNameAndBadSummaries) {
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/6071", new_user("admin")).out, kTextHeader + "SAMEUSER");

  struct Case {
    const char* body;
    const char* answer;
  } cases[] = {
      {R"({"name":"a","type":1,"permission":0,"remotePermission":-2})", ""},
      {R"({"name":"a","type":1,"permission":-2,"remotePermission":0})", ""},
      {R"({"name":"a","type":4,"permission":0,"remotePermission":0})", ""},
      {R"({"name":"a","permission":0,"remotePermission":0})", ""},
      {R"({"name":"a","type":1,"permission":0})", ""},
      {R"({"name":"a","type":"1","permission":0,"remotePermission":0})", ""},
      {R"({"name":"","type":1,"permission":0,"remotePermission":0})", ""},
      {"not json", ""},
      {R"({"name":"a","type":3,"permission":0,"remotePermission":-1})", "id=1"},
      {R"({"name":"b","type":0,"permission":123,"remotePermission":0})", "id=2"},
  };
  for (const Case& c : cases) {
    const std::string expected = *c.answer ? kTextHeader + c.answer : "";
    EXPECT_EQ(post(root, "/6071", c.body).out, expected) << c.body;
  }
  EXPECT_EQ(sim.messages(3505).size(), 2u);
  EXPECT_EQ(sim.messages(kReqOperationLog).size(), 2u);
}

TEST_F(UsersTest, AddTakesTheLowestFreeSlotAndRefusesWhenFull) {
  const std::string db = db_of(root);
  std::vector<UserInfo> users;
  for (int32_t id = 1; id < kMaxUsers; ++id) users.push_back(account(id, "u" + std::to_string(id)));
  users[41].enable = 0;  // id 42 is a free slot
  for (const UserInfo& user : users) ASSERT_EQ(write_user(db.c_str(), &user), 0);

  CoreSim sim(root);
  EXPECT_EQ(post(root, "/6071", new_user("late")).out, kTextHeader + "id=42");
  // 100 accounts: full, whatever the request holds.
  EXPECT_EQ(post(root, "/6071", new_user("later")).out, kTextHeader + "FAILED_FULL");
  EXPECT_EQ(post(root, "/6071", "garbage").out, kTextHeader + "FAILED_FULL");
  EXPECT_EQ(read_user_count(db.c_str()), 100);
}

TEST_F(UsersTest, ListShowsAccountsInUseInKeyOrder) {
  const std::string db = db_of(root);
  UserInfo bob = account(3, "bob");
  bob.remote_permission = 5;
  strcpy(bob.remoteliveview, "11");
  UserInfo freed{};
  freed.id = 2;
  ASSERT_EQ(write_user(db.c_str(), &bob), 0);
  ASSERT_EQ(write_user(db.c_str(), &freed), 0);

  const CgiResult result = get(root, "/6070");
  ASSERT_EQ(result.out.rfind(kJsonHeader, 0), 0u);
  Json list = json_parse(result.out.substr(kJsonHeader.size()));
  ASSERT_EQ(json_array_size(list.get()), 2u);
  json_object* first = json_at(list.get(), 0);
  json_object* second = json_at(list.get(), 1);
  EXPECT_STREQ(json_string(first, "name"), "admin");
  EXPECT_STREQ(json_string(first, "password"), kDefaultAdminDigest);
  EXPECT_EQ(json_int_or(second, "id"), 3);
  EXPECT_EQ(json_int_or(second, "remotePermission"), 5);
  EXPECT_STREQ(json_string(second, "remoteliveview"), "11");

  std::vector<std::string> keys;
  json_object_object_foreach(second, key, value) {
    (void)value;
    keys.emplace_back(key);
  }
  std::vector<std::string> expected = {"id", "enable", "name", "password", "type", "permission"};
  expected.insert(expected.end(), std::begin(kLocalFlagKeys), std::end(kLocalFlagKeys));
  expected.insert(expected.end(), {"localliveview", "localplayback", "remotePermission"});
  expected.insert(expected.end(), std::begin(kRemoteFlagKeys), std::end(kRemoteFlagKeys));
  expected.insert(expected.end(), {"remoteliveview", "remoteplayback"});
  EXPECT_EQ(keys, expected);
}

TEST_F(UsersTest, ChangeTouchesOnlyTheGivenKeys) {
  CoreSim sim(root);
  const std::string db = db_of(root);
  UserInfo bob = account(4, "bob");
  bob.permission = 9;
  strcpy(bob.localliveview, "1");
  bob.localliveview_mask = 1;
  ASSERT_EQ(write_user(db.c_str(), &bob), 0);

  EXPECT_EQ(post(root, "/6072",
                 R"({"id":4,"name":"bob","type":2,"localLiveView":1,)"
                 R"("localliveview":"0011","permission":1})")
                .out,
            kTextHeader + "OK");
  const UserInfo changed = stored_user(root, 4);
  EXPECT_STREQ(changed.name, "bob");  // its own name
  EXPECT_STREQ(changed.password, kDigest);
  EXPECT_EQ(changed.type, 2);
  EXPECT_EQ(changed.local_flags[0], 1);
  EXPECT_EQ(changed.permission, 9);  // summaries are not changed here
  EXPECT_STREQ(changed.localliveview, "0011");
  EXPECT_EQ(changed.localliveview_mask, 0b1100u);
  expect_users_changed(sim, CoreSim::bytes<int32_t>(4));
  EXPECT_TRUE(sim.messages(kReqOperationLog).empty());

  EXPECT_EQ(post(root, "/6072", R"({"id":4,"name":"admin"})").out, kTextHeader + "SAMEUSER");
  EXPECT_STREQ(stored_user(root, 4).name, "bob");
  EXPECT_EQ(post(root, "/6072", R"({"id":0,"name":"root"})").out, kTextHeader + "OK");
  EXPECT_STREQ(stored_user(root, 0).name, "root");
  EXPECT_STREQ(stored_user(root, 0).password, kDefaultAdminDigest);
}

TEST_F(UsersTest, ChangeOfAFreeIdCreatesTheAccountAndBadIdsGetNothing) {
  CoreSim sim(root);
  EXPECT_EQ(
      post(root, "/6072", R"({"id":9,"name":"new","password":")" + std::string(kDigest) + "\"}")
          .out,
      kTextHeader + "OK");
  const UserInfo created = stored_user(root, 9);
  EXPECT_EQ(created.id, 9);
  EXPECT_EQ(created.enable, 1);
  EXPECT_STREQ(created.name, "new");

  for (const char* body : {R"({"id":100,"name":"x"})", R"({"id":-1})", R"({"name":"x"})", "[1"})
    EXPECT_EQ(post(root, "/6072", body).out, "") << body;
  EXPECT_EQ(sim.messages(3505).size(), 1u);
}

TEST_F(UsersTest, DeleteFreesTheSlot) {
  CoreSim sim(root);
  const std::string db = db_of(root);
  UserInfo bob = account(5, "bob");
  ASSERT_EQ(write_user(db.c_str(), &bob), 0);

  for (const char* body : {R"({"id":100,"type":1})", R"({"id":5,"type":4})",
                           R"({"id":-1,"type":1})", R"({"type":1})", R"({"id":5})"})
    EXPECT_EQ(post(root, "/6073", body).out, "") << body;
  EXPECT_TRUE(sim.messages().empty());
  EXPECT_EQ(stored_user(root, 5).enable, 1);

  EXPECT_EQ(post(root, "/6073", R"({"id":5,"type":1})").out, kTextHeader + "OK");
  const UserInfo freed = stored_user(root, 5);
  EXPECT_EQ(freed.id, 5);
  EXPECT_EQ(freed.enable, 0);
  EXPECT_STREQ(freed.name, "");
  expect_users_changed(sim, CoreSim::bytes<int32_t>(5));
  expect_users_log(sim, 922);

  // The freed name can be taken again; the slot is reused.
  sim.clear_messages();
  EXPECT_EQ(post(root, "/6071", new_user("bob")).out, kTextHeader + "id=1");
  EXPECT_EQ(post(root, "/6071", new_user("carol")).out, kTextHeader + "id=2");
}

TEST(UsersOemTest, ListsTheOemAccountsWhenTheFileExists) {
  DeviceRoot root;
  EXPECT_EQ(get(root, "/6074").out, "");

  OemUserInfo oem[2] = {};
  oem[0].id = 0;
  oem[0].enable = 1;
  strcpy(oem[0].name, "installer");
  strcpy(oem[0].password, kDigest);
  oem[0].type = 1;
  oem[0].permission = 3;
  oem[0].remote_permission = -1;
  oem[1].id = 1;  // free
  ASSERT_EQ(db_write_all(root("/mnt/nand2/oem.db").c_str(), kOemUserRecord, oem, 2), 0);

  EXPECT_EQ(get(root, "/6074").out,
            kJsonHeader + R"([ { "id": 0, "enable": 1, "name": "installer", "password": ")" +
                kDigest + R"(", "type": 1, "permission": 3, "remotePermission": -1 } ])");
}

TEST(UsersNoticeTest, DaemonNoticesAndPermissionUpdate) {
  DeviceRoot root;
  // No daemon: the PoE password request times out with the JSON error.
  EXPECT_EQ(post(root, "/6075", "", "0.001").out, kJsonHeader + "{status:\"CGI ERROR\"}");

  CoreSim sim(root);
  EXPECT_EQ(post(root, "/6075", "").out, kTextHeader + "0");
  sim.reply(3265, 8265, CoreSim::bytes<int32_t>(-3));
  EXPECT_EQ(post(root, "/6075", "").out, kTextHeader + "-3");
  const auto poe = sim.messages(3265);
  ASSERT_EQ(poe.size(), 2u);
  EXPECT_EQ(poe[0].flags & CoreSim::kNoReply, 0u);
  EXPECT_EQ(poe[0].payload, "");

  EXPECT_EQ(post(root, "/6076", "").out, kTextHeader + "OK");
  const auto notify = sim.messages(3267);
  ASSERT_EQ(notify.size(), 1u);
  EXPECT_EQ(notify[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  EXPECT_EQ(notify[0].payload, "");

  EXPECT_EQ(post(root, "/6077", "").out, kTextHeader + "OK");
  expect_users_changed(sim, "");

  const std::string db = db_of(root);
  EXPECT_EQ(set_param_int(db.c_str(), "permission_update", 1), 0);
  EXPECT_EQ(post(root, "/1024", "").out, kTextHeader + "OK");
  EXPECT_EQ(get_param_int(db.c_str(), "permission_update", -1), 0);
}

}  // namespace
}  // namespace nvr::test
