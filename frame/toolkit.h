// What every route of every module does again and again, as the frame's own
// tools: reply tables, asking the daemon with the route's error answer,
// request policies, and the tail of a settings change.
//
// A query route (ask, and let the reply callback answer):
//
//   void on_get_disks_cb(uint32_t count, const void* records) {
//     nvr::Json list = nvr::json_new_array();
//     for (uint32_t i = 0; i < count; ++i) {
//       DiskStatus disk = nvr::record_at<DiskStatus>(records, i);
//       ...
//     }
//     nvr::answer_json(list);                      // writes, then sets the flag
//   }
//   constexpr nvr::ReplyRow kStorageReplies[] = {
//       {kReplyDiskList, sizeof(DiskStatus), on_get_disks_cb},
//   };
//   void on_storage_ipc_callback(void*, const void* header, const void* payload) {
//     nvr::dispatch_reply(kStorageReplies, header, payload);
//   }
//   void on_get_disk_info(char*) {
//     nvr::ask_or_answer(on_storage_ipc_callback, kReqDiskList, nullptr, 0, nvr::Silence::kJson);
//   }
//
// A set route (read the policy, write, notify, log, answer):
//
//   constexpr nvr::PolicyRow kDiskPolicy[] = {
//       NVR_POLICY_INT(DiskSet, port, "port", 1, 36, nvr::Presence::kRequired),
//       NVR_POLICY_INT(DiskSet, group, "group", 0, 15, nvr::Presence::kAbsentIsZero),
//   };
//   void on_set_disk_info(char* data) {
//     DiskSet set{};
//     if (nvr::read_request(data, kDiskPolicy, &set) != 0) return;   // refused: no answer
//     int32_t stored = write_disk(nvr::qvdb_path(), &set);
//     nvr::finish_change(stored, {kReqDiskChanged, &set.port, sizeof set.port},
//                        {kLogSubStorage, kLogParamDisk, 0});
//   }
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <type_traits>

#include "frame/ipc.h"
#include "frame/json.h"
#include "platform/qvdb.h"

