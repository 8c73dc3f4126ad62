// What each route needs of the caller when the server-side checks are on
// ("server_auth" 1), and the checks the frame makes before a handler runs.
//
// Every registered route resolves to exactly one need: nothing, a valid
// session, or a valid session whose account holds one permission flag (or is
// an administrator). Routes bound to a channel also name the request key that
// carries the channel; the channel must be in the account's live-view
// selection (live view) or playback selection (playback, retrieve).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace nvr::auth {

enum class Need : uint8_t {
  kNothing,  // the log-in routes and what the log-in page loads
  kSession,  // any logged-in caller
  // The ten permission flags, in the order of the account record's flags.
  kLiveView,
  kPlayback,
  kRetrieve,
  kSmartAnalysis,
  kEvent,
  kCamera,
  kStorage,
  kSettings,
  kStatus,
  kShutdown,
  kAdmin,  // accounts, upgrades, factory options, restore: administrators only
};

// The request key whose value is the channel, for a channel-bound route;
// kChannelIsBody when the whole request data is the channel number.
inline constexpr const char* kChannelIsBody = "";

struct AccessRule {
  Need need = Need::kSession;
  const char* channel_key = nullptr;  // null: not bound to a channel
};

// A route code's rule; nothing for a code that no module registered.
std::optional<AccessRule> route_access_rule(const char* code);

// Exceptions to the module defaults, for the table test.
struct AccessRow {
  const char* code;
  Need need;
  const char* channel_key = nullptr;
};
std::span<const AccessRow> route_access_exceptions();

const char* need_name(Need need);

// The frame's checks. Each refusal answers itself ("Status: 401 Unauthorized"
// without a valid session, "Status: 403 Forbidden" without the permission)
// and leaves one debug-log line. Both admit everything when the switch is off.
//
// Before the request is read: the session and the permission.
bool route_access_admit(const char* code);
// Before the handler runs: the channel of a channel-bound route.
bool route_access_admit_channel(const char* code, const char* data);

// The caller of this run, once admitted with a session.
struct Caller {
  std::string session_id;
  int32_t account = -1;
  std::string name;
};
const Caller* current_caller();
// Closes the caller's session (the log-out).
void close_current_session();
// Forgets the caller (tests running several requests in one process).
void reset_caller();

}  // namespace nvr::auth
