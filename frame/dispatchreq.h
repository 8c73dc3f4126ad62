// Route registry: route code -> handler.
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

constexpr int kMaxWebReq = 512;

int32_t WebResRegister(const WebRes* entries, int32_t count);
int32_t WebResUnregister(const WebRes* entries, int32_t count);
void DispatchWebReq(const char* code, char* data);
const WebRes* FindWebRes(const char* code);

// Number of used slots (for tests and the overflow check).
int32_t WebResUsedCount();

// Each module's route table, in the order its Parts list the routes.
std::span<const WebRes> system_route_table();
