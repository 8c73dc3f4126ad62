// The daemon absent, silent, sending garbage, broken frames, dying in the
// middle of a reply: every query route of the table gives its error answer
// within the (scaled) time limit, exits cleanly, and leaves no process and no
// temporary file behind.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/hostile/guard.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";
const std::string kTextError = kTextHeader + "CGI ERROR";

struct QueryRow {
  const char* method;
  const char* route;
  const char* data;   // JSON body (POST) or query (GET)
  std::string error;  // the route's answer when the daemon does not answer
};

// A query route of each family.
const QueryRow kQueries[] = {
    {"GET", "/6100", "", kJsonError},
    {"GET", "/8000", "", kJsonError},
    {"GET", "/1009", "", kJsonError},
    {"GET", "/6320", "", kJsonError},
    {"POST", "/3000", R"({"chnid":2})", kJsonError},
    {"POST", "/6024", R"({"chnid":2})", kJsonError},
    {"POST", "/6134", R"({"channel":0})", kJsonError},
    {"POST", "/5010", R"({"chnid":5})", kJsonError},
    {"GET", "/6310", "", kTextHeader + "Failed"},
};

struct FaultRow {
  const char* name;
  bool absent;  // the daemon is not running at all
  bool dies;    // the fault ends the simulator
  SimFault fault;
  bool scripted_never;  // silence rather than a fault
};

const FaultRow kFaults[] = {
    {"absent", true, false, SimFault::kClose, false},
    {"silent", false, false, SimFault::kClose, true},
    {"garbage", false, false, SimFault::kGarbage, false},
    {"bad magic", false, false, SimFault::kBadMagic, false},
    {"bad header size", false, false, SimFault::kBadHeaderSize, false},
    {"oversize", false, false, SimFault::kOversize, false},
    {"truncated, left open", false, false, SimFault::kTruncated, false},
    {"closed mid-message", false, false, SimFault::kCloseMidMessage, false},
    {"closed", false, false, SimFault::kClose, false},
    {"dies mid-reply", false, true, SimFault::kDieMidReply, false},
    {"dies", false, true, SimFault::kDie, false},
};

// The files in /tmp, less the daemon's own "running" mark.
std::vector<std::string> tmp_files(const DeviceRoot& root) {
  std::vector<std::string> names = root.list("/tmp");
  std::erase(names, "qvcore");
  return names;
}

CgiRequest request_of(const QueryRow& row) {
  CgiRequest request = json_request(row.method, row.route, row.data);
  request.cookie = "userName=admin";
  request.env["NVR_TIME_SCALE"] = kFastScale;
  request.timeout_seconds = 20;
  return request;
}

TEST(DaemonFaults, EveryQueryGivesItsErrorAnswerAndLeavesNothingBehind) {
  DeviceRoot root;
  CoreSim sim(root);
  size_t runs = 0;
  for (const QueryRow& row : kQueries) {
    // The request ids the route asks: from a run against the simulator.
    sim.clear_all();
    sim.clear_messages();
    run_cgi(root, request_of(row));
    std::set<int32_t> ids;
    for (const SimMessage& message : sim.messages())
      if ((message.flags & CoreSim::kNoReply) == 0) ids.insert(message.id);
    ASSERT_FALSE(ids.empty()) << row.route;

    for (const FaultRow& fault : kFaults) {
      SCOPED_TRACE(std::string(row.route) + ", daemon " + fault.name);
      sim.clear_all();
      for (int32_t id : ids) fault.scripted_never ? sim.never(id) : sim.fault(id, fault.fault);
      if (fault.absent) sim.stop();
      const std::vector<std::string> tmp_before = tmp_files(root);
      const auto started = std::chrono::steady_clock::now();
      const CgiResult result = run_cgi(root, request_of(row));
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      ++runs;
      EXPECT_EQ(result.exit_status, 0) << result.err.substr(0, 2000);
      EXPECT_EQ(result.out, row.error);
      EXPECT_LT(seconds, 5.0);
      EXPECT_EQ(tmp_files(root), tmp_before);
      if (fault.dies) {
        // The daemon may read the request only after the run gave up on it
        // (a busy machine): it dies then, before the next case starts.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (sim.running() && std::chrono::steady_clock::now() < deadline)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_FALSE(sim.running());
      }
      sim.clear_all();
      if (!sim.running()) sim.start();
      EXPECT_EQ(processes_of_root(root, sim.pid()), std::vector<std::string>{});
    }
  }
  printf("daemon faults: %zu routes x %zu faults, %zu runs\n", std::size(kQueries),
         std::size(kFaults), runs);
}

}  // namespace
}  // namespace nvr::test
