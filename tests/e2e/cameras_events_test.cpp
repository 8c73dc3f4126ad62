// The camera events kept on the recorder end to end: effective schedules,
// people counting, POS, the report auto backup and the face configuration.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/json.h"
#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"
#include "platform/qvdb.h"
#include "platform/qvdb_schedule.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";
const std::string kOk = kTextHeader + "OK";
const std::string kResZero = kJsonHeader + R"({ "res": 0 })";

// A day list of 8 days whose first day holds one slot.
std::string one_slot_schedule(const char* start, const char* end, int type) {
  std::string days =
      "[[[\"" + std::string(start) + "\",\"" + end + "\"," + std::to_string(type) + "]]";
  for (int d = 1; d < 8; ++d) days += ",[]";
  return days + "]";
}

class CameraEventsTest : public ::testing::Test {
 protected:
  CgiResult post(const std::string& route, const std::string& body) {
    return run_json(root, route, body, kFastScale.c_str());
  }
  Json answer_of(const CgiResult& result) {
    EXPECT_EQ(result.out.rfind(kJsonHeader, 0), 0u) << result.out;
    return json_parse(result.out.substr(std::min(result.out.size(), kJsonHeader.size())));
  }
  ScheduleBlock schedule(const char* table, int64_t key) {
    ScheduleBlock block{};
    EXPECT_EQ(db_read_schedule(db_of(root).c_str(), table, key, &block), 0) << table;
    return block;
  }
  bool has_schedule(const char* table, int64_t key) {
    ScheduleBlock block{};
    return db_read_schedule(db_of(root).c_str(), table, key, &block) == 0;
  }
  DeviceRoot root;
  CoreSim sim{root};
};

TEST_F(CameraEventsTest, EffectiveSchedulesReadEmptySlotsAndWriteTheKindRange) {
  const char* kinds[] = {
      "schedule_motion",          "schedule_region_entrance",  "schedule_region_exit",
      "schedule_advanced_motion", "schedule_tamper_detection", "schedule_line_crossing",
      "schedule_loitering",       "schedule_human_detection",  "schedule_people_counting"};
  Json empty = answer_of(post("/2035", R"({"channel":4})"));
  for (const char* kind : kinds) {
    json_object* days = json_get(empty.get(), kind);
    ASSERT_EQ(json_array_size(days), 8u) << kind;
    for (size_t d = 0; d < 8; ++d) {
      json_object* day = json_at(days, d);
      ASSERT_EQ(json_array_size(day), 12u);
      for (size_t s = 0; s < 12; ++s) {
        json_object* slot = json_at(day, s);
        EXPECT_STREQ(json_string(slot, "startTime"), "00:00");
        EXPECT_STREQ(json_string(slot, "endTime"), "00:00");
        EXPECT_EQ(json_int_or(slot, "actionType", -1), 0);
      }
    }
  }

  // start after end: nothing written, still "OK".
  const std::string motion = one_slot_schedule("08:00", "18:00", 1);
  EXPECT_EQ(
      post("/2036", R"({"channel":4,"start":3,"end":1,"schedule_advanced_motion":)" + motion + "}")
          .out,
      kOk);
  EXPECT_FALSE(has_schedule("vca_event2_effective_schedule", 4));

  // Kinds outside 0..8 are skipped; a kind without its array keeps what it has.
  const std::string body = R"({"channel":4,"start":-3,"end":40,"schedule_motion":)" + motion +
                           R"(,"schedule_people_counting":)" +
                           one_slot_schedule("01:00", "02:30", 2) + "}";
  EXPECT_EQ(post("/2036", body).out, kOk);
  EXPECT_STREQ(schedule("motion_effective_schedule", 4).days[0].slots[0].endTime, "18:00");
  EXPECT_EQ(schedule("vca_event7_effective_schedule", 4).days[0].slots[0].actionType, 2);
  EXPECT_FALSE(has_schedule("vca_event0_effective_schedule", 4));
  EXPECT_FALSE(has_schedule("motion_effective_schedule", 5));

  Json stored = answer_of(post("/2035", R"({"channel":4})"));
  json_object* slot = json_at(json_at(json_get(stored.get(), "schedule_people_counting"), 0), 0);
  EXPECT_STREQ(json_string(slot, "startTime"), "01:00");
  EXPECT_STREQ(json_string(slot, "endTime"), "02:30");
  slot = json_at(json_at(json_get(stored.get(), "schedule_people_counting"), 0), 1);
  EXPECT_STREQ(json_string(slot, "startTime"), "00:00");

  // The smart-event dialog shows what was set here: one store for both pages.
  EXPECT_EQ(
      post("/2036", R"({"channel":4,"start":5,"end":5,"schedule_line_crossing":)" + motion + "}")
          .out,
      kOk);
  Json dialog = answer_of(post("/6148", R"({"chnid":4,"event":4})"));
  json_object* effective = json_get(json_at(json_get(dialog.get(), "action"), 0), "effective");
  EXPECT_STREQ(json_string(json_at(json_at(effective, 0), 0), "endTime"), "18:00");

  // Channels outside 0..63 and unparsable data are not answered.
  for (const char* bad : {R"({"channel":64})", R"({"channel":-1})", "[1]", "channel=3"}) {
    EXPECT_EQ(post("/2035", bad).out, kRefused) << bad;
    EXPECT_EQ(post("/2036", bad).out, kRefused) << bad;
  }
  EXPECT_TRUE(sim.messages().empty());
}

