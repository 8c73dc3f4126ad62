// Holidays, record schedules and plan modes, record parameters and the two
// recording queries ("/6030" to "/6047") end to end.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "modules/record/record_records.h"
#include "modules/record/record_wire.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + R"({status:"CGI ERROR"})";

std::string mask_bytes(uint64_t mask) { return CoreSim::bytes(mask); }

TEST(RecordHolidays, StoresChecksAndLists) {
  DeviceRoot root;
  CoreSim sim(root);
  // Refused: id past the 32 holidays, enable not 0/1, no type, not JSON.
  for (const char* body : {R"({"id":32,"enable":1,"type":0})", R"({"id":1,"enable":2,"type":0})",
                           R"({"id":1,"enable":1})", R"({"id":1,"enable":1,"type":-1})", "[1]"}) {
    EXPECT_EQ(run_json(root, "/6031", body).out, kRefused) << body;
  }
  EXPECT_TRUE(sim.messages().empty());

  const std::string name(300, 'n');
  const CgiResult set = run_json(root, "/6031",
                                 R"({"id":5,"enable":1,"type":2,"name":")" + name +
                                     R"(","startMon":12,"startMDay":24,"endMon":12})");
  EXPECT_EQ(set.out, kTextHeader + "OK");
  expect_one_notice(sim, kReqHolidaysChanged, "");
  expect_one_log(sim, kLogSubChangeSettings, kLogParamHoliday, 6);

  const CgiResult list = get(root, "/6030");
  EXPECT_EQ(list.out, kJsonHeader + R"({ "holidays": [ { "id": 5, "enable": 1, "name": ")" +
                          std::string(255, 'n') +
                          R"(", "type": 2, "startYear": 0, "startMon": 12, "startMDay": 24, )"
                          R"("startMWeek": 0, "startWDay": 0, "endYear": 0, "endMon": 12, )"
                          R"("endMDay": 0, "endMWeek": 0, "endWDay": 0 } ] })");
}

// Day 0 names a whole-day action without enabling it; day 1 is a whole day;
// day 2 has two slots, one with a start text longer than its field.
const char* kSchedule = R"({"cnt":2,"chnid":[3,70],"recordplanmode":1,"schedule":[
  {"wholedayEnable":0,"wholedayActionType":5,"plans":[]},
  {"wholedayEnable":1,"wholedayActionType":2},
  {"wholedayEnable":0,"plans":[["08:00","12:00",1],["0123456789012345678901234567890123","23:59",2]]}
]})";

TEST(RecordSchedules, WritesNamedChannelsAndTellsTheRecorder) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(run_json(root, "/6041", R"({"chnid":[1]})").out, kRefused);  // no "cnt"
  EXPECT_EQ(run_json(root, "/6041", R"({"cnt":1,"chnid":[1],"recordplanmode":3})").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());

  EXPECT_EQ(run_json(root, "/6041", kSchedule).out, kTextHeader + "OK");
  // The plan mode first, then the schedule; both name channel 3 only.
  const auto sent = sim.messages();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[0].id, kReqPlanModeChanged);
  EXPECT_EQ(sent[0].payload, mask_bytes(1u << 3));
  EXPECT_EQ(sent[1].id, kReqScheduleWritten);
  EXPECT_EQ(sent[1].payload, mask_bytes(1u << 3));
  expect_one_log(sim, kLogSubChangeSettings, kLogParamRecordSchedule, 71);  // last value + 1

  auto stored = std::make_unique<RecordSchedule>();
  ASSERT_EQ(read_record_schedule(db_of(root).c_str(), stored.get(), 3), 0);
  EXPECT_EQ(stored->block.days[0].valid, 0);
  EXPECT_EQ(wholeday_action(stored->block.days[0]), 0);
  EXPECT_EQ(stored->block.days[1].valid, 1);
  EXPECT_EQ(wholeday_action(stored->block.days[1]), 2);
  EXPECT_STREQ(stored->block.days[2].slots[1].startTime, "0123456789012345678901234567890");
  RecordSchedule other{};
  EXPECT_NE(read_record_schedule(db_of(root).c_str(), &other, 2), 0);
  RecordParams record{};
  ASSERT_EQ(read_record(db_of(root).c_str(), &record, 3), 0);
  EXPECT_EQ(record.mode, 1);

  // The read route answers all 48 slots of each day as objects.
  const CgiResult read = get(root, "/6040", "3");
  ASSERT_EQ(read.out.rfind(kJsonHeader, 0), 0u);
  Json answer = json_parse(read.out.substr(kJsonHeader.size()));
  EXPECT_EQ(json_int_or(answer.get(), "id", -1), 3);
  json_object* days = json_get(answer.get(), "schedule");
  ASSERT_EQ(json_array_size(days), 8u);
  EXPECT_EQ(json_int_or(json_at(days, 1), "wholedayActionType", -1), 2);
  json_object* plans = json_get(json_at(days, 2), "plans");
  ASSERT_EQ(json_array_size(plans), 48u);
  EXPECT_STREQ(json_string(json_at(plans, 0), "endTime"), "12:00");
  EXPECT_EQ(json_int_or(json_at(plans, 1), "actionType", -1), 2);
  EXPECT_STREQ(json_string(json_at(plans, 47), "startTime"), "");
  for (const char* channel : {"64", "-1", "99999999999999999999", "", "x"})
    EXPECT_TRUE(get(root, "/6040", channel).out == kRefused) << channel;

  // The recorder reloaded channel 3 and records by its schedule.
  Json state = json_parse(root.read_file("/var/lib/nvr-cored/recording.json"));
  json_object* channels = json_get(state.get(), "channels");
  ASSERT_EQ(json_array_size(channels), 1u);
  EXPECT_EQ(json_int_or(json_at(channels, 0), "id", -1), 3);
  EXPECT_EQ(json_int_or(json_at(channels, 0), "mode", -1), 1);
  EXPECT_EQ(json_int_or(json_at(channels, 0), "slots", -1), 2);
  EXPECT_EQ(json_int_or(json_at(channels, 0), "wholedayDays", -1), 1);
}

