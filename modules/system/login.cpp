// Log-in routes: the password log-in ("/1000"), the log-out ("/1014") and the
// log-in link sent by e-mail ("/1018"). The pages keep what the log-in answers in cookies and
// enforce the permissions themselves; with "server_auth" 1 the log-in also
// opens a server-side session (the start of this file).
#include <cctype>
#include <chrono>
#include <thread>

#include "frame/cgic.h"
#include "frame/route_access.h"
#include "frame/session.h"
#include "modules/system/system_module.h"

namespace {

constexpr size_t kLinkTokenSize = 256;  // payload of request 3504

constexpr int kLinkCookieSeconds = 600;
// What every refused log-in costs at least (shrunk by NVR_TIME_SCALE in tests).
constexpr double kFailedLoginMillis = 1000;
constexpr size_t kCookieDomainMax = 49;

// ---- the log-in's part in server-side sessions ("server_auth" 1): the limit on
// failed log-ins, their equal cost, and the session a log-in opens. With the
// switch off each of these gives today's behaviour.

// True when the caller's address is refused for too many failed log-ins; the
// log-in then answers as for a wrong password.
bool login_limit_reached() {
  return nvr::auth::server_auth_enabled() && nvr::auth::login_blocked(cgiRemoteAddr);
}

// A refused log-in: counted against the address (unless it was refused by the
// limit), and answered no sooner than a fixed time after `started`, so that an
// unknown name, a wrong password and a refused address all cost the same.
void note_failed_login(std::chrono::steady_clock::time_point started, bool limited) {
  if (!nvr::auth::server_auth_enabled()) return;
  if (!limited) nvr::auth::login_failed(cgiRemoteAddr);
  const auto cost =
      std::chrono::microseconds(static_cast<int64_t>(kFailedLoginMillis * 1000 * cgi_time_scale()));
  std::this_thread::sleep_until(started + cost);
}

// The accepted log-in's session id: with the switch on, a stored session of
// the account (nothing when it cannot be stored); off, today's id drawn from
// the C library's generator seeded with the time.
std::optional<std::string> open_login_session(const UserInfo& account) {
  if (!nvr::auth::server_auth_enabled()) {
    char id[kSessionIdDigits + 1];
    make_session_id(id, time(nullptr));
    return std::string(id);
  }
  nvr::auth::login_succeeded(cgiRemoteAddr);
  const std::string name(account.name, strnlen(account.name, sizeof account.name));
  std::optional<std::string> id = nvr::auth::session_open(account.id, name, cgiRemoteAddr);
  // The pages store the answer's "sessionId" in a cookie themselves; the
  // header line serves tools (curl -c) and keeps the id away from scripts.
  if (id)
    cgi_add_cookie_line(
        ("Set-Cookie: sessionId=" + *id + "; path=/; HttpOnly; SameSite=Strict\r\n").c_str());
  return id;
}

// The "sessionId" cookie of a log-in link: a guest session with the switch on,
// else "0".
std::string open_link_session() {
  if (!nvr::auth::server_auth_enabled()) return "0";
  return nvr::auth::session_open(nvr::auth::kGuestAccount, "temp", cgiRemoteAddr).value_or("0");
}

// The pages' own folders for certificate requests; they must exist before a
// logged-in user reaches the certificate pages.
void ensure_ssl_folders() {
  for (std::string_view folder : {nvr::devpath::kSsl, std::string_view("/mnt/nand/ssl/tmp")}) {
    const std::string path = nvr::dev_path(folder);
    if (access(path.c_str(), F_OK) != 0) web_system(nvr::ShellCommand("mkdir %s", {path}));
  }
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

// The session the accepted log-in opened (stored or today's kind).
std::string g_session_id;

nvr::Json session_id_json(const void*) { return nvr::json_new_string(g_session_id.c_str()); }

nvr::Json same_channel_json(const void*) {
  return nvr::json_new_int(get_param_int(nvr::qvdb_path(), "same_channel_exist", 0) == 2 ? 1 : 0);
}

// The accepted log-in: the account's type (the result) and permissions, the
// session id and what the pages show of the recorder.
constexpr nvr::AnswerRow kLoginAnswer[] = {
    NVR_ANSWER_FIELD(UserInfo, type, "type"),
    NVR_ANSWER_FIELD(UserInfo, name, "userName"),
    nvr::answer_record(kLoginPermissionRecord),
    nvr::answer_computed("sessionId", session_id_json),
    nvr::answer_param_int("failoverMode", "failover_mode", 0),
    nvr::answer_computed("sameChannel", same_channel_json),
    nvr::answer_param_text("hardwareVersion", "hardware_version", 32, "V1.1"),
    nvr::answer_param_text("softwareVersion", "software_version", 64, "7x.7.0.9"),
    nvr::answer_param_text("model", "model", 64, ""),
};

// The Host header up to its port, and never past a character that no host
// name holds: a ';' would add attributes of the browser's choosing to the
// cookie.
std::string cookie_domain(const char* host) {
  constexpr std::string_view kHostCharacters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-";
  std::string_view text(host ? host : "");
  text = text.substr(0, text.find_first_not_of(kHostCharacters));
  return std::string(text.substr(0, kCookieDomainMax));
}

void on_user_login_from_mail_cb(uint32_t count, const void* payload) {
  // A reply without a status opens nothing.
  const int32_t status = count > 0 ? nvr::record_at<int32_t>(payload, 0) : -1;
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

// Reply dispatcher of the log-in routes (reply 8504 of the link check).
constexpr nvr::ReplyRow kLoginReplies[] = {
    {kReplyLinkLogin, sizeof(int32_t), on_user_login_from_mail_cb}};
constexpr IpcCallback on_login_ipc_callback = nvr::reply_dispatcher<kLoginReplies>;

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

}  // namespace

void make_session_id(char* out, time_t seed) {
  srand(static_cast<unsigned>(seed));
  for (int i = 0; i < kSessionIdDigits; ++i) out[i] = static_cast<char>('0' + rand() % 10);
  out[kSessionIdDigits] = '\0';
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
  if (result < 0) {
    note_failed_login(started, limited);
    return nvr::answer_one_key(kRespText, "type", result);
  }
  const std::optional<std::string> session_id = open_login_session(account);
  if (!session_id) return nvr::answer_failure(kRespText);
  log_login(name);
  g_session_id = *session_id;
  nvr::write_answer(kLoginAnswer, &account, kRespText);
}

void on_user_login_from_mail(char* data) {
  char token[kLinkTokenSize] = {};
  strncpy(token, data ? data : "", sizeof token - 1);
  nvr::ask_or_answer(on_login_ipc_callback, kReqLinkLogin, token, nvr::Silence::kText);
}

// "/1014": logging out leaves an entry in the operation log and, with
// server-side sessions, ends the caller's session.
void on_user_logout(char*) {
  cgi_send_operation_log(kLogSubLogout, kLogParamNone, 0);
  nvr::auth::close_current_session();
  cgi_writeback_webserver(kRespText, "OK");
}

bool digests_equal(const char* stored, const char* given) {
  constexpr size_t kField = sizeof UserInfo{}.password;  // 32 digits and the NUL
  const size_t stored_length = strnlen(stored, kField);
  const size_t given_length = strnlen(given, kField);
  unsigned difference = stored_length != given_length;
  for (size_t i = 0; i < kField; ++i) {
    const unsigned char a = i < stored_length ? static_cast<unsigned char>(stored[i]) : 0;
    const unsigned char b = i < given_length ? static_cast<unsigned char>(given[i]) : 0;
    difference |= static_cast<unsigned>(tolower(a) ^ tolower(b));
  }
  return difference == 0;
}
