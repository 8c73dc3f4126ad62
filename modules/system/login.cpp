// Log-in routes: the password log-in ("/1000") and the log-in link sent by
// e-mail ("/1018"). The pages keep what the log-in answers in cookies and
// enforce the permissions themselves; with "server_auth" 1 the log-in also
// opens a server-side session (modules/system/sessions.h).
#include "modules/system/login.h"

#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "frame/cgic.h"
#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/system/sessions.h"
#include "modules/system/system_wire.h"
#include "modules/system/users_records.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace {

constexpr size_t kLinkTokenSize = 256;  // payload of request 3504

constexpr int kLinkCookieSeconds = 600;
constexpr size_t kCookieDomainMax = 49;

// The pages' own folders for certificate requests; they must exist before a
// logged-in user reaches the certificate pages.
void ensure_ssl_folders() {
  for (std::string_view folder : {nvr::devpath::kSsl, std::string_view("/mnt/nand/ssl/tmp")}) {
    const std::string path = nvr::dev_path(folder);
    if (access(path.c_str(), F_OK) != 0) web_system(nvr::ShellCommand("mkdir %s", {path}));
  }
}

struct DeviceFacts {
  int failover_mode;
  int same_channel;
  char hardware_version[32];
  char software_version[64];
  char model[64];
};

DeviceFacts read_device_facts() {
  const char* db = nvr::qvdb_path();
  DeviceFacts facts{};
  facts.failover_mode = get_param_int(db, "failover_mode", 0);
  facts.same_channel = get_param_int(db, "same_channel_exist", 0) == 2 ? 1 : 0;
  get_param_value(db, "hardware_version", facts.hardware_version, sizeof facts.hardware_version,
                  "V1.1");
  get_param_value(db, "software_version", facts.software_version, sizeof facts.software_version,
                  "7x.7.0.9");
  get_param_value(db, "model", facts.model, sizeof facts.model, "");
  return facts;
}

// The account's type when the digest matches (letter case ignored), -1 for an
// unknown name or another digest, -2 for an account that may not log in.
int32_t check_login(const char* name, const char* digest, UserInfo* account) {
  int32_t result = -1;
  // Empty texts never match, not even a stored empty digest. An unknown name
  // is compared with a stand-in, so that it costs what a wrong digest costs.
  const bool found = name[0] != '\0' && read_user_by_name(nvr::qvdb_path(), account, name) == 0;
  const bool match = digests_equal(found ? account->password : kDefaultAdminDigest, digest);
  if (found && match && digest[0] != '\0') result = account->type;
  if (account->type == kUserTypeNoLogin) result = -2;
  return result;
}

void answer_login_refused(int32_t result) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "type", result);
  cgi_writeback_webserver(kRespText, nvr::json_text(answer));
}

// "permission" to "remoteplayback" of the account, as the account list has
// them, with the login answer's spelling "remotePermisson".
void add_account_permissions(json_object* answer, const UserInfo& account) {
  auto fields = kUserListRecord.fields;
  size_t first = 0;
  while (first < fields.size() && strcmp(fields[first].column, "permission") != 0) ++first;
  const DbRecord permissions{kUserListRecord.table, kUserListRecord.key_column,
                             kUserListRecord.size, fields.subspan(first)};
  nvr::Json values(db_record_to_json(permissions, &account));
  json_object_object_foreach(values.get(), key, value) {
    const char* answer_key = strcmp(key, "remotePermission") == 0 ? "remotePermisson" : key;
    json_object_object_add(answer, answer_key, json_object_get(value));
  }
}

void answer_login_accepted(int32_t result, const UserInfo& account, const DeviceFacts& facts,
                           const std::string& session_id) {
  nvr::Json answer = nvr::json_new_object();
  json_object* a = answer.get();
  nvr::json_add_int(a, "type", result);
  nvr::json_add(a, "userName", nvr::json_new_string_bounded(account.name, sizeof account.name));
  add_account_permissions(a, account);
  nvr::json_add_string(a, "sessionId", session_id.c_str());
  nvr::json_add_int(a, "failoverMode", facts.failover_mode);
  nvr::json_add_int(a, "sameChannel", facts.same_channel);
  nvr::json_add_string(a, "hardwareVersion", facts.hardware_version);
  nvr::json_add_string(a, "softwareVersion", facts.software_version);
  nvr::json_add_string(a, "model", facts.model);
  cgi_writeback_webserver(kRespText, nvr::json_text(answer));
}

// The cookie holds no user name before the log-in: the log record takes the
// name from the request.
void log_login(const char* name) {
  QvLogInfo record;
  cgi_init_log_info(&record);
  record.sub_type = kLogSubLogin;
  record.param_type = kLogParamNone;
  snprintf(record.user, sizeof record.user, "%.63s", name);
  cgi_send_log(on_login_ipc_callback, record);
}

// The Host header up to its port.
std::string cookie_domain(const char* host) {
  std::string_view text(host ? host : "");
  text = text.substr(0, text.find(':'));
  return std::string(text.substr(0, kCookieDomainMax));
}

void on_user_login_from_mail_cb(uint32_t count, const void* payload) {
  int32_t status = -1;  // a reply without a status opens nothing
  if (count > 0) memcpy(&status, payload, sizeof status);
  if (status == 0) {
    const std::string domain = cookie_domain(cgiServerAddr);
    const std::string session_id = open_link_session();
    const char* const kCookies[][2] = {{"userName", "temp"},
                                       {"userType", "2"},
                                       {"permission", "0"},
                                       {"sessionId", session_id.c_str()},
                                       {"language", "en-US"}};
    for (const auto& cookie : kCookies)
      cgiHeaderCookieSetString(cookie[0], cookie[1], kLinkCookieSeconds, "/", domain.c_str());
    cgiHeaderLocation("../../html/index.html");
  } else {
    cgiHeaderLocation("../../html/home.html");
  }
  fflush(cgiOut ? cgiOut : stdout);
  cgi_set_callback_done(1);
}

}  // namespace

void make_session_id(char* out, time_t seed) {
  srand(static_cast<unsigned>(seed));
  for (int i = 0; i < kSessionIdDigits; ++i) out[i] = static_cast<char>('0' + rand() % 10);
  out[kSessionIdDigits] = '\0';
}

void on_login_ipc_callback(void*, const void* header, const void* payload) {
  static constexpr nvr::ReplyRow kReplies[] = {
      {kReplyLinkLogin, sizeof(int32_t), on_user_login_from_mail_cb}};
  nvr::dispatch_reply(kReplies, header, payload);
}

void on_user_login(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  ensure_ssl_folders();

  char name[256] = "";
  char digest[33] = "";
  nvr::json_copy_string(request.get(), "userName", name, sizeof name);
  nvr::json_copy_string(request.get(), "md5", digest, sizeof digest);

  const auto started = std::chrono::steady_clock::now();
  const bool limited = login_limit_reached();
  UserInfo account{};
  // A refused address is answered as a wrong password: nothing is revealed.
  const int32_t result = limited ? -1 : check_login(name, digest, &account);
  const DeviceFacts facts = read_device_facts();
  if (result < 0) {
    note_failed_login(started, limited);
    answer_login_refused(result);
    return;
  }
  const std::optional<std::string> session_id = open_login_session(account);
  if (!session_id) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  log_login(name);
  answer_login_accepted(result, account, facts, *session_id);
}

void on_user_login_from_mail(char* data) {
  char token[kLinkTokenSize] = {};
  strncpy(token, data ? data : "", sizeof token - 1);
  nvr::ask_or_answer(on_login_ipc_callback, kReqLinkLogin, token, nvr::Silence::kText);
}
