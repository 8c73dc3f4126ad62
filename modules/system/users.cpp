// Account routes: list, add, change and delete accounts, the OEM account list,
// and the notices that make the core daemon reload accounts or PoE-camera
// passwords. Every account change is announced with request 3505.
#include "modules/system/users.h"

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/web_utils.h"
#include "modules/system/users_records.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace {

constexpr int32_t kReqPoePassword = 3265;
constexpr int32_t kReplyPoePassword = 8265;
constexpr int32_t kReqNotifyDaemon = 3267;
constexpr int32_t kReqUsersChanged = 3505;

constexpr std::string_view kLockFile = "/tmp/cgilockfile";

class UsersLock {
 public:
  UsersLock() : fd_(file_lock(nvr::dev_path(kLockFile).c_str())) {}
  ~UsersLock() { file_unlock(fd_); }
  UsersLock(const UsersLock&) = delete;
  UsersLock& operator=(const UsersLock&) = delete;

 private:
  int32_t fd_;
};

void announce_users_changed(const int32_t* id) {
  cgi_send_notice(on_users_ipc_callback, kReqUsersChanged, id, id ? sizeof *id : 0);
}

// A permission summary: 0 or more, or -1.
bool read_permission_summary(json_object* request, const char* key, int32_t* out) {
  return nvr::json_read_int(request, key, out, -1);
}

// Fields of a new account: type 0..3 and both summaries are required.
int check_new_user_info(json_object* request, UserInfo* user) {
  if (!nvr::json_read_int(request, "type", &user->type, 0, 3)) return -1;
  if (!read_permission_summary(request, "permission", &user->permission)) return -1;
  if (!read_permission_summary(request, "remotePermission", &user->remote_permission)) return -1;
  // An account without a name could never log in and would only fill a slot.
  if (!nvr::json_copy_string(request, "name", user->name, sizeof user->name) ||
      user->name[0] == '\0')
    return -1;
  return 0;
}

// True when an account other than `id` is named `name`.
bool name_taken_by_other(const char* name, int32_t id) {
  UserInfo other{};
  other.id = -1;
  read_user_by_name(nvr::qvdb_path(), &other, name);
  return other.id >= 0 && other.id != id;
}

bool read_account_id(json_object* request, int32_t* id) {
  return nvr::json_read_int(request, "id", id, 0, kMaxUsers - 1);
}

void on_modify_poe_camera_pwd_cb(uint32_t count, const void* payload) {
  if (count == 0) return;  // no status: the handler's time limit answers
  int32_t status = 0;
  memcpy(&status, payload, sizeof status);
  cgi_writeback_webserver(kRespText, std::to_string(status).c_str());
  cgi_set_callback_done(1);
}

enum class AddOutcome { kAdded, kFull, kSameName, kNotStored };

// Counts, checks the name and stores under the system's lock, so that two adds
// at once can neither share an id nor a name.
AddOutcome store_new_user(UserInfo* user) {
  const char* db = nvr::qvdb_path();
  UsersLock lock;
  if (name_taken_by_other(user->name, -1)) return AddOutcome::kSameName;
  if (add_user(db, user) == 0) return AddOutcome::kAdded;
  // Full only when every slot is taken; otherwise the write itself failed.
  return read_user_count(db) >= kMaxUsers ? AddOutcome::kFull : AddOutcome::kNotStored;
}

}  // namespace

void on_users_ipc_callback(void*, const void* header, const void* payload) {
  if (payload == nullptr) return;
  if (ipc_reply_id(header) == kReplyPoePassword)
    on_modify_poe_camera_pwd_cb(ipc_reply_size(header) / sizeof(int32_t), payload);
}

// "/6070"
void on_get_user_list(char*) {
  std::vector<UserInfo> users(kMaxUsers);
  int count = 0;
  read_users(nvr::qvdb_path(), users.data(), &count);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < count; ++i)
    if (users[i].enable != 0)
      json_object_array_add(list.get(), db_record_to_json(kUserListRecord, &users[i]));
  cgi_writeback_webserver(kRespJson, nvr::json_text(list));
}