TEST(RecordModes, AllOrNothing) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "max_cameras", 4), 0);
  // The first element is valid, the second is not: nothing changes.
  const CgiResult bad =
      run_json(root, "/6043", R"({"records":[{"id":0,"mode":2},{"id":1,"mode":3}]})");
  EXPECT_EQ(bad.out, kTextHeader + "ERROR");
  EXPECT_TRUE(sim.messages().empty());
  const std::string all_zero = R"({ "records": [ { "id": 0, "mode": 0 }, { "id": 1, "mode": 0 }, )"
                               R"({ "id": 2, "mode": 0 }, { "id": 3, "mode": 0 } ] })";
  EXPECT_EQ(get(root, "/6042").out, kJsonHeader + all_zero);

  // Element i configures channel i whatever its id says.
  EXPECT_EQ(run_json(root, "/6043", R"({"records":[{"id":5,"mode":2},{"id":1,"mode":1}]})").out,
            kTextHeader + "OK");
  expect_one_log(sim, kLogSubChangeSettings, kLogParamRecordMode, 0);
  const auto modes = sim.messages(kReqModeWritten);
  ASSERT_EQ(modes.size(), 2u);
  EXPECT_EQ(modes[0].payload, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(modes[1].payload, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(get(root, "/6042").out,
            kJsonHeader + R"({ "records": [ { "id": 0, "mode": 2 }, { "id": 1, "mode": 1 }, )"
                          R"({ "id": 2, "mode": 0 }, { "id": 3, "mode": 0 } ] })");

  // More elements than channels cannot be stored.
  std::string many = R"({"records":[)";
  for (int i = 0; i < 65; ++i) many += std::string(i ? "," : "") + R"({"id":0,"mode":1})";
  EXPECT_EQ(run_json(root, "/6043", many + "]}").out, kTextHeader + "ERROR");
}

void store_camera(const DeviceRoot& root, int32_t id, int32_t enable, int32_t protocol,
                  int32_t poe) {
  const CameraRecordFields camera{id, enable, protocol, 0, poe, 0};
  ASSERT_EQ(db_write(db_of(root).c_str(), kCameraRecordFields, &camera), 0);
}

const char* kParams = R"({"cnt":4,"chnid":[1,2,3,99],"camAnr":1,"prevRecordOn":1,
  "prevRecordDuration":5,"postRecordOn":1,"postRecordDuration":30,"audioEnable":1,
  "recordStreamType":1,"recordExpDate":7})";