TEST_F(CameraEventsTest, PeopleCountingGroupsAndActions) {
  const std::string long_name(80, 'n');
  const std::string groups = R"({"groups":[{"groupid":7,"enable":1,"stays":30,"name":")" +
                             long_name +
                             R"(","tri_channels":"0101","liveview_red_tips":"Full"},)"
                             R"({"enable":1,"auto_day_time":"03:00"}]})";
  EXPECT_EQ(post("/2067", groups).out, kResZero);
  const auto told = sim.messages(kReqPeoplecntSettings);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].payload, CoreSim::bytes(ResultWord{0}));

  PeoplecntSetting stored{};
  ASSERT_EQ(db_read(db_of(root).c_str(), kPeoplecntSettingRecord, &stored, 0), 0);
  EXPECT_EQ(stored.groupid, 0);  // element 0 is group 0 whatever it names
  EXPECT_EQ(stored.stays, 30);
  EXPECT_EQ(std::string(stored.name), long_name.substr(0, 63));
  EXPECT_STREQ(stored.liveview_red_tips, "Full");

  Json read = answer_of(post("/2066", "{}"));
  json_object* list = json_get(read.get(), "groups");
  ASSERT_EQ(json_array_size(list), 9u);
  EXPECT_EQ(json_int_or(json_at(list, 8), "groupid", -1), 8);
  EXPECT_STREQ(json_string(json_at(list, 1), "auto_day_time"), "03:00");
  EXPECT_EQ(json_get(json_at(list, 0), "dialog"), nullptr);

  // Actions: "effective" in a request is not the audible schedule's to change.
  const std::string action =
      R"({"groupid":2,"interval":15,"tri_channels_pic":"11","triChnAlarms":["1","01"],)"
      R"("audible":)" +
      one_slot_schedule("06:00", "07:00", 1) + R"(,"effective":)" +
      one_slot_schedule("00:00", "23:59", 1) +
      R"(,"whiteInfo":[{"chnid":3,"mode":1,"time":20}],)"
      R"("ptzParams":[{"acto_ptz_channel":2,"acto_ptz_type":1,"acto_ptz_preset":4}]})";
  EXPECT_EQ(post("/2070", action).out, kResZero);
  const auto changed = sim.messages(kReqPeoplecntAction);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].payload, CoreSim::bytes(PeoplecntActionNotice{2, 0}));

  Json object = answer_of(post("/2069", R"({"groupid":2})"));
  std::string keys;
  json_object_object_foreach(object.get(), key, value) {
    (void)value;
    keys += std::string(key) + ",";
  }
  EXPECT_EQ(keys,
            "chnid,triAlarms,interval,email_interval,email_pic_enable,tri_channels_pic,"
            "ptz_interval,alarmout_interval,white_interval,effective,audible,email,ptz,"
            "triChnAlarms,white,whiteInfo,audioId,audioIdMask,");
  EXPECT_EQ(json_int_or(object.get(), "chnid", -1), 2);
  EXPECT_EQ(json_int_or(object.get(), "interval", -1), 15);
  EXPECT_STREQ(json_string(object.get(), "tri_channels_pic"), "11");
  EXPECT_STREQ(json_object_to_json_string(json_get(object.get(), "triChnAlarms")),
               R"([ "1", "01" ])");
  json_object* effective = json_at(json_at(json_get(object.get(), "effective"), 0), 0);
  EXPECT_STREQ(json_string(effective, "startTime"), "06:00");  // the audible schedule
  EXPECT_EQ(json_int_or(json_at(json_get(object.get(), "whiteInfo"), 0), "time", -1), 20);

  // The dialog form of the group list adds the PTZ actions.
  Json dialog = answer_of(post("/2066", R"({"action":1})"));
  json_object* group2 = json_get(json_at(json_get(dialog.get(), "groups"), 2), "dialog");
  json_object* ptz = json_get(group2, "ptzParams");
  ASSERT_EQ(json_array_size(ptz), 1u);
  EXPECT_EQ(json_int_or(json_at(ptz, 0), "acto_ptz_preset", -1), 4);

  // Refusals and silence.
  for (const char* bad : {R"({"groupid":9})", R"({"groupid":-1})", "groupid", R"({})"}) {
    EXPECT_EQ(post("/2069", bad).out, kJsonError) << bad;
    EXPECT_EQ(post("/2070", bad).out, kJsonError) << bad;
  }
  EXPECT_EQ(post("/2066", "not json").out, kJsonError);
  EXPECT_EQ(post("/2067", R"({"groups":3})").out, kJsonError);
  sim.never(kReqPeoplecntSettings).never(kReqPeoplecntAction);
  EXPECT_EQ(post("/2067", R"({"groups":[]})").out, kJsonError);
  EXPECT_EQ(post("/2070", R"({"groupid":1})").out, kJsonError);
}

