// Message socket to the core daemon.
//
// A Unix-domain stream socket served by the daemon. A client connects, writes
// request messages and reads reply messages on the same connection. Every
// message, in either direction, is a 24-byte header and its payload; integers
// are little-endian:
//
//   OFFSET  SIZE  DESCRIPTION
//        0     4  magic "NVRM"
//        4     4  header size: 24
//        8     4  sequence number: requests are numbered from 1 on each
//                 connection; a reply carries the number of its request
//       12     4  message id (int32): request id, or reply id in a reply
//       16     4  flags: bit 0 set on a request that expects no reply
//       20     4  payload size, at most 16 MiB
//
// A reader that meets a bad magic, a header size other than 24 or a payload
// over the limit drops the connection; it never allocates from a size it has
// not received the bytes for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvsock {

constexpr size_t kHeaderSize = 24;
constexpr uint32_t kMaxPayload = 16u * 1024 * 1024;
constexpr uint32_t kFlagNoReply = 1;
inline constexpr char kMagic[4] = {'N', 'V', 'R', 'M'};

struct FrameHeader {
  uint32_t seq = 0;
  int32_t id = 0;
  uint32_t flags = 0;
  uint32_t size = 0;  // payload bytes
};

using HeaderBytes = std::array<uint8_t, kHeaderSize>;

HeaderBytes encode_header(const FrameHeader& header);

enum class DecodeResult { kOk, kBadMagic, kBadHeaderSize, kOversize };
DecodeResult decode_header(const uint8_t* bytes, FrameHeader* header);

enum class ReadResult {
  kFrame,      // a whole frame was read
  kClosed,     // the peer closed the connection between two frames
  kBadFrame,   // bad magic, header size or payload size
  kTruncated,  // the peer closed (or failed) in the middle of a frame
  kError,      // read error or interrupted by shutdown
};

// Reads one whole frame from a blocking stream socket. `raw` receives the 24
// header bytes as sent; `payload` grows only with the bytes that arrived.
ReadResult read_frame(int fd, HeaderBytes* raw, FrameHeader* header, std::vector<uint8_t>* payload);

// Writes the header and payload whole (no SIGPIPE); false on any failure.
bool write_frame(int fd, const FrameHeader& header, const void* payload);
bool write_all(int fd, const void* data, size_t size);

// Connects a stream socket to `path`; -1 when nobody listens there.
int connect_unix(const std::string& path);

// Reply callback: (context, 24-byte header, payload). The payload pointer is
// never null, also for a payload of size 0.
using Callback = void (*)(void* context, const void* header, const void* payload);

struct Connection;

// One client connection with its receive thread. Connecting is lazy: the
// first send connects; a send that finds the daemon gone drops the connection
// and the next one connects anew (sequence numbers restart at 1).
class Client {
 public:
  Client() = default;
  ~Client() { close(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  void open(Callback callback, void* context, std::string path);
  // 0 accepted; kSendFailed when there is no daemon or the connection broke;
  // kSendInvalid when the message can never be sent (bad length).
  int send(int32_t id, const void* payload, int32_t length, uint32_t flags);
  void close();
  // True on a thread that runs this client's reply callbacks.
  bool is_receive_thread() const;

  static constexpr int kSendFailed = -1;
  static constexpr int kSendInvalid = -2;

 private:
  bool connect_locked();
  void drop_locked();

  std::mutex mutex_;  // guards everything below and serialises sends
  Callback callback_ = nullptr;
  void* context_ = nullptr;
  std::string path_;
  int fd_ = -1;
  uint32_t seq_ = 0;
  std::shared_ptr<Connection> connection_;
  std::vector<std::thread> receivers_;  // one per connection made; joined on close
};

}  // namespace qvsock

// The platform library's interface, over one process-wide client.
struct QvSockSendOptions {
  uint32_t flags = 0;  // qvsock::kFlagNoReply for a request that expects no reply
};

// Registers the reply callback for the socket at `path` (a real path: callers
// resolve device paths). `mode` is kept for the platform's signature (3).
int qv_sock_init(qvsock::Callback callback, void* context, int mode, const char* path);
// Sends one request: 0 when accepted, non-zero otherwise. `type` is 1;
// options null means a request that expects a reply.
int qv_sock_send_msg(int type, int32_t id, const void* payload, int32_t length,
                     const QvSockSendOptions* options);
int qv_sock_uninit();
// True on the thread that runs the reply callbacks of the process-wide client.
bool qv_sock_on_receive_thread();
