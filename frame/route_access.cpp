// The access table: each module's default need, then the routes that differ
// from it. Reviewed route by route against the module route tables; a unit
// test checks that every registered route resolves to one rule and that no
// row names a code nobody registered.
#include "frame/route_access.h"

#include <cstring>
#include <string_view>

#include "frame/cgic.h"
#include "frame/dispatchreq.h"
#include "frame/json.h"
#include "frame/session.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/system/users_records.h"
#include "platform/device_path.h"

namespace nvr::auth {
namespace {

struct ModuleAccess {
  std::span<const Route> (*table)();
  Need need;
};

// What a route of each module needs unless it is listed below.
const ModuleAccess kModuleDefaults[] = {
    {system_route_table, Need::kSettings},    // users and system administration
    {status_route_table, Need::kStatus},      // status and diagnostics
    {general_route_table, Need::kSettings},   // general settings
    {storage_route_table, Need::kStorage},    // disks, RAID, network disks
    {cameras_route_table, Need::kCamera},     // camera channels and their settings
    {video_route_table, Need::kEvent},        // events and their actions
    {record_route_table, Need::kStorage},     // what is recorded, when and where
    {network_route_table, Need::kSettings},   // network and its services
    {playback_route_table, Need::kPlayback},  // live view and playback sessions
    {ptz_route_table, Need::kLiveView},       // PTZ steering from the live view
    {alarm_route_table, Need::kEvent},        // alarm inputs and outputs
};

using N = Need;
constexpr const char* kBody = kChannelIsBody;

const AccessRow kExceptions[] = {
    // ---- users and system administration ----
    {"/1000", N::kNothing},  // log-in
    {"/1018", N::kNothing},  // log-in link
    {"/json", N::kNothing},  // language texts of the log-in page
    {"/1014", N::kSession},  // log-out
    {"/1001", N::kSession},  // the language of the pages
    {"/1009", N::kSession},  // system information the pages show
    {"/1020", N::kSession},
    {"/6080", N::kSession},
    {"/1024", N::kSession},  // clears the caller's permission-update notice
    {"/1005", N::kSession},  // progress of a restart
    {"/1004", N::kShutdown},
    {"/1006", N::kAdmin},  // restore
    {"/1007", N::kAdmin},  // configuration export holds the account digests
    {"/1013", N::kAdmin},
    {"/1008", N::kAdmin},   // configuration import replaces the accounts
    {"/1015", N::kStatus},  // device log
    {"/1002", N::kStatus},
    {"/1021", N::kStatus},
    {"/1003", N::kStatus},
    {"/1022", N::kStatus},
    {"/6310", N::kStatus},  // diagnostic export
    {"/6311", N::kStatus},
    {"/1010", N::kAdmin},  // firmware, camera and OEM upgrades
    {"/1011", N::kAdmin},
    {"/1034", N::kAdmin},
    {"/6082", N::kAdmin},
    {"/6083", N::kAdmin},
    {"/6084", N::kAdmin},
    {"/6085", N::kAdmin},
    {"/6086", N::kAdmin},
    {"/6087", N::kAdmin},
    {"/6088", N::kAdmin},
    {"/6089", N::kAdmin},
    {"/oem", N::kAdmin},
    {"/1019", N::kAdmin},
    {"/dw.cgi", N::kAdmin},
    {"/6070", N::kAdmin},  // accounts
    {"/6071", N::kAdmin},
    {"/6072", N::kAdmin},
    {"/6073", N::kAdmin},
    {"/6074", N::kAdmin},
    {"/6075", N::kAdmin},
    {"/6076", N::kAdmin},
    {"/6077", N::kAdmin},
    {"/vb.htm", N::kAdmin},  // factory options
    {"/ipc", N::kCamera},    // camera address assignment
    {"/6320", N::kEvent},    // alarm audio files
    {"/6321", N::kEvent},
    {"/6322", N::kEvent},
    {"/6323", N::kEvent},
    {"/6324", N::kEvent},
    {"/6325", N::kEvent},

    // ---- status ----
    {"/8004", N::kSession},
    {"/8009", N::kSession},  // channel count the pages are laid out by

    // ---- general settings ----
    {"/3302", N::kStorage},  // record mode of every channel
    {"/3304", N::kCamera},

    // ---- cameras ----
    {"/2012", N::kSession},        // channel names
    {"/2029", N::kSession},        // channel models
    {"/2028", N::kLiveView},       // motion marks of the live view
    {"/2013", N::kPlayback},       // days with recordings
    {"/2066", N::kSmartAnalysis},  // people counting, POS, face, reports
    {"/2067", N::kSmartAnalysis},
    {"/2069", N::kSmartAnalysis},
    {"/2070", N::kSmartAnalysis},
    {"/2073", N::kSmartAnalysis},
    {"/2074", N::kSmartAnalysis},
    {"/2075", N::kSmartAnalysis},
    {"/2076", N::kSmartAnalysis},
    {"/2077", N::kSmartAnalysis},
    {"/2078", N::kAdmin},  // camera upgrades
    {"/2079", N::kAdmin},
    {"/2080", N::kAdmin},

    // ---- video and events: smart analytics, plates, people counting ----
    {"/6132", N::kSmartAnalysis},
    {"/6133", N::kSmartAnalysis},
    {"/6134", N::kSmartAnalysis},
    {"/6135", N::kSmartAnalysis},
    {"/6136", N::kSmartAnalysis},
    {"/6137", N::kSmartAnalysis},
    {"/6138", N::kSmartAnalysis},
    {"/6139", N::kSmartAnalysis},
    {"/6140", N::kSmartAnalysis},
    {"/6141", N::kSmartAnalysis},
    {"/6142", N::kSmartAnalysis},
    {"/6143", N::kSmartAnalysis},
    {"/6144", N::kSmartAnalysis},
    {"/6145", N::kSmartAnalysis},
    {"/6146", N::kSmartAnalysis},
    {"/6147", N::kSmartAnalysis},
    {"/6148", N::kSmartAnalysis},
    {"/6149", N::kSmartAnalysis},
    {"/6150", N::kSmartAnalysis},
    {"/6151", N::kSmartAnalysis},
    {"/6154", N::kSmartAnalysis},
    {"/6157", N::kSmartAnalysis},
    {"/6171", N::kSmartAnalysis},
    {"/6172", N::kSmartAnalysis},
    {"/6192", N::kSmartAnalysis},
    {"/6193", N::kSmartAnalysis},
    {"/6194", N::kSmartAnalysis},
    {"/6195", N::kSmartAnalysis},
    {"/6179", N::kSmartAnalysis},
    {"/6180", N::kSmartAnalysis},
    {"/6181", N::kSmartAnalysis},
    {"/6182", N::kSmartAnalysis},
    {"/6183", N::kSmartAnalysis},
    {"/6184", N::kSmartAnalysis},
    {"/6185", N::kSmartAnalysis},
    {"/6186", N::kSmartAnalysis},
    {"/6189", N::kSmartAnalysis},
    {"/6190", N::kSmartAnalysis},
    {"/6191", N::kSmartAnalysis},
    {"/6096", N::kSmartAnalysis},
    {"/6097", N::kSmartAnalysis},
    // ---- video and events: what belongs to the camera picture ----
    {"/6000", N::kCamera},  // on-screen display
    {"/6001", N::kCamera},
    {"/6002", N::kCamera},
    {"/6996", N::kCamera},
    {"/6997", N::kCamera},
    {"/6018", N::kCamera},  // privacy masks
    {"/6019", N::kCamera},
    {"/6115", N::kCamera},
    {"/6173", N::kCamera},
    {"/6198", N::kCamera},
    {"/6130", N::kCamera},  // fisheye
    {"/6131", N::kCamera},
    {"/6196", N::kCamera},
    {"/6197", N::kCamera},
    {"/6116", N::kSession},  // camera model type

    // ---- live view and playback ----
    {"/4000", N::kPlayback, "channelId"},
    {"/4001", N::kPlayback, "channelId"},
    {"/4010", N::kLiveView, "id"},
    {"/4011", N::kLiveView, "id"},
    {"/4012", N::kLiveView},
    {"/4014", N::kLiveView, kBody},
    {"/4015", N::kLiveView, kBody},
    {"/4016", N::kLiveView, kBody},
    {"/4017", N::kLiveView, kBody},
    {"/4018", N::kLiveView},
    {"/4024", N::kLiveView, kBody},
    {"/3000", N::kLiveView, "chnid"},  // image parameters
    {"/3001", N::kCamera},
    {"/3002", N::kCamera},
    {"/4013", N::kRetrieve, "id"},  // recording download, of a playback channel
    {"/4019", N::kRetrieve},
    {"/4027", N::kRetrieve},
    {"/4021", N::kSession},  // external ports
    {"/3004", N::kSession},  // whether the daemon is busy

    // ---- PTZ: steering is live view on the channel, set-up is camera ----
    {"/5000", N::kLiveView, "channelId"},
    {"/5001", N::kLiveView, "channelId"},
    {"/5002", N::kLiveView, "chn"},
    {"/5003", N::kLiveView, "chn"},
    {"/5005", N::kLiveView, "chn"},
    {"/5006", N::kLiveView, "channelId"},
    {"/5007", N::kLiveView, "camId"},
    {"/5008", N::kLiveView, "chn"},
    {"/5004", N::kCamera},
    {"/5012", N::kCamera},
    {"/6050", N::kCamera},
    {"/6051", N::kCamera},
    {"/6052", N::kCamera},
    {"/6053", N::kCamera},
    {"/6054", N::kCamera},
    {"/6055", N::kCamera},
    {"/6056", N::kCamera},
    {"/6057", N::kCamera},
};

bool same_code(const char* a, const char* b) { return strcmp(a, b) == 0; }

bool in_table(std::span<const Route> table, const char* code) {
  for (const Route& route : table)
    if (strncmp(route.entry.code, code, sizeof route.entry.code) == 0) return true;
  return false;
}

// ---- the caller of this run ----------------------------------------------------------

struct RunState {
  bool checked = false;  // the switch was on and a session was admitted
  Caller caller;
  UserInfo account{};
  bool local = false;
};
RunState g_run;

bool is_loopback(std::string_view address) {
  return address.starts_with("127.") || address == "::1" || address.starts_with("::ffff:127.");
}

void refuse(const char* status, const char* reason) {
  CGI_LOG("route \"%.127s\" from %.45s: refused (%s): %s", cgiPathInfo, cgiRemoteAddr, status,
          reason);
  cgi_answer_status(status);
}

void refuse_unauthorized(const char* reason) { refuse("401 Unauthorized", reason); }
void refuse_forbidden(const char* reason) { refuse("403 Forbidden", reason); }

// The account behind a session, when it still is the account that logged in.
bool load_account(const Session& session, UserInfo* account) {
  if (session.account == kGuestAccount) return true;  // a guest holds no flags
  if (session.account < 0 || session.account >= kMaxUsers) return false;
  if (read_user(qvdb_path(), account, session.account) != 0) return false;
  account->name[sizeof account->name - 1] = '\0';
  return account->enable != 0 && account->id == session.account &&
         session.account_name == account->name;
}

bool is_admin() {
  return g_run.caller.account != kGuestAccount && g_run.account.type == kUserTypeAdmin;
}

bool holds(Need need) {
  if (need == Need::kNothing || need == Need::kSession) return true;
  if (is_admin()) return true;
  if (need == Need::kAdmin || g_run.caller.account == kGuestAccount) return false;
  const int index = static_cast<int>(need) - static_cast<int>(Need::kLiveView);
  const int32_t* flags = g_run.local ? g_run.account.local_flags : g_run.account.remote_flags;
  return flags[index] != 0;
}

// The channel selection a channel-bound need is checked against.
const char* selection_for(Need need) {
  const UserInfo& a = g_run.account;
  if (need == Need::kLiveView) return g_run.local ? a.localliveview : a.remoteliveview;
  return g_run.local ? a.localplayback : a.remoteplayback;
}

// The channel a request names; absent reads as 0, like the handlers read it.
std::optional<int64_t> requested_channel(const char* key, const char* data) {
  if (!data) data = "";
  if (key == kChannelIsBody || !*key) {
    char* end = nullptr;
    const long long value = strtoll(data, &end, 10);
    return end == data ? 0 : value;
  }
  Json request = parse_request(data);
  if (!request) return 0;
  json_object* value = json_get(request.get(), key);
  if (!value) return 0;
  if (json_is(value, json_type_string)) {
    const char* text = json_object_get_string(value);
    char* end = nullptr;
    const long long number = strtoll(text, &end, 10);
    return end == text ? std::nullopt : std::optional<int64_t>(number);
  }
  return json_int64(value);
}

}  // namespace

std::optional<AccessRule> route_access_rule(const char* code) {
  if (!code) return std::nullopt;
  bool registered = false;
  Need need = Need::kSession;
  for (const ModuleAccess& module : kModuleDefaults)
    if (in_table(module.table(), code)) {
      registered = true;
      need = module.need;
      break;
    }
  if (!registered) return std::nullopt;
  for (const AccessRow& row : kExceptions)
    if (same_code(row.code, code)) return AccessRule{row.need, row.channel_key};
  return AccessRule{need, nullptr};
}

std::span<const AccessRow> route_access_exceptions() { return kExceptions; }

const char* need_name(Need need) {
  static const char* const kNames[] = {
      "nothing", "session", "live view", "playback", "retrieve", "smart analysis", "event",
      "camera",  "storage", "settings",  "status",   "shutdown", "administrator"};
  return kNames[static_cast<int>(need)];
}

bool route_access_admit(const char* code) {
  g_run = RunState{};
  if (!server_auth_enabled()) return true;
  const std::optional<AccessRule> rule = route_access_rule(code);
  // An unknown route is answered as such; a route that needs nothing runs.
  if (!rule || rule->need == Need::kNothing) return true;

  const std::string id = cookie_session_id(cgiCookie);
  if (id.empty()) {
    refuse_unauthorized("no session");
    return false;
  }
  const std::optional<Session> session = session_use(id, cgiRemoteAddr);
  if (!session) {
    refuse_unauthorized("no such session, or it expired");
    return false;
  }
  UserInfo account{};
  if (!load_account(*session, &account)) {
    session_close(id);
    refuse_unauthorized("the session's account no longer exists");
    return false;
  }
  g_run.caller = Caller{id, session->account, session->account_name};
  g_run.account = account;
  g_run.local = is_loopback(cgiRemoteAddr);
  g_run.checked = true;
  if (!holds(rule->need)) {
    char reason[128];
    snprintf(reason, sizeof reason, "the account \"%.63s\" lacks the %s permission",
             session->account_name.c_str(), need_name(rule->need));
    refuse_forbidden(reason);
    return false;
  }
  return true;
}

bool route_access_admit_channel(const char* code, const char* data) {
  if (!g_run.checked) return true;
  const std::optional<AccessRule> rule = route_access_rule(code);
  if (!rule || !rule->channel_key || is_admin()) return true;
  const std::optional<int64_t> channel = requested_channel(rule->channel_key, data);
  if (!channel) return true;  // not a channel number: the handler refuses it
  const char* selection = selection_for(rule->need);
  const bool selected = *channel >= 0 && *channel < 64 &&
                        static_cast<size_t>(*channel) < strnlen(selection, 64) &&
                        selection[*channel] == '1';
  if (!selected) {
    char reason[128];
    snprintf(reason, sizeof reason, "channel %lld is not in the %s selection of \"%.63s\"",
             static_cast<long long>(*channel), need_name(rule->need), g_run.caller.name.c_str());
    refuse_forbidden(reason);
    return false;
  }
  return true;
}

const Caller* current_caller() { return g_run.checked ? &g_run.caller : nullptr; }

void close_current_session() {
  if (g_run.checked) session_close(g_run.caller.session_id);
}

void reset_caller() { g_run = RunState{}; }

}  // namespace nvr::auth
