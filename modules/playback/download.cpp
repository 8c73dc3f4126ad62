// Recording download: the daemon sends a stretch of one channel's recording
// as frame pieces (reply 6173), the frame buffering writes them as an AVI
// stream to the browser while they come. The run ends when the daemon says
// the download is complete or was interrupted, when the browser goes away
// (the daemon is told), or when no frame came for a minute.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "frame/cgic.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/playback/playback_handlers.h"
#include "modules/playback/playback_wire.h"
#include "modules/playback/remote_backup.h"
#include "platform/device_path.h"
#include "platform/qvsocket.h"
#include "platform/qvstd.h"

namespace {

using nvr::Presence;

struct DownloadKeys {
  int32_t channel;
  int32_t stream_type;
  char start_time[32];
  char end_time[32];
};
constexpr nvr::PolicyRow kDownloadPolicy[] = {
    NVR_POLICY_INT(DownloadKeys, channel, "id", 0, kPlaybackMaxChannel, Presence::kRequired),
    NVR_POLICY_INT(DownloadKeys, stream_type, "streamType", INT32_MIN, INT32_MAX,
                   Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(DownloadKeys, start_time, "startTime", Presence::kRequired),
    NVR_POLICY_TEXT(DownloadKeys, end_time, "endTime", Presence::kRequired),
};

// Set by the receive thread when the daemon ended the download.
std::atomic<bool> g_download_end{false};
// The AVI writer while the frame buffering is open.
std::atomic<QvAviWriter*> g_download_writer{nullptr};

struct LocalTime {
  struct tm tm {};
  int64_t seconds = -1;
};

bool parse_request_time(const char* text, LocalTime* out) {
  const char* end = strptime(text, "%Y-%m-%dT%H:%M:%SZ", &out->tm);
  if (end == nullptr) return false;
  struct tm copy = out->tm;
  copy.tm_isdst = -1;
  out->seconds = static_cast<int64_t>(mktime(&copy));
  return out->seconds >= 0;
}

std::string name_part(const LocalTime& t) {
  char text[96];
  snprintf(text, sizeof text, "%d_%d_%d_%d_%d_%d_%lld", t.tm.tm_year + 1900, t.tm.tm_mon + 1,
           t.tm.tm_mday, t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec, static_cast<long long>(t.seconds));
  return text;
}

void daemon_time(const LocalTime& t, char (&field)[32]) {
  snprintf(field, sizeof field, "%d-%d-%d %d:%d:%d", t.tm.tm_year + 1900, t.tm.tm_mon + 1,
           t.tm.tm_mday, t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec);
}

std::chrono::microseconds poll_interval() {
  return std::chrono::microseconds(static_cast<int64_t>(40000 * cgi_time_scale()) + 1);
}

// The download has its own connection: its replies flow for as long as the
// recording lasts, beyond any wait limit of a single request.
bool send_download_request(qvsock::Client& client, const DownloadRequest& request) {
  for (int attempt = 0; attempt < 3000; ++attempt) {
    const int rc = client.send(kReqDownload, &request, sizeof request, 0);
    if (rc == 0) return true;
    if (rc == qvsock::Client::kSendInvalid) return false;
    std::this_thread::sleep_for(poll_interval() / 4);
  }
  return false;
}

void stream_recording(const DownloadRequest& request) {
  QvAviWriter* writer = nullptr;
  if (remote_backup_qvfs_open(stdout, &writer) != 0) return;
  g_download_end.store(false);
  g_download_writer.store(writer);
  // The pieces reach the reply table only while the run is unanswered; a
  // download is never answered by a callback, so the flag stays 0 throughout.
  g_callback_done.store(0, std::memory_order_release);
  qvsock::Client client;
  client.open(on_stream_callback, nullptr, nvr::dev_path(nvr::devpath::kSocket));
  if (send_download_request(client, request)) {
    while (!g_download_end.load() && remote_backup_task_run_status())
      std::this_thread::sleep_for(poll_interval());
  } else {
    CGI_LOG("download request not accepted by the core daemon");
  }
  const bool reader_left = remote_backup_output_failed();
  client.close();
  g_download_writer.store(nullptr);
  remote_backup_qvfs_close(writer);
  // The daemon stops reading the recording for a browser that is gone.
  if (reader_left) nvr::tell_daemon(kReqCancelDownload, nullptr, 0);
}

}  // namespace

void on_get_download_playtime_cb(uint32_t size, const void* records) {
  // The fields before the data, copied out (the payload need not be aligned).
  struct PieceHead {
    QvAviFrameHeader header;
    int32_t continuation;
    int32_t length;
  } __attribute__((packed));
  static_assert(sizeof(PieceHead) == offsetof(DownloadPiece, data));
  constexpr uint32_t kHead = sizeof(PieceHead);
  if (size < kHead) return;  // not a piece: nothing to read
  PieceHead piece;
  std::memcpy(&piece, records, kHead);
  QvAviWriter* writer = g_download_writer.load();
  if (writer && piece.length != kPieceEnd && piece.length != kPieceInterrupted) {
    if (piece.length < 0) return;  // a length the daemon cannot mean
    // The piece is read only as far as it arrived.
    uint32_t length = static_cast<uint32_t>(piece.length);
    if (length > kPieceDataMax) length = kPieceDataMax;
    if (length > size - kHead) length = size - kHead;
    remote_backup_qvfs_write(&piece.header, piece.continuation,
                             static_cast<const uint8_t*>(records) + kHead,
                             static_cast<int32_t>(length));
    return;
  }
  if (piece.length == kPieceInterrupted) remote_backup_qvfs_interrup();
  g_download_end.store(true);
}

void on_download_playback(char* data) {
  DownloadKeys keys{};
  if (nvr::read_request(data, kDownloadPolicy, &keys) != 0) return;
  if (qv_check_file_exist(nvr::dev_path(kDownloadLockFile).c_str()) == 0) {
    cgi_writeback_webserver(kRespText, "BUSY NOW");
    return;
  }
  LocalTime start, end;
  if (!parse_request_time(keys.start_time, &start) || !parse_request_time(keys.end_time, &end))
    return;
  char file_name[128];
  snprintf(file_name, sizeof file_name, "%lldDDD%s-%s_%d.avi", 1LL << keys.channel,
           name_part(start).c_str(), name_part(end).c_str(), keys.channel);
  cgi_send_operation_log(kLogSubPlayback, kLogParamNone, keys.channel + 1);

  if (!cgi_claim_answer()) return;  // the run has answered already
  // A browser that goes away shows as a failed write, not as a signal.
  signal(SIGPIPE, SIG_IGN);
  fputs("Content-Type:application/octet-stream\r\n", stdout);
  fprintf(stdout, "Content-Disposition: attachment; filename= %s\r\n\r\n", file_name);
  fflush(stdout);
  if (nice(19) == -1) CGI_LOG("priority not lowered");

  DownloadRequest request{};
  request.channel = keys.channel;
  request.stream_type = keys.stream_type;
  daemon_time(start, request.start_time);
  daemon_time(end, request.end_time);
  stream_recording(request);
  fflush(stdout);
}

void on_get_download_state(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const bool busy = qv_check_file_exist(nvr::dev_path(kDownloadLockFile).c_str()) == 0;
  cgi_writeback_webserver(kRespText, busy ? "{\"isOK\":0}" : "{\"isOK\":1}");
}

void on_cancel_download(char*) {
  std::remove(nvr::dev_path(kDownloadLockFile).c_str());
  nvr::tell_daemon(kReqCancelDownload, nullptr, 0);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_get_daemon_busy_cb(uint32_t count, const void* records) {
  if (count == 0) {
    nvr::answer_error(kRespJson);
    return;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "status",
                       nvr::record_at<int32_t>(records, 0) == 0 ? "OK" : "BUSY");
  nvr::answer_json(answer);
}

void on_get_daemon_busy(char*) {
  nvr::ask_or_answer(on_stream_callback, kReqDaemonBusy, nullptr, 0, nvr::Silence::kJson);
}
