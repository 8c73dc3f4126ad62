// Message socket: framing codec and the client with its receive thread.
#include "platform/qvsocket.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace qvsock {

namespace {

void put_u32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t get_u32(const uint8_t* in) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(in[i]) << (8 * i);
  return value;
}

// Reads up to `size` bytes; returns the number read before EOF, or -1 on error.
ssize_t read_full(int fd, uint8_t* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, data + got, size - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return got ? static_cast<ssize_t>(got) : -1;
    }
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

// Stands in for the payload of an empty reply: callbacks get a valid pointer.
const uint8_t kEmptyPayload[8] = {};

// Grows a payload buffer by at most this much before the bytes have arrived.
constexpr size_t kReadChunk = 64 * 1024;

}  // namespace

HeaderBytes encode_header(const FrameHeader& header) {
  HeaderBytes out{};
  std::memcpy(out.data(), kMagic, 4);
  put_u32(out.data() + 4, kHeaderSize);
  put_u32(out.data() + 8, header.seq);
  put_u32(out.data() + 12, static_cast<uint32_t>(header.id));
  put_u32(out.data() + 16, header.flags);
  put_u32(out.data() + 20, header.size);
  return out;
}

DecodeResult decode_header(const uint8_t* bytes, FrameHeader* header) {
  if (std::memcmp(bytes, kMagic, 4) != 0) return DecodeResult::kBadMagic;
  if (get_u32(bytes + 4) != kHeaderSize) return DecodeResult::kBadHeaderSize;
  FrameHeader h;
  h.seq = get_u32(bytes + 8);
  h.id = static_cast<int32_t>(get_u32(bytes + 12));
  h.flags = get_u32(bytes + 16);
  h.size = get_u32(bytes + 20);
  if (h.size > kMaxPayload) return DecodeResult::kOversize;
  *header = h;
  return DecodeResult::kOk;
}

ReadResult read_frame(int fd, HeaderBytes* raw, FrameHeader* header,
                      std::vector<uint8_t>* payload) {
  ssize_t n = read_full(fd, raw->data(), kHeaderSize);
  if (n < 0) return ReadResult::kError;
  if (n == 0) return ReadResult::kClosed;
  if (static_cast<size_t>(n) < kHeaderSize) return ReadResult::kTruncated;
  if (decode_header(raw->data(), header) != DecodeResult::kOk) return ReadResult::kBadFrame;

  // The buffer grows only as bytes arrive; what an earlier frame left in it
  // is overwritten rather than cleared first (a stream of large replies
  // would pay for zeroing every one).
  size_t got = 0;
  while (got < header->size) {
    size_t chunk = std::min<size_t>(header->size - got, kReadChunk);
    if (payload->size() < got + chunk) payload->resize(got + chunk);
    ssize_t k = read_full(fd, payload->data() + got, chunk);
    if (k <= 0 || static_cast<size_t>(k) < chunk) {
      payload->resize(got + static_cast<size_t>(k > 0 ? k : 0));
      return ReadResult::kTruncated;
    }
    got += chunk;
  }
  payload->resize(header->size);
  return ReadResult::kFrame;
}

