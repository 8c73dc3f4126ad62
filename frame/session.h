// Server-side sessions and the log-in limit, kept when the parameter
// "server_auth" is 1.
//
// A session is a row of a small database under "/tmp" (it survives across
// runs and is shared by concurrent ones, but not across a restart of the
// device): the session id (32 decimal digits from the kernel's random
// source), the account it belongs to, the client address it was opened from,
// the time it was opened and the time it was last used. It lasts while it is
// used at least every 30 minutes, and 12 hours at most.
//
// The same database keeps the failed log-ins of each client address: after 5
// within 5 minutes the address is refused for 5 minutes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nvr::auth {

// The parameter that turns the server-side checks on (default 0: the pages
// keep the session in cookies and the program checks nothing).
inline constexpr const char* kServerAuthParam = "server_auth";
inline constexpr std::string_view kSessionDb = "/tmp/web_sessions.db";

inline constexpr int kSessionIdDigits = 32;
inline constexpr int64_t kSessionIdleSeconds = 30 * 60;
inline constexpr int64_t kSessionMaxSeconds = 12 * 60 * 60;
inline constexpr int kLoginFailureLimit = 5;
inline constexpr int64_t kLoginFailureWindowSeconds = 5 * 60;
inline constexpr int64_t kLoginBlockSeconds = 5 * 60;

// The account id of a session opened by a log-in link: a guest with no
// account and no permission flags.
inline constexpr int32_t kGuestAccount = -1;

// True when "server_auth" is 1 in the settings database; read once per run.
bool server_auth_enabled();
// Forgets what was read (tests that change the parameter within one process).
void reset_server_auth_cache();

// Seconds since the epoch as the session limits count them: the wall clock
// plus NVR_CLOCK_OFFSET (whole seconds, tests only) so that expiry can be
// tested without waiting.
int64_t auth_now();

// 32 decimal digits drawn from the kernel's random source (about 106 bits);
// nothing when the source cannot be read.
std::optional<std::string> random_session_id();

// The "sessionId" entry of a cookie text; empty when there is none.
std::string cookie_session_id(std::string_view cookie);

struct Session {
  int32_t account = kGuestAccount;
  std::string account_name;
  std::string address;
  int64_t opened = 0;
  int64_t last_used = 0;
};

// Opens a session for the account from `address`; its id, or nothing when it
// could not be stored. Expired sessions are removed on the way.
std::optional<std::string> session_open(int32_t account, std::string_view account_name,
                                        std::string_view address);
// The session `id` when it exists, has not expired and was opened from
// `address`; its last use becomes now. An expired session met here is removed.
std::optional<Session> session_use(std::string_view id, std::string_view address);
void session_close(std::string_view id);
// Ends every session of the account (a changed or deleted account). Works
// whether or not the switch is on, so that no old session outlives a change.
void sessions_close_for_account(int32_t account);

// The log-in limit of a client address.
bool login_blocked(std::string_view address);
void login_failed(std::string_view address);
void login_succeeded(std::string_view address);

}  // namespace nvr::auth
