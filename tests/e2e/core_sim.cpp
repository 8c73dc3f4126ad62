#include "tests/e2e/core_sim.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/qvsocket.h"
#include "tests/e2e/example_recorder.h"
#include "tests/e2e/programs.h"
#include "tools/nvr-cored/control.h"

namespace fs = std::filesystem;

namespace nvr::test {

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string hex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

const char* fault_name(SimFault fault) {
  switch (fault) {
    case SimFault::kBadMagic:
      return "bad-magic";
    case SimFault::kBadHeaderSize:
      return "bad-header-size";
    case SimFault::kOversize:
      return "oversize";
    case SimFault::kTruncated:
      return "truncated";
    case SimFault::kCloseMidMessage:
      return "close-mid-message";
    case SimFault::kClose:
      return "close";
    case SimFault::kDie:
      return "die";
    case SimFault::kWrongSeq:
      return "wrong-seq";
    case SimFault::kGarbage:
      return "garbage";
    case SimFault::kDieMidReply:
      return "die-mid-reply";
  }
  return "close";
}

using Clock = std::chrono::steady_clock;

}  // namespace

CoreSim::CoreSim(const DeviceRoot& root, bool start_now) : root_(root) {
  fs::create_directories(root_.path() + "/var/lib/nvr-cored");
  fs::create_directories(root_.path() + "/var/run");
  script_file_ = root_.path() + "/var/lib/nvr-cored/test-script.txt";
  record_file_ = root_.path() + "/var/lib/nvr-cored/test-received.bin";
  write_script();
  std::ofstream(record_file_, std::ios::binary | std::ios::trunc);
  if (start_now) start();
  register_recording_sim(root_.path(), this);
}

CoreSim::~CoreSim() {
  unregister_recording_sim(root_.path(), this);
  stop();
}

std::string CoreSim::socket_path() const { return root_.path() + "/var/run/qvsocket"; }

void CoreSim::start() {
  if (running()) return;
  std::vector<std::string> argv_words = simulator_argv();
  std::string log = root_.path() + "/var/lib/nvr-cored/test-stderr.log";
  // Everything the child needs is made before the fork: a thread of the test
  // may hold the allocator's lock at that moment.
  std::vector<std::string> env_strings{"NVR_ROOT=" + root_.path()};
  for (char** e = environ; *e; ++e)
    if (strncmp(*e, "NVR_ROOT=", 9) != 0) env_strings.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string root = root_.path();
  for (const std::string& arg :
       {std::string("--root"), root, std::string("--script"), script_file_, std::string("--record"),
        record_file_, std::string("--foreground")})
    argv_words.push_back(arg);
  std::vector<char*> argv = argv_pointers(argv_words);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  pid_ = pid;
  // Up means its ready file made (it writes that after listening) and
  // connectable (a killed daemon leaves the file): a test that lists "/tmp"
  // must not see that file come later.
  const std::string ready_file = root_.path() + "/tmp/qvcore";
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    if (access(ready_file.c_str(), F_OK) == 0) {
      const int fd = qvsock::connect_unix(socket_path());
      if (fd >= 0) {
        close(fd);
        return;
      }
    }
    if (!running()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  stop();
  throw std::runtime_error("nvr-cored did not come up: " + slurp(log));
}

void CoreSim::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  auto deadline = Clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  pid_ = -1;
}

void CoreSim::restart() {
  stop();
  start();
}

void CoreSim::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

bool CoreSim::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
  return pid_ > 0;
}

// ---- scripts ---------------------------------------------------------------------

void CoreSim::add_step(int32_t request_id, const std::string& step) {
  steps_.emplace_back(request_id, step);
  write_script();
}

CoreSim& CoreSim::reply(int32_t request_id, int32_t reply_id, const std::string& payload) {
  add_step(request_id, "reply " + std::to_string(reply_id) + " " + hex(payload));
  return *this;
}

CoreSim& CoreSim::delay(int32_t request_id, int milliseconds) {
  add_step(request_id, "delay " + std::to_string(milliseconds));
  return *this;
}

CoreSim& CoreSim::never(int32_t request_id) {
  add_step(request_id, "never");
  return *this;
}

CoreSim& CoreSim::fault(int32_t request_id, SimFault fault) {
  add_step(request_id, std::string("fault ") + fault_name(fault));
  return *this;
}

CoreSim& CoreSim::clear(int32_t request_id) {
  std::erase_if(steps_, [&](const auto& step) { return step.first == request_id; });
  write_script();
  return *this;
}

CoreSim& CoreSim::clear_all() {
  steps_.clear();
  write_script();
  return *this;
}

// Replaced whole (rename), so the simulator never reads half a script.
void CoreSim::write_script() {
  std::string temporary = script_file_ + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    for (const auto& [id, step] : steps_) out << id << ' ' << step << '\n';
  }
  fs::rename(temporary, script_file_);
}

// ---- received messages ---------------------------------------------------------

bool CoreSim::sync() {
  if (!running()) return false;
  int fd = qvsock::connect_unix(socket_path());
  if (fd < 0) return false;
  timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  bool settled = false;
  if (qvsock::write_frame(fd, {1, sim::kSyncRequestId, 0, 0}, nullptr)) {
    qvsock::HeaderBytes raw;
    qvsock::FrameHeader header;
    std::vector<uint8_t> payload;
    settled = qvsock::read_frame(fd, &raw, &header, &payload) == qvsock::ReadResult::kFrame &&
              payload.size() == 4 && payload[0] == 1;
  }
  close(fd);
  return settled;
}

std::vector<SimMessage> CoreSim::read_records() const {
  std::string bytes = slurp(record_file_);
  std::vector<SimMessage> out;
  size_t at = 0;
  while (at + qvsock::kHeaderSize <= bytes.size()) {
    qvsock::FrameHeader h;
    if (qvsock::decode_header(reinterpret_cast<const uint8_t*>(bytes.data() + at), &h) !=
        qvsock::DecodeResult::kOk)
      break;
    if (at + qvsock::kHeaderSize + h.size > bytes.size()) break;  // being written
    out.push_back({h.seq, h.id, h.flags, bytes.substr(at + qvsock::kHeaderSize, h.size)});
    at += qvsock::kHeaderSize + h.size;
  }
  return out;
}

std::vector<SimMessage> CoreSim::messages() {
  sync();
  return read_records();
}

std::vector<SimMessage> CoreSim::messages(int32_t request_id) {
  std::vector<SimMessage> all = messages();
  std::erase_if(all, [&](const SimMessage& m) { return m.id != request_id; });
  return all;
}

std::optional<SimMessage> CoreSim::wait_for(int32_t request_id, double timeout_seconds) {
  auto deadline =
      Clock::now() + std::chrono::microseconds(static_cast<int64_t>(timeout_seconds * 1e6));
  do {
    for (auto& m : read_records())
      if (m.id == request_id) return m;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (Clock::now() < deadline);
  return std::nullopt;
}

void CoreSim::clear_messages() {
  sync();
  // The simulator appends (O_APPEND), so it goes on at the new end.
  if (truncate(record_file_.c_str(), 0) != 0) throw std::runtime_error("truncate failed");
}

std::vector<std::string> CoreSim::operation_log() {
  sync();
  std::string all = slurp(root_.path() + "/var/lib/nvr-cored/oplog.bin");
  std::vector<std::string> records;
  for (size_t at = 0; at + 680 <= all.size(); at += 680) records.push_back(all.substr(at, 680));
  return records;
}

}  // namespace nvr::test
