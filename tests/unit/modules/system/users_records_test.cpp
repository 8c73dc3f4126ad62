// Account records: channel masks of the selection texts, the record through
// SQLite and back, name lookups that never find free slots.
#include "modules/system/users_records.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class TempDb {
 public:
  TempDb() {
    char dir[] = "/tmp/users_records_XXXXXX";
    dir_ = mkdtemp(dir);
    path_ = dir_ + "/qvdb.db";
  }
  ~TempDb() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string dir_;
  std::string path_;
};

TEST(UserChannelMask, BitIForCharacterI) {
  struct Row {
    const char* text;
    uint64_t mask;
  } rows[] = {
      {"", 0},
      {"1010", 0b101},
      {"0001", 0b1000},
      {"1x1", 0b101},  // only '1' sets a bit
      {"0000000000000000000000000000000000000000000000000000000000000001", 1ull << 63},
  };
  for (const Row& row : rows) EXPECT_EQ(get_channel_mask(row.text), row.mask) << row.text;
  EXPECT_EQ(get_channel_mask(std::string(64, '1').c_str()), ~0ull);
}

TEST(UserRecord, EveryFieldSurvivesTheDatabase) {
  TempDb db;
  UserInfo user{};
  user.id = 17;
  user.enable = 1;
  strcpy(user.name, std::string(63, 'n').c_str());
  strcpy(user.password, std::string(32, 'f').c_str());
  user.type = 2;
  strcpy(user.localliveview, std::string(64, '1').c_str());
  strcpy(user.localplayback, "01");
  strcpy(user.remoteliveview, "1");
  strcpy(user.remoteplayback, "001");
  strcpy(user.reserved, "0");
  for (int i = 0; i < kUserFlagCount; ++i) {
    user.local_flags[i] = i;
    user.remote_flags[i] = 100 + i;
  }
  user.permission = -1;
  user.remote_permission = 1023;
  derive_user_channel_masks(&user);
  ASSERT_EQ(write_user(db.path(), &user), 0);

  UserInfo back{};
  ASSERT_EQ(read_user(db.path(), &back, 17), 0);
  EXPECT_EQ(memcmp(&back, &user, sizeof user), 0);
  EXPECT_EQ(back.localliveview_mask, ~0ull);
  EXPECT_EQ(back.remoteplayback_mask, 0b100u);

  UserInfo missing{};
  missing.id = -1;
  EXPECT_NE(read_user(db.path(), &missing, 18), 0);
  EXPECT_EQ(missing.id, -1);
}

TEST(UserRecord, NameLookupSkipsFreeSlots) {
  TempDb db;
  UserInfo freed{};
  freed.id = 0;  // a deleted account: empty name
  UserInfo bob{};
  bob.id = 1;
  bob.enable = 1;
  strcpy(bob.name, "bob");
  ASSERT_EQ(write_user(db.path(), &freed), 0);
  ASSERT_EQ(write_user(db.path(), &bob), 0);

  UserInfo found{};
  found.id = -1;
  EXPECT_NE(read_user_by_name(db.path(), &found, ""), 0);
  EXPECT_EQ(found.id, -1);
  EXPECT_EQ(read_user_by_name(db.path(), &found, "bob"), 0);
  EXPECT_EQ(found.id, 1);
  EXPECT_NE(read_user_by_name(db.path(), &found, "Bob"), 0);
  EXPECT_EQ(read_user_count(db.path()), 1);
}

TEST(UserRecord, DefaultAdministratorOnlyOnAnEmptyDatabase) {
  TempDb db;
  EXPECT_EQ(seed_default_accounts(db.path()), 1);
  EXPECT_EQ(seed_default_accounts(db.path()), 0);
  UserInfo admin{};
  ASSERT_EQ(read_user_by_name(db.path(), &admin, "admin"), 0);
  EXPECT_EQ(admin.id, 0);
  EXPECT_EQ(admin.type, kUserTypeAdmin);
  EXPECT_STREQ(admin.password, "e10adc3949ba59abbe56e057f20f883e");  // MD5 of "123456"
  EXPECT_EQ(admin.remoteplayback_mask, ~0ull);
}

}  // namespace
