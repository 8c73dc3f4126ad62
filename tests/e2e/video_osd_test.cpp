// The on-screen display, privacy mask, exception and camera-side alarm
// routes end to end: the stored OSD and channel names, the camera OSD through
// the daemon, the privacy mask requests and replies with their bounds, the
// exception settings and the two camera-side alarms.
#include <gtest/gtest.h>

#include <string>

#include "modules/cameras/cameras_records.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/qvdb_actions.h"
#include "platform/qvdb_names.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kOk = kTextHeader + "OK";
const std::string kTextError = kTextHeader + "CGI ERROR";
const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

OsdRecord stored_osd(const DeviceRoot& root, int32_t channel) {
  OsdRecord record{};
  read_osd(db_of(root).c_str(), &record, channel);
  return record;
}

std::string exception_name(int id) {
  char name[32];
  get_exception_name(id, name, sizeof name);
  return name;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(VideoOsd, StoredOsdAndChannelNames) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string full =
      R"({"camId":5,"camName":"Gate","showName":1,"showDate":1,"showWeek":0,"dateFormat":3,)"
      R"("timeFormat":1,"datePosX":0.25,"datePosY":10,"namePosX":1.5,"namePosY":0,"alpha":7})";
  ASSERT_EQ(run_json(root, "/6001", full).out, kOk);
  expect_one_notice(sim, kReqOsdChanged, CoreSim::bytes(OsdChanged{5, 1, 0}));
  EXPECT_EQ(run_json(root, "/6000", "5", nullptr, "GET").out,
            kJsonHeader +
                R"({ "camId": 5, "camName": "Gate", "showName": 1, "showDate": 1, "showWeek": 0, )"
                R"("dateFormat": 3, "timeFormat": 1, "datePosX": 0.25, "datePosY": 10.0, )"
                R"("namePosX": 1.5, "namePosY": 0.0, "alpha": 7 })");
  sim.clear_messages();
  // Every bound of the record refuses, nothing stored or told.
  for (const char* bad : {R"("dateFormat":3)", R"("camId":5)", R"("datePosX":0.25)",
                          R"("showName":1)", R"("alpha":7)", R"("camName":"Gate")"}) {
    std::string request = full;
    const std::string key(bad);
    const std::string replaced = key.substr(0, key.find(':') + 1) + "-1";
    request.replace(request.find(key), key.size(), replaced);
    if (key == R"("dateFormat":3)") request.replace(request.find("-1"), 2, "4");
    EXPECT_EQ(run_json(root, "/6001", request).out, kRefused) << request;
  }
  EXPECT_TRUE(sim.messages().empty());
  EXPECT_STREQ(stored_osd(root, 5).name, "Gate");
  EXPECT_EQ(stored_osd(root, 5).alpha, 7);
  // A channel never named answers its default name; channels past 63 nothing.
  EXPECT_TRUE(contains(run_json(root, "/6000", "9", nullptr, "GET").out, R"("camName": "CAM10")"));
  EXPECT_EQ(run_json(root, "/6000", "64", nullptr, "GET").out, kRefused);

  // "/6002" keeps 31 characters and the rest of the record; no daemon request.
  ASSERT_EQ(run_json(root, "/6002", R"({"camId":5,"camName":")" + std::string(40, 'n') + "\"}").out,
            kOk);
  EXPECT_EQ(std::string(stored_osd(root, 5).name), std::string(31, 'n'));
  EXPECT_EQ(stored_osd(root, 5).dateFormat, 3);
  for (const char* bad :
       {R"({"camId":64,"camName":"x"})", R"({"camId":-1,"camName":"x"})", R"({"camId":5})",
        R"({"camId":5,"camName":""})", R"({"camId":5,"camName":7})", R"({"camName":"x"})", "[1]"})
    EXPECT_EQ(run_json(root, "/6002", bad).out, kRefused) << bad;
  EXPECT_EQ(std::string(stored_osd(root, 5).name), std::string(31, 'n'));
  EXPECT_TRUE(sim.messages().empty());
}

