// The core-daemon client (cgi_start_ipc) against the simulator: how long a
// request waits, what reaches the reply callback, and what the client does
// when the daemon is absent, dies, or sends broken frames. Each case runs in a
// child process so that the client's process-wide state (root, time scale,
// connection) is fresh.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "frame/ipc.h"
#include "platform/device_path.h"
#include "tests/e2e/core_sim.h"

namespace nvr::test {
namespace {

using Clock = std::chrono::steady_clock;

// Filled by the child, read by the test (shared memory).
struct Outcome {
  bool ran = false;
  double wait_ms = 0;  // cgi_start_ipc
  double stop_ms = 0;  // cgi_stop_ipc
  int32_t flag = -1;   // g_callback_done after the wait
  int calls = 0;
  int32_t reply_ids[8] = {};
  uint32_t sizes[8] = {};
  bool null_payload = false;
};

Outcome* g_outcome = nullptr;

void recording_callback(void*, const void* header, const void* payload) {
  Outcome& o = *g_outcome;
  if (o.calls < 8) {
    o.reply_ids[o.calls] = ipc_reply_id(header);
    o.sizes[o.calls] = ipc_reply_size(header);
  }
  ++o.calls;
  if (!payload) o.null_payload = true;
  // Answers on the reply that ends the request (8xxx), like the modules do.
  if (ipc_reply_id(header) >= 8000 && ipc_reply_id(header) < 9000) cgi_set_callback_done(1);
}

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs `body` in a child process with the device root and time scale given.
// `in_parent` runs in the test process while the child works: a thread of the
// test must never be running at the fork (the child could inherit a lock it
// holds, such as the allocator's).
Outcome run_client(const DeviceRoot& root, const char* time_scale,
                   const std::function<void(Outcome&)>& body,
                   const std::function<void()>& in_parent = {}) {
  void* shared =
      mmap(nullptr, sizeof(Outcome), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  auto* outcome = new (shared) Outcome();
  pid_t pid = fork();
  if (pid == 0) {
    setenv("NVR_ROOT", root.path().c_str(), 1);
    setenv("NVR_TIME_SCALE", time_scale, 1);
    if (nvr::device_root() != root.path()) _exit(90);  // root cached before the fork
    g_outcome = outcome;
    body(*outcome);
    outcome->ran = true;
    fflush(stdout);
    _exit(0);
  }
  if (in_parent) in_parent();
  int status = 0;
  waitpid(pid, &status, 0);
  Outcome copy = *outcome;
  munmap(shared, sizeof(Outcome));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  return copy;
}

// One waiting request: times the wait and the close.
void request(Outcome& o, int32_t id, const std::string& payload = "abcd", int32_t nowait = 0) {
  auto start = Clock::now();
  cgi_start_ipc(recording_callback, id, static_cast<int32_t>(payload.size()), payload.data(),
                nowait);
  o.wait_ms = ms_since(start);
  o.flag = g_callback_done.load();
  start = Clock::now();
  cgi_stop_ipc();
  o.stop_ms = ms_since(start);
}

TEST(IpcClient, ReplyEndsTheWaitAtOnce) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(3433, 8433, CoreSim::bytes<int32_t>(0));
  // At the real time scale the limit is 40 s; the reply must end the wait the
  // moment the callback has answered, not at a polling mark.
  double fastest = 1e9;
  for (int i = 0; i < 5; ++i) {
    Outcome o = run_client(root, "1", [](Outcome& o) { request(o, 3433); });
    ASSERT_TRUE(o.ran);
    EXPECT_EQ(o.flag, 1);
    EXPECT_EQ(o.calls, 1);
    EXPECT_EQ(o.reply_ids[0], 8433);
    EXPECT_EQ(o.sizes[0], 4u);
    fastest = std::min(fastest, o.wait_ms);
  }
  EXPECT_LT(fastest, 20.0);
  auto sent = sim.messages(3433);
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[0].seq, 1u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, 0u);
  EXPECT_EQ(sent[0].payload, "abcd");
}

TEST(IpcClient, MissingReplyEndsAfterTheLimitOfItsId) {
  DeviceRoot root;
  CoreSim sim(root);
  struct Case {
    int32_t id;
    double limit_ms;  // polls x 40 ms, scaled by 0.001
  } cases[] = {{4242, 40}, {3700, 60}, {1153, 120}, {3201, 240}, {3434, 600}, {3379, 1200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    sim.never(c.id);
    Outcome o = run_client(root, "0.001", [&](Outcome& o) { request(o, c.id); });
    EXPECT_EQ(o.flag, 0);
    EXPECT_GE(o.wait_ms, c.limit_ms);
    EXPECT_LT(o.wait_ms, c.limit_ms + 1000);
  }
}

TEST(IpcClient, ReplyAfterTheWaitRanOutIsNotASecondAnswer) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.delay(4242, 150).reply(4242, 9242, CoreSim::bytes<int32_t>(0));
  Outcome o = run_client(root, "0.001", [](Outcome& o) {
    cgi_start_ipc(recording_callback, 4242, 0, nullptr, 0);  // 40 ms at this scale
    o.flag = g_callback_done.load();
    // The handler answers the error now; the reply comes while it does.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    cgi_stop_ipc();
  });
  EXPECT_EQ(o.flag, 0);
  EXPECT_EQ(o.calls, 0);
}

TEST(IpcClient, NowaitReturnsRightAfterTheSend) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.delay(3435, 300).reply(3435, 8435, CoreSim::bytes<int32_t>(0));
  Outcome o = run_client(root, "1", [](Outcome& o) {
    g_callback_done.store(7);
    request(o, 3435, "xy", 1);
  });
  EXPECT_LT(o.wait_ms, 100.0);
  EXPECT_EQ(o.flag, 0);  // cleared before the send, not waited for
  auto sent = sim.messages(3435);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  EXPECT_EQ(sent[0].payload, "xy");
}

