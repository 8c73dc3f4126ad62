// Smart analytics end to end: the camera-settings family of the VCA message
// record (every getter and setter), the dialog with its copies, and the
// action routes of each smart event.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "modules/video/vca_records.h"
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

SmartEventInfo stored_event(const DeviceRoot& root, int32_t channel, int event) {
  SmartEventInfo record{};
  read_smart_event(db_of(root).c_str(), &record, channel, event);
  return record;
}
std::string mask_bytes(uint64_t mask) { return CoreSim::bytes<uint64_t>(mask); }
bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct MessageRoute {
  const char* get;
  const char* set;
  int32_t get_request;
  int32_t set_request;
  const char* type;  // the "type" of the request
};
constexpr MessageRoute kMessageRoutes[] = {
    {"/6132", "/6133", 3237, 3244, "0"}, {"/6132", "/6133", 3238, 3245, "1"},
    {"/6134", "/6135", 3239, 3246, "2"}, {"/6136", "/6137", 3240, 3247, "3"},
    {"/6140", "/6141", 3242, 3249, "5"}, {"/6142", "/6143", 3243, 3250, "6"},
};

TEST(VcaMessage, EveryPairSetsAndReadsBackTheCameraRecord) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const MessageRoute& route : kMessageRoutes) {
    SCOPED_TRACE(route.set);
    const std::string type = route.type;
    const std::string set = R"({"chnid":2,"type":)" + type +
                            R"(,"enable":1,"sensitivity":7,"objtype":2,"time":9,"size":4,)"
                            R"("tracks":3,"ignore_time":5,"region":"ff00","polygonX":"1,2",)"
                            R"("polygonY":"3,4","copyChn":"0100"})";
    ASSERT_EQ(run_json(root, route.set, set).out, kOk);
    const std::vector<SimMessage> sent = sim.messages(route.set_request);
    ASSERT_EQ(sent.size(), 1u);
    const VcaMessage message = record_of<VcaMessage>(sent[0]);
    EXPECT_EQ(+message.channel, 2);
    EXPECT_EQ(+message.enable, 1);
    EXPECT_STREQ(message.copyChn, "0100");
    const std::string answer =
        run_json(root, route.get, R"({"channel":2,"type":)" + type + "}").out;
    EXPECT_TRUE(has(answer, R"("enable": 1)")) << answer;
    EXPECT_EQ(sim.messages(route.get_request).size(), 1u);
    sim.clear_messages();
  }
  // Keys in each answer's order, from the stored record.
  EXPECT_EQ(run_json(root, "/6136", R"({"channel":2})").out,
            kJsonHeader + R"({ "enable": 1, "sensitivity": 7 })");
  EXPECT_EQ(run_json(root, "/6142", R"({"channel":2})").out,
            kJsonHeader + R"({ "enable": 1, "tracks": 3 })");
  EXPECT_EQ(run_json(root, "/6140", R"({"channel":2})").out,
            kJsonHeader + R"({ "region": "ff00", "enable": 1, "time": 9, "size": 4, "objtype": )"
                          R"(2, "polygonX": "1,2", "polygonY": "3,4" })");
}

TEST(VcaMessage, RegionKeysAndOnlyOwnKeys) {
  DeviceRoot root;
  CoreSim sim(root);
  const char* request =
      R"({"chnid":1,"type":0,"enable":1,"tracks":5,"regionType":1,"regionScene":2,)"
      R"("regionInfo":[{"enable":1,"objType":3,"time":4,"region":[{"polygonX":"a","polygonY":"b"},)"
      R"({"polygonX":"c","polygonY":"d"}]},{"enable":1}]})";
  ASSERT_EQ(run_json(root, "/6133", request).out, kOk);
  VcaMessage message = record_of<VcaMessage>(sim.messages(3244).at(0));
  EXPECT_EQ(+message.tracks, 0);  // not a key of the region routes
  EXPECT_EQ(+message.regionType, 1);
  EXPECT_EQ(+message.regionScene, 2);
  EXPECT_EQ(+message.regions[0].objType, 3);
  EXPECT_EQ(+message.regions[0].time, 4);
  EXPECT_STREQ(message.regions[0].polygons[0].pair.polygonX, "a");
  EXPECT_STREQ(message.regions[0].polygons[1].pair.polygonX, "");  // regionType 1: polygon 0 only
  EXPECT_EQ(+message.regions[1].enable, 1);
  sim.clear_messages();
  // regionType 2 takes up to five polygons, the fifth at the region's end.
  std::string five = R"({"chnid":1,"type":2,"regionType":2,"regionInfo":[{"region":[)";
  for (int j = 0; j < 6; ++j)
    five += std::string(j ? "," : "") + R"({"polygonX":"x)" + std::to_string(j) +
            R"(","polygonY":"y"})";
  five += "]}]}";
  ASSERT_EQ(run_json(root, "/6135", five).out, kOk);
  message = record_of<VcaMessage>(sim.messages(3246).at(0));
  EXPECT_STREQ(message.regions[0].last.polygonX, "x4");
  EXPECT_STREQ(message.regions[1].polygons[0].pair.polygonX, "");
}