TEST(VideoOsd, CameraOsdThroughTheDaemon) {
  DeviceRoot root;
  CoreSim sim(root);
  CameraOsd osd{};
  osd.ch = 2;
  osd.enable_text = 1;
  snprintf(osd.text_name, sizeof osd.text_name, "Yard");
  osd.fontSize = 9;
  osd.fontSizeSub = 8;
  sim.clear(kReqCameraOsd).reply(kReqCameraOsd, kReplyCameraOsd, CoreSim::bytes(osd));
  EXPECT_EQ(run_json(root, "/6997", R"({"id":2})").out,
            kJsonHeader +
                R"({ "enable_text": 1, "text_name": "Yard", "textpos": 0, "enable_date": 0, )"
                R"("datepos": 0, "dateformat": 0, "enable_text_sub": 0, "text_name_sub": "", )"
                R"("textpos_sub": 0, "enable_date_sub": 0, "datepos_sub": 0, )"
                R"("dateformat_sub": 0, "disconnect": 1 })");
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqCameraOsd).at(0)), 2);
  osd.ch = -1;
  sim.clear(kReqCameraOsd).reply(kReqCameraOsd, kReplyCameraOsd, CoreSim::bytes(osd));
  EXPECT_EQ(run_json(root, "/6997", R"({"id":2})").out, kJsonHeader + R"({ "disconnect": 0 })");
  sim.clear(kReqCameraOsd).reply(kReqCameraOsd, kReplyCameraOsd, "abc");  // shorter than a record
  EXPECT_EQ(run_json(root, "/6997", R"({"id":2})").out, kTextError);
  sim.clear(kReqCameraOsd).never(kReqCameraOsd);
  EXPECT_EQ(run_json(root, "/6997", R"({"id":2})", kFastScale.c_str()).out, kTextError);

  // The setter: required keys, texts cut at 255, the three results.
  const std::string set = R"({"ch":3,"enable_text":1,"text_name":")" + std::string(300, 't') +
                          R"(","textpos":2,"enable_date":1,"datepos":3,"dateformat":1,)"
                          R"("fontSize":4,"type":6})";
  for (const auto& [result, answer] : {std::pair{0, kOk}, std::pair{-1, kTextHeader + "NO_SUPPORT"},
                                       std::pair{5, kTextHeader + "ERROR"}}) {
    sim.clear_messages();
    sim.clear(kReqSetCameraOsd)
        .reply(kReqSetCameraOsd, kReplySetCameraOsd, CoreSim::bytes<int32_t>(result));
    EXPECT_EQ(run_json(root, "/6996", set).out, answer);
  }
  const CameraOsd sent = record_of<CameraOsd>(sim.messages(kReqSetCameraOsd).at(0));
  EXPECT_EQ(std::string(sent.text_name), std::string(255, 't'));
  EXPECT_EQ(sent.type, 6);
  EXPECT_EQ(sent.fontSize, 4);
  EXPECT_EQ(sent.textpos_sub, 0);
  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/6996", R"({"ch":3,"enable_text":1,"text_name":"x"})").out, kRefused);
  EXPECT_TRUE(sim.messages(kReqSetCameraOsd).empty());
}

