// Smart analytics end to end: the camera-settings family of the VCA message
// record (every getter and setter), the dialog with its copies, and the
// action routes of each smart event.
#include <gtest/gtest.h>

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
    EXPECT_EQ(message.channel, 2);
    EXPECT_EQ(message.enable, 1);
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
  EXPECT_EQ(message.tracks, 0);  // not a key of the region routes
  EXPECT_EQ(message.regionType, 1);
  EXPECT_EQ(message.regionScene, 2);
  EXPECT_EQ(message.regions[0].objType, 3);
  EXPECT_EQ(message.regions[0].time, 4);
  EXPECT_STREQ(message.regions[0].polygons[0].pair.polygonX, "a");
  EXPECT_STREQ(message.regions[0].polygons[1].pair.polygonX, "");  // regionType 1: polygon 0 only
  EXPECT_EQ(message.regions[1].enable, 1);
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
  EXPECT_EQ(stored_event(root, 3, 5).interval, 12);
  EXPECT_EQ(stored_event(root, 3, 5).tri_channel_mask, 1u);
  EXPECT_EQ(stored_event(root, 3, 4).interval, 0);
  const uint64_t copies =
      get_channel_mask("0000000000000000000000000000000000000000000000000000000000000011");
  for (int c = 0; c < 64; ++c)
    if (copies >> c & 1) {
      EXPECT_EQ(stored_event(root, c, 5).interval, 12) << c;
    }
  expect_one_notice(sim, 1412, mask_bytes(copies | uint64_t{1} << 3));
  sim.clear_messages();
  // An empty copy mask announces only the dialog's own channel.
  ASSERT_EQ(
      run_json(root, "/6137", R"({"chnid":9,"type":3,"dialog":{"chnid":9,"interval":1}})").out,
      kOk);
  expect_one_notice(sim, 1412, mask_bytes(uint64_t{1} << 9));
  EXPECT_EQ(stored_event(root, 9, 3).interval, 1);
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
  EXPECT_EQ(stored_event(root, 4, 1).triAlarms, 9);
  ASSERT_EQ(run_json(root, "/6150", R"({"channel":4,"type":1,"event":1,"triChannels":"1"})").out,
            kOk);
  EXPECT_EQ(stored_event(root, 4, 1).tri_channel_mask, 1u);
  EXPECT_EQ(stored_event(root, 4, 1).triAlarms, 9);
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

}  // namespace
}  // namespace nvr::test
