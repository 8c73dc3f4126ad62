// nvr-cored: a stand-in for the recorder's core daemon.
//
//   nvr-cored --root DIR [--script FILE] [--record FILE] [--foreground]
//
// Serves the message socket DIR/var/run/qvsocket (DIR defaults to NVR_ROOT;
// without either, the recorder's own "/var/run/qvsocket"). Each connection
// gets a thread of its own; every request is answered by the built-in
// behaviour registered for its id (sim_<area>.cpp files), or by the script.
// Without --foreground the program returns once the socket accepts and keeps
// running in the background (process id in DIR/var/lib/nvr-cored/nvr-cored.pid,
// messages in nvr-cored.log beside it). SIGTERM or SIGINT stop it cleanly.
//
// --record FILE: every message received is appended to FILE as it arrived on
// the wire (24-byte header and payload), before it is handled.
//
// --script FILE: scripted answers that replace the built-in behaviour of the
// request ids they name. The file is read again whenever it changes. One step
// per line, run in order for every request of that id:
//   <request id> reply <reply id> <payload as hex, or ->   one reply message
//   <request id> delay <milliseconds>                      wait, then go on
//   <request id> never                                     answer nothing
//   <request id> fault <kind>                              a broken answer:
//     bad-magic          a whole reply with the magic "XVRM"
//     bad-header-size    a whole reply with header size 32
//     oversize           a header announcing 16 MiB + 1 bytes, nothing after it
//     truncated          a header announcing 64 bytes and 10 of them; left open
//     close-mid-message  the same, then the connection is closed
//     close              the connection is closed without an answer
//     die                the simulator exits at once (status 3)
//     die-mid-reply      a header announcing 64 bytes and 10 of them, then exit
//     garbage            300 bytes that are no frame; left open
//     wrong-seq          the replies after it carry a sequence number no request had
// Lines starting with '#' are comments.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "fuzz/seed_writer.h"
#include "platform/device_path.h"
#include "platform/qvsocket.h"
#include "tools/nvr-cored/control.h"
#include "tools/nvr-cored/script.h"
#include "tools/nvr-cored/sim.h"

namespace fs = std::filesystem;

namespace sim {

namespace {

std::string g_root;
std::atomic<bool> g_stopping{false};
std::mutex g_stop_mutex;
std::condition_variable g_stop_cv;  // wakes scripted delays on stop

std::map<int32_t, Handler>& handlers() {
  static std::map<int32_t, Handler> table;
  return table;
}

}  // namespace

HandlerReg::HandlerReg(int32_t request_id, Handler handler) { handlers()[request_id] = handler; }

std::string dev_path(std::string_view device_path) { return g_root + std::string(device_path); }

std::string state_path(std::string_view name) {
  return g_root + "/var/lib/nvr-cored/" + std::string(name);
}

bool stopping() { return g_stopping.load(); }

namespace {

// Sleeps, or less when the simulator is asked to stop.
void interruptible_sleep(int milliseconds) {
  std::unique_lock lock(g_stop_mutex);
  g_stop_cv.wait_for(lock, std::chrono::milliseconds(milliseconds), [] { return stopping(); });
}

// ---- record of received messages -------------------------------------------

class Recorder {
 public:
  void open(const std::string& path) {
    if (path.empty()) return;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) fprintf(stderr, "nvr-cored: cannot open record file %s\n", path.c_str());
  }
  void append(const qvsock::FrameHeader& header, const std::vector<uint8_t>& payload) {
    if (fd_ < 0) return;
    auto head = qvsock::encode_header(header);
    std::string bytes(head.begin(), head.end());
    bytes.append(payload.begin(), payload.end());
    std::lock_guard lock(mutex_);
    if (!qvsock::write_all(fd_, bytes.data(), bytes.size()))
      fprintf(stderr, "nvr-cored: record write failed\n");
  }

