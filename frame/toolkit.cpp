// The frame's tools for routes: reply tables, asking the daemon, request
// policies and the tail of a change.
#include "frame/toolkit.h"

#include <atomic>
#include <limits>

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

int32_t read_request(const char* data, std::span<const PolicyRow> policy, void* record) {
  Json request = parse_request(data);
  if (!request) return -1;
  return read_policy(request.get(), policy, record);
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

int32_t log_channel(int64_t channel) {
  return channel >= 0 && channel < 64 ? static_cast<int32_t>(channel) + 1 : 0;
}

}  // namespace nvr