// "/6071"
void on_add_new_user(char* data) {
  if (read_user_count(nvr::qvdb_path()) >= kMaxUsers) {
    cgi_writeback_webserver(kRespText, "FAILED_FULL");
    return;
  }
  nvr::Json request = nvr::json_parse_object(data);
  if (!request) return;

  UserInfo user{};
  // Password, the channel texts and the flags the request holds; the type is
  // read again with its check.
  db_record_from_json(kUserChangeRecord, request.get(), &user);
  if (check_new_user_info(request.get(), &user) != 0) return;
  user.enable = 1;
  strcpy(user.reserved, "0");
  derive_user_channel_masks(&user);
  switch (store_new_user(&user)) {
    case AddOutcome::kSameName:
      cgi_writeback_webserver(kRespText, "SAMEUSER");
      return;
    case AddOutcome::kFull:
      cgi_writeback_webserver(kRespText, "FAILED_FULL");
      return;
    case AddOutcome::kNotStored:
      cgi_error_to_webserver(kRespText);
      return;
    case AddOutcome::kAdded:
      break;
  }
  announce_users_changed(nullptr);
  cgi_send_operation_log(kLogSubChangeSettings, kLogParamUserAdded, 0);
  cgi_writeback_webserver(kRespText, ("id=" + std::to_string(user.id)).c_str());
}

// "/6072": only the keys present change the account; an id without an
// account gets one made of the given fields.
void on_set_user_info(char* data) {
  const char* db = nvr::qvdb_path();
  nvr::Json request = nvr::json_parse_object(data);
  if (!request) return;
  int32_t id = 0;
  if (!read_account_id(request.get(), &id)) return;
  // A type that is not one of the four would be stored as some other type.
  int32_t type = 0;
  if (nvr::json_get(request.get(), "type") &&
      !nvr::json_read_int(request.get(), "type", &type, 0, 3))
    return;

  UserInfo user{};
  read_user(db, &user, id);
  user.id = id;
  user.enable = 1;
  char name[sizeof user.name];
  if (nvr::json_copy_string(request.get(), "name", name, sizeof name)) {
    if (name_taken_by_other(name, id)) {
      cgi_writeback_webserver(kRespText, "SAMEUSER");
      return;
    }
    memcpy(user.name, name, sizeof name);
  }
  db_record_from_json(kUserChangeRecord, request.get(), &user);
  // The masks follow their channel texts, so that both tell the same channels.
  derive_user_channel_masks(&user);
  if (write_user(db, &user) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  announce_users_changed(&id);
  cgi_writeback_webserver(kRespText, "OK");
}

// "/6073": the slot is kept, zeroed and free.
void on_del_user_info(char* data) {
  nvr::Json request = nvr::json_parse_object(data);
  if (!request) return;
  int32_t id = 0;
  int32_t type = 0;
  if (!read_account_id(request.get(), &id)) return;
  if (!nvr::json_read_int(request.get(), "type", &type, 0, 3)) return;

  UserInfo freed{};
  freed.id = id;
  if (write_user(nvr::qvdb_path(), &freed) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  announce_users_changed(&id);
  cgi_send_operation_log(kLogSubChangeSettings, kLogParamUserDeleted, 0);
  cgi_writeback_webserver(kRespText, "OK");
}

// "/6074"
void on_get_oem_user_list(char*) {
  const char* oem_db = nvr::oem_db_path();
  if (access(oem_db, F_OK) != 0) return;
  std::vector<OemUserInfo> users(kMaxUsers);
  int count = 0;
  read_users_oem(oem_db, users.data(), &count);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < count; ++i)
    if (users[i].enable != 0)
      json_object_array_add(list.get(), db_record_to_json(kOemUserRecord, &users[i]));
  cgi_writeback_webserver(kRespJson, nvr::json_text(list));
}

// "/6075"
void on_modify_poe_camera_pwd(char*) {
  cgi_start_ipc(on_users_ipc_callback, kReqPoePassword, 0, nullptr, 0);
  if (g_callback_done.load(std::memory_order_acquire) == 0) cgi_error_to_webserver(kRespJson);
  cgi_stop_ipc();
}

// "/6076"
void on_cgi_notify_daemon(char*) {
  cgi_send_notice(on_users_ipc_callback, kReqNotifyDaemon, nullptr, 0);
  cgi_writeback_webserver(kRespText, "OK");
}

// "/6077"
void on_cgi_set_user_info(char*) {
  announce_users_changed(nullptr);
  cgi_writeback_webserver(kRespText, "OK");
}

// "/1024"
void on_clear_permission_update(char*) {
  if (set_param_int(nvr::qvdb_path(), "permission_update", 0) != 0)
    cgi_error_to_webserver(kRespText);
  else
    cgi_writeback_webserver(kRespText, "OK");
}
