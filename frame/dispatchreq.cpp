#include "frame/dispatchreq.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "frame/route_access.h"
#include "frame/web_utils.h"

namespace {

// Zero-initialised before any static constructor runs, so registration from
// static initialisers in any order finds the table ready.
WebRes g_routes[kMaxWebReq];
UploadKind g_upload[kMaxWebReq];
bool g_used[kMaxWebReq];
int32_t g_used_count;

const WebRes& entry_of(const WebRes& entry) { return entry; }
const WebRes& entry_of(const Route& route) { return route.entry; }

bool same_code(const char* stored, const char* code) {
  return strncmp(stored, code, sizeof(WebRes::code)) == 0 && strlen(code) < sizeof(WebRes::code);
}

// Fills free slots with the entries; `kind_of(i)` gives entry i's upload kind.
template <typename Entry, typename Kind>
int32_t register_entries(const Entry* entries, int32_t count, Kind kind_of) {
  if (!entries || count <= 0) return -1;
  if (count + g_used_count >= kMaxWebReq) {
    CGI_LOG("[brask debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)");
    return -1;
  }
  int32_t slot = 0;
  for (int32_t i = 0; i < count; ++i) {
    while (g_used[slot]) ++slot;
    g_routes[slot] = entry_of(entries[i]);
    g_routes[slot].code[sizeof(WebRes::code) - 1] = '\0';
    g_upload[slot] = kind_of(i);
    g_used[slot] = true;
    ++g_used_count;
  }
  return 0;
}

}  // namespace

int32_t WebResRegister(const WebRes* entries, int32_t count) {
  return register_entries(entries, count, [](int32_t) { return UploadKind::None; });
}

int32_t RouteRegister(const Route* routes, int32_t count) {
  return register_entries(routes, count, [routes](int32_t i) { return routes[i].upload; });
}

namespace {

// A code's first 7 characters as one number (stored codes are cut to 7), so
// that removing a table is one pass over the slots, not one per entry: the
// finalisers remove every table at the end of each run.
uint64_t code_key(const char* code) {
  uint64_t key = 0;
  memcpy(&key, code, strnlen(code, sizeof(WebRes::code) - 1));
  return key;
}

void unregister_codes(std::vector<uint64_t> keys) {
  std::sort(keys.begin(), keys.end());
  for (int32_t slot = 0; slot < kMaxWebReq; ++slot) {
    if (!g_used[slot] ||
        !std::binary_search(keys.begin(), keys.end(), code_key(g_routes[slot].code)))
      continue;
    g_routes[slot] = WebRes{};
    g_upload[slot] = UploadKind::None;
    g_used[slot] = false;
    --g_used_count;
  }
}

}  // namespace

int32_t WebResUnregister(const WebRes* entries, int32_t count) {
  if (!entries || count <= 0) return -1;
  std::vector<uint64_t> keys;
  keys.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) keys.push_back(code_key(entries[i].code));
  unregister_codes(std::move(keys));
  return 0;
}

int32_t RouteUnregister(const Route* routes, int32_t count) {
  if (!routes || count <= 0) return -1;
  std::vector<uint64_t> keys;
  keys.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) keys.push_back(code_key(routes[i].entry.code));
  unregister_codes(std::move(keys));
  return 0;
}

const WebRes* FindWebRes(const char* code) {
  if (!code) return nullptr;
  for (int32_t slot = 0; slot < kMaxWebReq; ++slot)
    if (g_used[slot] && same_code(g_routes[slot].code, code)) return &g_routes[slot];
  return nullptr;
}

UploadKind route_upload_kind(const char* code) {
  const WebRes* route = FindWebRes(code);
  return route ? g_upload[route - g_routes] : UploadKind::None;
}

void DispatchWebReq(const char* code, char* data) {
  const WebRes* route = FindWebRes(code);
  if (!route || !route->handler) return;
  if (!nvr::auth::route_access_admit_channel(code, data)) return;
  route->handler(data);
}

int32_t WebResUsedCount() { return g_used_count; }