TEST(IpcClient, EveryReplyReachesTheCallbackInOrderAndEmptyOnesWithAPayload) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(1173, 6173, std::string(614504, 'f'))
      .reply(1173, 6173, "")
      .delay(1173, 20)
      .reply(1173, 6173, "abc")
      .reply(1173, 8173, "");
  Outcome o = run_client(root, "1", [](Outcome& o) { request(o, 1173, ""); });
  EXPECT_EQ(o.flag, 1);
  ASSERT_EQ(o.calls, 4);
  EXPECT_FALSE(o.null_payload);
  const uint32_t sizes[] = {614504, 0, 3, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(o.reply_ids[i], i < 3 ? 6173 : 8173);
    EXPECT_EQ(o.sizes[i], sizes[i]);
  }
}

// Broken frames from the daemon: the connection is dropped, nothing reaches the
// callback, the wait runs into its limit and closing does not hang.
TEST(IpcClient, BrokenFramesAreDroppedWithoutCrashOrHang) {
  DeviceRoot root;
  CoreSim sim(root);
  const SimFault faults[] = {SimFault::kBadMagic,  SimFault::kBadHeaderSize,   SimFault::kOversize,
                             SimFault::kTruncated, SimFault::kCloseMidMessage, SimFault::kClose};
  for (SimFault fault : faults) {
    SCOPED_TRACE(static_cast<int>(fault));
    sim.clear(3433).fault(3433, fault).reply(3433, 8433, CoreSim::bytes<int32_t>(0));
    Outcome o = run_client(root, "0.01", [](Outcome& o) { request(o, 3433); });
    ASSERT_TRUE(o.ran);
    EXPECT_EQ(o.calls, 0);
    EXPECT_EQ(o.flag, 0);
    EXPECT_GE(o.wait_ms, 400.0);
    EXPECT_LT(o.stop_ms, 500.0);
  }
  EXPECT_TRUE(sim.running());
}

TEST(IpcClient, DaemonDyingMidWaitEndsInTheLimitAndARestartServesAgain) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.fault(3433, SimFault::kDie);
  Outcome o = run_client(root, "0.01", [](Outcome& o) { request(o, 3433); });
  EXPECT_EQ(o.flag, 0);
  EXPECT_GE(o.wait_ms, 400.0);
  EXPECT_FALSE(sim.running());

  sim.clear(3433).reply(3433, 8433, CoreSim::bytes<int32_t>(0));
  sim.start();
  o = run_client(root, "0.01", [](Outcome& o) { request(o, 3433); });
  EXPECT_EQ(o.flag, 1);
}

TEST(IpcClient, DaemonKilledWhileTheClientWaits) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.never(3433);
  Outcome o = run_client(
      root, "0.01", [](Outcome& o) { request(o, 3433); },
      [&] {
        if (sim.wait_for(3433, 10)) sim.kill();
      });
  EXPECT_EQ(o.flag, 0);
  EXPECT_GE(o.wait_ms, 400.0);
  EXPECT_LT(o.stop_ms, 500.0);
}

TEST(IpcClient, AbsentDaemonGets3000AttemptsThenTheWait) {
  DeviceRoot root;
  CoreSim sim(root, /*start=*/false);
  // 3000 attempts x 10 ms and a 40 s wait, scaled by 0.001.
  Outcome o = run_client(root, "0.001", [](Outcome& o) { request(o, 4242); });
  EXPECT_EQ(o.flag, 0);
  EXPECT_GE(o.wait_ms, 30.0 + 40.0);
  EXPECT_LT(o.wait_ms, 15000.0);  // far below the unscaled 70 s
  EXPECT_TRUE(sim.messages().empty());
}

TEST(IpcClient, DaemonStartingDuringTheRetriesGetsTheRequest) {
  DeviceRoot root;
  CoreSim sim(root, /*start=*/false);
  sim.reply(3433, 8433, CoreSim::bytes<int32_t>(0));
  // Retries 1 ms apart for 3 s at this scale.
  Outcome o = run_client(
      root, "0.1", [](Outcome& o) { request(o, 3433); },
      [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sim.start();
      });
  EXPECT_EQ(o.flag, 1);
  EXPECT_EQ(sim.messages(3433).size(), 1u);
}

// A reply callback that itself sends a log record (as the live-view answer
// does) must not disturb the wait it is answering.
void logging_callback(void*, const void* header, const void*) {
  if (ipc_reply_id(header) != 8500) return;
  ++g_outcome->calls;
  QvLogInfo record;
  cgi_init_log_info(&record);
  record.sub_type = 208;
  cgi_start_ipc(logging_callback, kReqOperationLog, sizeof record, &record, 1);
  cgi_stop_ipc();
  cgi_set_callback_done(1);
}

TEST(IpcClient, CallbackSendingItsOwnRequestKeepsTheWaitIntact) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(3500, 8500, CoreSim::bytes<int32_t>(0));
  Outcome o = run_client(root, "1", [](Outcome& o) {
    auto start = Clock::now();
    cgi_start_ipc(logging_callback, 3500, 0, nullptr, 0);
    o.wait_ms = ms_since(start);
    o.flag = g_callback_done.load();
    cgi_stop_ipc();
  });
  EXPECT_EQ(o.calls, 1);
  EXPECT_EQ(o.flag, 1);
  EXPECT_LT(o.wait_ms, 2000.0);
  auto logs = sim.messages(kReqOperationLog);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
}

}  // namespace
}  // namespace nvr::test