TEST(VcaMessage, FailureAnswers) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const MessageRoute& route : kMessageRoutes) {
    SCOPED_TRACE(route.set);
    EXPECT_EQ(run_json(root, route.set, "").out, kTextError);
    EXPECT_EQ(run_json(root, route.set, "[1]").out, kTextError);
    EXPECT_EQ(run_json(root, route.get, "").out, kRefused);
    EXPECT_EQ(run_json(root, route.get, "nope").out, kRefused);
    EXPECT_EQ(run_json(root, route.get, R"({"channel":64})").out, kJsonError);
  }
  EXPECT_TRUE(sim.messages().empty());
  sim.reply(3247, 8247, CoreSim::bytes<int32_t>(5));
  EXPECT_EQ(run_json(root, "/6137", R"({"chnid":0})").out, kTextHeader + "FAILED");
  sim.reply(3250, 8250, "");
  EXPECT_EQ(run_json(root, "/6143", R"({"chnid":0})").out, kTextHeader + "FAILED");
  sim.never(3246).never(3239);
  EXPECT_EQ(run_json(root, "/6135", R"({"chnid":0})", "0.001").out, kTextError);
  EXPECT_EQ(run_json(root, "/6134", R"({"channel":0})", "0.001").out, kJsonError);
}

TEST(VcaDialog, StoredForTheTypeAndCopied) {
  DeviceRoot root;
  CoreSim sim(root);
  // Region route with type 5: request 3245, dialog stored as smart event 5.
  const char* request =
      R"({"chnid":3,"type":5,"copyChn":"0000000000000000000000000000000000000000000000000000000000000011",)"
      R"("dialog":{"chnid":3,"interval":12,"triChannels":"1","audible":[[["01:00","02:00",1]]]}})";
  ASSERT_EQ(run_json(root, "/6133", request).out, kOk);
  EXPECT_EQ(sim.messages(3245).size(), 1u);
  EXPECT_EQ(+stored_event(root, 3, 5).interval, 12);
  EXPECT_EQ(stored_event(root, 3, 5).tri_channel_mask, 1u);
  EXPECT_EQ(+stored_event(root, 3, 4).interval, 0);
  const uint64_t copies =
      get_channel_mask("0000000000000000000000000000000000000000000000000000000000000011");
  for (int c = 0; c < 64; ++c)
    if (copies >> c & 1) {
      EXPECT_EQ(+stored_event(root, c, 5).interval, 12) << c;
    }
  expect_one_notice(sim, 1412, mask_bytes(copies | uint64_t{1} << 3));
  sim.clear_messages();
  // An empty copy mask announces only the dialog's own channel.
  ASSERT_EQ(
      run_json(root, "/6137", R"({"chnid":9,"type":3,"dialog":{"chnid":9,"interval":1}})").out,
      kOk);
  expect_one_notice(sim, 1412, mask_bytes(uint64_t{1} << 9));
  EXPECT_EQ(+stored_event(root, 9, 3).interval, 1);
}

