// Video loss and the alarm-input action routes end to end: single-channel
// routes, the batch schedule setters, the "others" routes, the PTZ schedules
// of a list and the video-loss dialog with its copies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/ipc.h"
#include "modules/alarm/alarm_records.h"
#include "modules/video/video_records.h"
#include "platform/qvdb_actions.h"
#include "platform/qvdb_schedule.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kOk = kTextHeader + "OK";
const std::string kTextError = kTextHeader + "CGI ERROR";
const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

VideoLossInfo stored_loss(const DeviceRoot& root, int32_t channel) {
  VideoLossInfo record{};
  read_video_lost(db_of(root).c_str(), &record, channel);
  return record;
}
AlarmIn stored_input(const DeviceRoot& root, int32_t id) {
  AlarmIn record{};
  db_read(db_of(root).c_str(), kAlarmInRecord, &record, id);
  return record;
}
ScheduleBlock schedule_of(const DeviceRoot& root, const char* table, int32_t key) {
  ScheduleBlock block{};
  db_read_schedule(db_of(root).c_str(), table, key, &block);
  return block;
}
std::string mask_bytes(uint64_t mask) { return CoreSim::bytes<uint64_t>(mask); }

TEST(VideoLoss, SingleChannelRoutes) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(
      run_json(root, "/6017", R"({"camId":3,"enable":1,"schedule":[[["00:00","24:00",1]]]})").out,
      kOk);
  expect_one_notice(sim, 1402, CoreSim::bytes<int32_t>(3));
  sim.clear_messages();
  // The stored enable stays; "enable" must still be present and 0..2.
  ASSERT_EQ(run_json(root, "/6016", R"({"camId":3,"enable":0,"triAlarms":5,"interval":2})").out,
            kOk);
  expect_one_notice(sim, 1402, CoreSim::bytes<int32_t>(3));
  expect_one_log(sim, 204, 908, 4);
  EXPECT_EQ(run_json(root, "/6014", "3", nullptr, "GET").out,
            kJsonHeader + R"({ "camId": 3, "enable": 1, "triAlarms": 5, "interval": 2 })");
  sim.clear_messages();
  for (const char* bad : {R"({"camId":3,"enable":3,"triAlarms":5,"interval":2})",
                          R"({"camId":64,"enable":0,"triAlarms":5,"interval":2})",
                          R"({"camId":3,"triAlarms":5,"interval":2})",
                          R"({"camId":3,"enable":0,"triAlarms":-5,"interval":2})"})
    EXPECT_EQ(run_json(root, "/6016", bad).out, kRefused) << bad;
  EXPECT_EQ(run_json(root, "/6014", "64", nullptr, "GET").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
}

TEST(VideoLossBatch, ListedChangedAndCopiedMasks) {
  DeviceRoot root;
  CoreSim sim(root);
  const char* request =
      R"({"cnt":2,"chnid":[4,4,9],"enable":1,"interval":6,"schedule":[[["01:00","02:00",1]]]})";
  ASSERT_EQ(run_json(root, "/6121", request).out, kOk);
  expect_one_notice(sim, 1414, mask_bytes(1u << 4));
  EXPECT_EQ(+stored_loss(root, 4).interval, 6);
  EXPECT_EQ(schedule_of(root, "videoloss_audible_schedule", 4).days[0].slots[0].actionType, 1);
  EXPECT_EQ(schedule_of(root, "videoloss_audible_schedule", 9).days[0].slots[0].actionType, 0);
  EXPECT_EQ(run_json(root, "/6015", "4", nullptr, "GET").out.find(R"("endTime": "02:00")") !=
                std::string::npos,
            true);
  // The e-mail pair sets the e-mail fields.
  ASSERT_EQ(run_json(root, "/6122", R"({"cnt":1,"chnid":[4],"enable":2,"interval":8})").out, kOk);
  EXPECT_EQ(+stored_loss(root, 4).email_enable, 2);
  EXPECT_EQ(+stored_loss(root, 4).email_interval, 8);
  EXPECT_EQ(+stored_loss(root, 4).interval, 6);

  // Alarm inputs: numbers past the 16 inputs are skipped.
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6125",
                     R"({"cnt":3,"chnid":[3,16,63],"enable":1,"interval":2,)"
                     R"("schedule":[[["03:00","04:00",2]]]})")
                .out,
            kOk);
  expect_one_notice(sim, 1415, mask_bytes(1u << 3));
  EXPECT_EQ(+stored_input(root, 3).interval, 2);
  EXPECT_NE(run_json(root, "/6129", "3", nullptr, "GET").out.find(R"("endTime": "04:00")"),
            std::string::npos);
  ASSERT_EQ(run_json(root, "/6126",
                     R"({"cnt":1,"chnid":[5],"enable":1,"interval":3,)"
                     R"("triSnapshot":")" +
                         std::string(70, '1') + R"("})")
                .out,
            kOk);
  EXPECT_EQ(std::string(stored_input(root, 5).triSnapshot), std::string(64, '1'));
  EXPECT_EQ(+stored_input(root, 5).email_enable, 1);
  EXPECT_EQ(+stored_input(root, 5).id, 5);
}