TEST_F(CameraEventsTest, PosSettingsAndActions) {
  const std::string body =
      R"({"id":3,"pos":{"id":6,"enable":1,"name":"Till 3","ip":"192.0.2.77","port":9100,)"
      R"("nvrPort":5000,"clearTime":12,"privacy1":"card"},)"
      R"("action":{"interval":20,"triChannels":"1001","triAlarms":2,)"
      R"("effective":)" +
      one_slot_schedule("09:00", "17:00", 1) +
      R"(,"httpParams":{"url":"http://192.0.2.9/pos","username":"u","password":"p"},)"
      R"("ptzParams":[{"acto_ptz_channel":1,"acto_ptz_type":2,"acto_ptz_patrol":3}]}})";
  EXPECT_EQ(post("/2074", body).out, kResZero);
  const auto told = sim.messages(kReqPosChanged);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].payload, CoreSim::bytes(ChannelWord{3}));

  PosSetting device{};
  ASSERT_EQ(read_pos_setting(db_of(root).c_str(), &device, 3), 0);
  EXPECT_EQ(device.id, 3);
  EXPECT_STREQ(device.ip, "192.0.2.77");
  EXPECT_EQ(device.nvrPort, 5000);
  ActionEvent event{};
  ASSERT_EQ(db_read(db_of(root).c_str(), kActionEventRecord, &event, 3), 0);
  const uint64_t mask = event.tri_channel_mask;  // packed: read by value
  EXPECT_EQ(mask, 0x9u);
  EXPECT_EQ(event.interval, 20);
  EXPECT_STREQ(schedule("pos_effective_schedule", 3).days[0].slots[0].startTime, "09:00");

  Json read = answer_of(post("/2073", R"({"id":3})"));
  json_object* list = json_get(read.get(), "pos");
  ASSERT_EQ(json_array_size(list), 8u);
  std::string keys;
  json_object_object_foreach(json_at(list, 3), key, value) {
    (void)value;
    keys += std::string(key) + ",";
  }
  EXPECT_EQ(keys,
            "id,enable,name,protocol,connectionMode,ip,liveviewDisplay,displayChannel,startX,"
            "startY,areaWidth,areaHeight,characterEncodeing,fontSize,fontColor,overlayMode,"
            "displayTime,timeout,privacy1,privacy2,privacy3,port,nvrPort,clearTime,");
  EXPECT_EQ(json_int_or(json_at(list, 5), "id", -1), 5);
  json_object* action = json_get(read.get(), "action");
  keys.clear();
  json_object_object_foreach(action, key2, value2) {
    (void)value2;
    keys += std::string(key2) + ",";
  }
  EXPECT_EQ(keys,
            "effective,audible,interval,audioId,email,email_interval,email_pic_enable,"
            "tri_channels_pic,ptz,ptz_interval,ptzParams,white,whiteInfo,white_interval,"
            "httpSche,httpParams,http_notification_interval,triChnAlarms,alarmout_interval,"
            "triAlarms,triChannels,");
  EXPECT_STREQ(json_string(json_get(action, "httpParams"), "url"), "http://192.0.2.9/pos");
  EXPECT_EQ(json_int_or(json_at(json_get(action, "ptzParams"), 0), "acto_ptz_patrol", -1), 3);
  EXPECT_STREQ(json_string(action, "triChannels"), "1001");

  for (const char* bad : {R"({"id":8})", R"({"id":-1})", "[]"}) {
    EXPECT_EQ(post("/2073", bad).out, kJsonError) << bad;
    EXPECT_EQ(post("/2074", bad).out, kJsonError) << bad;
  }
  sim.never(kReqPosChanged);
  EXPECT_EQ(post("/2074", R"({"id":0})").out, kJsonError);
}

