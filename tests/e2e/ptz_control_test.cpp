// PTZ moves, presets, port settings and speeds, tours, patterns, state and
// camera-side PTZ settings ("/5000" table) end to end.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "modules/ptz/ptz_handlers.h"
#include "modules/ptz/ptz_records.h"
#include "modules/ptz/ptz_wire.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + R"({status:"CGI ERROR"})";
const std::string kOk = kTextHeader + "OK";

Json json_answer(const CgiResult& result) {
  EXPECT_EQ(result.out.rfind(kJsonHeader, 0), 0u) << result.out.substr(0, 200);
  return json_parse(result.out.substr(std::min(result.out.size(), kJsonHeader.size())));
}

TEST(PtzMoves, AutoFocusSecondCommandAndCameraSpeed) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(run_json(root, "/5000",
                     R"({"channelId":2,"action":21,"isAutoFocus":1,"panSpeed":3,"tiltSpeed":4})")
                .out,
            kOk);
  const auto sent = sim.messages();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[0].id, kReqPtzCommand);
  EXPECT_EQ(sent[1].id, kReqPtzCommand);
  EXPECT_EQ(sent[2].id, kReqCameraParam);
  EXPECT_EQ(record_of<PtzCommand>(sent[0]).action, 21);
  const PtzCommand focus = record_of<PtzCommand>(sent[1]);
  EXPECT_EQ(focus.action, 12);
  EXPECT_EQ(focus.tiltSpeed, 4);
  const CameraParamRecord param = record_of<CameraParamRecord>(sent[2]);
  EXPECT_STREQ(param.page, "vsetting.html");
  EXPECT_STREQ(param.name, "ptzspeed");
  EXPECT_STREQ(param.value, "2");
  expect_one_log(sim, kLogSubPtz, kLogParamNone, 3);

  // Without auto focus one command; pan speeds 0, 1, 2 give camera speeds 1, 0, 1.
  for (auto [pan, speed] : {std::pair{0, "1"}, {1, "0"}, {2, "1"}}) {
    sim.clear_messages();
    EXPECT_EQ(run_json(root, "/5000",
                       R"({"channelId":0,"action":21,"panSpeed":)" + std::to_string(pan) + "}")
                  .out,
              kOk);
    EXPECT_EQ(sim.messages(kReqPtzCommand).size(), 1u);
    const auto params = sim.messages(kReqCameraParam);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_STREQ(record_of<CameraParamRecord>(params[0]).value, speed) << pan;
  }

  // Channels past "max_cameras", negative actions: nothing sent.
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "max_cameras", 4), 0);
  sim.clear_messages();
  for (const char* body : {R"({"channelId":4,"action":1})", R"({"channelId":1,"action":-1})",
                           R"({"action":1})", "not json"})
    EXPECT_TRUE(run_json(root, "/5000", body).out == kRefused) << body;
  EXPECT_TRUE(sim.messages().empty());
  // The camera setting unanswered: the text error.
  sim.never(kReqCameraParam);
  EXPECT_EQ(run_json(root, "/5000", R"({"channelId":1,"action":1})", kFastScale.c_str()).out,
            kTextHeader + "CGI ERROR");
}

