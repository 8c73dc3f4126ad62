// User account records and their named access functions.
#include "modules/system/users_records.h"

#include <cstring>
#include <vector>

namespace {

using T = DbType;

#define LOCAL_FLAG(i) \
  DbField { kLocalFlagKeys[i], T::I32, offsetof(UserInfo, local_flags) + (i)*4u, 4 }
#define REMOTE_FLAG(i) \
  DbField { kRemoteFlagKeys[i], T::I32, offsetof(UserInfo, remote_flags) + (i)*4u, 4 }
#define LOCAL_FLAGS                                                                         \
  LOCAL_FLAG(0), LOCAL_FLAG(1), LOCAL_FLAG(2), LOCAL_FLAG(3), LOCAL_FLAG(4), LOCAL_FLAG(5), \
      LOCAL_FLAG(6), LOCAL_FLAG(7), LOCAL_FLAG(8), LOCAL_FLAG(9)
#define REMOTE_FLAGS                                                                              \
  REMOTE_FLAG(0), REMOTE_FLAG(1), REMOTE_FLAG(2), REMOTE_FLAG(3), REMOTE_FLAG(4), REMOTE_FLAG(5), \
      REMOTE_FLAG(6), REMOTE_FLAG(7), REMOTE_FLAG(8), REMOTE_FLAG(9)

// SQLite column names ignore letter case, so the channel texts ("localliveview")
// are stored as "<key>_channels" beside the flags ("localLiveView").
#define CHANNEL_TEXT(member) DB_FIELD_J(UserInfo, member, #member "_channels", T::Text, #member)

// The list's fields first, in its key order; the stored-only fields after them.
const DbField kUserFields[] = {
    DB_FIELD(UserInfo, id, "id", T::I32),
    DB_FIELD(UserInfo, enable, "enable", T::I32),
    DB_FIELD(UserInfo, name, "name", T::Text),
    DB_FIELD(UserInfo, password, "password", T::Text),
    DB_FIELD(UserInfo, type, "type", T::I32),
    DB_FIELD(UserInfo, permission, "permission", T::I32),
    LOCAL_FLAGS,
    CHANNEL_TEXT(localliveview),
    CHANNEL_TEXT(localplayback),
    DB_FIELD(UserInfo, remote_permission, "remotePermission", T::I32),
    REMOTE_FLAGS,
    CHANNEL_TEXT(remoteliveview),
    CHANNEL_TEXT(remoteplayback),
    // Stored only.
    DB_FIELD(UserInfo, reserved, "reserved", T::Text),
    DB_FIELD(UserInfo, localliveview_mask, "localliveview_mask", T::U64),
    DB_FIELD(UserInfo, localplayback_mask, "localplayback_mask", T::U64),
    DB_FIELD(UserInfo, remoteliveview_mask, "remoteliveview_mask", T::U64),
    DB_FIELD(UserInfo, remoteplayback_mask, "remoteplayback_mask", T::U64),
};
constexpr size_t kUserListFieldCount = 6 + kUserFlagCount + 2 + 1 + kUserFlagCount + 2;
static_assert(kUserListFieldCount + 5 == std::size(kUserFields));

// The log-in answer's permissions: the list's keys from "permission" on, with
// the answer's own spelling "remotePermisson".
const DbField kLoginPermissionFields[] = {
    DB_FIELD(UserInfo, permission, "permission", T::I32),
    LOCAL_FLAGS,
    CHANNEL_TEXT(localliveview),
    CHANNEL_TEXT(localplayback),
    DB_FIELD_J(UserInfo, remote_permission, "remotePermission", T::I32, "remotePermisson"),
    REMOTE_FLAGS,
    CHANNEL_TEXT(remoteliveview),
    CHANNEL_TEXT(remoteplayback),
};

const DbField kUserChangeFields[] = {
    DB_FIELD(UserInfo, password, "password", T::Text),
    DB_FIELD(UserInfo, type, "type", T::I32),
    LOCAL_FLAGS,
    REMOTE_FLAGS,
    CHANNEL_TEXT(localliveview),
    CHANNEL_TEXT(localplayback),
    CHANNEL_TEXT(remoteliveview),
    CHANNEL_TEXT(remoteplayback),
};

const DbField kOemUserFields[] = {
    DB_FIELD(OemUserInfo, id, "id", T::I32),
    DB_FIELD(OemUserInfo, enable, "enable", T::I32),
    DB_FIELD(OemUserInfo, name, "name", T::Text),
    DB_FIELD(OemUserInfo, password, "password", T::Text),
    DB_FIELD(OemUserInfo, type, "type", T::I32),
    DB_FIELD(OemUserInfo, permission, "permission", T::I32),
    DB_FIELD(OemUserInfo, remote_permission, "remotePermission", T::I32),
};

constexpr const char* kUserTable = "user";

// The accounts in use (free slots left out), in id order.
std::vector<UserInfo> users_in_use(const char* path) {
  std::vector<UserInfo> users(kMaxUsers);
  int count = 0;
  db_read_all(path, kUserRecord, users.data(), kMaxUsers, &count);
  users.resize(static_cast<size_t>(count));
  std::erase_if(users, [](const UserInfo& user) { return user.enable == 0; });
  return users;
}

}  // namespace

