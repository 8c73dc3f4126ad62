#include <cctype>
#include <cstring>
#include <ctime>
#include <thread>

#include "frame/body_input.h"
#include "frame/cgic.h"
#include "frame/session.h"
#include "frame/web_utils.h"
#include "modules/system/system_handlers.h"

namespace {

// What every refused log-in costs at least (shrunk by NVR_TIME_SCALE in tests).
constexpr double kFailedLoginMillis = 1000;

}  // namespace

bool login_limit_reached() {
  return nvr::auth::server_auth_enabled() && nvr::auth::login_blocked(cgiRemoteAddr);
}

void note_failed_login(std::chrono::steady_clock::time_point started, bool limited) {
  if (!nvr::auth::server_auth_enabled()) return;
  if (!limited) nvr::auth::login_failed(cgiRemoteAddr);
  const auto cost =
      std::chrono::microseconds(static_cast<int64_t>(kFailedLoginMillis * 1000 * nvr_time_scale()));
  std::this_thread::sleep_until(started + cost);
}

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

std::string open_link_session() {
  if (!nvr::auth::server_auth_enabled()) return "0";
  return nvr::auth::session_open(nvr::auth::kGuestAccount, "temp", cgiRemoteAddr).value_or("0");
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
