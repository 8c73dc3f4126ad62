// User accounts: the 544-byte account record kept in the configuration
// database (table "user", one row per account id 0..99), the read-only OEM
// account record of "/mnt/nand2/oem.db", and the named access functions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/qvdb.h"

constexpr int kMaxUsers = 100;  // account ids 0..99
constexpr int kUserFlagCount = 10;

// Account types (the pages give 0..2 their meaning; 3 may not log in).
constexpr int32_t kUserTypeAdmin = 0;
constexpr int32_t kUserTypeNoLogin = 3;

#pragma pack(push, 1)
//  OFFSET  SIZE  DESCRIPTION
//       0     4  account id 0..99                              "id"
//       4     4  in use (0 = free slot)                        "enable"
//       8    64  user name                                     "name"/"userName"
//      72    33  password: MD5 digest as 32 hexadecimal digits "password"
//     108     4  account type 0..3                             "type"
//     112    65  local live-view channels, '0'/'1' per channel "localliveview"
//     177    65  local playback channels                       "localplayback"
//     242    65  remote live-view channels                     "remoteliveview"
//     307    65  remote playback channels                      "remoteplayback"
//     405    16  reserved text, "0" in every new account
//     424    40  local permission flags  "localLiveView".."localShutdown"
//     464    40  remote permission flags "remoteLiveView".."remoteShutdown"
//     504     4  local permission summary                      "permission"
//     508     4  remote permission summary                     "remotePermission"
//     512    32  channel masks of the four channel texts (bit i = character i)
struct UserInfo {
  int32_t id;         // 0..99
  int32_t enable;     // 0 = free slot
  char name[64];      // user name
  char password[33];  // MD5 digest, 32 hex digits
  uint8_t pad0[3];
  int32_t type;            // 0..3
  char localliveview[65];  // channel selection texts
  char localplayback[65];
  char remoteliveview[65];
  char remoteplayback[65];
  uint8_t reserved0[33];
  char reserved[16];  // "0" in new accounts
  uint8_t pad1[3];
  int32_t local_flags[kUserFlagCount];   // "localLiveView".."localShutdown"
  int32_t remote_flags[kUserFlagCount];  // "remoteLiveView".."remoteShutdown"
  int32_t permission;                    // local summary (0 or more, or -1)
  int32_t remote_permission;             // remote summary (0 or more, or -1)
  uint64_t localliveview_mask;           // masks of the texts above
  uint64_t localplayback_mask;
  uint64_t remoteliveview_mask;
  uint64_t remoteplayback_mask;
};

//  OFFSET  SIZE  DESCRIPTION (OEM accounts; the rest of the 544 bytes is unused)
//       0     4  account id              "id"
//       4     4  in use                  "enable"
//       8    64  user name               "name"
//      72    33  password digest         "password"
//     108     4  account type            "type"
//     112     4  local summary           "permission"
//     116     4  remote summary          "remotePermission"
struct OemUserInfo {
  int32_t id;
  int32_t enable;
  char name[64];
  char password[33];
  uint8_t pad0[3];
  int32_t type;
  int32_t permission;
  int32_t remote_permission;
  uint8_t reserved[424];
};
#pragma pack(pop)

static_assert(sizeof(UserInfo) == 544);
static_assert(offsetof(UserInfo, id) == 0);
static_assert(offsetof(UserInfo, enable) == 4);
static_assert(offsetof(UserInfo, name) == 8);
static_assert(offsetof(UserInfo, password) == 72);
static_assert(offsetof(UserInfo, type) == 108);
static_assert(offsetof(UserInfo, localliveview) == 112);
static_assert(offsetof(UserInfo, localplayback) == 177);
static_assert(offsetof(UserInfo, remoteliveview) == 242);
static_assert(offsetof(UserInfo, remoteplayback) == 307);
static_assert(offsetof(UserInfo, reserved) == 405);
static_assert(offsetof(UserInfo, local_flags) == 424);
static_assert(offsetof(UserInfo, remote_flags) == 464);
static_assert(offsetof(UserInfo, permission) == 504);
static_assert(offsetof(UserInfo, remote_permission) == 508);
static_assert(offsetof(UserInfo, localliveview_mask) == 512);
static_assert(offsetof(UserInfo, localplayback_mask) == 520);
static_assert(offsetof(UserInfo, remoteliveview_mask) == 528);
static_assert(offsetof(UserInfo, remoteplayback_mask) == 536);