TEST(VideoOsd, PrivacyMasks) {
  DeviceRoot root;
  CoreSim sim(root);
  // "/6019": at most 28 areas, channels outside 0..63 leave the text alone.
  std::string areas;
  for (int i = 0; i < 30; ++i)
    areas += (i ? "," : "") + std::string(R"({"area_id":)") + std::to_string(i) +
             R"(,"enable":1,"start_x":)" + std::to_string(i * 2) + R"(,"name":")" +
             std::string(70, 'a') + "\"}";
  const std::string request = R"({"cnt":3,"chnid":[1,70,4],"enable":1,"num":20,"mosaicNum":10,)"
                              R"("areaMaskEnable":1,"delMask":4294967297,"area":[)" +
                              areas + "]}";
  ASSERT_EQ(run_json(root, "/6019", request).out, kOk);
  const auto sent = sim.messages(kReqSetPrivacyMasks);
  ASSERT_EQ(sent.size(), 1u);
  const PrivacyMaskSet set = record_of<PrivacyMaskSet>(sent[0]);
  std::string expected_channels(64, '0');
  expected_channels[1] = expected_channels[4] = '1';
  EXPECT_EQ(std::string(set.channels, 64), expected_channels);
  EXPECT_EQ(set.mask.area[27].start_x, 54);
  EXPECT_EQ(std::string(set.mask.area[27].name), std::string(63, 'a'));
  EXPECT_EQ(set.mask.areaEnable, 1);
  EXPECT_EQ(set.mask.delMask, 4294967297LL);
  for (const char* bad : {R"({"cnt":1,"chnid":[1]})", R"({"area":[],"chnid":[1]})", "7"})
    EXPECT_EQ(run_json(root, "/6019", bad).out, kRefused) << bad;

  // "/6115": every area 460 x 260, the camera's count bounded by the record.
  CameraPrivacyMask mask{};
  mask.id = 2;
  mask.maxMaskSum = 1000;
  mask.area[27].start_x = 77;
  mask.area[0] = {3, 1, 10, 20, 30, 40, 2, 5, "m"};
  sim.clear(kReqCameraPrivacyMasks)
      .reply(kReqCameraPrivacyMasks, kReplyCameraPrivacyMasks, CoreSim::bytes(mask));
  const std::string answer = run_json(root, "/6115", R"({"id":2})").out;
  EXPECT_TRUE(contains(answer, R"({ "area_id": 3, "enable": 1, "start_x": 10, "start_y": 20, )"
                               R"("area_width": 30, "area_height": 40, "width": 460, )"
                               R"("height": 260, "fill_color": 2, "left": 10, "top": 20, )"
                               R"("right": 30, "bottom": 40, "ratio": 5, "name": "m" })"))
      << answer;
  EXPECT_TRUE(contains(answer, R"("start_x": 77)"));
  size_t shown = 0;
  for (size_t at = answer.find("\"width\": 460"); at != std::string::npos;
       at = answer.find("\"width\": 460", at + 1))
    ++shown;
  EXPECT_EQ(shown, 28u);
  mask.maxMaskSum = -3;
  sim.clear(kReqCameraPrivacyMasks)
      .reply(kReqCameraPrivacyMasks, kReplyCameraPrivacyMasks, CoreSim::bytes(mask));
  EXPECT_TRUE(contains(run_json(root, "/6115", R"({"id":2})").out, R"("area": [ ])"));
  sim.clear(kReqCameraPrivacyMasks)
      .reply(kReqCameraPrivacyMasks, kReplyCameraPrivacyMasks, std::string(100, '\0'));
  EXPECT_EQ(run_json(root, "/6115", R"({"id":2})").out, kTextError);

  // "/6116" and "/6198": one int32 each.
  sim.clear(kReqCameraModelType)
      .reply(kReqCameraModelType, kReplyCameraModelType, CoreSim::bytes<int32_t>(3));
  EXPECT_EQ(run_json(root, "/6116", R"({"id":2})").out, kJsonHeader + R"({ "result": 3 })");
  sim.clear(kReqPrivacyEdit).reply(kReqPrivacyEdit, kReplyPrivacyEdit, CoreSim::bytes<int32_t>(-1));
  EXPECT_EQ(run_json(root, "/6198", R"({"chnid":2,"maskid":6})").out,
            kJsonHeader + R"({ "res": -1 })");
  EXPECT_EQ(record_of<PrivacyAreaRef>(sim.messages(kReqPrivacyEdit).at(0)).area, 6);
  sim.clear(kReqPrivacyEdit).never(kReqPrivacyEdit);
  EXPECT_EQ(run_json(root, "/6198", R"({"chnid":2})", kFastScale.c_str()).out, kJsonError);

  // "/6173": bounded ids, else the JSON error.
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6173", R"({"chan_id":63,"area_id":24})").out, kOk);
  expect_one_notice(sim, kReqDeletePrivacyArea, CoreSim::bytes(PrivacyAreaRef{63, 24}));
  for (const char* bad :
       {R"({"chan_id":64,"area_id":1})", R"({"chan_id":1,"area_id":25})", R"({"chan_id":1})", "x"})
    EXPECT_EQ(run_json(root, "/6173", bad).out, kJsonError) << bad;

  // "/6018": the stored records, 24 areas each.
  PrivacyMask stored{};
  stored.chnid = 7;
  stored.areas[23] = {23, 1, 5, 6, 7, 8, 460, 260, 9, {}};
  ASSERT_EQ(write_privacy_mask(db_of(root).c_str(), &stored), 0);
  const std::string list = run_json(root, "/6018", "").out;
  EXPECT_TRUE(contains(list, R"({ "area_id": 23, "enable": 1, "start_x": 5, "start_y": 6, )"
                             R"("area_width": 7, "area_height": 8, "width": 460, "height": 260, )"
                             R"("fill_color": 9 } ] } ])"))
      << list;
}