TEST(PtzPresets, IdsUpTo300AndTheLastSlotStaysInside) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string base = R"("action":22,"panSpeed":1,"tiltSpeed":1,"zoomSpeed":1,"focusSpeed":1)";
  EXPECT_TRUE(run_json(root, "/5001", R"({"channelId":1,"presetId":301,)" + base + "}").out ==
              kRefused);
  EXPECT_TRUE(run_json(root, "/5001", R"({"channelId":1,"presetId":3,"action":22})").out ==
              kRefused);
  EXPECT_TRUE(sim.messages().empty());

  const std::string long_name(40, 'p');
  EXPECT_EQ(run_json(root, "/5001",
                     R"({"channelId":1,"presetId":300,"name":")" + long_name + R"(",)" + base + "}")
                .out,
            kOk);
  const auto presets = sim.messages(kReqPtzPreset);
  ASSERT_EQ(presets.size(), 1u);
  const PtzCommand command = record_of<PtzCommand>(presets[0]);
  EXPECT_EQ(command.id, 300);
  EXPECT_EQ(std::string(command.presetName), std::string(30, 'p'));
  expect_one_log(sim, kLogSubPtz, kLogParamPtzSettings, 2);

  // The recorder keeps preset 300 in its last slot and reports 300 presets.
  Json state = json_answer(run_json(root, "/5005", R"({"chn":1})"));
  EXPECT_STREQ(json_string(state.get(), "status"), "OK");
  json_object* list = json_get(state.get(), "PRESET");
  ASSERT_EQ(json_array_size(list), 300u);
  EXPECT_EQ(json_int_or(json_at(list, 299), "enable", -1), 1);
  EXPECT_EQ(std::string(json_string(json_at(list, 299), "name")), std::string(30, 'p'));
  EXPECT_EQ(json_array_size(json_get(state.get(), "PATTERN")), 4u);
  EXPECT_EQ(json_array_size(json_get(state.get(), "tour_status")), 5u);

  // A fisheye save also names the preset to the camera.
  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/5001",
                     R"({"channelId":0,"presetId":7,"fisheyeType":1,"streamId":2,"name":"Door",)" +
                         base + "}")
                .out,
            kOk);
  const auto params = sim.messages(kReqCameraParam);
  ASSERT_EQ(params.size(), 1u);
  const CameraParamRecord param = record_of<CameraParamRecord>(params[0]);
  EXPECT_STREQ(param.name, "ipncptz=setfishpreset");
  EXPECT_STREQ(param.value, "2:7:Door");
}

TEST(PtzPortAndSpeed, StoredPerChannel) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string keys =
      R"("connectType":1,"baudRate":9600,"dataBits":8,"stopBits":1,"parityType":2,"protocol":13,"address":5)";
  EXPECT_TRUE(run_json(root, "/6051", R"({"cnt":1,"chnid":[1],"connectType":1,"baudRate":9600,
      "dataBits":9,"stopBits":1,"parityType":0,"protocol":1,"address":1})")
                  .out == kRefused);
  EXPECT_EQ(run_json(root, "/6051", R"({"cnt":3,"chnid":[1,70,2],)" + keys + "}").out, kOk);
  const auto notices = sim.messages(kReqPtzPortChanged);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].payload, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(notices[1].payload, CoreSim::bytes<int32_t>(2));
  EXPECT_EQ(sim.messages(kReqOperationLog).size(), 2u);
  EXPECT_EQ(run_json(root, "/6050", R"({"chnid":2})").out,
            kJsonHeader + R"({ "camId": 2, "connectType": 1, "baudRate": 9600, "dataBits": 8, )"
                          R"("stopBits": 1, "parityType": 2, "protocol": 13, "address": 5 })");
  PtzPort none{};
  EXPECT_NE(read_ptz_port(db_of(root).c_str(), &none, 70), 0);
  for (const char* body : {R"({"chnid":16})", R"({"chnid":-1})", "{}", "x"})
    EXPECT_EQ(run_json(root, "/6050", body).out, kJsonError) << body;

  EXPECT_EQ(run_json(root, "/6054", R"({"camId":3,"pan_speed":7,"foucs_speed":2})").out, kOk);
  EXPECT_EQ(
      run_json(root, "/6053", R"({"camId":3})").out,
      kJsonHeader + R"({ "pan_speed": 7, "tilt_speed": 0, "zoom_speed": 0, "foucs_speed": 2 })");
  EXPECT_TRUE(run_json(root, "/6054", R"({"camId":64,"pan_speed":7})").out == kRefused);
}

std::string path_of(int points, int first_preset) {
  std::string path = "[";
  for (int i = 0; i < points; ++i)
    path += std::string(i ? "," : "") + R"({"preset":)" + std::to_string(first_preset + i) +
            R"(,"time":)" + std::to_string(10 + i) + R"(,"speed":3})";
  return path + "]";
}