namespace nvr {

// ---- reply tables ------------------------------------------------------------------

// A reply callback: `count` whole records of the row's size at `records`
// (possibly unaligned: read them with record_at).
using ReplyCallback = void (*)(uint32_t count, const void* records);

// One reply a module understands. record_size 1 hands over the payload size
// in bytes as the count (text and byte payloads).
struct ReplyRow {
  int32_t reply_id;
  uint32_t record_size;
  ReplyCallback callback;
};

// The body of every on_<module>_ipc_callback: a null payload, unknown reply
// ids and replies after the run was answered are ignored; the count is the payload size divided by
// the row's record size, so a callback never sees part of a record counted as one.
void dispatch_reply(std::span<const ReplyRow> table, const void* header, const void* payload);

// Sees every reply table a reply is dispatched through, before the dispatch:
// the fuzz targets learn the modules' tables this way. None in the program.
using ReplyTableObserver = void (*)(std::span<const ReplyRow> table);
void set_reply_table_observer(ReplyTableObserver observer);

// Record i of a reply payload, copied out (payloads need not be aligned).
template <class T>
T record_at(const void* records, uint32_t i) {
  static_assert(std::is_trivially_copyable_v<T>);
  T record;
  std::memcpy(&record, static_cast<const uint8_t*>(records) + static_cast<size_t>(i) * sizeof(T),
              sizeof(T));
  return record;
}

// What a reply callback ends with: the answer, then the completion flag
// (`verdict`), in that order.
void answer_json(const Json& answer, int32_t verdict = 1);
void answer_text(const char* text, int32_t verdict = 1);

// ---- asking the daemon ---------------------------------------------------------------

// The error answer of a route whose request the daemon did not answer in time.
enum class Silence : uint8_t {
  kText,     // "CGI ERROR"
  kJson,     // {"status":"CGI ERROR"}
  kNothing,  // no answer at all
};

// Sends one request and waits for the module's reply callback to answer; when
// none did within the request's limit, writes the route's error answer.
// Returns the completion flag: 0 when nothing answered, else the callback's
// verdict (1, or the module's own value).
int32_t ask_or_answer(IpcCallback dispatcher, int32_t request_id, const void* payload,
                      int32_t length, Silence silence);
template <class T>
int32_t ask_or_answer(IpcCallback dispatcher, int32_t request_id, const T& payload,
                      Silence silence) {
  static_assert(std::is_trivially_copyable_v<T>);
  return ask_or_answer(dispatcher, request_id, &payload, sizeof(T), silence);
}

// The same without an error answer: the handler decides what silence means.
int32_t ask_daemon(IpcCallback dispatcher, int32_t request_id, const void* payload, int32_t length);

// Sends a request the daemon acts on without answering (any reply is ignored)
// and closes the client again.
int32_t tell_daemon(int32_t request_id, const void* payload, int32_t length);
template <class T>
int32_t tell_daemon(int32_t request_id, const T& payload) {
  static_assert(std::is_trivially_copyable_v<T>);
  return tell_daemon(request_id, &payload, sizeof(T));
}

// For a handler that needs the reply's data itself (to merge it with stored
// settings, or to ask again): sends, waits, and returns the payload of the
// first reply with `reply_id`, or nothing when none came in time. Nothing is
// written to the browser.
std::optional<std::string> fetch_reply(int32_t request_id, const void* payload, int32_t length,
                                       int32_t reply_id);
// The first record of such a reply, or nothing when it is shorter than one.
template <class T>
std::optional<T> fetch_record(int32_t request_id, const void* payload, int32_t length,
                              int32_t reply_id) {
  std::optional<std::string> bytes = fetch_reply(request_id, payload, length, reply_id);
  if (!bytes || bytes->size() < sizeof(T)) return std::nullopt;
  return record_at<T>(bytes->data(), 0);
}

// ---- request policies -------------------------------------------------------------------

enum class Presence : uint8_t {
  kRequired,      // absent: the request is refused
  kAbsentIsZero,  // absent: the field is set to 0 (or the empty text)
  kOptional,      // absent: the field keeps what it holds
  kLenient,       // never refuses: absent, not an integer or past the bounds
                  // reads as 0
};

enum class PolicyType : uint8_t {
  kInt,       // a JSON integer within [min, max] into a signed or unsigned field of 1..8 bytes
  kText,      // a JSON string, copied bounded and NUL-terminated into char[size]
  kNonEmpty,  // the same, and not empty
};

// One key of a request: its type, bounds, presence and where it goes in the
// handler's record. A present value of the wrong type or out of bounds
// refuses the request.
struct PolicyRow {
  const char* key;
  PolicyType type;
  Presence presence;
  int64_t min;
  int64_t max;
  uint32_t offset;
  uint32_t size;
  bool is_signed;
};

void policy_key_not_in_descriptor();  // not constexpr: names the fault at compile time

// A policy row for the field of a settings descriptor that has JSON key
// `key`, so a record's policy does not repeat its layout.
constexpr PolicyRow policy_from(const DbRecord& record, const char* key, int64_t min, int64_t max,
                                Presence presence) {
  for (const DbField& field : record.fields) {
    if (std::string_view(field.json ? field.json : field.column) != key) continue;
    const bool text = field.type == DbType::Text;
    const bool is_signed = field.type == DbType::I8 || field.type == DbType::I16 ||
                           field.type == DbType::I32 || field.type == DbType::I64;
    return PolicyRow{key,        text ? PolicyType::kText : PolicyType::kInt,
                     presence,   min,
                     max,        field.offset,
                     field.size, is_signed};
  }
  policy_key_not_in_descriptor();
  return {};
}
constexpr PolicyRow policy_text_from(const DbRecord& record, const char* key, Presence presence,
                                     bool non_empty = false) {
  PolicyRow row = policy_from(record, key, 0, 0, presence);
  if (non_empty) row.type = PolicyType::kNonEmpty;
  return row;
}

#define NVR_POLICY_INT(Struct, member, key, min, max, presence)               \
  nvr::PolicyRow {                                                            \
    key, nvr::PolicyType::kInt, presence, min, max, offsetof(Struct, member), \
        sizeof(Struct::member),                                               \
        std::is_signed_v<std::remove_all_extents_t<decltype(Struct::member)>> \
  }
#define NVR_POLICY_TEXT(Struct, member, key, presence)                                             \
  nvr::PolicyRow {                                                                                 \
    key, nvr::PolicyType::kText, presence, 0, 0, offsetof(Struct, member), sizeof(Struct::member), \
        false                                                                                      \
  }
#define NVR_POLICY_NONEMPTY(Struct, member, key, presence)                     \
  nvr::PolicyRow {                                                             \
    key, nvr::PolicyType::kNonEmpty, presence, 0, 0, offsetof(Struct, member), \
        sizeof(Struct::member), false                                          \
  }

// Reads every row of `policy` from `request` into `record`: 0, or -1 when a
// row refuses the request (then `record` may be partly filled).
int32_t read_policy(json_object* request, std::span<const PolicyRow> policy, void* record);

// The request data of a JSON route: the object, or null for no data, text
// that does not parse, or a value that is not an object. The one way every
// handler parses its data.
Json parse_request(const char* data);

// parse_request + read_policy: 0 when the data is an object that passes.
int32_t read_request(const char* data, std::span<const PolicyRow> policy, void* record);

// ---- the tail of a change --------------------------------------------------------------

// A request told to the daemon after a change (request_id 0: none).
struct Notice {
  int32_t request_id = 0;
  const void* payload = nullptr;
  int32_t length = 0;
};
// The operation-log record of a change (sub_type 0: none). chan_no counts
// channels from 1, 0 for none.
struct LogEntry {
  int64_t sub_type = 0;
  int32_t param_type = 0;
  int32_t chan_no = 0;
};

// What a set route ends with once its settings are written: a failed write
// (`stored` not 0) answers the error of `kind` and tells nobody; otherwise the
// daemon is told, the operation log records it and "OK" (or `ok_text`) is
// answered, in that order.
void finish_change(int32_t stored, const Notice& notice, const LogEntry& log,
                   int kind = 0 /* kRespText */, const char* ok_text = "OK");

// The channel counted from 1 for a log record, or 0 outside 0..63 (no
// overflow for any int32 channel).
int32_t log_channel(int64_t channel);

}  // namespace nvr
