// User account records and their named access functions.
#include "modules/system/users_records.h"

#include <cstring>

// ---- named access -----------------------------------------------------------------

// Scans the accounts rather than asking for the name: free slots keep an empty
// name and must never be found as an account.
int read_user_by_name(const char* path, UserInfo* record, const char* name) {
  for (const UserInfo& user : accounts_in_use<UserInfo>(path, kUserRecord)) {
    if (strncmp(user.name, name, sizeof user.name) == 0) {
      *record = user;
      return 0;
    }
  }
  return -1;
}

int read_user_count(const char* path) {
  return static_cast<int>(accounts_in_use<UserInfo>(path, kUserRecord).size());
}

int add_user(const char* path, UserInfo* record) {
  bool taken[kMaxUsers] = {};
  for (const UserInfo& user : accounts_in_use<UserInfo>(path, kUserRecord))
    if (user.id >= 0 && user.id < kMaxUsers) taken[user.id] = true;
  for (int32_t id = 0; id < kMaxUsers; ++id) {
    if (taken[id]) continue;
    record->id = id;
    return write_user(path, record);
  }
  return -1;
}

void derive_user_channel_masks(UserInfo* record) {
  record->localliveview_mask = get_channel_mask(record->localliveview);
  record->localplayback_mask = get_channel_mask(record->localplayback);
  record->remoteliveview_mask = get_channel_mask(record->remoteliveview);
  record->remoteplayback_mask = get_channel_mask(record->remoteplayback);
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