TEST_F(CameraEventsTest, ReportAutoBackupReadsFourAndWritesAtMostFour) {
  Json empty = answer_of(post("/2075", ""));
  ASSERT_EQ(json_array_size(json_get(empty.get(), "report")), 4u);
  EXPECT_EQ(json_int_or(empty.get(), "email", 0), 1);
  EXPECT_EQ(json_int_or(json_at(json_get(empty.get(), "report"), 3), "reportType", -1), 3);

  std::string body = R"({"report":[{"enable":1,"triChannels":"0011","triGroups":"101",)"
                     R"("backupTime":"23:30","backupTo":2,"lineMask":5},{},{},{},)"
                     R"({"reportType":4,"enable":1}]})";
  EXPECT_EQ(post("/2076", body).out, kResZero);
  ASSERT_EQ(sim.messages(kReqReportBackup).size(), 1u);
  Json read = answer_of(post("/2075", ""));
  json_object* first = json_at(json_get(read.get(), "report"), 0);
  EXPECT_STREQ(json_string(first, "backupTime"), "23:30");
  EXPECT_EQ(json_int_or(first, "lineMask", -1), 5);
  ReportBackup fifth{};
  EXPECT_NE(db_read(db_of(root).c_str(), kReportBackupRecord, &fifth, 4), 0);

  EXPECT_EQ(post("/2076", "report").out, kJsonError);
  sim.never(kReqReportBackup);
  EXPECT_EQ(post("/2076", R"({"report":[]})").out, kJsonError);
}

TEST_F(CameraEventsTest, FaceConfigStoresActionsTellsTheEventAndSendsTheCameraRecord) {
  const std::string body =
      R"({"chnId":6,"enable":1,"width":640,"minPixel":40,"blurLimit":3,)"
      R"("detection_polygonX":[1,2,3],"detection_polygonY":[4,5,6],"httpEnable":1,)"
      R"("httpUrl":"http://192.0.2.5/face","httpPassword":"secret","shield":1,)"
      R"("captureModeArray":[1,0,1],"captureQuality":2,)"
      R"("action":{"interval":9,"audible":)" +
      one_slot_schedule("10:00", "11:00", 1) + "}}";
  EXPECT_EQ(post("/2077", body).out, kJsonHeader + R"({ "status": 0 })");
  expect_one_notice(sim, kReqFaceEvent, CoreSim::bytes(ChannelWord{6}));
  const auto sent = sim.messages(kReqFaceConfig);
  ASSERT_EQ(sent.size(), 1u);
  const FaceConfig config = record_of<FaceConfig>(sent[0]);
  EXPECT_EQ(config.chnId, 6);
  EXPECT_EQ(config.width, 640);
  EXPECT_EQ(config.height, 0);
  EXPECT_EQ(config.blurLimit, 3);
  EXPECT_EQ(config.detection_polygonY[2], 6);
  EXPECT_EQ(config.detection_polygonY[3], 0);
  EXPECT_STREQ(config.httpUrl, "http://192.0.2.5/face");
  EXPECT_STREQ(config.httpPassword, "secret");
  EXPECT_EQ(config.shield, 1);
  EXPECT_EQ(config.captureModeArray[2], 1);
  EXPECT_EQ(config.captureQuality, 2);

  ActionEvent event{};
  ASSERT_EQ(db_read(db_of(root).c_str(), kActionEventRecord, &event, 6, "face_event"), 0);
  EXPECT_EQ(event.interval, 9);
  EXPECT_STREQ(schedule("face_audible_schedule", 6).days[0].slots[0].startTime, "10:00");

  for (const char* bad : {R"({"chnId":64})", R"({"enable":1})", "x"})
    EXPECT_EQ(post("/2077", bad).out, kJsonError) << bad;
  sim.never(kReqFaceConfig);
  EXPECT_EQ(post("/2077", R"({"chnId":1})").out, kJsonError);
}

}  // namespace
}  // namespace nvr::test
