// Client of the core daemon: one pending request, one completion flag, one
// deadline. A reply wakes the waiting handler at once.
#include "frame/ipc.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "frame/body_input.h"
#include "frame/cgic.h"
#include "frame/web_utils.h"
#include "platform/device_path.h"
#include "platform/qvsocket.h"

std::atomic<int32_t> g_callback_done{0};

namespace {

constexpr int kSendAttempts = 3000;
constexpr double kSendRetryMs = 10;
constexpr double kPollMs = 40;
constexpr int kDefaultPolls = 1000;

// Tests shrink every wait and retry delay with NVR_TIME_SCALE.
double time_scale() { return nvr_time_scale(); }

std::chrono::microseconds scaled_ms(double milliseconds) {
  return std::chrono::microseconds(static_cast<int64_t>(milliseconds * 1000 * time_scale()));
}

// The waiter sleeps on this until a reply callback has answered.
std::mutex g_wait_mutex;
std::condition_variable g_wait_cv;

void wake_waiter() {
  { std::lock_guard lock(g_wait_mutex); }
  g_wait_cv.notify_all();
}

// Held while a reply callback of the handler's own request runs, so that a
// wait that runs out cannot end in the middle of an answer being written.
std::mutex g_delivery_mutex;

// What the reply trampoline needs to know about the client it serves.
struct Pending {
  IpcCallback callback = nullptr;
  bool serialised = false;  // the handler's client (not one opened inside a callback)
  bool expired = false;     // its wait ran out unanswered: the handler answers instead
};

Pending g_main_pending;
Pending g_nested_pending;

// Replies go through here: the module's dispatcher gets the null context the
// system's dispatchers expect, and the waiter is woken after each reply, also
// when a callback stored g_callback_done directly.
void deliver_reply(void* context, const void* header, const void* payload) {
  auto* pending = static_cast<Pending*>(context);
  if (!pending->callback) return;
  if (pending->serialised) {
    std::lock_guard lock(g_delivery_mutex);
    // A reply after the handler gave up would be a second answer.
    if (pending->expired) return;
    pending->callback(nullptr, header, payload);
  } else {
    pending->callback(nullptr, header, payload);
  }
  wake_waiter();
}

// A reply callback that itself talks to the daemon (a log record written from
// a reply) gets a client of its own: the handler's connection and its wait stay
// untouched.
qvsock::Client& nested_client() {
  static qvsock::Client client;
  return client;
}
thread_local bool t_nested_open = false;

const std::string& socket_path() {
  static const std::string path = nvr::dev_path(nvr::devpath::kSocket);
  return path;
}

// Sends until the daemon takes the request: a missing daemon (still starting,
// restarting) gets 3000 attempts 10 ms apart.
bool send_with_retries(bool nested, int32_t request_id, int32_t length, const void* payload,
                       int32_t nowait) {
  QvSockSendOptions options;
  options.flags = nowait ? qvsock::kFlagNoReply : 0;
  for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
    int rc = nested ? nested_client().send(request_id, payload, length, options.flags)
                    : qv_sock_send_msg(1, request_id, payload, length, &options);
    if (rc == 0) return true;
    if (rc == qvsock::Client::kSendInvalid) break;  // no retry can make it valid
    std::this_thread::sleep_for(scaled_ms(kSendRetryMs));
  }
  CGI_LOG("request %d not accepted by the core daemon", request_id);
  return false;
}

void wait_for_reply(bool nested, int32_t request_id) {
  auto deadline =
      std::chrono::steady_clock::now() + scaled_ms(cgi_wait_polls(request_id) * kPollMs);
  auto answered = [] { return g_callback_done.load(std::memory_order_acquire) != 0; };
  {
    std::unique_lock lock(g_wait_mutex);
    // The 40 ms slices only matter for a callback that stores the flag and
    // goes on running; every other answer wakes the wait at once.
    while (!answered()) {
      auto now = std::chrono::steady_clock::now();
      if (now >= deadline) break;
      g_wait_cv.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(40)), answered);
    }
  }
  // Let an answer that is being written finish before the handler decides;
  // once it has decided, later replies are not delivered.
  if (!nested && !answered()) {
    std::lock_guard delivery(g_delivery_mutex);
    g_main_pending.expired = !answered();
  }
}

}  // namespace