TEST(PtzTours, BoundsAndPointsKept) {
  DeviceRoot root;
  CoreSim sim(root);
  // Tour ids outside 1..8, negative row sizes and presets past 300 are refused.
  for (const std::string& body :
       {R"({"chn":1,"tourid":0,"rowsize":1,"path":)" + path_of(1, 1) + "}",
        R"({"chn":1,"tourid":9,"rowsize":1,"path":)" + path_of(1, 1) + "}",
        R"({"chn":1,"tourid":1,"rowsize":-1,"path":)" + path_of(1, 1) + "}",
        R"({"chn":1,"tourid":1,"rowsize":1,"path":)" + path_of(1, 301) + "}",
        R"({"chn":64,"tourid":1,"rowsize":1,"path":)" + path_of(1, 1) + "}"}) {
    EXPECT_TRUE(run_json(root, "/6055", body).out == kRefused) << body;
    EXPECT_TRUE(run_json(root, "/6056", body).out == kRefused) << body;
  }
  EXPECT_TRUE(run_json(root, "/6057", R"({"chn":1,"tourid":9})").out == kRefused);
  EXPECT_TRUE(run_json(root, "/5002", R"({"chn":1,"tourid":0})").out == kRefused);
  EXPECT_TRUE(sim.messages().empty());

  // Five points, then two: points 3 to 5 keep what was stored.
  EXPECT_EQ(
      run_json(root, "/6055", R"({"chn":1,"tourid":8,"rowsize":5,"path":)" + path_of(5, 1) + "}")
          .out,
      kOk);
  sim.clear_messages();
  // A row size past the path and past 48 takes what the path holds.
  EXPECT_EQ(
      run_json(root, "/6055", R"({"chn":1,"tourid":8,"rowsize":100,"path":)" + path_of(2, 20) + "}")
          .out,
      kOk);
  const auto sent = sim.messages(kReqPtzTourSet);
  ASSERT_EQ(sent.size(), 1u);
  const PtzTourRecord record = record_of<PtzTourRecord>(sent[0]);
  EXPECT_EQ(record.tourId, 8);
  EXPECT_EQ(record.count, 2);
  EXPECT_EQ(record.points[1].preset, 21);
  expect_one_log(sim, kLogSubPtz, kLogParamPtzSettings, 2);
  auto table = std::make_unique<PtzTourTable>();
  ASSERT_EQ(read_ptz_tour(db_of(root).c_str(), table.get(), 1), 0);
  EXPECT_EQ(table->tours[7][0].preset, 20);
  EXPECT_EQ(table->tours[7][1].dwell, 11);
  EXPECT_EQ(table->tours[7][2].preset, 3);
  EXPECT_EQ(table->tours[7][4].preset, 5);
  EXPECT_EQ(table->tours[7][5].preset, 0);

  // The recorder's tour 8 has the two points; an empty tour lists as [].
  Json state = json_answer(run_json(root, "/5005", R"({"chn":1})"));
  json_object* tours = json_get(state.get(), "TOUR");
  ASSERT_EQ(json_array_size(tours), 8u);
  EXPECT_EQ(json_array_size(json_at(tours, 7)), 2u);
  EXPECT_EQ(json_int_or(json_at(json_at(tours, 7), 1), "timeout", -1), 11);
  EXPECT_EQ(json_array_size(json_at(tours, 6)), 0u);

  // Clearing empties the stored tour and the recorder's.
  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/6057", R"({"chn":1,"tourid":8})").out, kOk);
  ASSERT_EQ(read_ptz_tour(db_of(root).c_str(), table.get(), 1), 0);
  for (const PtzTourPoint& point : table->tours[7]) EXPECT_EQ(point.preset, 0);
  EXPECT_EQ(record_of<PtzTourCommand>(sim.messages(kReqPtzTourClear).at(0)).tourId, 8);
  state = json_answer(run_json(root, "/5005", R"({"chn":1})"));
  EXPECT_EQ(json_array_size(json_at(json_get(state.get(), "TOUR"), 7)), 0u);

  // Fisheye: only the addressed tour is filled.
  sim.clear_messages();
  EXPECT_EQ(
      run_json(root, "/6056",
               R"({"chn":0,"tourid":2,"streamId":1,"rowsize":2,"path":)" + path_of(2, 4) + "}")
          .out,
      kOk);
  auto fish = std::make_unique<FishTourRecord>(
      record_of<FishTourRecord>(sim.messages(kReqFishTourSet).at(0)));
  EXPECT_EQ(fish->tourIndex, 1);
  EXPECT_EQ(fish->streamId, 1);
  EXPECT_EQ(fish->tours[1].presets[1], 5);
  EXPECT_EQ(fish->tours[0].presets[0], 0);
}

