// The frame's tools for routes: reply tables, asking the daemon, request
// policies and the tail of a change.
#include "frame/toolkit.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>
#include <vector>

#include "frame/web_utils.h"

namespace nvr {

// ---- reply tables ------------------------------------------------------------------

namespace {
std::atomic<ReplyTableObserver> g_reply_table_observer{nullptr};
}  // namespace

void set_reply_table_observer(ReplyTableObserver observer) { g_reply_table_observer = observer; }

void dispatch_reply(std::span<const ReplyRow> table, const void* header, const void* payload) {
  if (ReplyTableObserver observer = g_reply_table_observer.load()) observer(table);
  if (payload == nullptr || header == nullptr) return;
  // One answer per run: once a reply was answered, later ones are not.
  if (g_callback_done.load(std::memory_order_acquire) != 0) return;
  const int32_t id = ipc_reply_id(header);
  for (const ReplyRow& row : table) {
    if (row.reply_id != id) continue;
    const uint32_t size = row.record_size == 0 ? 1 : row.record_size;
    row.callback(ipc_reply_size(header) / size, payload);
    return;
  }
}

void answer_json(const Json& answer, int32_t verdict) {
  cgi_writeback_webserver(kRespJson, json_text(answer));
  cgi_set_callback_done(verdict);
}

void answer_text(const char* text, int32_t verdict) {
  cgi_writeback_webserver(kRespText, text);
  cgi_set_callback_done(verdict);
}

// ---- asking the daemon ---------------------------------------------------------------

int32_t ask_daemon(IpcCallback dispatcher, int32_t request_id, const void* payload,
                   int32_t length) {
  cgi_start_ipc(dispatcher, request_id, length, payload, 0);
  const int32_t verdict = g_callback_done.load(std::memory_order_acquire);
  cgi_stop_ipc();
  return verdict;
}

int32_t ask_or_answer(IpcCallback dispatcher, int32_t request_id, const void* payload,
                      int32_t length, Silence silence) {
  cgi_start_ipc(dispatcher, request_id, length, payload, 0);
  const int32_t verdict = g_callback_done.load(std::memory_order_acquire);
  // The answer is written before the client is closed, as every handler of
  // the system does: a late reply finds the run already answered.
  if (verdict == 0 && silence != Silence::kNothing)
    cgi_error_to_webserver(silence == Silence::kJson ? kRespJson : kRespText);
  cgi_stop_ipc();
  return verdict;
}

int32_t tell_daemon(int32_t request_id, const void* payload, int32_t length) {
  return cgi_send_notice(nullptr, request_id, payload, length);
}

namespace {

// The reply fetch_reply waits for; written by the receive thread before the
// completion flag is set, read by the handler after it saw the flag.
int32_t g_fetch_reply_id = 0;
std::string g_fetched;

void on_fetched_reply(void*, const void* header, const void* payload) {
  if (payload == nullptr || ipc_reply_id(header) != g_fetch_reply_id) return;
  if (g_callback_done.load(std::memory_order_acquire) != 0) return;  // first reply only
  g_fetched.assign(static_cast<const char*>(payload), ipc_reply_size(header));
  cgi_set_callback_done(1);
}

}  // namespace

std::optional<std::string> fetch_reply(int32_t request_id, const void* payload, int32_t length,
                                       int32_t reply_id) {
  g_fetch_reply_id = reply_id;
  g_fetched.clear();
  if (ask_daemon(on_fetched_reply, request_id, payload, length) == 0) return std::nullopt;
  return std::move(g_fetched);
}

// ---- request policies -------------------------------------------------------------------

namespace {

void store_int(void* field, uint32_t size, int64_t value) {
  switch (size) {
    case 1: {
      uint8_t v = static_cast<uint8_t>(value);
      std::memcpy(field, &v, 1);
      break;
    }
    case 2: {
      uint16_t v = static_cast<uint16_t>(value);
      std::memcpy(field, &v, 2);
      break;
    }
    case 4: {
      uint32_t v = static_cast<uint32_t>(value);
      std::memcpy(field, &v, 4);
      break;
    }
    case 8:
      std::memcpy(field, &value, 8);
      break;
    default:
      break;
  }
}

// The bounds a field of `size` bytes can hold, narrowed by the row's own.
bool int_fits(const PolicyRow& row, int64_t value) {
  if (value < row.min || value > row.max) return false;
  if (row.size >= 8) return row.is_signed || value >= 0;
  const int bits = static_cast<int>(row.size) * 8;
  if (row.is_signed) {
    const int64_t limit = int64_t{1} << (bits - 1);
    return value >= -limit && value < limit;
  }
  return value >= 0 && value < (int64_t{1} << bits);
}

// The lenient reading: what a handler of the system does with an integer it
// takes "as 0 when absent" without refusing the request.
void read_lenient(json_object* value, const PolicyRow& row, uint8_t* field) {
  std::optional<int64_t> number = json_int64(value);
  store_int(field, row.size, number && int_fits(row, *number) ? *number : 0);
}

int32_t read_row(json_object* request, const PolicyRow& row, uint8_t* record) {
  uint8_t* field = record + row.offset;
  json_object* value = json_get(request, row.key);
  if (row.presence == Presence::kLenient && row.type == PolicyType::kInt) {
    read_lenient(value, row, field);
    return 0;
  }
  if (value == nullptr) {
    if (row.presence == Presence::kRequired) return -1;
    if (row.presence == Presence::kAbsentIsZero) {
      if (row.type == PolicyType::kNonEmpty) return -1;
      std::memset(field, 0, row.size);
    }
    return 0;
  }
  if (row.type == PolicyType::kInt) {
    std::optional<int64_t> number = json_int64(value);
    if (!number || !int_fits(row, *number)) return -1;
    store_int(field, row.size, *number);
    return 0;
  }
  if (!json_is(value, json_type_string)) return -1;
  if (row.type == PolicyType::kNonEmpty && json_object_get_string_len(value) == 0) return -1;
  json_copy_text(value, reinterpret_cast<char*>(field), row.size);
  return 0;
}

}  // namespace

int32_t read_policy(json_object* request, std::span<const PolicyRow> policy, void* record) {
  if (!json_is(request, json_type_object)) return -1;
  for (const PolicyRow& row : policy)
    if (read_row(request, row, static_cast<uint8_t*>(record)) != 0) return -1;
  return 0;
}

Json parse_request(const char* data) { return json_parse_object(data); }

Json parse_request_or_error(const char* data, int kind) {
  Json request = parse_request(data);
  if (!request) cgi_error_to_webserver(kind);
  return request;
}

int32_t read_request(const char* data, std::span<const PolicyRow> policy, void* record) {
  Json request = parse_request(data);
  if (!request) return -1;
  return read_policy(request.get(), policy, record);
}

// ---- answer tables ----------------------------------------------------------------------

namespace {

// A text parameter bounded to size - 1 characters.
std::string param_text(const char* key, int64_t size, const char* fallback) {
  std::string text(static_cast<size_t>(size > 1 ? size : 1), '\0');
  get_param_value(qvdb_path(), key, text.data(), static_cast<int>(text.size()), fallback);
  text.resize(strnlen(text.data(), text.size() - 1));
  return text;
}

// A one-field descriptor's JSON value of the record's field.
Json field_json(const AnswerRow& row, const void* record) {
  const DbRecord one{"", nullptr, row.field.offset + row.field.size, {&row.field, 1}};
  Json object(db_record_to_json(one, record));
  json_object* value = json_get(object.get(), row.field.json_key());
  return Json(value != nullptr ? json_object_get(value) : json_object_new_int(0));
}

void add_row(json_object* object, const AnswerRow& row, const void* record) {
  switch (row.source) {
    case AnswerSource::kParamInt:
      json_add_int(object, row.key,
                   get_param_int(qvdb_path(), row.name, static_cast<int>(row.value)));
      break;
    case AnswerSource::kParamText:
      json_add_string(object, row.key, param_text(row.name, row.value, row.fallback));
      break;
    case AnswerSource::kParamNumber:
      json_add_int(object, row.key, atoi(param_text(row.name, 8, row.fallback).c_str()));
      break;
    case AnswerSource::kField:
      json_add(object, row.key, field_json(row, record));
      break;
    case AnswerSource::kRecord:
      merge_json_keys(object, Json(db_record_to_json(*row.record, record)));
      break;
    case AnswerSource::kInt:
      json_add_int(object, row.key, row.value);
      break;
    case AnswerSource::kText:
      json_add_string(object, row.key, row.name ? row.name : "");
      break;
    case AnswerSource::kObject:
      json_add(object, row.key, build_answer(row.rows, record));
      break;
    case AnswerSource::kComputed:
      if (row.key == nullptr)
        merge_json_keys(object, row.compute(record));
      else
        json_add(object, row.key, row.compute(record));
      break;
  }
}

}  // namespace

void add_answer_rows(json_object* object, std::span<const AnswerRow> rows, const void* record) {
  for (const AnswerRow& row : rows) add_row(object, row, record);
}

Json build_answer(std::span<const AnswerRow> rows, const void* record) {
  Json answer = json_new_object();
  add_answer_rows(answer.get(), rows, record);
  return answer;
}

void write_answer(std::span<const AnswerRow> rows, const void* record, int kind) {
  cgi_writeback_webserver(kind, json_text(build_answer(rows, record)));
}

Json record_list_json(const DbRecord& desc, const void* array, int count) {
  Json list = json_new_array();
  for (int i = 0; i < count; ++i)
    json_object_array_add(list.get(),
                          db_record_to_json(desc, static_cast<const uint8_t*>(array) +
                                                      static_cast<size_t>(i) * desc.size));
  return list;
}

void record_list_from_json(const DbRecord& desc, json_object* list, void* array, int max) {
  if (!json_is(list, json_type_array)) return;
  const size_t length = json_object_array_length(list);
  for (size_t i = 0; i < length && i < static_cast<size_t>(max > 0 ? max : 0); ++i)
    db_record_from_json(desc, json_object_array_get_idx(list, i),
                        static_cast<uint8_t*>(array) + i * desc.size);
}

void merge_json_keys(json_object* object, const Json& values) {
  if (!json_is(values.get(), json_type_object)) return;
  json_object_object_foreach(values.get(), key, value) {
    json_object_object_add(object, key, json_object_get(value));
  }
}

void write_stored_record(const DbRecord& desc, int64_t key) {
  std::vector<uint8_t> record(desc.size);
  db_read(qvdb_path(), desc, record.data(), key);
  Json answer(db_record_to_json(desc, record.data()));
  cgi_writeback_webserver(kRespJson, json_text(answer));
}

// ---- the tail of a change --------------------------------------------------------------

void finish_change(int32_t stored, const Notice& notice, const LogEntry& log, int kind,
                   const char* ok_text) {
  if (stored != 0) {
    cgi_error_to_webserver(kind);
    return;
  }
  if (notice.request_id != 0) tell_daemon(notice.request_id, notice.payload, notice.length);
  if (log.sub_type != 0) cgi_send_operation_log(log.sub_type, log.param_type, log.chan_no);
  cgi_writeback_webserver(kind, ok_text);
}

void run_notice_route(const char* data, const NoticeRoute& route) {
  alignas(8) uint8_t payload[64]{};
  if (route.length < 0 || static_cast<size_t>(route.length) > sizeof payload) return;
  if (read_request(data, route.policy, payload) != 0) return;
  int32_t channel;
  std::memcpy(&channel, payload, sizeof channel);
  finish_change(0, {route.request_id, payload, route.length},
                {route.log.sub_type, route.log.param_type, log_channel(channel)});
}

// ---- small shapes of many routes --------------------------------------------------------

CgiLock::CgiLock() : fd_(file_lock(dev_path("/tmp/cgilockfile").c_str())) {}
CgiLock::~CgiLock() { file_unlock(fd_); }

Json json_with_int(const char* key, int64_t value) {
  Json object = json_new_object();
  json_add_int(object.get(), key, value);
  return object;
}

void answer_one_key(int kind, const char* key, int64_t value) {
  cgi_writeback_webserver(kind, json_text(json_with_int(key, value)));
}

void answer_error(int kind) {
  cgi_error_to_webserver(kind);
  cgi_set_callback_done(1);
}

void answer_set_result(uint32_t count, const void* records) {
  const bool done = count >= 1 && record_at<int32_t>(records, 0) == 0;
  answer_text(done ? "OK" : "FAILED");
}

std::optional<int64_t> parse_decimal(const char* text) {
  if (text == nullptr) return std::nullopt;
  while (isspace(static_cast<unsigned char>(*text))) ++text;
  if (*text == '\0') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = strtoll(text, &end, 10);
  if (errno != 0 || end == text) return std::nullopt;
  while (isspace(static_cast<unsigned char>(*end))) ++end;
  if (*end != '\0') return std::nullopt;
  return value;
}

Json fields_to_json(std::span<const DbField> fields, const void* record, size_t size) {
  const DbRecord view = {nullptr, nullptr, size, fields};
  return Json(db_record_to_json(view, record));
}

void fields_from_json(std::span<const DbField> fields, json_object* object, void* record,
                      size_t size) {
  const DbRecord view = {nullptr, nullptr, size, fields};
  db_record_from_json(view, object, record);
}

void scaled_pause_ms(double milliseconds) {
  const double scaled = milliseconds * cgi_time_scale();
  if (scaled > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}

void change_stored_record(const char* data, const DbRecord& desc, std::span<const PolicyRow> policy,
                          const Notice& notice, const LogEntry& log, int64_t key) {
  std::vector<uint8_t> record(desc.size);
  db_read(qvdb_path(), desc, record.data(), key);
  if (read_request(data, policy, record.data()) != 0) return;
  finish_change(db_write(qvdb_path(), desc, record.data()), notice, log);
}

void order_restart() {
  cgi_send_operation_log(kLogSubRestart, kLogParamNone, 0);
  tell_daemon(kReqRestart, nullptr, 0);
}

int32_t log_channel(int64_t channel) {
  return channel >= 0 && channel < 64 ? static_cast<int32_t>(channel) + 1 : 0;
}

}  // namespace nvr