 private:
  int fd_ = -1;
  std::mutex mutex_;
};

Recorder g_recorder;
std::unique_ptr<ScriptFile> g_script;

// ---- connections -------------------------------------------------------------

class Connection : public Peer {
 public:
  explicit Connection(int fd) : fd_(fd) {}
  ~Connection() override { ::close(fd_); }

  void reply(int32_t reply_id, const void* data, size_t size) override {
    if (size > qvsock::kMaxPayload) {
      fprintf(stderr, "nvr-cored: reply %d too large (%zu bytes), not sent\n", reply_id, size);
      return;
    }
    fuzz_seed::write_reply(reply_id, data, size);
    std::lock_guard lock(write_mutex_);
    if (!alive_) return;
    qvsock::FrameHeader header{seq_, reply_id, 0, static_cast<uint32_t>(size)};
    if (!qvsock::write_frame(fd_, header, data)) alive_ = false;
  }
  bool connected() const override { return alive_ && !stopping(); }

  void write_raw(const std::string& bytes) {
    std::lock_guard lock(write_mutex_);
    if (alive_ && !qvsock::write_all(fd_, bytes.data(), bytes.size())) alive_ = false;
  }
  void shutdown() {
    alive_ = false;
    ::shutdown(fd_, SHUT_RDWR);
  }
  // Requests already written stay readable; after them the client reads as
  // closed.
  void stop_reading() { ::shutdown(fd_, SHUT_RD); }
  // No message is on its way into this connection's record.
  bool settled() const {
    int pending = 0;
    return !mid_frame_ && (ioctl(fd_, FIONREAD, &pending) != 0 || pending == 0);
  }

  void serve();

 private:
  void handle(const Message& message);
  void run_steps(const std::vector<Step>& steps);
  void run_fault(Fault fault);

  int fd_;
  std::mutex write_mutex_;
  std::atomic<bool> alive_{true};
  std::atomic<bool> mid_frame_{false};
  std::atomic<bool> closed_by_script_{false};
  uint32_t seq_ = 0;  // of the request being handled
};

std::mutex g_connections_mutex;
std::condition_variable g_connections_cv;
std::set<Connection*> g_connections;

bool all_settled(const Connection* except) {
  std::lock_guard lock(g_connections_mutex);
  for (const Connection* c : g_connections)
    if (c != except && !c->settled()) return false;
  return true;
}

void sync_reply(Connection& self) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int32_t settled = 0;
  while (!stopping()) {
    if (all_settled(&self)) {
      settled = 1;
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  self.reply(kSyncRequestId, &settled, sizeof settled);
}

std::string frame_bytes(const char* magic, uint32_t header_size, uint32_t seq, int32_t id,
                        uint32_t size, size_t payload_bytes) {
  auto head = qvsock::encode_header({seq, id, 0, size});
  std::memcpy(head.data(), magic, 4);
  for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<uint8_t>(header_size >> (8 * i));
  std::string bytes(head.begin(), head.end());
  bytes.append(payload_bytes, '\x5a');
  return bytes;
}

void Connection::run_fault(Fault fault) {
  const int32_t id = 0;  // the reply id does not matter to a broken frame
  switch (fault) {
    case Fault::kBadMagic:
      write_raw(frame_bytes("XVRM", 24, seq_, id, 4, 4));
      break;
    case Fault::kBadHeaderSize:
      write_raw(frame_bytes("NVRM", 32, seq_, id, 4, 4));
      break;
    case Fault::kOversize:
      write_raw(frame_bytes("NVRM", 24, seq_, id, qvsock::kMaxPayload + 1, 0));
      break;
    case Fault::kTruncated:
      write_raw(frame_bytes("NVRM", 24, seq_, id, 64, 10));
      break;
    case Fault::kCloseMidMessage:
      write_raw(frame_bytes("NVRM", 24, seq_, id, 64, 10));
      closed_by_script_ = true;
      shutdown();
      break;
    case Fault::kClose:
      closed_by_script_ = true;
      shutdown();
      break;
    case Fault::kWrongSeq:
      seq_ += 1000;  // the replies that follow answer a request never sent
      break;
    case Fault::kDie:
      fprintf(stderr, "nvr-cored: scripted exit\n");
      _exit(3);
    case Fault::kGarbage: {
      // Bytes that are no frame at all, the connection left open.
      std::string noise(300, '\0');
      for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 131 + 7) % 251);
      write_raw(noise);
      break;
    }
    case Fault::kDieMidReply:
      write_raw(frame_bytes("NVRM", 24, seq_, id, 64, 10));
      fprintf(stderr, "nvr-cored: scripted exit in the middle of a reply\n");
      _exit(3);
  }
}

