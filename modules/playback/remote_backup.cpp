// Frame buffering of a recording download (see remote_backup.h). Three
// threads meet here: the daemon client's receive thread assembles and queues
// frames, the writer thread writes them, the request thread opens and closes.
#include "modules/playback/remote_backup.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "frame/ipc.h"

namespace {

struct Frame {
  QvAviFrameHeader header{};
  std::unique_ptr<uint8_t[]> data;
  int32_t received = 0;
};

struct FrameList {
  std::mutex mutex;
  std::condition_variable changed;  // a frame queued or taken, a flag changed
  std::deque<Frame> frames;
  int64_t queued_bytes = 0;
  std::atomic<bool> running{false};
  std::atomic<bool> closing{false};
  std::atomic<bool> output_failed{false};
  QvAviWriter* writer = nullptr;
  std::thread thread;
  // Only the receive thread touches the frame in assembly.
  std::unique_ptr<Frame> assembling;
};

FrameList g_list;

std::chrono::microseconds poll_interval() {
  return std::chrono::microseconds(static_cast<int64_t>(40000 * cgi_time_scale()) + 1);
}

void drop_queue_locked() {
  g_list.frames.clear();
  g_list.queued_bytes = 0;
}

// Writes queued frames until closed and empty, interrupted, the output fails
// or no frame came for kBackupIdlePolls polls' time (a clock, not a count of
// wake-ups: on a busy device each wait may run long).
void writer_loop() {
  using Clock = std::chrono::steady_clock;
  const auto idle_limit = poll_interval() * kBackupIdlePolls;
  auto idle_until = Clock::now() + idle_limit;
  std::unique_lock lock(g_list.mutex);
  while (g_list.running.load()) {
    if (!g_list.frames.empty()) {
      Frame frame = std::move(g_list.frames.front());
      g_list.frames.pop_front();
      g_list.queued_bytes -= frame.header.length;
      lock.unlock();
      g_list.changed.notify_all();
      const int32_t rc = qv_avi_write_fp_ex(g_list.writer, &frame.header, frame.data.get());
      frame.data.reset();
      lock.lock();
      if (rc != 0 && frame.header.length >= 0) {
        g_list.output_failed.store(true);
        break;
      }
      idle_until = Clock::now() + idle_limit;
      continue;
    }
    if (g_list.closing.load()) break;
    if (Clock::now() >= idle_until) break;
    g_list.changed.wait_for(lock, poll_interval());
  }
  drop_queue_locked();
  g_list.running.store(false);
  lock.unlock();
  g_list.changed.notify_all();
}

// Appends a whole frame, waiting while the queue is full and the writer runs.
int32_t queue_frame(std::unique_ptr<Frame> frame) {
  std::unique_lock lock(g_list.mutex);
  while (g_list.running.load() && g_list.queued_bytes >= kBackupQueueLimit)
    g_list.changed.wait_for(lock, poll_interval());
  if (!g_list.running.load()) return -1;
  g_list.queued_bytes += frame->header.length;
  g_list.frames.push_back(std::move(*frame));
  lock.unlock();
  g_list.changed.notify_all();
  return 0;
}

}  // namespace

int32_t remote_backup_qvfs_open(FILE* out, QvAviWriter** handle) {
  if (!out || !handle || g_list.thread.joinable()) return -1;
  QvAviWriter* writer = qv_avi_open_fp(out);
  if (!writer) return -1;
  g_list.writer = writer;
  g_list.closing.store(false);
  g_list.output_failed.store(false);
  g_list.running.store(true);
  g_list.assembling.reset();
  try {
    g_list.thread = std::thread(writer_loop);
  } catch (...) {
    g_list.running.store(false);
    g_list.writer = nullptr;
    qv_avi_close_fp(writer);
    return -1;
  }
  *handle = writer;
  return 0;
}

int32_t remote_backup_qvfs_write(const QvAviFrameHeader* header, int32_t continuation,
                                 const void* data, int32_t length) {
  if (!header || length < 0 || (length > 0 && !data)) return -1;
  if (continuation == 0) {
    g_list.assembling.reset();
    // A frame the daemon cannot mean (negative, or beyond any camera's frame)
    // is not allocated: its pieces are skipped until the next frame starts.
    if (header->length < 0 || header->length > kBackupMaxFrame) return -1;
    auto frame = std::unique_ptr<Frame>(new (std::nothrow) Frame);
    if (!frame) return -1;
    frame->header = *header;
    frame->header.data_slot = 0;
    frame->data.reset(new (std::nothrow)
                          uint8_t[frame->header.length > 0 ? frame->header.length : 1]);
    if (!frame->data) return -1;
    g_list.assembling = std::move(frame);
  }
  Frame* frame = g_list.assembling.get();
  if (!frame) return 0;  // a continuation of no frame
  const int32_t room = frame->header.length - frame->received;
  const int32_t take = length < room ? length : room;
  if (take > 0) std::memcpy(frame->data.get() + frame->received, data, static_cast<size_t>(take));
  frame->received += take;
  if (frame->received < frame->header.length) return 0;
  return queue_frame(std::move(g_list.assembling));
}

void remote_backup_qvfs_interrup() {
  g_list.running.store(false);
  g_list.changed.notify_all();
}

int32_t remote_backup_qvfs_close(QvAviWriter* handle) {
  if (!handle || handle != g_list.writer) return -1;
  g_list.closing.store(true);
  g_list.changed.notify_all();
  if (g_list.thread.joinable()) g_list.thread.join();
  g_list.assembling.reset();
  g_list.writer = nullptr;
  const bool failed = g_list.output_failed.load();
  return qv_avi_close_fp(handle) == 0 && !failed ? 0 : -1;
}

bool remote_backup_task_run_status() { return g_list.running.load(); }

bool remote_backup_output_failed() { return g_list.output_failed.load(); }

int32_t remote_backup_open(const char*, QvAviWriter**) { return 0; }
int32_t remote_backup_write(QvAviWriter*, const void*, int32_t) { return 0; }
int32_t remote_backup_close(QvAviWriter* handle) { return qv_avi_close_fp(handle); }