const DbRecord kUserRecord{kUserTable, "id", sizeof(UserInfo), kUserFields};
const DbRecord kUserListRecord{kUserTable, "id", sizeof(UserInfo),
                               std::span<const DbField>(kUserFields, kUserListFieldCount)};
const DbRecord kLoginPermissionRecord{kUserTable, "id", sizeof(UserInfo), kLoginPermissionFields};
const DbRecord kUserChangeRecord{kUserTable, "id", sizeof(UserInfo), kUserChangeFields};
const DbRecord kOemUserRecord{kUserTable, "id", sizeof(OemUserInfo), kOemUserFields};

// ---- named access -----------------------------------------------------------------

// Scans the accounts rather than asking for the name: free slots keep an empty
// name and must never be found as an account.
int read_user_by_name(const char* path, UserInfo* record, const char* name) {
  for (const UserInfo& user : users_in_use(path)) {
    if (strncmp(user.name, name, sizeof user.name) == 0) {
      *record = user;
      return 0;
    }
  }
  return -1;
}

int read_user(const char* path, UserInfo* record, int32_t id) {
  return db_read(path, kUserRecord, record, id);
}

int read_user_count(const char* path) { return static_cast<int>(users_in_use(path).size()); }

int write_user(const char* path, const UserInfo* record) {
  return db_write(path, kUserRecord, record);
}

int add_user(const char* path, UserInfo* record) {
  bool taken[kMaxUsers] = {};
  for (const UserInfo& user : users_in_use(path))
    if (user.id >= 0 && user.id < kMaxUsers) taken[user.id] = true;
  for (int32_t id = 0; id < kMaxUsers; ++id) {
    if (taken[id]) continue;
    record->id = id;
    return write_user(path, record);
  }
  return -1;
}

uint64_t user_channel_mask(const char* text) { return get_channel_mask(text); }

void derive_user_channel_masks(UserInfo* record) {
  record->localliveview_mask = user_channel_mask(record->localliveview);
  record->localplayback_mask = user_channel_mask(record->localplayback);
  record->remoteliveview_mask = user_channel_mask(record->remoteliveview);
  record->remoteplayback_mask = user_channel_mask(record->remoteplayback);
}

int seed_default_accounts(const char* path) {
  if (read_user_count(path) > 0) return 0;
  UserInfo admin{};
  admin.enable = 1;
  strcpy(admin.name, kDefaultAdminName);
  strcpy(admin.password, kDefaultAdminDigest);
  admin.type = kUserTypeAdmin;
  admin.permission = -1;
  admin.remote_permission = -1;
  for (int i = 0; i < kUserFlagCount; ++i) admin.local_flags[i] = admin.remote_flags[i] = 1;
  for (char* text :
       {admin.localliveview, admin.localplayback, admin.remoteliveview, admin.remoteplayback})
    memset(text, '1', 64);
  strcpy(admin.reserved, "0");
  derive_user_channel_masks(&admin);
  return add_user(path, &admin) == 0 ? 1 : -1;
}