void Connection::run_steps(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    if (closed_by_script_ || stopping()) return;
    switch (step.kind) {
      case StepKind::kReply:
        reply(step.reply_id, step.payload.data(), step.payload.size());
        break;
      case StepKind::kDelay:
        interruptible_sleep(step.delay_ms);
        break;
      case StepKind::kNever:
        break;
      case StepKind::kFault:
        run_fault(step.fault);
        break;
    }
  }
}

void Connection::handle(const Message& message) {
  if (message.id == kSyncRequestId) return sync_reply(*this);
  if (g_script) {
    if (auto steps = g_script->steps_for(message.id)) return run_steps(*steps);
  }
  auto it = handlers().find(message.id);
  if (it == handlers().end()) return;
  try {
    it->second(message, *this);
  } catch (const std::exception& e) {
    fprintf(stderr, "nvr-cored: handler of %d failed: %s\n", message.id, e.what());
  } catch (...) {
    fprintf(stderr, "nvr-cored: handler of %d failed\n", message.id);
  }
}

void Connection::serve() {
  qvsock::HeaderBytes raw;
  qvsock::FrameHeader header;
  std::vector<uint8_t> payload;
  // Runs until the client closes, also while the daemon stops: a request
  // written in full before that is handled.
  while (!closed_by_script_) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    mid_frame_ = true;
    auto result = qvsock::read_frame(fd_, &raw, &header, &payload);
    if (result != qvsock::ReadResult::kFrame) {
      if (result == qvsock::ReadResult::kBadFrame || result == qvsock::ReadResult::kTruncated)
        fprintf(stderr, "nvr-cored: broken message from a client, connection dropped\n");
      break;
    }
    if (header.id != kSyncRequestId) g_recorder.append(header, payload);
    // A notice (no reply expected) counts as arriving until its handler has
    // run, so that what it stores is there once the message is seen.
    const bool notice = (header.flags & kFlagNoReply) != 0;
    if (!notice) mid_frame_ = false;
    seq_ = header.seq;
    handle(
        Message{header.seq, header.id, header.flags, std::string(payload.begin(), payload.end())});
    mid_frame_ = false;
  }
  mid_frame_ = false;
  shutdown();
}

// ---- server ------------------------------------------------------------------