static_assert(sizeof(OemUserInfo) == 544);
static_assert(offsetof(OemUserInfo, name) == 8);
static_assert(offsetof(OemUserInfo, password) == 72);
static_assert(offsetof(OemUserInfo, type) == 108);
static_assert(offsetof(OemUserInfo, permission) == 112);
static_assert(offsetof(OemUserInfo, remote_permission) == 116);

// JSON keys of the permission flags, in record order.
inline constexpr const char* kLocalFlagKeys[kUserFlagCount] = {
    "localLiveView", "localPlayback", "localRetrieve", "localSmartAnalysis", "localEvent",
    "localCamera",   "localStorage",  "localSettings", "localStatus",        "localShutdown"};
inline constexpr const char* kRemoteFlagKeys[kUserFlagCount] = {
    "remoteLiveView", "remotePlayback", "remoteRetrieve", "remoteSmartAnalysis", "remoteEvent",
    "remoteCamera",   "remoteStorage",  "remoteSettings", "remoteStatus",        "remoteShutdown"};

// The ten permission flags of one side.
#define FLAG(member, keys, i) DB_FIELD_AT(UserInfo, member, i, keys[i], DbType::I32)
#define FLAGS(member, keys)                                                                       \
  FLAG(member, keys, 0), FLAG(member, keys, 1), FLAG(member, keys, 2), FLAG(member, keys, 3),     \
      FLAG(member, keys, 4), FLAG(member, keys, 5), FLAG(member, keys, 6), FLAG(member, keys, 7), \
      FLAG(member, keys, 8), FLAG(member, keys, 9)

