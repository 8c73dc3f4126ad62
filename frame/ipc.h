// Client of the core daemon: numbered requests, reply callbacks, the
// completion flag, and the operation-log record.
#pragma once

#include <json-c/json.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

// Reply dispatcher of a module: (context, 24-byte reply header, payload).
using IpcCallback = void (*)(void* context, const void* header, const void* payload);

// Reply header fields read by the dispatchers.
int32_t ipc_reply_id(const void* header);     // int32 at offset 12
uint32_t ipc_reply_size(const void* header);  // uint32 at offset 20

// 0 until a reply callback has answered; then 1 or the callback's verdict.
extern std::atomic<int32_t> g_callback_done;
// What a reply callback calls after writing its response: stores the verdict
// (release) and wakes the waiting handler at once.
void cgi_set_callback_done(int32_t verdict = 1);

int32_t cgi_start_ipc(IpcCallback callback, int32_t request_id, int32_t length, const void* payload,
                      int32_t nowait);
int32_t cgi_stop_ipc();

// A request the daemon acts on without answering: sent without waiting, and
// the client closed again. A null callback ignores any reply.
int32_t cgi_send_notice(IpcCallback callback, int32_t request_id, const void* payload,
                        int32_t length);

// The factor NVR_TIME_SCALE puts on every wait of the run (1 when unset).
double cgi_time_scale();

// Number of 40 ms polls a waiting request gets (by request id).
int32_t cgi_wait_polls(int32_t request_id);

// Common reply callbacks.
void on_cgi_common_json_cb(uint32_t count, const void* payload);
void on_cgi_common_text_cb(uint32_t count, int32_t status, const char* data);

// ---- operation log -----------------------------------------------------------

#pragma pack(push, 1)
struct QvLogInfo {
  int32_t main_type;  // "mainTypeValue": 4 = operation
  uint8_t reserved0[4];
  int64_t sub_type;  // "subTypeValue": 200..227
  uint8_t reserved1[8];
  int64_t pts;         // "pts": seconds since the epoch (0 when sent)
  int32_t param_type;  // "parameterValue": 900..925
  int32_t remote;      // "remote": 1
  int32_t chan_no;     // "chanNo": channel counted from 1, else 0
  char ip[46];         // "ip": client address
  char user[64];       // "user": current user name
  uint8_t pad[2];
  int32_t detail_size;  // "size": written by qvfs_log_pack_detail
  uint8_t detail[512];  // "detail"
  uint8_t reserved2[8];
};
struct QvLogInfoMask {
  QvLogInfo info;
  uint64_t channel_mask;  // bit n for channel n
};
#pragma pack(pop)
static_assert(sizeof(QvLogInfo) == 680);
static_assert(offsetof(QvLogInfo, main_type) == 0);
static_assert(offsetof(QvLogInfo, sub_type) == 8);
static_assert(offsetof(QvLogInfo, pts) == 24);
static_assert(offsetof(QvLogInfo, param_type) == 32);
static_assert(offsetof(QvLogInfo, remote) == 36);
static_assert(offsetof(QvLogInfo, chan_no) == 40);
static_assert(offsetof(QvLogInfo, ip) == 44);
static_assert(offsetof(QvLogInfo, user) == 90);
static_assert(offsetof(QvLogInfo, detail_size) == 156);
static_assert(offsetof(QvLogInfo, detail) == 160);
static_assert(offsetof(QvLogInfo, reserved2) == 672);
static_assert(sizeof(QvLogInfoMask) == 688);
static_assert(offsetof(QvLogInfoMask, channel_mask) == 680);

constexpr int32_t kReqOperationLog = 3485;
constexpr int32_t kReqOperationLogMask = 3509;
// The core daemon restarts the recorder (no payload, no reply).
constexpr int32_t kReqRestart = 1703;

int32_t cgi_init_log_info(QvLogInfo* record);
// Sends a filled record as request 3485 without waiting (start, stop).
int32_t cgi_send_log(IpcCallback callback, const QvLogInfo& record);
// Convenience: init, types, channel (from 1, or 0), send.
int32_t cgi_send_operation_log(int64_t sub_type, int32_t param_type, int32_t chan_no);
int32_t send_log_with_mask(int32_t main_type, int64_t sub_type, int32_t param_type,
                           uint64_t channel_mask);
// An operation entry (main type 4) of a change to the channels of `mask`,
// with its channel number, sent as request 3509 without waiting.
int32_t send_log_with_mask_channel(int64_t sub_type, int32_t param_type, int32_t chan_no,
                                   uint64_t mask);

// JSON value readers.
int32_t on_cgi_get_value_by_json(const char* text, const char* key, int32_t* out);
int32_t on_cgi_get_int_from_json(json_object* object, const char* key, int32_t* out);
int32_t on_cgi_get_string_from_json(json_object* object, const char* key, char* buffer,
                                    int32_t size);
