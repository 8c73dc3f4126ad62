// Account routes: list, add, change and delete accounts, the OEM account list,
// and the notices that make the core daemon reload accounts or PoE-camera
// passwords. Every account change is announced with request 3505.
#include "frame/session.h"
#include "modules/system/system_module.h"

namespace {

// Fields of a new account: type 0..3 and both permission summaries (0 or
// more, or -1) are required. An account without a name could never log in
// and would only fill a slot.
constexpr nvr::PolicyRow kNewUserPolicy[] = {
    NVR_POLICY_INT(UserInfo, type, "type", 0, 3, nvr::Presence::kRequired),
    NVR_POLICY_INT(UserInfo, permission, "permission", -1, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(UserInfo, remote_permission, "remotePermission", -1, INT32_MAX,
                   nvr::Presence::kRequired),
    NVR_POLICY_NONEMPTY(UserInfo, name, "name", nvr::Presence::kRequired),
};

// The account of "/6072" and "/6073": an id of a slot, and a type (when given)
// that is one of the four, or it would be stored as some other type.
struct AccountRef {
  int32_t id;
  int32_t type;
};
constexpr nvr::PolicyRow kAccountPolicy[] = {
    NVR_POLICY_INT(AccountRef, id, "id", 0, kMaxUsers - 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(AccountRef, type, "type", 0, 3, nvr::Presence::kOptional),
};
constexpr nvr::PolicyRow kDeletePolicy[] = {
    kAccountPolicy[0],
    NVR_POLICY_INT(AccountRef, type, "type", 0, 3, nvr::Presence::kRequired),
};

// True when an account other than `id` is named `name`.
bool name_taken_by_other(const char* name, int32_t id) {
  UserInfo other{};
  return read_user_by_name(nvr::qvdb_path(), &other, name) == 0 && other.id >= 0 && other.id != id;
}

void on_modify_poe_camera_pwd_cb(uint32_t count, const void* payload) {
  if (count == 0) return;  // no status: the handler's time limit answers
  nvr::answer_text(std::to_string(nvr::record_at<int32_t>(payload, 0)).c_str());
}

// Reply dispatcher of the account routes (reply 8265 of the PoE-camera password).
constexpr nvr::ReplyRow kUsersReplies[] = {
    {kReplyPoePassword, sizeof(int32_t), on_modify_poe_camera_pwd_cb}};
constexpr IpcCallback on_users_ipc_callback = nvr::reply_dispatcher<kUsersReplies>;

// The stored accounts in use (read through the list's own descriptor), as a
// list.
template <class Account>
void answer_accounts(const char* db, const DbRecord& desc) {
  const std::vector<Account> users = accounts_in_use<Account>(db, desc);
  const nvr::Json list = nvr::record_list_json(desc, users.data(), static_cast<int>(users.size()));
  cgi_writeback_webserver(kRespJson, nvr::json_text(list));
}

// The tail of a change of one account: once written, its sessions end and the
// daemon reloads it.
void finish_account_change(int stored, int32_t id, const nvr::LogEntry& log) {
  if (stored == 0) nvr::auth::sessions_close_for_account(id);
  nvr::finish_change(stored, {kReqUsersChanged, &id, sizeof id}, log);
}

enum class AddOutcome { kAdded, kFull, kSameName, kNotStored };

// Counts, checks the name and stores under the system's lock, so that two adds
// at once can neither share an id nor a name.
AddOutcome store_new_user(UserInfo* user) {
  const char* db = nvr::qvdb_path();
  nvr::CgiLock lock;
  if (name_taken_by_other(user->name, -1)) return AddOutcome::kSameName;
  if (add_user(db, user) == 0) return AddOutcome::kAdded;
  // Full only when every slot is taken; otherwise the write itself failed.
  return read_user_count(db) >= kMaxUsers ? AddOutcome::kFull : AddOutcome::kNotStored;
}

}  // namespace

// "/6070"
void on_get_user_list(char*) { answer_accounts<UserInfo>(nvr::qvdb_path(), kUserListRecord); }

// "/6071"
void on_add_new_user(char* data) {
  if (read_user_count(nvr::qvdb_path()) >= kMaxUsers)
    return nvr::answer_with(kRespText, "FAILED_FULL");
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;

  UserInfo user{};
  // Password, the channel texts and the flags the request holds; the type is
  // read again with its check.
  db_record_from_json(kUserChangeRecord, request.get(), &user);
  if (nvr::read_policy(request.get(), kNewUserPolicy, &user) != 0) return;
  user.enable = 1;
  strcpy(user.reserved, "0");
  derive_user_channel_masks(&user);
  const AddOutcome outcome = store_new_user(&user);
  if (outcome == AddOutcome::kSameName || outcome == AddOutcome::kFull)
    return nvr::answer_with(kRespText, outcome == AddOutcome::kFull ? "FAILED_FULL" : "SAMEUSER");
  nvr::finish_change(outcome == AddOutcome::kAdded ? 0 : -1, {kReqUsersChanged},
                     {kLogSubChangeSettings, kLogParamUserAdded, 0}, kRespText,
                     ("id=" + std::to_string(user.id)).c_str());
}

// "/6072": only the keys present change the account; an id without an
// account gets one made of the given fields.
void on_set_user_info(char* data) {
  const char* db = nvr::qvdb_path();
  nvr::Json request = nvr::parse_request(data);
  AccountRef account{};
  if (nvr::read_policy(request.get(), kAccountPolicy, &account) != 0) return;

  UserInfo user{};
  read_user(db, &user, account.id);
  user.id = account.id;
  user.enable = 1;
  char name[sizeof user.name];
  if (nvr::json_copy_string(request.get(), "name", name, sizeof name)) {
    if (name_taken_by_other(name, account.id)) return nvr::answer_with(kRespText, "SAMEUSER");
    memcpy(user.name, name, sizeof name);
  }
  db_record_from_json(kUserChangeRecord, request.get(), &user);
  // The masks follow their channel texts, so that both tell the same channels.
  derive_user_channel_masks(&user);
  finish_account_change(write_user(db, &user), account.id, {});
}

// "/6073": the slot is kept, zeroed and free.
void on_del_user_info(char* data) {
  AccountRef account{};
  if (nvr::read_request(data, kDeletePolicy, &account) != 0) return;
  UserInfo freed{};
  freed.id = account.id;
  finish_account_change(write_user(nvr::qvdb_path(), &freed), account.id,
                        {kLogSubChangeSettings, kLogParamUserDeleted, 0});
}

// "/6074"
void on_get_oem_user_list(char*) {
  if (access(nvr::oem_db_path(), F_OK) == 0)
    answer_accounts<OemUserInfo>(nvr::oem_db_path(), kOemUserRecord);
}

// "/6075"
void on_modify_poe_camera_pwd(char*) {
  nvr::ask_or_answer(on_users_ipc_callback, kReqPoePassword, nullptr, 0, nvr::Silence::kJson);
}

// "/6076"
void on_cgi_notify_daemon(char*) { nvr::finish_change(0, {kReqNotifyDaemon}, {}); }

// "/6077"
void on_cgi_set_user_info(char*) { nvr::finish_change(0, {kReqUsersChanged}, {}); }

// "/1024"
void on_clear_permission_update(char*) {
  nvr::finish_change(set_param_int(nvr::qvdb_path(), "permission_update", 0), {}, {});
}
