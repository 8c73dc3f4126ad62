// The camera pass-through: a JSON request packed into a record, one daemon
// request, and the reply record turned back into JSON. Each route of this
// shape is one row of kPassThroughs; the route table names it with
// PASS_THROUGH("/2056", on_cgi_get_ptz_support, "...").
//
// The request record is built from the JSON keys through the row's request
// layout (a descriptor: field order, offsets and keys), in place on the heap;
// integers absent from the request read as 0. A row may add what a layout
// cannot say (a channel mask, a schedule) with its `fill` hook, and may
// answer the reply itself with its `answer` hook; otherwise the reply layout
// gives the answer's keys in record order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "frame/dispatchreq.h"
#include "frame/toolkit.h"
#include "modules/cameras/passthrough_layouts.h"

namespace cameras {

// Adds to the request record what its layout cannot express; -1 refuses the
// request (no answer).
using FillHook = int32_t (*)(json_object* request, uint8_t* record);
// Answers the first reply record (`count` records of the row's reply size).
using AnswerHook = void (*)(uint32_t count, const uint8_t* record);

struct PassThrough {
  const char* route;
  int32_t request_id;
  int32_t reply_id;         // 0: sent without waiting
  const DbRecord* request;  // request record layout and the keys it takes
  const DbRecord* reply;    // reply record layout and the keys it answers (or null)
  const char* channel_key;  // the key that must hold a channel (or null: none)
  int32_t channel_max;      // its highest value (63 for a camera, 8 for a group)
  nvr::Silence refusal;     // answer for unparsable data or a channel out of range
  nvr::Silence silence;     // answer when the daemon does not reply
  FillHook fill = nullptr;
  AnswerHook answer = nullptr;
  const char* done_text = nullptr;  // answer of a request sent without waiting
};

// Every pass-through route, by route.
std::span<const PassThrough> pass_through_table();

// Runs one row: check, build, send, wait, answer.
void run_pass_through(const PassThrough& row, char* data);
// The row of a route (compile-time lookup for the route table).
const PassThrough* find_pass_through(std::string_view route);

// The reply callback of every pass-through row (through on_camera_ipc_callback).
void on_pass_through_cb(uint32_t count, const void* records);

template <size_t N>
struct RouteText {
  char text[N];
  constexpr RouteText(const char (&code)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = code[i];
  }
};

template <RouteText Code>
void pass_through_route(char* data) {
  static const PassThrough* const row = find_pass_through(Code.text);
  if (row != nullptr) run_pass_through(*row, data);
}

}  // namespace cameras

// A pass-through route row: `name` is the handler's name for the route
// catalogue (the routine itself is the shared template).
#define PASS_THROUGH(code, name, summary) \
  Route { code, cameras::pass_through_route<code>, #name, summary }
