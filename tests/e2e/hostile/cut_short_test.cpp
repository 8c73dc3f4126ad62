// Transfers that end early: an upload whose body stops part way (the client
// closed, or stalls), a download whose browser goes away. The run ends within
// its limits, removes its temporary files and leaves nothing running.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/hostile/guard.h"
#include "tests/e2e/programs.h"

namespace nvr::test {
namespace {

using Clock = std::chrono::steady_clock;

// What a run may leave in /tmp: nothing that starts like a temporary upload.
std::vector<std::string> temporaries(const DeviceRoot& root) {
  std::vector<std::string> found;
  for (const std::string& name : root.list("/tmp"))
    if (name.rfind("cgic", 0) == 0 || name.rfind("upload", 0) == 0) found.push_back(name);
  return found;
}

const char* const kUploadRoutes[] = {"/6321", "/1008", "/7084", "/oem", "/1019", "/6070"};

TEST(CutShort, AnUploadThatStopsPartWayLeavesNoTemporaryFile) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string content(200000, 'u');
  size_t runs = 0;
  for (const char* route : kUploadRoutes) {
    const CgiRequest whole = file_post(route, "a.wav", content, "aes=00");
    for (size_t cut : {size_t{0}, size_t{10}, size_t{60}, size_t{150}, whole.body.size() / 2,
                       whole.body.size() - 20, whole.body.size() - 1}) {
      SCOPED_TRACE(std::string(route) + " cut at " + std::to_string(cut));
      // The client closes its side: the length promised more than came.
      CgiRequest request = whole;
      request.body = whole.body.substr(0, cut);
      request.content_length_from_body = false;
      request.content_length = std::to_string(whole.body.size());
      request.env["NVR_TIME_SCALE"] = kFastScale;
      request.timeout_seconds = 20;
      const CgiResult closed = run_cgi(root, request);
      ++runs;
      EXPECT_TRUE(closed.exit_status == 0 || closed.exit_status == 255) << closed.exit_status;
      EXPECT_EQ(temporaries(root), std::vector<std::string>{});
      // The client stalls with its side open: the scaled body limit ends it.
      request.keep_input_open = true;
      const auto started = Clock::now();
      const CgiResult stalled = run_cgi(root, request);
      ++runs;
      EXPECT_LT(Clock::now() - started, std::chrono::seconds(10));
      EXPECT_TRUE(stalled.exit_status == 0 || stalled.exit_status == 255) << stalled.exit_status;
      EXPECT_EQ(temporaries(root), std::vector<std::string>{});
      EXPECT_EQ(processes_of_root(root, sim.pid()), std::vector<std::string>{});
    }
  }
  printf("cut-short uploads: %zu runs\n", runs);
}

// Starts nvr-cgi for a GET of `route` with `query`, reads `keep` bytes of its
// answer, closes the pipe, and waits (at most 10 s) for the exit; the exit
// status (128 + signal), or -1 when it had to be ended.
int run_and_leave(const DeviceRoot& root, const std::string& route, const std::string& query,
                  size_t keep, std::string* got) {
  int out[2];
  if (pipe(out) != 0) return -1;
  std::vector<std::string> env = {
      "NVR_ROOT=" + root.path(), "PATH=" + build_dir() + "/platform-bin:/usr/bin:/bin",
      "REQUEST_METHOD=GET",      "PATH_INFO=" + route,
      "QUERY_STRING=" + query,   "REMOTE_ADDR=127.0.0.1",
      "NVR_TIME_SCALE=0.01"};
  for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS"})
    if (const char* value = getenv(pass)) env.push_back(std::string(pass) + "=" + value);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  // Through NVR_EXEC_WRAPPER when there is one (a cross build under emulation).
  std::vector<std::string> words = program_argv("nvr-cgi");
  std::vector<char*> argv = argv_pointers(words);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    return -1;
  }
  char buffer[4096];
  while (got->size() < keep) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    const ssize_t n = read(out[0], buffer, std::min(sizeof buffer, keep - got->size()));
    if (n <= 0) break;
    got->append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(CutShort, ABrowserThatLeavesADownloadEndsTheRunAndItsFiles) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string big(4 << 20, 'd');
  struct Row {
    const char* route;
    const char* query;
    void (*lay_out)(const DeviceRoot&, const std::string&);
    const char* left;  // a file the run must not leave (device path), or ""
  };
  const Row rows[] = {
      {"/1013", "",
       [](const DeviceRoot& r, const std::string& b) {
         r.write_file("/tmp/cfg.tar", b);
         r.write_file("/tmp/.export_down_file", "/tmp/cfg.tar");
       },
       "/tmp/cfg.tar"},
      {"/8007", "/media/disk/rvpcap-20240101000000",
       [](const DeviceRoot& r, const std::string& b) {
         r.write_file("/media/disk/rvpcap-20240101000000", b);
       },
       "/media/disk/rvpcap-20240101000000.tar"},
      {"/6311", "%2Ftmp%2Fdiagnosis_1.tgz",
       [](const DeviceRoot& r, const std::string& b) { r.write_file("/tmp/diagnosis_1.tgz", b); },
       ""},
  };
  for (const Row& row : rows) {
    for (size_t keep : {size_t{0}, size_t{100}, size_t{70000}}) {
      SCOPED_TRACE(std::string(row.route) + " left after " + std::to_string(keep) + " bytes");
      row.lay_out(root, big);
      std::string got;
      const int status = run_and_leave(root, row.route, row.query, keep, &got);
      EXPECT_NE(status, -1) << "the run went on after the browser left";
      EXPECT_TRUE(status == 0 || status == 128 + SIGPIPE) << status;
      if (*row.left) {
        EXPECT_FALSE(root.exists(row.left));
      }
      EXPECT_EQ(processes_of_root(root, sim.pid()), std::vector<std::string>{});
    }
  }
}

}  // namespace
}  // namespace nvr::test