TEST(VcaActions, ScheduleRoutesOthersAndSummary) {
  DeviceRoot root;
  CoreSim sim(root);
  for (int event = 0; event < kSmartEvents; ++event) {
    SCOPED_TRACE(event);
    const std::string key = R"({"chnid":4,"event":)" + std::to_string(event);
    ASSERT_EQ(run_json(root, "/6149",
                       key + R"(,"enable":1,"triAlarms":6,"triChannels":"11",)"
                             R"("effective":[[["03:00","04:00",1]]]})")
                  .out,
              kOk);
    expect_one_notice(sim, 1412, mask_bytes(uint64_t{1} << 4));
    sim.clear_messages();
    const std::string answer = run_json(root, "/6148", key + "}").out;
    EXPECT_TRUE(has(answer, R"({ "action": [ { "chnid": 4, "event": )" + std::to_string(event) +
                                R"(, "enable": 1, "triAlarms": 6,)"))
        << answer;
    EXPECT_TRUE(has(answer, R"("startTime": "03:00")")) << answer;
    EXPECT_TRUE(has(answer, R"("ptzParams")")) << answer;
    EXPECT_EQ(stored_event(root, 4, event).tri_channel_mask, 3u);
  }
  // Another event's record is untouched by these; the summary of one event.
  EXPECT_EQ(run_json(root, "/6151", R"({"channel":4,"type":2})").out,
            kJsonHeader + R"({ "chnid": 4, "enable": 1, "triAlarms": 6, "interval": 0, )"
                          R"("email_interval": 0, "email_pic_enable": 0, "tri_channels_pic": "", )"
                          R"("triChannels": "11" })");
  EXPECT_EQ(run_json(root, "/6151", R"({"channel":5,"type":2})").out, kTextError);
  EXPECT_EQ(run_json(root, "/6151", R"({"channel":64,"type":2})").out, kRefused);
  // "/6150": type 0 the alarm outputs, type 1 the trigger channels.
  ASSERT_EQ(run_json(root, "/6150", R"({"channel":4,"type":0,"event":1,"triAlarms":9})").out, kOk);
  EXPECT_EQ(+stored_event(root, 4, 1).triAlarms, 9);
  ASSERT_EQ(run_json(root, "/6150", R"({"channel":4,"type":1,"event":1,"triChannels":"1"})").out,
            kOk);
  EXPECT_EQ(stored_event(root, 4, 1).tri_channel_mask, 1u);
  EXPECT_EQ(+stored_event(root, 4, 1).triAlarms, 9);
  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/6150", R"({"channel":5,"type":0,"event":1,"triAlarms":9})").out,
            kTextHeader + "ERROT");
  EXPECT_TRUE(sim.messages().empty());
  // Bad keys and data.
  EXPECT_EQ(run_json(root, "/6148", R"({"chnid":4,"event":9})").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6148", "").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6148", "x").out, kJsonError);
  EXPECT_EQ(run_json(root, "/6149", "").out, kTextError);
  EXPECT_EQ(run_json(root, "/6149", "x").out, kRefused);
  EXPECT_EQ(run_json(root, "/6149", R"({"chnid":64,"event":0})").out, kTextError);
  EXPECT_EQ(run_json(root, "/6150", "x").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
}

TEST(VcaLine, PositionsConvertedBothWays) {
  DeviceRoot root;
  CoreSim sim(root);
  VcaLine camera{};
  camera.width = 1920;
  camera.height = 1080;
  camera.enable = 1;
  camera.lines[0] = {0, 0, 1920, 1080, 2, {}};
  sim.reply(3241, 8241, CoreSim::bytes(camera));
  EXPECT_EQ(run_json(root, "/6138", R"({"channel":1})").out,
            kJsonHeader +
                R"({ "line": [ { "direction": 2, "position": "0;0;460;260" }, )"
                R"({ "direction": 0, "position": "0;0;0;0" }, { "direction": 0, )"
                R"("position": "0;0;0;0" }, { "direction": 0, "position": "0;0;0;0" } ], )"
                R"("enable": 1, "width": 1920, "height": 1080, "objtype": 0 })");
  camera.width = 0;  // a camera without a space: every position 0
  sim.clear_all().reply(3241, 8241, CoreSim::bytes(camera));
  EXPECT_TRUE(has(run_json(root, "/6138", R"({"channel":1})").out, R"("position": "0;0;0;0")"));
  // The web points back in the camera's space, raised to 1; a half text.
  sim.clear_all();
  ASSERT_EQ(run_json(root, "/6139",
                     R"({"chnid":1,"enable":1,"width":1920,"height":1080,"objtype":3,)"
                     R"("line":[{"position":"0;0;230;130","direction":1},{"position":"10;20"}]})")
                .out,
            kOk);
  const VcaLine sent = record_of<VcaLine>(sim.messages(3248).at(0));
  EXPECT_EQ(+sent.width, 0);  // the space converts, it is not stored
  EXPECT_EQ(+sent.lines[0].startX, 1);
  EXPECT_EQ(+sent.lines[0].startY, 1);
  EXPECT_EQ(+sent.lines[0].stopX, 960);
  EXPECT_EQ(+sent.lines[0].stopY, 540);
  EXPECT_EQ(+sent.lines[0].direction, 1);
  EXPECT_EQ(+sent.lines[1].startX, 42);  // 10 * 1920 / 460, rounded
  EXPECT_EQ(+sent.lines[1].stopX, 1);
  EXPECT_EQ(+sent.objtype, 3);
  EXPECT_EQ(run_json(root, "/6139", "").out, kTextError);
}