double cgi_time_scale() { return time_scale(); }

int32_t ipc_reply_id(const void* header) {
  int32_t id;
  std::memcpy(&id, static_cast<const uint8_t*>(header) + 12, sizeof id);
  return id;
}

uint32_t ipc_reply_size(const void* header) {
  uint32_t size;
  std::memcpy(&size, static_cast<const uint8_t*>(header) + 20, sizeof size);
  return size;
}

void cgi_set_callback_done(int32_t verdict) {
  g_callback_done.store(verdict, std::memory_order_release);
  wake_waiter();
}

// Requests that run long inside the daemon (upgrades, disk work, exports)
// get longer waits; every other request gets 1000 polls (40 s).
namespace {
struct WaitLimit {
  int32_t polls;
  int32_t request_ids[15];  // unused places are 0
};
const WaitLimit kWaitLimits[] = {
    {1500, {3700, 3702}},
    {3000, {1153, 1171, 3102, 3104, 3223, 3259, 3263, 3360, 3365, 3401, 3535}},
    {6000,
     {1701, 1713, 1716, 3200, 3201, 3202, 3203, 3204, 3205, 3227, 3402, 3409, 3420, 3440, 3528}},
    {15000, {3230, 3350, 3434, 3494, 3495}},
    {30000, {3379}},
};
}  // namespace

int32_t cgi_wait_polls(int32_t request_id) {
  for (const WaitLimit& limit : kWaitLimits)
    for (int32_t id : limit.request_ids)
      if (id != 0 && id == request_id) return limit.polls;
  return kDefaultPolls;
}

int32_t cgi_start_ipc(IpcCallback callback, int32_t request_id, int32_t length, const void* payload,
                      int32_t nowait) {
  if (!callback) return -1;
  // Called from a reply callback: the handler is still waiting on its own
  // request, so this one must neither reuse its connection nor clear its flag.
  const bool nested =
      qv_sock_on_receive_thread() || nested_client().is_receive_thread() || t_nested_open;
  if (nested) {
    // open() first ends the receive thread of an earlier connection.
    nested_client().open(deliver_reply, &g_nested_pending, socket_path());
    g_nested_pending.callback = callback;
    t_nested_open = true;
  } else {
    qv_sock_init(deliver_reply, &g_main_pending, 3, socket_path().c_str());
    std::lock_guard delivery(g_delivery_mutex);
    g_main_pending.callback = callback;
    g_main_pending.serialised = true;
    g_main_pending.expired = false;
  }
  if (!nested || !nowait) g_callback_done.store(0, std::memory_order_release);

  bool accepted = send_with_retries(nested, request_id, length, payload, nowait);
  if (nowait) return 0;
  if (!accepted) CGI_LOG("waiting for request %d that was never sent", request_id);
  wait_for_reply(nested, request_id);
  return 0;
}

int32_t cgi_stop_ipc() {
  if (t_nested_open) {
    nested_client().close();
    t_nested_open = false;
    return 0;
  }
  qv_sock_uninit();
  return 0;
}

// ---- common reply callbacks ----------------------------------------------------

void on_cgi_common_json_cb(uint32_t count, const void* payload) {
  if (count == 0 || payload == nullptr) return;
  int32_t status;
  std::memcpy(&status, payload, sizeof status);
  json_object* answer = json_object_new_object();
  json_object_object_add(answer, "status", json_object_new_int(status));
  cgi_writeback_webserver(kRespJson, json_object_to_json_string(answer));
  json_object_put(answer);
  cgi_set_callback_done(1);
}

