// Route registry: route code -> handler, and what the frame does with a file
// the request uploads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

using WebReqHandler = void (*)(char* data);

struct WebRes {
  char code[8];           // route code, at most 7 characters, NUL-terminated
  WebReqHandler handler;  // called with the request data text
};
static_assert(sizeof(WebRes) == 16);
static_assert(offsetof(WebRes, handler) == 8);

// What the frame does with a multipart upload before the handler runs.
enum class UploadKind : uint8_t {
  None,       // the route takes no file: any upload is removed before the run ends
  File,       // the upload gets a fresh safe name in "/tmp/"; the handler disposes of it
  Raw,        // the data is "temp & " and the query string; uploads are removed at exit
  Temp,       // the data is the upload's temporary path (removed at exit)
  RawUnread,  // as Raw, but the body is left unread (it reaches the device another way)
};

// A module's route row: the registry entry, its upload kind, and for the route
// catalogue the handler's name and one line saying what the route does. Rows
// are written with NVR_ROUTE, which names the handler from the row itself:
//   NVR_ROUTE("/6100", on_get_disk_info, "Lists the disks ...")
//   NVR_ROUTE("/1008", on_import_config, "Restores ...", UploadKind::File)
// The plain forms `{"/1009", on_y}` still compile (no name, no summary).
struct Route {
  WebRes entry{};
  UploadKind upload = UploadKind::None;
  const char* handler_name = nullptr;  // as written in the row
  const char* summary = nullptr;       // one line, for the route catalogue

  constexpr Route() = default;
  constexpr Route(const WebRes& e, UploadKind kind = UploadKind::None) : entry(e), upload(kind) {}
  template <std::size_t N>
  constexpr Route(const char (&code)[N], WebReqHandler handler, UploadKind kind = UploadKind::None)
      : upload(kind) {
    static_assert(N <= sizeof(WebRes::code), "a route code has at most 7 characters");
    for (std::size_t i = 0; i < N; ++i) entry.code[i] = code[i];
    entry.handler = handler;
  }
  template <std::size_t N>
  constexpr Route(const char (&code)[N], WebReqHandler handler, const char* name, const char* line,
                  UploadKind kind = UploadKind::None)
      : Route(code, handler, kind) {
    handler_name = name;
    summary = line;
  }
};

// A route row that names its handler and says what it does.
#define NVR_ROUTE(code, handler, summary, ...) \
  Route { code, handler, #handler, summary __VA_OPT__(, ) __VA_ARGS__ }

constexpr int kMaxWebReq = 512;

// Registers the entries with upload kind None.
int32_t WebResRegister(const WebRes* entries, int32_t count);
// Registers route rows: fills the registry slots and their upload kinds.
int32_t RouteRegister(const Route* routes, int32_t count);
int32_t WebResUnregister(const WebRes* entries, int32_t count);
int32_t RouteUnregister(const Route* routes, int32_t count);
void DispatchWebReq(const char* code, char* data);
const WebRes* FindWebRes(const char* code);
// The upload kind of a registered route; None for a code nobody registered.
UploadKind route_upload_kind(const char* code);

// Number of used slots (for tests and the overflow check).
int32_t WebResUsedCount();

// Each module's route table, in the order its Parts list the routes.
std::span<const Route> storage_route_table();
std::span<const Route> status_route_table();
std::span<const Route> video_route_table();
std::span<const Route> cameras_route_table();
std::span<const Route> record_route_table();
std::span<const Route> network_route_table();
std::span<const Route> playback_route_table();
std::span<const Route> ptz_route_table();
std::span<const Route> system_route_table();
std::span<const Route> general_route_table();
std::span<const Route> alarm_route_table();

// Every module's table in registration order (the registrar and the route
// catalogue both read this list).
constexpr std::size_t kModuleCount = 11;
std::array<std::span<const Route>, kModuleCount> module_route_tables();