int listen_unix(const std::string& path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) {
    fprintf(stderr, "nvr-cored: socket path too long: %s\n", path.c_str());
    return -1;
  }
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  ::unlink(path.c_str());
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, 256) != 0) {
    fprintf(stderr, "nvr-cored: cannot listen on %s: %s\n", path.c_str(), strerror(errno));
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

// A client sends its requests one connection after the other; the record
// keeps that order when the messages already written on earlier connections
// are read before a new connection is served (briefly: a stalled client does
// not hold up the others for long).
void wait_for_earlier_connections() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (!all_settled(nullptr) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void start_connection(int fd) {
  wait_for_earlier_connections();
  auto* connection = new Connection(fd);
  {
    std::lock_guard lock(g_connections_mutex);
    g_connections.insert(connection);
  }
  std::thread([connection] {
    connection->serve();
    std::lock_guard lock(g_connections_mutex);
    g_connections.erase(connection);
    delete connection;
    g_connections_cv.notify_all();
  }).detach();
}

void stop_connections() {
  {
    std::lock_guard lock(g_stop_mutex);
    g_stopping = true;
  }
  g_stop_cv.notify_all();
  std::unique_lock lock(g_connections_mutex);
  for (Connection* c : g_connections) c->stop_reading();
  // Handlers that ignore stopping() are not waited for long.
  g_connections_cv.wait_for(lock, std::chrono::seconds(3), [] { return g_connections.empty(); });
}

struct Options {
  std::string root;
  std::string script;
  std::string record;
  bool foreground = false;
};

bool parse_options(int argc, char** argv, Options* options) {
  if (const char* env = getenv("NVR_ROOT")) options->root = env;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    if (arg == "--root") {
      if (!value(&options->root)) return false;
    } else if (arg == "--script") {
      if (!value(&options->script)) return false;
    } else if (arg == "--record") {
      if (!value(&options->record)) return false;
    } else if (arg == "--foreground") {
      options->foreground = true;
    } else {
      return false;
    }
  }
  while (options->root.size() > 1 && options->root.back() == '/') options->root.pop_back();
  return true;
}

// Leaves the terminal once the socket accepts: the parent returns 0 then.
void daemonize() {
  pid_t pid = fork();
  if (pid < 0) {
    perror("nvr-cored: fork");
    exit(1);
  }
  if (pid > 0) {
    // The parent returns only once the pid file names the daemon.
    FILE* pid_file = fopen(state_path("nvr-cored.pid").c_str(), "w");
    if (pid_file) {
      fprintf(pid_file, "%d\n", pid);
      fclose(pid_file);
    }
    _exit(0);
  }
  setsid();
  int null_fd = ::open("/dev/null", O_RDWR);
  int log_fd = ::open(state_path("nvr-cored.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (null_fd >= 0) {
    dup2(null_fd, 0);
    dup2(log_fd >= 0 ? log_fd : null_fd, 1);
    dup2(log_fd >= 0 ? log_fd : null_fd, 2);
  }
}

}  // namespace

int run(int argc, char** argv) {
  Options options;
  if (!parse_options(argc, argv, &options)) {
    fprintf(stderr, "usage: nvr-cored --root DIR [--script FILE] [--record FILE] [--foreground]\n");
    return 2;
  }
  g_root = options.root;
  std::error_code ec;
  fs::create_directories(state_path(""), ec);
  g_recorder.open(options.record);
  if (!options.script.empty()) g_script = std::make_unique<ScriptFile>(options.script);

  // Signals arrive through a descriptor of the accept loop, never on a
  // connection thread (they all inherit this mask).
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGINT);
  pthread_sigmask(SIG_BLOCK, &mask, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string socket_path = dev_path(nvr::devpath::kSocket);
  int listen_fd = listen_unix(socket_path);
  if (listen_fd < 0) return 1;
  if (!options.foreground) daemonize();
  int signal_fd = signalfd(-1, &mask, SFD_CLOEXEC);
  // The recorder's core service marks that it runs with this file; the pages
  // watch it across a restart.
  const std::string ready_file = dev_path("/tmp/qvcore");
  if (FILE* ready = fopen(ready_file.c_str(), "w")) fclose(ready);

  while (!stopping()) {
    pollfd fds[2] = {{listen_fd, POLLIN, 0}, {signal_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents) break;
    if (fds[0].revents & POLLIN) {
      int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) start_connection(fd);
    }
  }
  // Clients that connected before the stop are still served.
  fcntl(listen_fd, F_SETFL, O_NONBLOCK);
  for (int fd; (fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
    start_connection(fd);
  ::close(listen_fd);
  ::unlink(socket_path.c_str());
  ::unlink(ready_file.c_str());
  stop_connections();
  fflush(nullptr);
  _exit(0);  // connection threads that outlived the grace time end with us
}

}  // namespace sim

int main(int argc, char** argv) { return sim::run(argc, argv); }