void on_cgi_common_text_cb(uint32_t /*count*/, int32_t status, const char* data) {
  char text[256];
  int n =
      snprintf(text, sizeof text, "%s status:[%d]", status < 0 ? "CGI ERROR" : "CGI OK", status);
  if (data && n > 0 && static_cast<size_t>(n) < sizeof text)
    snprintf(text + n, sizeof text - static_cast<size_t>(n), ", data:[%s]", data);
  cgi_writeback_webserver(kRespText, text);
  cgi_set_callback_done(1);
}

// ---- operation log ---------------------------------------------------------------

int32_t cgi_init_log_info(QvLogInfo* record) {
  if (!record) return -1;
  std::memset(record, 0, sizeof *record);
  record->main_type = 4;
  record->remote = 1;
  get_current_username(record->user, sizeof record->user);
  const char* address = cgiRemoteAddr ? cgiRemoteAddr : "";
  std::memcpy(record->ip, address, strnlen(address, sizeof record->ip - 1));
  return 0;
}

namespace {
// Operation-log records expect no reply; a dispatcher that ignores everything.
void ignore_reply(void*, const void*, const void*) {}
}  // namespace

int32_t cgi_send_notice(IpcCallback callback, int32_t request_id, const void* payload,
                        int32_t length) {
  cgi_start_ipc(callback ? callback : ignore_reply, request_id, length, payload, 1);
  cgi_stop_ipc();
  return 0;
}

int32_t cgi_send_log(IpcCallback callback, const QvLogInfo& record) {
  return cgi_send_notice(callback, kReqOperationLog, &record, sizeof record);
}

int32_t cgi_send_operation_log(int64_t sub_type, int32_t param_type, int32_t chan_no) {
  QvLogInfo record;
  cgi_init_log_info(&record);
  record.sub_type = sub_type;
  record.param_type = param_type;
  record.chan_no = chan_no;
  return cgi_send_log(ignore_reply, record);
}

namespace {

// The masked entry; `chan_no` set only when given (else as the log record
// starts).
int32_t send_masked_log(int32_t main_type, int64_t sub_type, int32_t param_type,
                        const int32_t* chan_no, uint64_t channel_mask) {
  QvLogInfoMask record;
  std::memset(&record, 0, sizeof record);
  cgi_init_log_info(&record.info);
  record.info.main_type = main_type;
  record.info.sub_type = sub_type;
  record.info.param_type = param_type;
  if (chan_no != nullptr) record.info.chan_no = *chan_no;
  record.channel_mask = channel_mask;
  cgi_send_notice(ignore_reply, kReqOperationLogMask, &record, sizeof record);
  return 0;
}

}  // namespace

int32_t send_log_with_mask(int32_t main_type, int64_t sub_type, int32_t param_type,
                           uint64_t channel_mask) {
  return send_masked_log(main_type, sub_type, param_type, nullptr, channel_mask);
}

int32_t send_log_with_mask_channel(int64_t sub_type, int32_t param_type, int32_t chan_no,
                                   uint64_t mask) {
  return send_masked_log(4, sub_type, param_type, &chan_no, mask);
}

// ---- JSON value readers ----------------------------------------------------------

int32_t on_cgi_get_value_by_json(const char* text, const char* key, int32_t* out) {
  if (!text || !key || !out) return -1;
  json_object* object = json_tokener_parse(text);
  int32_t rc = on_cgi_get_int_from_json(object, key, out);
  if (object) json_object_put(object);
  return rc;
}

int32_t on_cgi_get_int_from_json(json_object* object, const char* key, int32_t* out) {
  json_object* value = nullptr;
  if (!object || !key || !out || !json_object_object_get_ex(object, key, &value)) return -1;
  *out = json_object_get_int(value);
  return 0;
}

int32_t on_cgi_get_string_from_json(json_object* object, const char* key, char* buffer,
                                    int32_t size) {
  json_object* value = nullptr;
  if (!object || !key || !buffer || size <= 0 || !json_object_object_get_ex(object, key, &value))
    return -1;
  const char* text = json_object_get_string(value);
  if (!text) text = "";
  size_t length = strnlen(text, static_cast<size_t>(size) - 1);
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return 0;
}
