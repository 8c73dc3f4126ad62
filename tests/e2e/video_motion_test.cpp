// Motion detection end to end: the motion basics and the camera requests they
// cause, the action object, copies to other channels, the camera motion map,
// the schedule family and the PTZ action entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/ipc.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/qvdb_schedule.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kOk = kTextHeader + "OK";
const std::string kTextError = kTextHeader + "CGI ERROR";
const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

std::vector<int32_t> ids(CoreSim& sim) {
  std::vector<int32_t> out;
  for (const SimMessage& m : sim.messages()) out.push_back(m.id);
  return out;
}

MotionInfo stored_motion(const DeviceRoot& root, int32_t channel) {
  MotionInfo record{};
  read_motion(db_of(root).c_str(), &record, channel);
  return record;
}

const char* kBasics =
    R"({"camId":2,"enable":1,"sensitivity":4,"triChannels":"1011","triAlarms":3,"interval":5,)"
    R"("motionTable":"ffee","enableQV":1})";

TEST(MotionBasics, StoresAFreshRecordAndTellsTheCameraInOrder) {
  DeviceRoot root;
  CoreSim sim(root);
  // An earlier action object: the basics reset what they do not name.
  ASSERT_EQ(run_json(root, "/6117", R"({"chnid":2,"email_interval":9,"audioId":3})").out, kOk);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6012", kBasics).out, kOk);
  EXPECT_EQ(ids(sim), (std::vector<int32_t>{1403, 3207, 3212, 3209, 3485}));
  const MotionInfo record = stored_motion(root, 2);
  EXPECT_EQ(+record.enable, 1);
  EXPECT_EQ(+record.tri_channel_mask, 0xDu);
  EXPECT_STREQ(record.triChannels, "1011");
  EXPECT_EQ(+record.email_interval, 0);
  EXPECT_EQ(+record.audioId, 0);
  const CameraMotion camera = record_of<CameraMotion>(sim.messages(3207)[0]);
  EXPECT_STREQ(camera.map, "ffee");
  EXPECT_EQ(+camera.channel, 2);
  EXPECT_EQ(+camera.sensitivity, 4);
  const CameraMotionSwitch on = record_of<CameraMotionSwitch>(sim.messages(3212)[0]);
  EXPECT_EQ(+on.channel, 2);
  EXPECT_EQ(+on.enable, 1);
  EXPECT_EQ(+on.count, 0);
  const CameraSchedule day = record_of<CameraSchedule>(sim.messages(3209)[0]);
  EXPECT_EQ(+day.channel, 2);
  EXPECT_EQ(+day.days[6].day, 6);
  EXPECT_EQ(+day.days[6].slots[3].values[2], 24);
  const QvLogInfo log = record_of<QvLogInfo>(sim.messages(3485)[0]);
  EXPECT_EQ(+log.param_type, 909);
  EXPECT_EQ(+log.chan_no, 3);

  sim.clear_messages();
  std::string off = kBasics;
  off.replace(off.find("\"enableQV\":1"), 12, "\"enableQV\":0");
  ASSERT_EQ(run_json(root, "/6012", off).out, kOk);
  EXPECT_EQ(ids(sim), (std::vector<int32_t>{1403, 3207, 3212, 3485}));
  EXPECT_EQ(+record_of<CameraMotionSwitch>(sim.messages(3212)[0]).enable, 0);
}

TEST(MotionBasics, RefusedRequestsStoreSendAndAnswerNothing) {
  DeviceRoot root;
  CoreSim sim(root);
  for (
      const char* bad :
      {R"({"camId":2,"enable":3,"sensitivity":4,"triChannels":"1","triAlarms":3,"interval":5,"motionTable":"","enableQV":1})",
       R"({"camId":64,"enable":1,"sensitivity":4,"triChannels":"1","triAlarms":3,"interval":5,"motionTable":"","enableQV":1})",
       R"({"camId":2,"enable":-1,"sensitivity":4,"triChannels":"1","triAlarms":3,"interval":5,"motionTable":"","enableQV":1})",
       R"({"camId":2,"enable":1,"sensitivity":4,"triAlarms":3,"interval":5,"motionTable":"","enableQV":1})",
       "[1]", "not json"}) {
    EXPECT_EQ(run_json(root, "/6012", bad).out, kRefused) << bad;
  }
  EXPECT_TRUE(sim.messages().empty());
  EXPECT_FALSE(root.exists("/mnt/nand/app/qvdb.db") && stored_motion(root, 2).enable != 0);
}

