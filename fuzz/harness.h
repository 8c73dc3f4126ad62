// What every fuzz target shares: a temporary device root set up once per
// process, the program's answers sent nowhere, and an in-process stand-in for
// the core daemon that answers each request from a script the fuzzed input
// carries (or not at all).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frame/body_input.h"
#include "frame/dispatchreq.h"
#include "frame/toolkit.h"

namespace fuzz {

// Lays out a fresh device root below /tmp (removed at exit), points NVR_ROOT,
// NVR_TIME_SCALE and PATH (the platform stand-ins first) at it, sends standard
// output to /dev/null. Call first, from LLVMFuzzerInitialize.
void setup_process(const char* argv0);
const std::string& root();

// Reads from a byte string, never past its end.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t left() const { return size_ - pos_; }
  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
  uint32_t u32() { return u16() | (static_cast<uint32_t>(u16()) << 16); }
  std::string_view take(size_t count);
  // Up to (not including) `stop`, which is skipped; the rest when it is absent.
  std::string_view until(char stop);
  std::string_view rest() { return take(left()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// ---- the daemon stand-in -------------------------------------------------------

// One reply the stand-in sends: id and payload.
struct ScriptedReply {
  int32_t id;
  std::string payload;
};

// Starts the stand-in on <root>/var/run/qvsocket (once).
void start_daemon();
// Replies for the coming requests that expect one: group i answers the i-th
// such request (an empty group, or none left: silence). Requests sent without
// expecting a reply are taken and dropped.
void script_replies(std::vector<std::vector<ScriptedReply>> groups);
// A script read from fuzzed bytes: per request a count, then per reply an id
// selector (an index into `known_ids`, or a raw id) and a sized payload.
std::vector<std::vector<ScriptedReply>> read_script(Bytes& in, std::span<const int32_t> known_ids);
// Requests the stand-in received since the last script (ids).
std::vector<int32_t> received_requests();

// ---- routes and reply tables ---------------------------------------------------

// Every route of every module table, less the excluded ones.
const std::vector<const Route*>& fuzzable_routes();
// Route codes left out of the route target, and why.
struct Excluded {
  const char* code;
  const char* why;
};
std::span<const Excluded> excluded_routes();

// Runs one route's handler as the frame would: the answer state reset, the
// request data a NUL-terminated copy of `data` (bounded as a post body is).
void run_route(const Route& route, std::string_view data);

// The reply tables learnt by running every route once with a daemon that
// answers each request (needs start_daemon()).
const std::vector<std::span<const nvr::ReplyRow>>& reply_tables();
// Every reply id of those tables, sorted, without repeats.
const std::vector<int32_t>& known_reply_ids();

}  // namespace fuzz

namespace fuzz {

// A read callback over `text` that hands out pieces of varying size (from
// `seed`: 0 hands out as much as is asked for).
BodyInput::ReadFn pieces_of(std::string text, uint8_t seed);

}  // namespace fuzz
