// Regional people counting end to end: the camera's counting record through
// the daemon, and the four regions' actions stored, copied and answered.
#include <gtest/gtest.h>

#include <string>

#include "modules/video/event_actions.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/qvdb_schedule.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

RegionalPcntEvent stored_region(const DeviceRoot& root, int region, int32_t channel) {
  RegionalPcntEvent record{};
  const std::string table =
      region == 0 ? "regional_pcnt_event" : "regional_pcnt" + std::to_string(region) + "_event";
  db_read(db_of(root).c_str(), kRegionalPcntEventRecord, &record, channel, table);
  return record;
}

TEST(VideoPeopleCounting, RegionsAndTheirActions) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string schedule = R"([[["01:00","02:00",1]]])";
  const std::string request = R"({"chnid":2,"sensitivity":3,"maxObjHeight":99,"copyChn":"00001",)"
                              R"("regional":[{"enable":1,"polygonX":")" +
                              std::string(80, '7') +
                              R"(","maxStayValue":7},{},{},{"maxStayTimeValue":4}],)"
                              R"("action":[{"audible":)" +
                              schedule +
                              R"(,"interval":5,"triChannels":"0001",)"
                              R"("warnLight":)" +
                              schedule + R"(,"warning_light_interval":6},{},{"interval":9}]})";
  ASSERT_EQ(run_json(root, "/6097", request).out, kJsonHeader + R"({ "res": 0 })");
  const RegionalCounting sent =
      record_of<RegionalCounting>(sim.messages(kReqSetRegionalCounting).at(0));
  EXPECT_EQ(sent.channel, 2);
  EXPECT_EQ(sent.sensitivity, 3);
  EXPECT_EQ(sent.maxObjHeight, 99);
  EXPECT_EQ(sent.regional[0].maxStayValue, 7);
  EXPECT_EQ(std::string(sent.regional[0].polygonX), std::string(63, '7'));
  EXPECT_EQ(sent.regional[3].maxStayTimeValue, 4);

  // Region 0 stored and copied to channel 4; region 2 its own; region 1 untouched.
  for (int32_t channel : {2, 4}) {
    const RegionalPcntEvent region0 = stored_region(root, 0, channel);
    EXPECT_EQ(+region0.chnid, channel);
    EXPECT_EQ(+region0.interval, 5) << channel;
    EXPECT_EQ(+region0.tri_channel_mask, uint64_t{1} << 3);
    EXPECT_EQ(+region0.warning_light_interval, 6);
    ScheduleBlock block{};
    db_read_schedule(db_of(root).c_str(), "regional_pcnt_warning_light_schedule", channel, &block);
    EXPECT_EQ(block.days[0].slots[0].actionType, 1) << channel;
  }
  EXPECT_EQ(+stored_region(root, 2, 2).interval, 9);
  EXPECT_EQ(+stored_region(root, 1, 2).interval, 0);
  EXPECT_EQ(+stored_region(root, 0, 3).interval, 0);

  // The answer: the simulated camera's record and the stored actions, no warning light.
  const std::string answer = run_json(root, "/6096", R"({"chnid":2})").out;
  EXPECT_NE(answer.find(R"("chnid": 2, "sensitivity": 3)"), std::string::npos) << answer;
  EXPECT_NE(answer.find(R"("maxStayValue": 7)"), std::string::npos);
  EXPECT_NE(answer.find(R"("action": [ { "audible": )"), std::string::npos);
  EXPECT_NE(answer.find(R"("interval": 9)"), std::string::npos);
  EXPECT_EQ(answer.find("warn"), std::string::npos);
  EXPECT_EQ(answer.find("arning"), std::string::npos);

  // Bad input: channels outside 0..63 are refused; silence is the JSON error.
  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/6096", R"({"chnid":64})").out, kRefused);
  EXPECT_EQ(run_json(root, "/6096", "x").out, kRefused);
  for (const char* bad : {R"({"chnid":-1})", R"({"sensitivity":1})", "x"})
    EXPECT_EQ(run_json(root, "/6097", bad).out, kJsonError) << bad;
  EXPECT_TRUE(sim.messages().empty());
  sim.never(kReqSetRegionalCounting);
  EXPECT_EQ(run_json(root, "/6097", R"({"chnid":1})", kFastScale.c_str()).out, kJsonError);
  sim.reply(kReqRegionalCounting, kReplyRegionalCounting, std::string(100, '\0'));
  EXPECT_EQ(run_json(root, "/6096", R"({"chnid":1})").out, kJsonError);
}

}  // namespace
}  // namespace nvr::test
