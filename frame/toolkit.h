// What every route of every module does again and again, as the frame's own
// tools: reply tables, asking the daemon with the route's error answer,
// request policies, answer tables, and the tail of a settings change. A route
// file includes this header alone for the frame.
//
// A query route (ask; the reply table hands the record to a callback that
// answers it through answer rows, in row order):
//
//   #define INFO(member, key) NVR_ANSWER_FIELD(DeviceInfo, member, key)
//   constexpr nvr::AnswerRow kSystemInfoAnswer[] = {
//       INFO(model, "deviceName"),                                  // reply field
//       INFO(device_id, "deviceId"),
//       nvr::answer_param_text("company", "company", 64, "Vantrell"),  // stored parameter
//       nvr::answer_param_int("qvfsDbup", "qvfs_dbup", 0),
//       nvr::answer_computed("uptime", uptime_json),                // what the row computes
//   };
//   void on_get_system_info_cb(uint32_t count, const void* payload) {
//     if (count < 1) return;                                 // the wait answers
//     const DeviceInfo info = nvr::record_at<DeviceInfo>(payload, 0);
//     nvr::answer_json(nvr::build_answer(kSystemInfoAnswer, &info));
//   }
//   constexpr nvr::ReplyRow kSysinfoReplies[] = {
//       {kReplySystemInfo, sizeof(DeviceInfo), on_get_system_info_cb},
//   };
//   constexpr IpcCallback on_sysinfo_ipc_callback = nvr::reply_dispatcher<kSysinfoReplies>;
//   void on_get_system_info(char*) {
//     nvr::ask_or_answer(on_sysinfo_ipc_callback, kReqSystemInfo, nullptr, 0, nvr::Silence::kJson);
//   }
//
// A stored record shown as it stands is one call:
//
//   void on_get_auto_reboot(char*) { nvr::write_stored_record(kAutoRebootRecord); }
//
// A set route (read the policy over the stored record, write, notify, answer):
//
//   constexpr nvr::PolicyRow kAutoRebootPolicy[] = {
//       NVR_POLICY_LENIENT(AutoRebootConf, enable, "enable"),
//       NVR_POLICY_LENIENT(AutoRebootConf, hour, "hour"),
//   };
//   void on_set_upnp_info(char* data) {
//     UpnpInfo upnp{};
//     read_upnp(nvr::qvdb_path(), &upnp);
//     if (nvr::read_request(data, kUpnpPolicy, &upnp) != 0) return;   // refused: no answer
//     nvr::finish_change(write_upnp(nvr::qvdb_path(), &upnp),          // failed: "CGI ERROR"
//                        {kReqSetUpnp, &upnp, sizeof upnp}, {});       // else tell, "OK"
//   }
//
// and where the stored record is all the route changes, the pair is a call:
//
//   void on_set_auto_reboot(char* data) {
//     nvr::change_stored_record(data, kAutoRebootRecord, kAutoRebootPolicy,
//                               {kReqAutoRebootChanged});
//   }
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// What a route file works with, so that it includes the toolkit alone: the
// daemon client, JSON, answers, operation-log codes, device paths, settings.
#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/web_utils.h"
#include "platform/device_path.h"
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

// An on_<module>_ipc_callback that is dispatch_reply over one reply table:
//   constexpr IpcCallback on_audio_ipc_callback = nvr::reply_dispatcher<kAudioReplies>;
template <const auto& kTable>
void reply_dispatcher(void*, const void* header, const void* payload) {
  dispatch_reply(kTable, header, payload);
}

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
// What a reply callback answers for a reply without a whole record: at once,
// what the wait running out would answer (the error of `kind`), and the
// completion flag.
void answer_error(int kind = kRespJson);

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
// A key that never refuses: absent, not an integer or past the int32 range
// reads as 0.
#define NVR_POLICY_LENIENT(Struct, member, key) \
  NVR_POLICY_INT(Struct, member, key, INT32_MIN, INT32_MAX, nvr::Presence::kLenient)
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

// The error answer of `kind` ("CGI ERROR" or {"status":"CGI ERROR"}) from a
// handler that stops there: `if (...) return nvr::answer_failure(kRespText);`.
inline void answer_failure(int kind) { cgi_error_to_webserver(kind); }
// The same for an answer of its own: `return nvr::answer_with(kRespText, "ERROR");`.
inline void answer_with(int kind, const char* text) { cgi_writeback_webserver(kind, text); }