TEST(RecordParams, WritesChannelsAndAnrWhereItApplies) {
  DeviceRoot root;
  CoreSim sim(root);
  store_camera(root, 1, 1, 1, 0);  // RTSP: no ANR
  store_camera(root, 2, 1, 0, 0);  // ONVIF, not on PoE: ANR applies
  store_camera(root, 3, 1, 0, 4);  // on a PoE port: no ANR
  for (const char* body :
       {R"({"cnt":1,"chnid":[1],"prevRecordOn":1,"prevRecordDuration":5,"postRecordOn":1,
            "postRecordDuration":30,"audioEnable":1,"recordStreamType":1})",  // no camAnr
        R"({"cnt":1,"chnid":[1],"camAnr":1,"prevRecordOn":1,"prevRecordDuration":5,
            "postRecordOn":1,"postRecordDuration":30,"audioEnable":1,"recordStreamType":3})"})
    EXPECT_EQ(run_json(root, "/6045", body).out, kRefused);
  EXPECT_TRUE(sim.messages().empty());

  // A failure flag over a single channel is no failure.
  AnrReply reply{};
  reply.count = 1;
  reply.results[0] = 5;
  reply.flag = 1;
  sim.reply(kReqSetAnr, kReplySetAnr, CoreSim::bytes(reply));
  EXPECT_EQ(run_json(root, "/6045", kParams).out, kJsonHeader + R"({ "resp": 0 })");
  RecordChannelList written{};
  written.channels[0] = 1;
  written.channels[1] = 2;
  written.channels[2] = 3;
  written.count = 3;
  expect_one_notice(sim, kReqRecordParamsWritten, CoreSim::bytes(written));
  expect_one_log(sim, kLogSubChangeSettings, kLogParamRecordParams, 0);
  const auto anr = sim.messages(kReqSetAnr);
  ASSERT_EQ(anr.size(), 1u);
  EXPECT_EQ(anr[0].flags & CoreSim::kNoReply, 0u);
  const AnrRequest asked = record_of<AnrRequest>(anr[0]);
  EXPECT_EQ(asked.count, 1);
  EXPECT_EQ(asked.channels[0], 2);
  EXPECT_EQ(asked.anr, 1);

  EXPECT_EQ(get(root, "/6044", "2").out,
            kJsonHeader + R"({ "id": 2, "prevRecordOn": 1, "prevRecordDuration": 5, )"
                          R"("postRecordOn": 1, "postRecordDuration": 30, "audioEnable": 1, )"
                          R"("recordStreamType": 1, "recordExpDate": 7, "cameraAnr": 1, )"
                          R"("camEnable": 1, "camProtocol": 0, "poeChannel": 0 })");
  CameraRecordFields rtsp{};
  read_camera_record_fields(db_of(root).c_str(), &rtsp, 1);
  EXPECT_EQ(rtsp.anr, 0);
  EXPECT_EQ(rtsp.recordStream, 1);

  // Several channels, one failing: -1. No reply: the JSON error.
  reply.count = 2;
  reply.results[0] = 0;
  reply.results[1] = 3;
  sim.clear(kReqSetAnr).reply(kReqSetAnr, kReplySetAnr, CoreSim::bytes(reply));
  EXPECT_EQ(run_json(root, "/6045", kParams).out, kJsonHeader + R"({ "resp": -1 })");
  sim.clear(kReqSetAnr).never(kReqSetAnr);
  EXPECT_EQ(run_json(root, "/6045", kParams, kFastScale.c_str()).out, kJsonError);
}

TEST(RecordQueries, AnswerWhatTheRecorderReplies) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(kReqAnrSupport, kReplyAnrSupport, CoreSim::bytes(AnrSupportReply{4, 0}));
  EXPECT_EQ(get(root, "/6046", "4").out, kJsonHeader + R"({ "chnid": 4, "support": 0 })");
  const auto asked = sim.messages(kReqAnrSupport);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].payload, CoreSim::bytes<int32_t>(4));
  EXPECT_EQ(get(root, "/6046", "64").out, kRefused);
  EXPECT_EQ(sim.messages(kReqAnrSupport).size(), 1u);

  // A count past the lists lists 64 entries and reports the count given.
  RecordStreamReply streams{};
  for (int i = 0; i < kRecordChannels; ++i) streams.primary[i] = i;
  streams.count = 100;
  sim.reply(kReqRecordStreamInfo, kReplyRecordStreamInfo, CoreSim::bytes(streams));
  const CgiResult info = get(root, "/6047");
  ASSERT_EQ(info.out.rfind(kJsonHeader, 0), 0u);
  Json answer = json_parse(info.out.substr(kJsonHeader.size()));
  EXPECT_EQ(json_array_size(json_get(answer.get(), "primary")), 64u);
  EXPECT_EQ(json_int64(json_at(json_get(answer.get(), "primary"), 63)).value_or(-1), 63);
  EXPECT_EQ(json_int_or(answer.get(), "size", -1), 100);

  // Less than one record, or nothing: the JSON error.
  sim.clear(kReqRecordStreamInfo)
      .reply(kReqRecordStreamInfo, kReplyRecordStreamInfo, std::string(100, '\0'));
  EXPECT_EQ(run_json(root, "/6047", "", kFastScale.c_str(), "GET").out, kJsonError);
  sim.clear(kReqRecordStreamInfo).never(kReqRecordStreamInfo);
  EXPECT_EQ(run_json(root, "/6047", "", kFastScale.c_str(), "GET").out, kJsonError);
}

}  // namespace
}  // namespace nvr::test