TEST(VcaSettings, BoxesOnTheCanvasAndBack) {
  DeviceRoot root;
  CoreSim sim(root);
  const VcaSettings camera = {2, 7, 10, 1, 2, 3, 1920, 1080, {0, 0, 960, 540}, {1920, 1080, 1, 1}};
  sim.reply(3259, 8259, CoreSim::bytes(camera));
  EXPECT_EQ(run_json(root, "/6146", R"({"channel":2})").out,
            kJsonHeader + R"({ "fps": 10, "mode": 1, "installation": 2, "analysis": 3, "width": )"
                          R"(1920, "height": 1080, "vcaType": 7, "position": [ { "minStartX": 1, )"
                          R"("minStartY": 1, "minWidth": 230, "minHeight": 130, "maxStartX": 460, )"
                          R"("maxStartY": 260, "maxWidth": 1, "maxHeight": 1 } ] })");
  sim.clear_all();
  ASSERT_EQ(
      run_json(root, "/6147",
               R"({"chnid":2,"fps":12,"width":1920,"height":1080,"vcaType":9,)"
               R"("position":[{"minStartX":230,"minStartY":130,"minWidth":0,"maxWidth":460}]})")
          .out,
      kOk);
  const VcaSettings sent = record_of<VcaSettings>(sim.messages(3260).at(0));
  EXPECT_EQ(+sent.channel, 2);
  EXPECT_EQ(+sent.vcaType, 0);  // answered only
  EXPECT_EQ(+sent.fps, 12);
  EXPECT_EQ(+sent.min.startX, 960);
  EXPECT_EQ(+sent.min.startY, 540);
  EXPECT_EQ(+sent.min.width, 1);
  EXPECT_EQ(+sent.max.width, 1920);
  // Settings are not a smart event's: nothing without JSON, JSON errors.
  EXPECT_EQ(run_json(root, "/6147", "").out, kRefused);
  EXPECT_EQ(run_json(root, "/6147", R"({"chnid":64})").out, kJsonError);
  sim.never(3260);
  EXPECT_EQ(run_json(root, "/6147", R"({"chnid":1})", "0.001").out, kJsonError);
}

TEST(VcaSmallRoutes, SupportClearAndLeftRemove) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(3257, 8257,
            CoreSim::bytes<int32_t>(0) + CoreSim::bytes<int32_t>(1) + CoreSim::bytes<int32_t>(4));
  EXPECT_EQ(run_json(root, "/6157", R"({"channel":0})").out,
            kJsonHeader + R"({ "support": 1, "type": 4 })");
  ASSERT_EQ(run_json(root, "/6154", R"({"channel":3,"line":2,"resetdb":1})").out, kOk);
  const VcaClearPeople clear = record_of<VcaClearPeople>(sim.messages(3261).at(0));
  EXPECT_EQ(+clear.channel, 3);
  EXPECT_EQ(+clear.line, 2);
  EXPECT_EQ(+clear.resetdb, 1);
  EXPECT_EQ(run_json(root, "/6154", R"({"channel":-1})").out, kJsonError);
  // Left/removed: its own keys and regions, dialog as event 8, read back.
  ASSERT_EQ(run_json(root, "/6171",
                     R"({"chnid":5,"left_enable":1,"remove_enable":1,"min_time":20,)"
                     R"("sensitivity":4,"regionType":2,"regionInfo":[{"leftEnable":1,)"
                     R"("removeEnable":0,"region":[{"polygonX":"p","polygonY":"q"}]}],)"
                     R"("dialog":{"chnid":5,"interval":3}})")
                .out,
            kOk);
  const VcaLeftRemove sent = record_of<VcaLeftRemove>(sim.messages(3269).at(0));
  EXPECT_EQ(+sent.regions[0].leftEnable, 1);
  EXPECT_STREQ(sent.regions[0].polygons[0].pair.polygonY, "q");
  EXPECT_EQ(+stored_event(root, 5, 8).interval, 3);
  EXPECT_EQ(run_json(root, "/6172", R"({"channel":5})").out,
            kJsonHeader + R"({ "region": "", "left_enable": 1, "remove_enable": 1, "min_time": )"
                          R"(20, "sensitivity": 4, "polygonX": "", "polygonY": "" })");
  EXPECT_EQ(run_json(root, "/6171", "x").out, kRefused);
}