TEST(VideoLossOthers, MasksAndLogs) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(run_json(root, "/6016", R"({"camId":2,"enable":0,"triAlarms":5,"interval":0})").out,
            kOk);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6123", R"({"cnt":3,"chnid":[2,6,70],"triAlarms":5})").out, kOk);
  expect_one_notice(sim, 1414, mask_bytes(1u << 6));  // channel 2 already had 5
  const auto logs = sim.messages(3509);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(+record_of<QvLogInfoMask>(logs[0]).channel_mask, (1u << 2) | (1u << 6));
  EXPECT_EQ(+record_of<QvLogInfoMask>(logs[0]).info.param_type, 909);
  EXPECT_EQ(+stored_loss(root, 6).triAlarms, 5);

  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6170", R"({"camId":1,"schedule":[[["05:00","06:00",1]]]})").out, kOk);
  expect_one_notice(sim, 1404, CoreSim::bytes<int32_t>(1));
  sim.clear_messages();
  const std::string forty = std::string(35, '0') + "1" + std::string(4, '0');
  ASSERT_EQ(
      run_json(root, "/6127",
               R"({"camId":1,"type":0,"cnt":2,"chnid":[7,20],"triChannels":")" + forty + R"("})")
          .out,
      kOk);
  EXPECT_EQ(+stored_input(root, 7).tri_channel_mask, 1ull << 35);
  expect_one_notice(sim, 1415, mask_bytes(1u << 7));
  EXPECT_NE(run_json(root, "/6169", "7", nullptr, "GET").out.find(R"("endTime": "06:00")"),
            std::string::npos);
  EXPECT_EQ(run_json(root, "/6170", R"({"camId":-1,"schedule":[]})").out, kTextError);
}

TEST(VideoLossPtzSchedules, EntriesGoToTheListedChannelsButNotTheSource) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(
      run_json(
          root, "/6160",
          R"({"type":2,"chn_id":1,"acto_ptz_channel":4,"acto_ptz_type":1,"acto_ptz_preset":2})")
          .out,
      kOk);
  ASSERT_EQ(run_json(root, "/6165",
                     R"({"camId":1,"cnt":3,"chnid":[2,7,1],)"
                     R"("schedule":[[["00:00","01:00",1]]]})")
                .out,
            kOk);
  expect_one_notice(sim, 1414, mask_bytes((1u << 1) | (1u << 2) | (1u << 7)));
  for (int channel : {2, 7})
    EXPECT_EQ(run_json(root, "/6161", R"({"type":2,"chn_id":)" + std::to_string(channel) + "}").out,
              kJsonHeader + R"({ "ptzInfo": [ { "acto_ptz_channel": 4, "acto_ptz_type": 1, )"
                            R"("acto_ptz_preset": 2, "acto_ptz_patrol": 0 } ] })");
  EXPECT_NE(run_json(root, "/6166", "7", nullptr, "GET").out.find(R"("endTime": "01:00")"),
            std::string::npos);
  EXPECT_EQ(run_json(root, "/6165", R"({"camId":-1})").out, kTextError);
  EXPECT_EQ(run_json(root, "/6167", R"({"camId":-1})").out, kTextError);
  ASSERT_EQ(run_json(root, "/6167", R"({"camId":0,"cnt":1,"chnid":[3],"schedule":[]})").out, kOk);
  EXPECT_EQ(run_json(root, "/6168", "3", nullptr, "GET").out.rfind(kJsonHeader + "[ [", 0), 0u);
}

TEST(VideoLossDialog, StoresEnableTwoAndCopiesEverything) {
  DeviceRoot root;
  CoreSim sim(root);
  // Only the channel: nothing stored, only its own bit told.
  ASSERT_EQ(run_json(root, "/6095", R"({"chnid":3})").out, kOk);
  expect_one_notice(sim, 1414, mask_bytes(1u << 3));
  EXPECT_EQ(+stored_loss(root, 3).enable, 0);
  EXPECT_EQ(run_json(root, "/6095", R"({"chnid":64})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6094", "nothing").out, kJsonError);

  sim.clear_messages();
  ASSERT_EQ(
      run_json(root, "/6095",
               R"({"chnid":3,"dialog":{"enable":0,"interval":4,"audible":[[["00:00","01:00",1]]],)"
               R"("whiteInfo":[[1,2,3]]},"copyCnt":3,"copyChn":[3,8,99]})")
          .out,
      kOk);
  expect_one_notice(sim, 1414, mask_bytes((1u << 3) | (1u << 8)));
  EXPECT_EQ(+stored_loss(root, 3).enable, 2);
  EXPECT_EQ(+stored_loss(root, 3).email_enable, 2);
  EXPECT_EQ(+stored_loss(root, 8).interval, 4);
  EXPECT_EQ(+stored_loss(root, 8).chnid, 8);
  const std::string answer = run_json(root, "/6094", R"({"chnid":8})").out;
  EXPECT_EQ(
      answer.rfind(kJsonHeader + R"({ "chnid": 8, "enable": 2, "triAlarms": 0, "interval": 4,)", 0),
      0u)
      << answer;
  EXPECT_NE(answer.find(R"("whiteInfo": [ { "chnid": 1, "mode": 2, "time": 3 } ])"),
            std::string::npos);
  EXPECT_NE(answer.find(R"("endTime": "01:00")"), std::string::npos);
  EXPECT_TRUE(sim.messages(3485).empty());
}

}  // namespace
}  // namespace nvr::test