TEST(VideoOsd, Exceptions) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string first = exception_name(0);
  ASSERT_FALSE(first.empty());
  const std::string request = R"({"exception":[1,2,3,4,5,6,7,8],"recordFailedMailInterval":30,)"
                              R"("httpParams":{")" +
                              first + R"(":{"url":")" + std::string(600, 'u') +
                              R"(","username":"me","password":"pw"}}})";
  ASSERT_EQ(run_json(root, "/6998", request).out, kJsonHeader + R"({"status":"CGI SUCCESS"})");
  EXPECT_EQ(sim.messages(kReqExceptionsChanged).size(), 1u);
  EXPECT_EQ(sim.messages(kReqExceptionHttpChanged).size(), 1u);
  TriggerAlarms alarms{};
  ASSERT_EQ(read_trigger_alarms(db_of(root).c_str(), &alarms), 0);
  EXPECT_EQ(alarms.exception[7], 8);
  EXPECT_EQ(alarms.exception[8], 0);
  EXPECT_EQ(alarms.exception[11], 0);
  EXPECT_EQ(alarms.recordFailedMailInterval, 30);
  HttpNotifyParam entries[kExceptionNames] = {};
  int count = 0;
  read_http_notification_params_init(db_of(root).c_str(), kExceptionHttpTable, entries,
                                     kExceptionNames, &count);
  ASSERT_EQ(count, kExceptionNames);
  EXPECT_EQ(entries[0].chnId, 0);
  EXPECT_EQ(std::string(entries[0].url), std::string(512, 'u'));
  for (int i = 1; i < kExceptionNames; ++i) EXPECT_EQ(entries[i].chnId, -1) << i;

  const std::string answer = run_json(root, "/6999", "").out;
  EXPECT_TRUE(contains(answer, "\"" + first + R"(": { "url": ")" + std::string(512, 'u') +
                                   R"(", "username": "me", "password": "pw" })"))
      << answer;
  EXPECT_TRUE(contains(answer, R"("exception": [ 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0 ], )"
                               R"("recordFailedMailInterval": 30 })"));
  for (int id = 0; id < kExceptionNames; ++id) {
    if (exception_name(id).empty()) continue;
    EXPECT_TRUE(contains(answer, "\"" + exception_name(id) + "\"")) << id;
  }

  // Without httpParams only the settings change; too short an array changes nothing.
  sim.clear_messages();
  ASSERT_EQ(run_json(root, "/6998", R"({"exception":[0,0,0,0,0,0,0,0,0,0,0,0,9]})").out,
            kJsonHeader + R"({"status":"CGI SUCCESS"})");
  EXPECT_TRUE(sim.messages(kReqExceptionHttpChanged).empty());
  for (const char* bad : {R"({"exception":[1,2,3,4,5,6,7]})", R"({"exception":5})", "{}", ""})
    EXPECT_EQ(run_json(root, "/6998", bad).out, kRefused) << bad;
  read_trigger_alarms(db_of(root).c_str(), &alarms);
  EXPECT_EQ(alarms.exception[0], 0);
  EXPECT_EQ(alarms.recordFailedMailInterval, 0);
}