TEST(MotionActions, ActionObjectRoundTripAndEdges) {
  DeviceRoot root;
  CoreSim sim(root);
  // Only the channel: no record written, the daemon still told.
  ASSERT_EQ(run_json(root, "/6117", R"({"chnid":4})").out, kOk);
  expect_one_notice(sim, 1403, CoreSim::bytes<int32_t>(4));
  EXPECT_EQ(run_json(root, "/6117", R"({"chnid":64})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6010", R"({"chnid":-1})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6010", "").out, kJsonError);

  ASSERT_EQ(
      run_json(root, "/6112",
               R"({"chnid":4,"dialog":{"triChannels":"01","triChnAlarms":["1","01"],)"
               R"("http_notification_interval":7,"httpParams":{"url":"u"},)"
               R"("warningLightInfo":[[3,20]],"ptzChnId":4,"ptzType":1,)"
               R"("ptzParams":[{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":5}]}})")
          .out,
      kOk);
  const std::string answer = run_json(root, "/6010", R"({"chnid":4})").out;
  for (const char* part :
       {R"("triChannels": "01")", R"("http_notification_interval": 7)",
        R"("triChnAlarms": [ "1", "01" ])", R"("warningLightInfo": [ { "chnid": 3, "time": 20 } ])",
        R"("httpParams": { "chnId": 4, "url": "u", "username": "", "password": "" })",
        R"("audioIdMask": 0, "ptzParams": [ { "acto_ptz_channel": 2, "acto_ptz_type": 1, )"
        R"("acto_ptz_preset": 5, "acto_ptz_patrol": 0 } ] })"})
    EXPECT_NE(answer.find(part), std::string::npos) << part << "\n" << answer;
  EXPECT_EQ(answer.rfind(kJsonHeader + R"({ "chnid": 4, "enable": 0, "sensitivity": 0, )", 0), 0u);
  EXPECT_EQ(+stored_motion(root, 4).tri_channel_mask, 2u);

  // "/6117" leaves the HTTP notification to the dialog.
  ASSERT_EQ(run_json(root, "/6117",
                     R"({"chnid":4,"http_notification_interval":1,"httpParams":{"url":"v"},)"
                     R"("httpSche":[[["00:00","01:00",1]]],"white_interval":3})")
                .out,
            kOk);
  const MotionInfo after = stored_motion(root, 4);
  EXPECT_EQ(+after.http_notification_interval, 7);
  EXPECT_EQ(+after.white_interval, 3);
  const std::string again = run_json(root, "/6010", R"({"chnid":4})").out;
  EXPECT_NE(again.find(R"("url": "u")"), std::string::npos);
  EXPECT_EQ(again.find(R"("endTime": "01:00")"), std::string::npos);
}

TEST(MotionDemo, CamerasNotToldShowADemoMap) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string map = run_json(root, "/6098", R"({"id":9})").out;
  EXPECT_EQ(map.rfind(kJsonHeader + R"({ "map": "ffff)", 0), 0u) << map;
  EXPECT_NE(map.find(R"("sensitivity": 5, "result": 0, "enable": 1,)"), std::string::npos);
  EXPECT_EQ(run_json(root, "/6098", R"({"id":64})").out, kTextError);  // no such camera
}

TEST(MotionCopy, CopiesInAscendingOrderWithOneMaskEverywhere) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(run_json(root, "/6152", R"({"camId":1,"schedule":[[["00:00","12:00",2]]]})").out, kOk);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6112",
                     R"({"chnid":1,"enableQV":1,"sensitivity":6,"motionTable":"ab","enableAI":1,)"
                     R"("detection":2,"copyCnt":4,"copyChn":[5,3,64,-1]})")
                .out,
            kOk);
  EXPECT_EQ(ids(sim), (std::vector<int32_t>{3509, 3251, 1410, 3212, 3252}));
  const uint64_t mask = 1u << 3 | 1u << 5;
  const CameraMotionCopy copy = record_of<CameraMotionCopy>(sim.messages(3251)[0]);
  EXPECT_EQ(+copy.count, 2);
  EXPECT_EQ(+copy.further[0], 3);
  EXPECT_EQ(+copy.further[1], 5);
  EXPECT_EQ(+copy.detection, 2);
  EXPECT_EQ(sim.messages(1410)[0].payload, CoreSim::bytes<uint64_t>(mask));
  EXPECT_EQ(+record_of<CameraMotionSwitch>(sim.messages(3212)[0]).further[1], 5);
  const std::string schedule = sim.messages(3252)[0].payload;
  ASSERT_EQ(schedule.size(), 1216u);
  int32_t further0 = 0, count = 0;
  memcpy(&further0, schedule.data() + 956, 4);
  memcpy(&count, schedule.data() + 1212, 4);
  EXPECT_EQ(further0, 3);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(+record_of<QvLogInfoMask>(sim.messages(3509)[0]).channel_mask, mask);
  EXPECT_EQ(+stored_motion(root, 5).sensitivity, 6);
  EXPECT_NE(run_json(root, "/6153", "5", nullptr, "GET").out.find(R"("endTime": "12:00")"),
            std::string::npos);
  EXPECT_EQ(run_json(root, "/6153", "4", nullptr, "GET").out.find(R"("endTime": "12:00")"),
            std::string::npos);
}