TEST(PtzPassThrough, RecordsAndCodes) {
  DeviceRoot root;
  CoreSim sim(root);
  struct Row {
    const char* route;
    std::string body;
    int32_t request;
    std::string payload;
    int32_t log_param;
  };
  PtzTourCommand run{};
  run.channel = 3;
  run.tourId = 2;
  run.fisheyeType = 1;
  run.streamId = 4;
  const Row rows[] = {
      {"/5002", R"({"chn":3,"tourid":2,"fisheyeType":1,"streamId":4})", kReqPtzTourRun,
       CoreSim::bytes(run), kLogParamNone},
      {"/5003", R"({"chn":3,"tourid":2,"fisheyeType":1,"streamId":4})", kReqPtzTourStop,
       CoreSim::bytes(run), kLogParamNone},
      {"/5006", R"({"channelId":3,"action":9})", kReqPtzPresetCall,
       CoreSim::bytes(PtzChannelValue{3, 9}), kLogParamNone},
      {"/5007", R"({"camId":3,"Zoom":1,"ZoomSpeed":6})", kReqPtzZoom,
       CoreSim::bytes(PtzZoomRequest{3, 1, 6}), kLogParamNone},
  };
  for (const Row& row : rows) {
    sim.clear_messages();
    EXPECT_EQ(run_json(root, row.route, row.body).out, kOk) << row.route;
    expect_one_notice(sim, row.request, row.payload);
    expect_one_log(sim, kLogSubPtz, row.log_param, 4);
  }

  // Pattern actions 0..4 map to the recorder's codes, others to 0.
  for (auto [action, code] : {std::pair{0, 26}, {1, 21}, {2, 25}, {3, 27}, {4, 40}, {7, 0}}) {
    sim.clear_messages();
    EXPECT_EQ(
        run_json(root, "/5004", R"({"chn":1,"tourid":4,"action":)" + std::to_string(action) + "}")
            .out,
        kOk);
    const PtzCommand command = record_of<PtzCommand>(sim.messages(kReqPtzPattern).at(0));
    EXPECT_EQ(command.action, code) << action;
    EXPECT_EQ(command.id, 4);
  }
  for (const char* body : {R"({"chn":1,"tourid":5,"action":0})", R"({"chn":1,"action":0})"})
    EXPECT_TRUE(run_json(root, "/5004", body).out == kRefused) << body;
  // The recorder keeps the pattern recorded by action 2 until action 3 deletes it.
  Json state = json_answer(run_json(root, "/5005", R"({"chn":1})"));
  EXPECT_EQ(json_int_or(json_at(json_get(state.get(), "PATTERN"), 3), "enable", -1), 0);
  run_json(root, "/5004", R"({"chn":1,"tourid":4,"action":2})");
  state = json_answer(run_json(root, "/5005", R"({"chn":1})"));
  EXPECT_EQ(json_int_or(json_at(json_get(state.get(), "PATTERN"), 3), "enable", -1), 1);

  // A state reply shorter than a record: "Error"; none: the JSON error.
  sim.reply(kReqFishPtzInfo, kReplyFishPtzInfo, std::string(100, '\0'));
  EXPECT_EQ(run_json(root, "/5005", R"({"chn":1,"fisheyeType":1,"streamId":2})").out,
            kJsonHeader + R"({ "status": "Error" })");
  EXPECT_EQ(record_of<PtzChannelValue>(sim.messages(kReqFishPtzInfo).at(0)).value, 2);
  sim.never(kReqPtzInfo);
  EXPECT_EQ(run_json(root, "/5005", R"({"chn":1})", kFastScale.c_str()).out, kJsonError);
}