bool write_all(int fd, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool write_frame(int fd, const FrameHeader& header, const void* payload) {
  if (header.size > kMaxPayload || (header.size > 0 && payload == nullptr)) return false;
  HeaderBytes head = encode_header(header);
  // One sendmsg for the usual small message; the rest, if any, written after.
  iovec iov[2] = {{head.data(), head.size()}, {const_cast<void*>(payload), header.size}};
  msghdr msg{};
  msg.msg_iov = iov;
  msg.msg_iovlen = header.size ? 2 : 1;
  ssize_t n;
  do {
    n = ::sendmsg(fd, &msg, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  size_t sent = static_cast<size_t>(n);
  if (sent < kHeaderSize && !write_all(fd, head.data() + sent, kHeaderSize - sent)) return false;
  size_t body_sent = sent > kHeaderSize ? sent - kHeaderSize : 0;
  return write_all(fd, static_cast<const uint8_t*>(payload) + body_sent, header.size - body_sent);
}

int connect_unix(const std::string& path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return -1;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// ---- client ------------------------------------------------------------------

// The socket of one connection, closed when both the client and its receive
// thread have let go of it (so its number is never reused under a reader).
struct Connection {
  explicit Connection(int f) : fd(f) {}
  ~Connection() { ::close(fd); }
  int fd;
  // The sequence number of the request that waits for its reply (0: none). A
  // reply carrying any other number answers nothing and is dropped.
  std::atomic<uint32_t> awaited{0};
};

namespace {
thread_local const Client* t_receiving_client = nullptr;
}  // namespace

void Client::open(Callback callback, void* context, std::string path) {
  close();
  std::lock_guard lock(mutex_);
  callback_ = callback;
  context_ = context;
  path_ = std::move(path);
}

bool Client::connect_locked() {
  int fd = connect_unix(path_);
  if (fd < 0) return false;
  fd_ = fd;
  seq_ = 0;
  auto connection = std::make_shared<Connection>(fd);
  connection_ = connection;
  Callback callback = callback_;
  void* context = context_;
  const Client* self = this;
  receivers_.emplace_back([connection, callback, context, self] {
    t_receiving_client = self;
    HeaderBytes raw;
    FrameHeader header;
    std::vector<uint8_t> payload;
    while (read_frame(connection->fd, &raw, &header, &payload) == ReadResult::kFrame) {
      if (header.seq == 0 || header.seq != connection->awaited.load(std::memory_order_acquire))
        continue;
      if (callback) callback(context, raw.data(), payload.empty() ? kEmptyPayload : payload.data());
    }
    // Closed, broken or untrusted: a later send finds the connection gone.
    ::shutdown(connection->fd, SHUT_RDWR);
  });
  return true;
}

void Client::drop_locked() {
  if (connection_) ::shutdown(connection_->fd, SHUT_RDWR);
  connection_.reset();
  fd_ = -1;
}

int Client::send(int32_t id, const void* payload, int32_t length, uint32_t flags) {
  if (length < 0 || static_cast<uint32_t>(length) > kMaxPayload ||
      (length > 0 && payload == nullptr))
    return kSendInvalid;
  std::lock_guard lock(mutex_);
  if (path_.empty()) return kSendFailed;
  if (fd_ < 0 && !connect_locked()) return kSendFailed;
  FrameHeader header{++seq_, id, flags, static_cast<uint32_t>(length)};
  if ((flags & kFlagNoReply) == 0)
    connection_->awaited.store(header.seq, std::memory_order_release);
  if (!write_frame(fd_, header, payload)) {
    drop_locked();
    return kSendFailed;
  }
  return 0;
}

void Client::close() {
  std::vector<std::thread> receivers;
  {
    std::lock_guard lock(mutex_);
    drop_locked();
    receivers.swap(receivers_);
    path_.clear();
  }
  for (auto& thread : receivers) {
    // A reply callback closing its own client cannot wait for itself; its
    // thread ends on the shut-down socket once the callback returns.
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
  }
}

bool Client::is_receive_thread() const { return t_receiving_client == this; }

}  // namespace qvsock

// ---- the platform library's interface -----------------------------------------

namespace {
qvsock::Client& process_client() {
  static qvsock::Client client;
  return client;
}
}  // namespace

int qv_sock_init(qvsock::Callback callback, void* context, int /*mode*/, const char* path) {
  if (path == nullptr) return -1;
  process_client().open(callback, context, path);
  return 0;
}

int qv_sock_send_msg(int /*type*/, int32_t id, const void* payload, int32_t length,
                     const QvSockSendOptions* options) {
  return process_client().send(id, payload, length, options ? options->flags : 0);
}

int qv_sock_uninit() {
  process_client().close();
  return 0;
}

bool qv_sock_on_receive_thread() { return process_client().is_receive_thread(); }
