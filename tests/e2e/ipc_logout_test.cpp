// "/1014" end to end: the log-out record the daemon receives, and the answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "frame/ipc.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

QvLogInfo as_record(const std::string& bytes) {
  QvLogInfo record;
  EXPECT_GE(bytes.size(), sizeof record);
  std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
  return record;
}

TEST(Logout, SendsTheLogOutRecordWithoutWaitingAndAnswersOk) {
  DeviceRoot root;
  CoreSim sim(root);
  CgiRequest request;
  request.path_info = "/1014";
  request.cookie = "lang=en; userName=admin";
  request.remote_addr = "192.168.1.77";
  CgiResult r = run_cgi(root, request);
  EXPECT_EQ(r.out, kTextHeader + "OK");

  auto sent = sim.messages();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].id, 3485);
  EXPECT_EQ(sent[0].seq, 1u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  ASSERT_EQ(sent[0].payload.size(), 680u);
  QvLogInfo record = as_record(sent[0].payload);
  EXPECT_EQ(record.main_type, 4);
  EXPECT_EQ(record.sub_type, 202);
  EXPECT_EQ(record.param_type, 900);
  EXPECT_EQ(record.remote, 1);
  EXPECT_EQ(record.chan_no, 0);
  EXPECT_EQ(record.pts, 0);
  EXPECT_STREQ(record.ip, "192.168.1.77");
  EXPECT_STREQ(record.user, "admin");
  EXPECT_EQ(record.detail_size, 0);
  // Everything else of the record is zero.
  QvLogInfo expected{};
  std::memcpy(&expected, &record, offsetof(QvLogInfo, ip) + sizeof record.ip + sizeof record.user);
  EXPECT_EQ(std::memcmp(&expected, &record, sizeof record), 0);

  // The daemon keeps it in the device log, stamped with the time it arrived.
  auto log = sim.operation_log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_GT(as_record(log[0]).pts, 1600000000);
  EXPECT_STREQ(as_record(log[0]).user, "admin");
}

TEST(Logout, NoUserInTheCookieAndAnOverlongAddress) {
  DeviceRoot root;
  CoreSim sim(root);
  CgiRequest request;
  request.path_info = "/1014";
  request.remote_addr = std::string(46, '1') + "2345";
  CgiResult r = run_cgi(root, request);
  EXPECT_EQ(r.out, kTextHeader + "OK");
  auto sent = sim.messages(3485);
  ASSERT_EQ(sent.size(), 1u);
  QvLogInfo record = as_record(sent[0].payload);
  EXPECT_STREQ(record.user, "");
  EXPECT_EQ(std::string(record.ip), std::string(45, '1'));
}

TEST(Logout, AnswersOkWhenTheDaemonIsAbsent) {
  DeviceRoot root;
  CgiRequest request;
  request.path_info = "/1014";
  request.env["NVR_TIME_SCALE"] = "0.001";
  CgiResult r = run_cgi(root, request);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, kTextHeader + "OK");
}

}  // namespace
}  // namespace nvr::test