TEST(PtzCameraSide, ControlLedAndBasicSettings) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const char* route : {"/5009", "/5010"}) {
    EXPECT_EQ(run_json(root, route, R"({"chnid":64})").out, kJsonError) << route;
    EXPECT_EQ(run_json(root, route, "nope").out, kJsonError) << route;
  }
  EXPECT_EQ(run_json(root, "/5011", R"({"chnId":-1})").out, kJsonError);
  EXPECT_TRUE(sim.messages().empty());

  sim.reply(kReqPtzControl, kReplyPtzControl, CoreSim::bytes<int32_t>(-3));
  EXPECT_EQ(run_json(root, "/5009", R"({"chnid":5,"ptzCmd":17})").out,
            kJsonHeader + R"({ "res": -3 })");
  EXPECT_EQ(record_of<PtzChannelValue>(sim.messages(kReqPtzControl).at(0)).value, 17);
  expect_one_log(sim, kLogSubPtz, kLogParamPtzSettings, 6);
  // An empty reply is an error, and the change is logged all the same.
  sim.clear_messages();
  sim.clear(kReqPtzControl).reply(kReqPtzControl, kReplyPtzControl, std::string(2, '\0'));
  EXPECT_EQ(run_json(root, "/5009", R"({"chnid":5,"ptzCmd":17})", kFastScale.c_str()).out,
            kJsonError);
  expect_one_log(sim, kLogSubPtz, kLogParamPtzSettings, 6);

  EXPECT_EQ(run_json(root, "/5010", R"({"chnid":5})").out,
            kJsonHeader + R"({ "chnid": 5, "status": 1 })");

  EXPECT_EQ(run_json(root, "/5012",
                     R"({"chnId":2,"status":9,"zoomStatus":3,"fanWorkingMode":2,"channelMask":")" +
                         std::string(70, '1') + R"("})")
                .out,
            kJsonHeader + R"({ "status": 0 })");
  const PtzBasicSettings basic = record_of<PtzBasicSettings>(sim.messages(kReqSetPtzBasic).at(0));
  EXPECT_EQ(basic.status, 0);
  EXPECT_EQ(basic.channel, 2);
  EXPECT_EQ(std::string(basic.channelMask), std::string(64, '1'));
  Json read = json_answer(run_json(root, "/5011", R"({"chnId":2})"));
  EXPECT_EQ(json_int_or(read.get(), "zoomStatus", -1), 3);
  EXPECT_EQ(json_int_or(read.get(), "fanWorkingMode", -1), 2);
  EXPECT_EQ(json_get(read.get(), "channelMask"), nullptr);

  sim.reply(kReqPtzSupport, kReplyPtzSupport, CoreSim::bytes<int32_t>(-1));
  EXPECT_EQ(run_json(root, "/6052", R"({"camId":1})").out, kTextHeader + "-1");
  sim.clear(kReqPtzSupport).never(kReqPtzSupport);
  EXPECT_EQ(run_json(root, "/6052", R"({"camId":1})", kFastScale.c_str()).out,
            kTextHeader + "CGI ERROR");

  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/5008", R"({"chn":1,"Speed":0})").out, kOk);
  EXPECT_STREQ(record_of<CameraParamRecord>(sim.messages(kReqCameraParam).at(0)).value, "1");
  expect_one_log(sim, kLogSubPtz, kLogParamPtzSettings, 2);
}

}  // namespace
}  // namespace nvr::test