// parse_request for a route that answers bad data: null after writing the
// error answer of `kind`.
Json parse_request_or_error(const char* data, int kind);

// parse_request + read_policy: 0 when the data is an object that passes.
int32_t read_request(const char* data, std::span<const PolicyRow> policy, void* record);

// ---- answer tables ----------------------------------------------------------------------

// Where the value of one key of an answer comes from.
enum class AnswerSource : uint8_t {
  kParamInt,     // get_param_int(name, value)
  kParamText,    // get_param_value(name, fallback), bounded to value - 1 characters
  kParamNumber,  // a text parameter holding a small number (at most 7 characters, atoi)
  kField,        // a field of the record handed over (a settings or reply record)
  kRecord,       // every JSON key of a settings descriptor, read from that record
  kInt,          // a fixed integer
  kText,         // a fixed text
  kObject,       // a nested object of its own rows, over the same record
  kComputed,     // what compute() makes of the record (without a key: an
                 // object whose keys all go in)
};

// One key of an answer and its source. Rows are written in table order, so the
// table is the answer's key order.
struct AnswerRow {
  const char* key;
  AnswerSource source;
  const char* name = nullptr;         // parameter key, or the fixed text
  const char* fallback = nullptr;     // a text parameter's default
  int64_t value = 0;                  // integer default, fixed integer, or a text's bound
  DbField field{};                    // kField
  const DbRecord* record = nullptr;   // kRecord
  std::span<const AnswerRow> rows{};  // kObject
  Json (*compute)(const void* record) = nullptr;
};

constexpr AnswerRow answer_param_int(const char* key, const char* param, int64_t fallback) {
  return {key, AnswerSource::kParamInt, param, nullptr, fallback};
}
constexpr AnswerRow answer_param_text(const char* key, const char* param, int64_t size,
                                      const char* fallback) {
  return {key, AnswerSource::kParamText, param, fallback, size};
}
constexpr AnswerRow answer_param_number(const char* key, const char* param, const char* fallback) {
  return {key, AnswerSource::kParamNumber, param, fallback};
}
constexpr AnswerRow answer_fixed_int(const char* key, int64_t value) {
  return {key, AnswerSource::kInt, nullptr, nullptr, value};
}
constexpr AnswerRow answer_fixed_text(const char* key, const char* text) {
  return {key, AnswerSource::kText, text};
}
constexpr AnswerRow answer_record(const DbRecord& record) {
  return {nullptr, AnswerSource::kRecord, nullptr, nullptr, 0, {}, &record};
}
constexpr AnswerRow answer_object(const char* key, std::span<const AnswerRow> rows) {
  return {key, AnswerSource::kObject, nullptr, nullptr, 0, {}, nullptr, rows};
}
constexpr AnswerRow answer_computed(const char* key, Json (*compute)(const void* record)) {
  return {key, AnswerSource::kComputed, nullptr, nullptr, 0, {}, nullptr, {}, compute};
}
constexpr AnswerRow answer_field(const char* key, DbField field) {
  return {key, AnswerSource::kField, nullptr, nullptr, 0, field};
}

// The descriptor type of a record member: char arrays are texts, integers
// keep their width and sign.
template <class M>
constexpr DbType answer_type_of() {
  using E = std::remove_all_extents_t<M>;
  if constexpr (std::is_same_v<E, char>)
    return DbType::Text;
  else if constexpr (std::is_same_v<E, double>)
    return DbType::F64;
  else if constexpr (sizeof(E) == 1)
    return std::is_signed_v<E> ? DbType::I8 : DbType::U8;
  else if constexpr (sizeof(E) == 2)
    return std::is_signed_v<E> ? DbType::I16 : DbType::U16;
  else if constexpr (sizeof(E) == 4)
    return std::is_signed_v<E> ? DbType::I32 : DbType::U32;
  else
    return std::is_signed_v<E> ? DbType::I64 : DbType::U64;
}

// A key read from a member of the record the answer is built from.
#define NVR_ANSWER_FIELD(Struct, member, key)                                                \
  nvr::answer_field(key, db_make_field(key, nvr::answer_type_of<decltype(Struct::member)>(), \
                                       offsetof(Struct, member), sizeof(Struct::member), nullptr))

