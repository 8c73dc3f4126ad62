// The core-daemon simulator itself: many clients at once, broken frames from a
// client, a clean stop, and the operation log it keeps across restarts.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "frame/ipc.h"
#include "platform/qvsocket.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

CgiResult logout(const DeviceRoot& root, const std::string& user) {
  CgiRequest request;
  request.path_info = "/1014";
  request.cookie = "userName=" + user;
  return run_cgi(root, request);
}

// Sends raw bytes on a connection of its own, then one proper request; returns
// the reply id the simulator answered with (0 for none).
int32_t raw_then_request(CoreSim& sim, const std::string& raw) {
  int fd = qvsock::connect_unix(sim.socket_path());
  if (fd < 0) return -1;
  qvsock::write_all(fd, raw.data(), raw.size());
  close(fd);
  fd = qvsock::connect_unix(sim.socket_path());
  if (fd < 0) return -1;
  timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  qvsock::write_frame(fd, {1, 3433, 0, 0}, nullptr);
  qvsock::HeaderBytes bytes;
  qvsock::FrameHeader header;
  std::vector<uint8_t> payload;
  auto result = qvsock::read_frame(fd, &bytes, &header, &payload);
  close(fd);
  return result == qvsock::ReadResult::kFrame ? header.id : 0;
}

TEST(CoreSimulator, ServesManyClientsAtOnce) {
  DeviceRoot root;
  CoreSim sim(root);
  std::vector<std::thread> clients;
  std::vector<CgiResult> results(16);
  for (int i = 0; i < 16; ++i)
    clients.emplace_back([&, i] { results[i] = logout(root, "user" + std::to_string(i)); });
  for (auto& t : clients) t.join();
  for (const auto& r : results) EXPECT_EQ(r.out, kTextHeader + "OK");
  EXPECT_EQ(sim.messages(3485).size(), 16u);
  EXPECT_EQ(sim.operation_log().size(), 16u);
}

TEST(CoreSimulator, BrokenClientFramesDropOnlyThatConnection) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(3433, 8433, CoreSim::bytes<int32_t>(0));
  auto header = [](uint32_t size) {
    auto h = qvsock::encode_header({1, 3433, 0, size});
    return std::string(h.begin(), h.end());
  };
  std::string bad_magic = header(0);
  bad_magic[0] = 'X';
  std::string bad_size = header(0);
  bad_size[4] = 99;
  const std::string cases[] = {bad_magic,
                               bad_size,
                               header(qvsock::kMaxPayload + 1),
                               header(qvsock::kMaxPayload) + "only a few bytes",
                               header(0).substr(0, 7),
                               std::string(100, '\xff')};
  for (const auto& raw : cases) EXPECT_EQ(raw_then_request(sim, raw), 8433);
  EXPECT_TRUE(sim.running());
  // Only the whole, valid requests were recorded.
  EXPECT_EQ(sim.messages().size(), std::size(cases));
}

TEST(CoreSimulator, StopsPromptlyWithClientsConnectedAndRepliesPending) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.delay(3433, 60000).reply(3433, 8433);
  int fd = qvsock::connect_unix(sim.socket_path());
  ASSERT_GE(fd, 0);
  qvsock::write_frame(fd, {1, 3433, 0, 0}, nullptr);
  ASSERT_TRUE(sim.wait_for(3433));
  auto start = std::chrono::steady_clock::now();
  sim.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(sim.running());
  close(fd);
}

TEST(CoreSimulator, OperationLogSurvivesARestartAndKeepsMaskedRecords) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(logout(root, "first").out, kTextHeader + "OK");
  sim.restart();
  EXPECT_EQ(logout(root, "second").out, kTextHeader + "OK");

  // A record with a channel mask (3509) is kept as its 680-byte record.
  QvLogInfoMask masked{};
  masked.info.main_type = 4;
  masked.info.sub_type = 204;
  std::strcpy(masked.info.user, "third");
  masked.channel_mask = 0x5;
  int fd = qvsock::connect_unix(sim.socket_path());
  ASSERT_GE(fd, 0);
  qvsock::write_frame(fd, {1, kReqOperationLogMask, 1, sizeof masked}, &masked);
  close(fd);
  sim.messages();  // settled

  auto log = sim.operation_log();
  ASSERT_EQ(log.size(), 3u);
  const char* users[] = {"first", "second", "third"};
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_EQ(log[i].size(), 680u);
    EXPECT_STREQ(log[i].data() + offsetof(QvLogInfo, user), users[i]);
  }
}

}  // namespace
}  // namespace nvr::test
