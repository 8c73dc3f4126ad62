// End-to-end test support: the core-daemon simulator build/nvr-cored running on
// a test's device root, with scripted replies and a record of every message.
//
//   DeviceRoot root;
//   CoreSim sim(root);                        // started; its socket accepts
//   sim.reply(3433, 8433, CoreSim::bytes(disk) + CoreSim::bytes(disk2));
//   CgiResult r = get(root, "/6100");          // nvr-cgi talks to the simulator
//   auto sent = sim.messages(3433);            // what the program sent
//   ASSERT_EQ(sent.size(), 1u);
//   EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, 0u);
//
// Scripts: each call adds one step for a request id; the steps run in order for
// every request of that id that arrives, and replace the simulator's built-in
// behaviour for it (sim_<area>.cpp). A script may be changed at any time, also
// between two runs of nvr-cgi; it survives restart().
//   sim.reply(3504, 8504, CoreSim::bytes<int32_t>(0));       // one reply
//   sim.reply(1173, 6173, piece1).reply(1173, 6173, piece2);   // several replies
//   sim.delay(3433, 300).reply(3433, 8433, records);           // a late reply
//   sim.never(3433);                                           // no reply at all
//   sim.fault(3433, SimFault::kBadMagic);                      // a broken frame
//   sim.clear(3433);                                           // built-in again
// Without a script and without a built-in handler the simulator does not reply.
//
// With NVR_TIME_SCALE set (e.g. "0.001") in the test's environment, run_cgi
// passes it on and the program's waits shrink by that factor: a request with a
// 40 s limit gives up after 40 ms. Delays of scripts are real milliseconds.
//
// The daemon dying: sim.fault(id, SimFault::kDie) makes the simulator exit the
// moment that request arrives; or run nvr-cgi on a thread, wait_for(id), and
// kill() (SIGKILL). start() / restart() bring it back on the same root; the
// operation log it keeps (operation_log()) survives.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/e2e/harness.h"

namespace nvr::test {

struct SimMessage {
  uint32_t seq;    // numbered from 1 on each connection
  int32_t id;      // request id
  uint32_t flags;  // bit 0: the sender expects no reply
  std::string payload;
};

enum class SimFault {
  kBadMagic,         // a whole reply whose magic is not "NVRM"
  kBadHeaderSize,    // header size field other than 24
  kOversize,         // payload size above 16 MiB (only the header is sent)
  kTruncated,        // header announcing 64 bytes, 10 bytes sent, connection left open
  kCloseMidMessage,  // header announcing 64 bytes, 10 bytes sent, connection closed
  kClose,            // the connection is closed without a reply
  kDie,              // the simulator exits at once (the daemon crashing)
  kWrongSeq,         // the replies after it carry a sequence number no request had
  kGarbage,          // 300 bytes that are no frame, connection left open
  kDieMidReply,      // header announcing 64 bytes, 10 bytes sent, then the simulator exits
};

class CoreSim {
 public:
  static constexpr uint32_t kNoReply = 1;

  // Starts the simulator on `root` (unless start is false) and waits until its
  // socket accepts. Throws std::runtime_error when it does not come up.
  explicit CoreSim(const DeviceRoot& root, bool start = true);
  ~CoreSim();  // stop()
  CoreSim(const CoreSim&) = delete;
  CoreSim& operator=(const CoreSim&) = delete;

  // ---- lifecycle
  void start();    // no-op when running
  void stop();     // SIGTERM, waits for the exit (SIGKILL after 5 s)
  void restart();  // stop() + start()
  void kill();     // SIGKILL: the daemon vanishes mid-request
  bool running();  // false once it exited (also after SimFault::kDie)
  pid_t pid() const { return pid_; }

  // ---- scripts (see the header comment)
  CoreSim& reply(int32_t request_id, int32_t reply_id, const std::string& payload = {});
  CoreSim& delay(int32_t request_id, int milliseconds);
  CoreSim& never(int32_t request_id);
  CoreSim& fault(int32_t request_id, SimFault fault);
  CoreSim& clear(int32_t request_id);
  CoreSim& clear_all();

  // ---- what the simulator received, oldest first: the order a run of nvr-cgi
  // sent them in (its connections come one after the other), and for clients
  // running at the same time the order they arrived in.
  // Waits (up to 2 s) until every message already written to the socket has
  // been read and recorded, then returns them all (or those of one id).
  std::vector<SimMessage> messages();
  std::vector<SimMessage> messages(int32_t request_id);
  // Blocks until a message of request_id has arrived (the first one), or the
  // timeout passed; for tests that act while nvr-cgi is still waiting.
  std::optional<SimMessage> wait_for(int32_t request_id, double timeout_seconds = 5);
  void clear_messages();

  // The operation log the simulator keeps (680-byte records, oldest first).
  std::vector<std::string> operation_log();

  // The bytes of a trivially copyable value (a record, an int32) as a payload.
  template <class T>
  static std::string bytes(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::string out(sizeof(T), '\0');
    std::memcpy(out.data(), &value, sizeof(T));
    return out;
  }

  const std::string& script_file() const { return script_file_; }
  const std::string& record_file() const { return record_file_; }
  std::string socket_path() const;

 private:
  void add_step(int32_t request_id, const std::string& step);
  void write_script();
  std::vector<SimMessage> read_records() const;
  bool sync();

  const DeviceRoot& root_;
  std::string script_file_;
  std::string record_file_;
  std::vector<std::pair<int32_t, std::string>> steps_;  // in order
  pid_t pid_ = -1;
};

}  // namespace nvr::test
