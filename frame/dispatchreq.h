// Route registry: route code -> handler, and what the frame does with a file
// the request uploads.
#pragma once

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
  None,  // the route takes no file: any upload is removed before the run ends
  File,  // the upload is kept under a fresh safe name in "/tmp/" (removed at exit)
  Raw,   // the body is left unread; the data is "temp & " and the query string
  Temp,  // the data is the upload's temporary path (removed at exit)
};

// A module's route row: the registry entry and its upload kind. Rows are
// written `{"/1008", on_x, UploadKind::File}` or `{"/1009", on_y}` (no file).
struct Route {
  WebRes entry{};
  UploadKind upload = UploadKind::None;

  constexpr Route() = default;
  constexpr Route(const WebRes& e, UploadKind kind = UploadKind::None) : entry(e), upload(kind) {}
  template <std::size_t N>
  constexpr Route(const char (&code)[N], WebReqHandler handler, UploadKind kind = UploadKind::None)
      : upload(kind) {
    static_assert(N <= sizeof(WebRes::code), "a route code has at most 7 characters");
    for (std::size_t i = 0; i < N; ++i) entry.code[i] = code[i];
    entry.handler = handler;
  }
};

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
std::span<const Route> playback_route_table();
std::span<const Route> system_route_table();
