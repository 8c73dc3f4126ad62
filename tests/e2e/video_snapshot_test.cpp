// Timed snapshots and fisheye cameras end to end: schedules and settings for
// lists of channels, the manual start and stop, and the fisheye requests.
#include <gtest/gtest.h>

#include <string>

#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kOk = kTextHeader + "OK";
const std::string kTextError = kTextHeader + "CGI ERROR";
const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

ChannelList list_of(std::initializer_list<int32_t> channels) {
  ChannelList list{};
  for (int32_t n : channels) list.channels[list.count++] = n;
  return list;
}

TEST(VideoSnapshot, SchedulesSettingsAndStartStop) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(
      run_json(root, "/6175", R"({"cnt":3,"chnid":[1,70,2,5],"schedule":[[["01:00","02:00",1]]]})")
          .out,
      kOk);
  expect_one_notice(sim, kReqSnapshotSchedulesChanged, CoreSim::bytes(list_of({1, 2})));
  for (int32_t channel : {1, 2, 5}) {
    SnapshotSchedule stored{};
    read_snapshot_schedule(db_of(root).c_str(), &stored, channel);
    EXPECT_EQ(stored.block.days[0].slots[0].actionType, channel == 5 ? 0 : 1) << channel;
  }
  EXPECT_NE(run_json(root, "/6174", "2", nullptr, "GET").out.find(R"("endTime": "02:00")"),
            std::string::npos);
  for (const char* bad : {"64", "x", ""})
    EXPECT_EQ(run_json(root, "/6174", bad, nullptr, "GET").out, kTextError) << bad;
  EXPECT_EQ(run_json(root, "/6175", R"({"cnt":1,"chnid":[1]})").out, kTextError);

  // Settings: the five keys replace the listed channels' fields, the rest stays.
  SnapshotSettings before{};
  before.chnid = 3;
  before.reserved0 = 9;
  ASSERT_EQ(db_write(db_of(root).c_str(), kSnapshotRecord, &before), 0);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6177",
                     R"({"cnt":2,"chnid":[3,-1],"resolution":2,"quality":4,"interval":5,)"
                     R"("interval_unit":1})")
                .out,
            kOk);
  expect_one_notice(sim, kReqSnapshotSettingsChanged, CoreSim::bytes(list_of({3})));
  SnapshotSettings after{};
  read_snapshot(db_of(root).c_str(), &after, 3);
  EXPECT_EQ(after.reserved0, 9);
  EXPECT_EQ(run_json(root, "/6176", "3", nullptr, "GET").out,
            kJsonHeader + R"({ "resolution": 2, "quality": 4, "interval": 5, )"
                          R"("interval_unit": 1, "expiration_date": 0 })");
  EXPECT_EQ(run_json(root, "/6177", "nope").out, kTextError);

  // Start and stop: start first, only the parts whose count is positive.
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6178", R"({"stopCnt":2,"stopChnId":[4,99]})").out, kOk);
  auto sent = sim.messages(kReqSnapshotStartStop);
  ASSERT_EQ(sent.size(), 1u);
  SnapshotStartStop stop = record_of<SnapshotStartStop>(sent[0]);
  EXPECT_EQ(stop.action, 0);
  EXPECT_EQ(stop.selected[4], 1);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6178",
                     R"({"snapshotCnt":1,"snapshotChnId":[6,7],"stopCnt":1,"stopChnId":[8]})")
                .out,
            kOk);
  sent = sim.messages(kReqSnapshotStartStop);
  ASSERT_EQ(sent.size(), 2u);
  const SnapshotStartStop start = record_of<SnapshotStartStop>(sent[0]);
  EXPECT_EQ(start.action, 1);
  EXPECT_EQ(start.selected[6], 1);
  EXPECT_EQ(start.selected[7], 0);
  EXPECT_EQ(record_of<SnapshotStartStop>(sent[1]).selected[8], 1);
}

TEST(VideoFisheye, ModesAndCameraChecks) {
  DeviceRoot root;
  CoreSim sim(root);
  // The simulated recorder keeps the modes it was set.
  ASSERT_EQ(
      run_json(root, "/6131", R"({"chnid":3,"fishmount":2,"fishdisplay":5,"fishcorrect":1})").out,
      kOk);
  EXPECT_EQ(run_json(root, "/6130", R"({"id":3})").out,
            kJsonHeader + R"({ "chnid": 3, "result": 0, "fishmount": 2, "fishdisplay": 5, )"
                          R"("fishcorrect": 1 })");
  EXPECT_EQ(run_json(root, "/6130", R"({"id":64})").out, kRefused);
  sim.clear(kReqSetFisheyeMode)
      .reply(kReqSetFisheyeMode, kReplySetFisheyeMode, CoreSim::bytes<int32_t>(3));
  EXPECT_EQ(run_json(root, "/6131", R"({"chnid":3})").out, kTextHeader + "FAILED");

  // A camera flag other than 1 is no support.
  sim.clear_messages();
  sim.clear(kReqCheckFisheye)
      .reply(kReqCheckFisheye, kReplyCheckFisheye, CoreSim::bytes(FisheyeSupport{2, 1, 2, 3, 4}));
  EXPECT_EQ(run_json(root, "/6196",
                     R"({"ipaddr":")" + std::string(80, '1') + R"(","port":81,"username":"u"})")
                .out,
            kJsonHeader + R"({ "support": 0, "transfer": 1, "install": 2, "display": 3, )"
                          R"("streamCnt": 4 })");
  const FisheyeAddress address = record_of<FisheyeAddress>(sim.messages(kReqCheckFisheye).at(0));
  EXPECT_EQ(std::string(address.ipaddr), std::string(63, '1'));
  EXPECT_EQ(address.port, 81);
  EXPECT_EQ(run_json(root, "/6197", R"({"ipaddr":"192.0.2.1","transfer":1,"display":2})").out,
            kJsonHeader + R"({ "res": 0 })");
  EXPECT_EQ(record_of<FisheyeAddressSet>(sim.messages(kReqSetFisheye).at(0)).display, 2);
  sim.clear(kReqSetFisheye).never(kReqSetFisheye);
  EXPECT_EQ(run_json(root, "/6197", "{}", kFastScale.c_str()).out, kJsonError);
  for (const char* route : {"/6131", "/6196", "/6197"})
    EXPECT_EQ(run_json(root, route, "not json").out, kRefused) << route;
}

}  // namespace
}  // namespace nvr::test