// Adds the rows' keys to `object` in row order; record fields are read from
// `record` (parameters from the configuration database).
void add_answer_rows(json_object* object, std::span<const AnswerRow> rows,
                     const void* record = nullptr);
// The answer object of the rows.
Json build_answer(std::span<const AnswerRow> rows, const void* record = nullptr);
// Writes the answer object to the browser as `kind` (kRespJson or kRespText).
void write_answer(std::span<const AnswerRow> rows, const void* record = nullptr,
                  int kind = kRespJson);

// A reply callback that answers the reply's first record through answer
// rows; a reply without a whole record answers the error of `empty_kind`.
template <class Record, const auto& kRows, int empty_kind>
void answer_first_record(uint32_t count, const void* records) {
  if (count == 0) return answer_error(empty_kind);
  const Record first = record_at<Record>(records, 0);
  answer_json(build_answer(kRows, &first));
}

// The records of a list, each through the descriptor, in list order, and
// back: element i of a JSON array into record i (at most `max`; records the
// array does not reach are left alone).
Json record_list_json(const DbRecord& desc, const void* array, int count);
void record_list_from_json(const DbRecord& desc, json_object* list, void* array, int max);
// The members of `values` (an object) added to `object`, in their order.
void merge_json_keys(json_object* object, const Json& values);
// The answer of a query route that shows one stored settings record as it
// stands: the row of `key` read over a zeroed record, in the descriptor's key
// order.
void write_stored_record(const DbRecord& desc, int64_t key = 0);

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
void finish_change(int32_t stored, const Notice& notice, const LogEntry& log, int kind = kRespText,
                   const char* ok_text = "OK");

// A route that fills a record by a policy, tells it to the daemon, answers
// "OK" and logs it; the record's first int32 is its channel (counted from 1 in
// the log entry). Records of at most 64 bytes.
struct NoticeRoute {
  int32_t request_id;
  std::span<const PolicyRow> policy;
  int32_t length;
  LogEntry log;  // sub type and parameter type; the channel comes from the record
};
void run_notice_route(const char* data, const NoticeRoute& route);

// ---- small shapes of many routes --------------------------------------------------------

// The run's hold on the CGI lock file "/tmp/cgilockfile" (below the device
// root), for changes that must not interleave with another run's: taken in
// the constructor, given back in the destructor.
class CgiLock {
 public:
  CgiLock();
  ~CgiLock();
  CgiLock(const CgiLock&) = delete;
  CgiLock& operator=(const CgiLock&) = delete;

 private:
  int32_t fd_;
};

// {key: value}: the one-key answers ({"res": 0}, {"type": -1}).
Json json_with_int(const char* key, int64_t value);
// Writes that answer as `kind` (kRespJson or kRespText).
void answer_one_key(int kind, const char* key, int64_t value);

// The callback of a set request answered with an int32 status: "OK" for 0,
// "FAILED" for anything else or no status.
void answer_set_result(uint32_t count, const void* records);

// A whole decimal number (optional blanks around it), or nothing: request
// texts that name a disk, a port or an id are not guessed at.
std::optional<int64_t> parse_decimal(const char* text);

// JSON through a list of descriptor fields of a record of `size` bytes (a
// part of a record, or keys of their own), as db_record_to_json /
// db_record_from_json.
Json fields_to_json(std::span<const DbField> fields, const void* record, size_t size);
void fields_from_json(std::span<const DbField> fields, json_object* object, void* record,
                      size_t size);

// Sleeps `milliseconds` shortened by NVR_TIME_SCALE (cgi_time_scale()), as
// every wait of the program is.
void scaled_pause_ms(double milliseconds);

// The set route of a stored settings record: the stored row of `key` (over a
// zeroed record), the request's policy over it, written, then finish_change.
// A refused request gets no answer.
void change_stored_record(const char* data, const DbRecord& desc, std::span<const PolicyRow> policy,
                          const Notice& notice, const LogEntry& log = {}, int64_t key = 0);

// Orders a restart: the restart entry of the operation log, then request
// 1703 (sent without waiting).
void order_restart();

// The channel counted from 1 for a log record, or 0 outside 0..63 (no
// overflow for any int32 channel).
int32_t log_channel(int64_t channel);

}  // namespace nvr