// SQLite column names ignore letter case, so the channel texts ("localliveview")
// are stored as "<key>_channels" beside the flags ("localLiveView").
#define CHANNEL_TEXT(member) \
  DB_FIELD_J(UserInfo, member, #member "_channels", DbType::Text, #member)

// The list's fields first, in its key order; the stored-only fields after them.
inline constexpr DbField kUserFields[] = {
    DB_FIELD(UserInfo, id, "id", DbType::I32),
    DB_FIELD(UserInfo, enable, "enable", DbType::I32),
    DB_FIELD(UserInfo, name, "name", DbType::Text),
    DB_FIELD(UserInfo, password, "password", DbType::Text),
    DB_FIELD(UserInfo, type, "type", DbType::I32),
    DB_FIELD(UserInfo, permission, "permission", DbType::I32),
    FLAGS(local_flags, kLocalFlagKeys),
    CHANNEL_TEXT(localliveview),
    CHANNEL_TEXT(localplayback),
    DB_FIELD(UserInfo, remote_permission, "remotePermission", DbType::I32),
    FLAGS(remote_flags, kRemoteFlagKeys),
    CHANNEL_TEXT(remoteliveview),
    CHANNEL_TEXT(remoteplayback),
    // Stored only.
    DB_FIELD(UserInfo, reserved, "reserved", DbType::Text),
    DB_FIELD(UserInfo, localliveview_mask, "localliveview_mask", DbType::U64),
    DB_FIELD(UserInfo, localplayback_mask, "localplayback_mask", DbType::U64),
    DB_FIELD(UserInfo, remoteliveview_mask, "remoteliveview_mask", DbType::U64),
    DB_FIELD(UserInfo, remoteplayback_mask, "remoteplayback_mask", DbType::U64),
};
inline constexpr size_t kUserListFieldCount = 6 + kUserFlagCount + 2 + 1 + kUserFlagCount + 2;
static_assert(kUserListFieldCount + 5 == std::size(kUserFields));

// The log-in answer's permissions: the list's keys from "permission" on, with
// the answer's own spelling "remotePermisson".
inline constexpr DbField kLoginPermissionFields[] = {
    DB_FIELD(UserInfo, permission, "permission", DbType::I32),
    FLAGS(local_flags, kLocalFlagKeys),
    CHANNEL_TEXT(localliveview),
    CHANNEL_TEXT(localplayback),
    DB_FIELD_J(UserInfo, remote_permission, "remotePermission", DbType::I32, "remotePermisson"),
    FLAGS(remote_flags, kRemoteFlagKeys),
    CHANNEL_TEXT(remoteliveview),
    CHANNEL_TEXT(remoteplayback),
};

inline constexpr DbField kUserChangeFields[] = {
    DB_FIELD(UserInfo, password, "password", DbType::Text),
    DB_FIELD(UserInfo, type, "type", DbType::I32),
    FLAGS(local_flags, kLocalFlagKeys),
    FLAGS(remote_flags, kRemoteFlagKeys),
    CHANNEL_TEXT(localliveview),
    CHANNEL_TEXT(localplayback),
    CHANNEL_TEXT(remoteliveview),
    CHANNEL_TEXT(remoteplayback),
};

inline constexpr DbField kOemUserFields[] = {
    DB_FIELD(OemUserInfo, id, "id", DbType::I32),
    DB_FIELD(OemUserInfo, enable, "enable", DbType::I32),
    DB_FIELD(OemUserInfo, name, "name", DbType::Text),
    DB_FIELD(OemUserInfo, password, "password", DbType::Text),
    DB_FIELD(OemUserInfo, type, "type", DbType::I32),
    DB_FIELD(OemUserInfo, permission, "permission", DbType::I32),
    DB_FIELD(OemUserInfo, remote_permission, "remotePermission", DbType::I32),
};
#undef FLAG
#undef FLAGS
#undef CHANNEL_TEXT

constexpr const char* kUserTable = "user";
// The account record: every stored field. Its fields run in the order of the
// account list's JSON object first, so that kUserListRecord (the leading
// fields) serves the list.
inline constexpr DbRecord kUserRecord{kUserTable, "id", sizeof(UserInfo), kUserFields};
// The fields of the account list ("/6070"), in its key order.
inline constexpr DbRecord kUserListRecord{
    kUserTable, "id", sizeof(UserInfo), std::span<const DbField>(kUserFields, kUserListFieldCount)};
// The permissions of the log-in answer, in its key order and spelling.
inline constexpr DbRecord kLoginPermissionRecord{kUserTable, "id", sizeof(UserInfo),
                                                 kLoginPermissionFields};
// The fields that a change of an account ("/6072") takes from the request:
// password, type, the twenty flags and the four channel texts.
inline constexpr DbRecord kUserChangeRecord{kUserTable, "id", sizeof(UserInfo), kUserChangeFields};
// The OEM account list, in its key order.
inline constexpr DbRecord kOemUserRecord{kUserTable, "id", sizeof(OemUserInfo), kOemUserFields};

// ---- named access (path: nvr::qvdb_path() or nvr::oem_db_path()) ----------------

// The account in use whose name is exactly `name`; 0 when found, else -1 with
// the record unchanged. Free slots never match.
int read_user_by_name(const char* path, UserInfo* record, const char* name);
inline int read_user(const char* path, UserInfo* record, int32_t id) {
  return db_read(path, kUserRecord, record, id);
}
// The stored accounts in use (free slots left out), in id order, read through
// `desc` (the account record, the account list or the OEM accounts).
template <class Account>
std::vector<Account> accounts_in_use(const char* path, const DbRecord& desc) {
  std::vector<Account> accounts(kMaxUsers);
  int count = 0;
  db_read_all(path, desc, accounts.data(), kMaxUsers, &count);
  accounts.resize(static_cast<size_t>(std::clamp(count, 0, kMaxUsers)));
  std::erase_if(accounts, [](const Account& account) { return account.enable == 0; });
  return accounts;
}
// The number of accounts in use.
int read_user_count(const char* path);
[[nodiscard]] inline int write_user(const char* path, const UserInfo* record) {
  return db_write(path, kUserRecord, record);
}
// Stores a new account in the lowest free id and sets record->id; -1 when full.
[[nodiscard]] int add_user(const char* path, UserInfo* record);

// Sets the four channel masks from the four channel texts.
void derive_user_channel_masks(UserInfo* record);

// Factory settings: the administrator account "admin" (password "123456",
// stored as its MD5 digest kDefaultAdminDigest) when no account is in use.
// Returns 1 when it was added, 0 when accounts exist, -1 on a write failure.
inline constexpr const char* kDefaultAdminName = "admin";
inline constexpr const char* kDefaultAdminDigest = "e10adc3949ba59abbe56e057f20f883e";
int seed_default_accounts(const char* path);