TEST(VideoOsd, CameraSideAlarms) {
  DeviceRoot root;
  CoreSim sim(root);
  std::string channels(40, '0');
  channels[33] = '1';
  ASSERT_EQ(run_json(root, "/6091",
                     R"({"camId":4,"enable":1,"type":2,"triActions":12,"triChannels":")" +
                         channels + "\"}")
                .out,
            kOk);
  expect_one_notice(sim, kReqSetCameraIo, CoreSim::bytes(CameraIoSet{4, 1, 2}));
  expect_one_log(sim, 204, 923, 5);
  CameraAlarm io{};
  ASSERT_EQ(db_read(db_of(root).c_str(), kCameraIoRecord, &io, 4), 0);
  EXPECT_EQ(io.tri_channel_mask, uint64_t{1} << 33);
  EXPECT_EQ(io.triActions, 12);
  // The simulated recorder answers what it was told, with the stored triggers.
  EXPECT_EQ(run_json(root, "/6090", "4", nullptr, "GET").out,
            kJsonHeader +
                R"({ "camId": 4, "enable": 1, "type": 2, "triActions": 12, )"
                R"("triChannels": ")" +
                channels + "\" }");

  sim.clear_messages();
  const std::string volume = R"({"camId":63,"enable":0,"type":1,"volume":70,"duration":3,)"
                             R"("onEvent":1,"offEvent":2,"ongoingEvent":3,"triActions":1,)"
                             R"("triChannels":"1"})";
  ASSERT_EQ(run_json(root, "/6093", volume).out, kOk);
  expect_one_notice(sim, kReqSetVolumeDetect,
                    CoreSim::bytes(VolumeDetectSet{63, 0, 1, 70, 3, 1, 2, 3}));
  expect_one_log(sim, 204, 924, 64);
  EXPECT_EQ(run_json(root, "/6092", "63", nullptr, "GET").out,
            kJsonHeader + R"({ "camId": 63, "enable": 0, "type": 1, "volume": 70, )"
                          R"("duration": 3, "onEvent": 1, "offEvent": 2, "ongoingEvent": 3, )"
                          R"("triActions": 1, "triChannels": "1" })");

  sim.clear_messages();
  for (const char* bad : {R"({"camId":64,"enable":1,"type":2,"triActions":1,"triChannels":""})",
                          R"({"camId":4,"enable":2,"type":2,"triActions":1,"triChannels":""})",
                          R"({"camId":4,"enable":1,"type":-1,"triActions":1,"triChannels":""})",
                          R"({"camId":4,"enable":1,"type":2,"triChannels":""})"})
    EXPECT_EQ(run_json(root, "/6091", bad).out, kRefused) << bad;
  std::string negative = volume;
  negative.replace(negative.find(R"("duration":3)"), 12, R"("duration":-3)");
  EXPECT_EQ(run_json(root, "/6093", negative).out, kRefused);
  EXPECT_EQ(run_json(root, "/6090", "64", nullptr, "GET").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
  sim.clear(kReqCameraIo).never(kReqCameraIo);
  EXPECT_EQ(run_json(root, "/6090", "4", kFastScale.c_str(), "GET").out, kJsonError);
}

}  // namespace
}  // namespace nvr::test