TEST(MotionMap, ReplyRecordsAndSilence) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(run_json(root, "/6098", R"({"id":-1})", kFastScale.c_str()).out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
  sim.reply(3206, 8206, "");
  EXPECT_EQ(run_json(root, "/6098", R"({"id":1})").out, kTextError);
  sim.clear(3206).reply(3206, 8206, std::string(339, '\0'));  // shorter than one record
  EXPECT_EQ(run_json(root, "/6098", R"({"id":1})").out, kTextError);
  sim.clear(3206);
  sim.never(3206);
  EXPECT_EQ(run_json(root, "/6098", R"({"id":1})", kFastScale.c_str()).out, kTextError);
  // The demo camera keeps what it was told.
  sim.clear(3206);
  ASSERT_EQ(run_json(root, "/6012", kBasics).out, kOk);
  EXPECT_EQ(run_json(root, "/6098", R"({"id":2})").out,
            kJsonHeader + R"({ "map": "ffee", "sensitivity": 4, "result": 0, "enable": 1, )"
                          R"("modelType": 0, "fishdisplay": 0, "fishtransfer": 0, )"
                          R"("fishinstall": 0, "enableAI": 0 })");
}

TEST(MotionSchedules, EverySetterAndGetterOfTheFamily) {
  DeviceRoot root;
  CoreSim sim(root);
  struct Pair {
    const char* set;
    const char* get;
  };
  for (const Pair& pair :
       {Pair{"/6152", "/6153"}, Pair{"/6159", "/6158"}, Pair{"/6118", "/6120"}}) {
    sim.clear_messages();
    ASSERT_EQ(run_json(root, pair.set, R"({"camId":7,"schedule":[[],[["01:00","02:00",3]]]})").out,
              kOk)
        << pair.set;
    expect_one_notice(sim, 1403, CoreSim::bytes<int32_t>(7));
    const std::string got = run_json(root, pair.get, "7", nullptr, "GET").out;
    EXPECT_NE(got.find(R"({ "startTime": "01:00", "endTime": "02:00", "actionType": 3 })"),
              std::string::npos)
        << pair.get;
    EXPECT_EQ(run_json(root, pair.set, R"({"camId":-1,"schedule":[]})").out, kTextError);
    EXPECT_EQ(run_json(root, pair.set, R"({"camId":2147483647,"schedule":[]})").out, kTextError);
    EXPECT_EQ(run_json(root, pair.get, "abc", nullptr, "GET").out, kRefused);
  }
  // The audible schedule getter and the others routes.
  EXPECT_EQ(run_json(root, "/6011", "3", nullptr, "GET").out.rfind(kJsonHeader + "[ [ {", 0), 0u);
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6119", R"({"camId":3,"type":2,"triAlarms":6})").out, kOk);
  EXPECT_EQ(+stored_motion(root, 3).triAlarms, 6);
  expect_one_log(sim, 204, 909, 4);
  EXPECT_EQ(run_json(root, "/6119", R"({"camId":2147483647,"type":2})").out, kTextError);
}

TEST(MotionPtzEntries, StoreListUpdateAndDelete) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(run_json(root, "/6160",
                     R"({"type":1,"chn_id":2,"acto_ptz_channel":3,"acto_ptz_type":3,)"
                     R"("acto_ptz_pattern":4,"acto_ptz_preset":9})")
                .out,
            kOk);
  ASSERT_EQ(
      run_json(
          root, "/6160",
          R"({"type":1,"chn_id":2,"acto_ptz_channel":5,"acto_ptz_type":1,"acto_ptz_preset":8})")
          .out,
      kOk);
  EXPECT_EQ(run_json(root, "/6161", R"({"type":1,"chn_id":2})").out,
            kJsonHeader +
                R"({ "ptzInfo": [ { "acto_ptz_channel": 3, "acto_ptz_type": 3, )"
                R"("acto_ptz_preset": 0, "acto_ptz_patrol": 0 }, { "acto_ptz_channel": 5, )"
                R"("acto_ptz_type": 1, "acto_ptz_preset": 8, "acto_ptz_patrol": 0 } ] })");
  ASSERT_EQ(
      run_json(
          root, "/6163",
          R"({"type":1,"chn_id":2,"old_chn_id":5,"acto_ptz_channel":6,"acto_ptz_type":2,"acto_ptz_patrol":1})")
          .out,
      kOk);
  ASSERT_EQ(run_json(root, "/6164", R"({"type":1,"chn_id":2,"ptzChannel":[3]})").out, kOk);
  EXPECT_EQ(run_json(root, "/6161", R"({"type":1,"chn_id":2})").out,
            kJsonHeader + R"({ "ptzInfo": [ { "acto_ptz_channel": 6, "acto_ptz_type": 2, )"
                          R"("acto_ptz_preset": 0, "acto_ptz_patrol": 1 } ] })");
  ASSERT_EQ(run_json(root, "/6162", R"({"type":1,"chn_id":2,"acto_ptz_channel":6})").out, kOk);
  EXPECT_EQ(run_json(root, "/6161", R"({"type":1,"chn_id":2})").out,
            kJsonHeader + R"({ "ptzInfo": [ ] })");
  EXPECT_EQ(run_json(root, "/6162", R"({"type":1,"chn_id":2,"acto_ptz_channel":-1})").out,
            kTextError);
  EXPECT_EQ(run_json(root, "/6160", R"({"type":1,"chn_id":-1})").out, kTextError);
  EXPECT_TRUE(sim.messages().empty());  // no notices, no log
}

}  // namespace
}  // namespace nvr::test
