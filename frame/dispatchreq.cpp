#include "frame/dispatchreq.h"

#include <cstring>

#include "frame/web_utils.h"

namespace {

// Zero-initialised before any static constructor runs, so registration from
// static initialisers in any order finds the table ready.
WebRes g_routes[kMaxWebReq];
bool g_used[kMaxWebReq];
int32_t g_used_count;

bool same_code(const char* stored, const char* code) {
  return strncmp(stored, code, sizeof(WebRes::code)) == 0 && strlen(code) < sizeof(WebRes::code);
}

}  // namespace

int32_t WebResRegister(const WebRes* entries, int32_t count) {
  if (!entries || count <= 0) return -1;
  if (count + g_used_count >= kMaxWebReq) {
    CGI_LOG("[brask debug] WEBREQ exceeded maximum value(MAX_WEBREQ_COUNT)");
    return -1;
  }
  int32_t slot = 0;
  for (int32_t i = 0; i < count; ++i) {
    while (g_used[slot]) ++slot;
    g_routes[slot] = entries[i];
    g_routes[slot].code[sizeof(WebRes::code) - 1] = '\0';
    g_used[slot] = true;
    ++g_used_count;
  }
  return 0;
}

int32_t WebResUnregister(const WebRes* entries, int32_t count) {
  if (!entries || count <= 0) return -1;
  for (int32_t slot = 0; slot < kMaxWebReq; ++slot) {
    if (!g_used[slot]) continue;
    for (int32_t i = 0; i < count; ++i) {
      // Stored codes are cut to 7 characters; compare the given ones alike.
      if (strncmp(g_routes[slot].code, entries[i].code, sizeof(WebRes::code) - 1) != 0) continue;
      g_routes[slot] = WebRes{};
      g_used[slot] = false;
      --g_used_count;
      break;
    }
  }
  return 0;
}

const WebRes* FindWebRes(const char* code) {
  if (!code) return nullptr;
  for (int32_t slot = 0; slot < kMaxWebReq; ++slot)
    if (g_used[slot] && same_code(g_routes[slot].code, code)) return &g_routes[slot];
  return nullptr;
}

void DispatchWebReq(const char* code, char* data) {
  const WebRes* route = FindWebRes(code);
  if (route && route->handler) route->handler(data);
}

int32_t WebResUsedCount() { return g_used_count; }