TEST(VcaPeople, LinesPositionsAndTheEventEnable) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string answer = run_json(root, "/6144", R"({"channel":1})").out;  // the demo camera
  EXPECT_TRUE(has(answer, R"("lineEnable": [ 1, 0, 0, 0 ])")) << answer;
  EXPECT_TRUE(has(answer, R"("startX": [ 960, 0, 0, 0 ])")) << answer;
  EXPECT_TRUE(has(answer, R"("position": [ "230;1;230;260", "1;1;1;1",)")) << answer;
  ASSERT_EQ(run_json(root, "/6145",
                     R"({"chnid":1,"width":1920,"lineEnable":[0,1],"direction":[-1],)"
                     R"("position":["","10;20;30;40"],"alarmThreshold":[[1,2,3,4],[5]],)"
                     R"("totalAlarmThreshold":[7,8],"triggerType":2,)"
                     R"("effective":[[["01:00","02:00"]]]})")
                .out,
            kOk);
  auto sent = std::make_unique<VcaPeople>();
  const SimMessage message = sim.messages(3254).at(0);
  ASSERT_EQ(message.payload.size(), sizeof(VcaPeople));
  memcpy(sent.get(), message.payload.data(), sizeof(VcaPeople));
  EXPECT_EQ(sent->lines[0].direction, -1);
  EXPECT_EQ(sent->lines[1].lineEnable, 1);
  EXPECT_EQ(sent->lines[1].startX, 10);  // unconverted
  EXPECT_EQ(sent->lines[1].stopY, 40);
  EXPECT_EQ(sent->lines[0].alarmThreshold[3], 4);
  EXPECT_EQ(sent->lines[1].alarmThreshold[0], 5);
  EXPECT_EQ(sent->totalAlarmThreshold[1], 8);
  EXPECT_EQ(sent->triggerType, 2);
  EXPECT_EQ(sent->width, 1920);
  EXPECT_STREQ(sent->effective.days[0].slots[0].startTime, "01:00");
  EXPECT_EQ(+stored_event(root, 1, kPeopleCountEvent).enable, 1);
  ASSERT_EQ(run_json(root, "/6145", R"({"chnid":1,"lineEnable":[0,0]})").out, kOk);
  EXPECT_EQ(+stored_event(root, 1, kPeopleCountEvent).enable, 0);
  EXPECT_EQ(run_json(root, "/6145", "").out, kTextError);
}

TEST(VcaSecondGeneration, LinesConvertedBoxesNot) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(run_json(root, "/6193",
                     R"({"chnid":2,"sensitivity":4,"width":1920,"height":1080,"lineType":1,)"
                     R"("lineScene":2,"copyChn":"1","line":[{"enable":1,"objtype":2,)"
                     R"("direction":3,"position":"0;0;460;260"}]})")
                .out,
            kOk);
  const VcaLine2 line = record_of<VcaLine2>(sim.messages(1210).at(0));
  EXPECT_EQ(+line.lines[0].startX, 1);
  EXPECT_EQ(+line.lines[0].stopX, 1920);
  EXPECT_EQ(+line.lines[0].stopY, 1080);
  EXPECT_EQ(+line.lineType, 1);
  EXPECT_EQ(+line.lineScene, 2);
  EXPECT_EQ(run_json(root, "/6192", R"({"chnid":2})").out,
            kJsonHeader + R"({ "chnid": 2, "width": 1920, "height": 1080, "sensitivity": 4, )"
                          R"("line": [ { "enable": 1, "objtype": 2, "direction": 3, "position": )"
                          R"("0;0;460;260" }, { "enable": 0, "objtype": 0, "direction": 0, )"
                          R"("position": "0;0;0;0" }, { "enable": 0, "objtype": 0, "direction": )"
                          R"(0, "position": "0;0;0;0" }, { "enable": 0, "objtype": 0, )"
                          R"("direction": 0, "position": "0;0;0;0" } ] })");
  EXPECT_EQ(run_json(root, "/6193", "x").out, kTextError);
  ASSERT_EQ(run_json(root, "/6195",
                     R"({"chnid":2,"fps":5,"width":1920,"height":1080,)"
                     R"("position":[{"minStartX":3},{"maxHeight":9}]})")
                .out,
            kOk);
  const VcaSettings2 settings = record_of<VcaSettings2>(sim.messages(1212).at(0));
  EXPECT_EQ(settings.boxes[0][0], 3);
  EXPECT_EQ(settings.boxes[7][1], 9);
  const std::string answer = run_json(root, "/6194", R"({"channel":2})").out;
  EXPECT_TRUE(has(answer, R"({ "fps": 5, "mode": 0,)")) << answer;
  EXPECT_TRUE(has(answer, R"("maxHeight": 9, "width": 1920, "height": 1080 })")) << answer;
  EXPECT_EQ(run_json(root, "/6195", "x").out, kRefused);
  EXPECT_EQ(run_json(root, "/6194", R"({"channel":99})").out, kJsonError);
}

}  // namespace
}  // namespace nvr::test
