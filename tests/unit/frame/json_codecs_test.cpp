// Shared JSON codecs: the exact shapes built and read, and their edges.
#include "frame/json_codecs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "frame/json.h"
#include "platform/device_path.h"
#include "tests/unit/platform/qvdb_test_util.h"

namespace {

std::unique_ptr<ScheduleBlock> zero_block() {
  auto block = std::make_unique<ScheduleBlock>();
  memset(block.get(), 0, sizeof *block);
  return block;
}

nvr::Json parse(const std::string& text) {
  nvr::Json json = nvr::json_parse(text);
  EXPECT_TRUE(json) << text;
  return json;
}

// ---- schedules -----------------------------------------------------------------

TEST(ScheduleCodec, BuildsEightDaysOfTwelveSlotObjects) {
  auto block = zero_block();
  strcpy(block->days[1].slots[0].startTime, "08:00");
  strcpy(block->days[1].slots[0].endTime, "18:00");
  block->days[1].slots[0].actionType = 2;
  strcpy(block->days[1].slots[20].startTime, "99:99");  // beyond slot 11: not in JSON
  for (auto build : {get_schedule_json_object, get_schedule_json_object_ex}) {
    nvr::Json json = build(block.get());
    ASSERT_EQ(nvr::json_array_size(json.get()), 8u);
    for (size_t d = 0; d < 8; ++d)
      EXPECT_EQ(nvr::json_array_size(nvr::json_at(json.get(), d)), 12u);
    EXPECT_STREQ(nvr::json_text(nvr::json_at(nvr::json_at(json.get(), 1), 0)),
                 R"({ "startTime": "08:00", "endTime": "18:00", "actionType": 2 })");
    EXPECT_STREQ(nvr::json_text(nvr::json_at(nvr::json_at(json.get(), 7), 11)),
                 R"({ "startTime": "", "endTime": "", "actionType": 0 })");
  }
}

TEST(ScheduleCodec, IpcFormHasNoActionAndBlanksInvalidDays) {
  auto block = zero_block();
  strcpy(block->days[0].slots[0].startTime, "01:00");
  strcpy(block->days[0].slots[0].endTime, "02:00");
  strcpy(block->days[2].slots[3].startTime, "03:00");
  block->days[2].valid = 1;
  nvr::Json json = get_schedule_json_object_ipc(block.get());
  ASSERT_EQ(nvr::json_array_size(json.get()), 8u);
  EXPECT_STREQ(nvr::json_text(nvr::json_at(nvr::json_at(json.get(), 0), 0)),
               R"({ "startTime": "", "endTime": "" })");  // day 0 not valid
  EXPECT_STREQ(nvr::json_text(nvr::json_at(nvr::json_at(json.get(), 2), 3)),
               R"({ "startTime": "03:00", "endTime": "" })");
  EXPECT_EQ(nvr::json_array_size(nvr::json_at(json.get(), 7)), 12u);
}

TEST(ScheduleCodec, ReadsArraysClearsBlockAndCutsTexts) {
  std::string long_text(40, 'x');
  nvr::Json request = parse(R"({"effective": [[["00:00", "12:00", 1], ["12:00", ")" + long_text +
                            R"(", 2]], [], [[5, null, "3"]]]})");
  auto block = zero_block();
  memset(block.get(), 0x41, sizeof *block);
  ASSERT_EQ(get_schedule_by_json(request.get(), "effective", block.get()), 0);
  EXPECT_STREQ(block->days[0].slots[0].startTime, "00:00");
  EXPECT_EQ(block->days[0].slots[0].actionType, 1);
  EXPECT_EQ(std::string(block->days[0].slots[1].endTime), std::string(31, 'x'));
  EXPECT_EQ(block->days[0].slots[1].actionType, 2);
  EXPECT_STREQ(block->days[2].slots[0].startTime, "");  // wrong types read empty / 0
  EXPECT_EQ(block->days[2].slots[0].actionType, 0);
  EXPECT_EQ(block->days[7].slots[47].startTime[0], '\0');  // whole block cleared
  EXPECT_EQ(block->days[0].valid, 0);

  auto untouched = zero_block();
  strcpy(untouched->days[0].slots[0].startTime, "keep");
  EXPECT_EQ(get_schedule_by_json(request.get(), "audible", untouched.get()), -1);
  EXPECT_EQ(get_schedule_by_json_ex(nullptr, "effective", untouched.get()), -1);
  EXPECT_STREQ(untouched->days[0].slots[0].startTime, "keep");
}

TEST(ScheduleCodec, IpcReadTakesSevenDaysOfTenSlotsAndMarksThemValid) {
  std::string days = "[";
  for (int d = 0; d < 8; ++d) {
    days += d ? ",[" : "[";
    for (int s = 0; s < 12; ++s)
      days += (s ? "," : "") + std::string(R"([")") + std::to_string(d) + ":" + std::to_string(s) +
              R"(", "e", 9])";
    days += "]";
  }
  days += "]";
  nvr::Json request = parse(R"({"sche": )" + days + "}");
  auto block = zero_block();
  ASSERT_EQ(get_schedule_by_json_ipc(request.get(), "sche", block.get()), 0);
  EXPECT_STREQ(block->days[6].slots[9].startTime, "6:9");
  EXPECT_STREQ(block->days[6].slots[10].startTime, "");
  EXPECT_STREQ(block->days[7].slots[0].startTime, "");
  EXPECT_EQ(block->days[0].slots[0].actionType, 0);
  for (int d = 0; d < 7; ++d) EXPECT_EQ(block->days[d].valid, 1);
  EXPECT_EQ(block->days[7].valid, 0);
}

// ---- copy set, alarm outputs ---------------------------------------------------------

TEST(CopySetCodec, CountedIntegersZeroToSixtyThree) {
  auto mask = [](const std::string& text) {
    nvr::Json json = parse(text);
    return get_copy_flag_by_json(json.get(), "copyChn", "copyCnt");
  };
  EXPECT_EQ(mask(R"({"copyChn": [0, 63, 64], "copyCnt": 3})"), 1 | (uint64_t{1} << 63));
  EXPECT_EQ(mask(R"({"copyChn": [1, 2, 3], "copyCnt": 2})"), 0b110u);
  EXPECT_EQ(mask(R"({"copyChn": [1, "2", -1, 4.0], "copyCnt": 9})"), 0b10u);
  EXPECT_EQ(mask(R"({"copyChn": [1, 2]})"), 0u);
  EXPECT_EQ(mask(R"({"copyChn": [1, 2], "copyCnt": 0})"), 0u);
  EXPECT_EQ(mask(R"({"copyChn": [1, 2], "copyCnt": -4})"), 0u);
  EXPECT_EQ(get_copy_flag_by_json(nullptr, "a", "b"), 0u);
}

TEST(AlarmOutCodec, TwoTextsBothWays) {
  EXPECT_STREQ(nvr::json_text(get_event_chn_alarmout_object("101", "")), R"([ "101", "" ])");
  std::string long_text(70, '1');
  nvr::Json request = parse(R"({"triChnAlarms": [")" + long_text + R"("]})");
  AlarmOutEntry entries[2] = {};
  strcpy(entries[1].list, "kept");
  ASSERT_EQ(get_event_chn_alarmout_by_object(5, request.get(), "triChnAlarms", entries), 0);
  EXPECT_EQ(entries[0].index, 5);
  EXPECT_EQ(entries[0].entry, 0);
  EXPECT_EQ(std::string(entries[0].list), std::string(64, '1'));
  EXPECT_STREQ(entries[1].list, "kept");  // no second element
  EXPECT_EQ(get_event_chn_alarmout_by_object(5, request.get(), "other", entries), -1);
}

// ---- action parameters (stored in the process root's qvdb.db) -------------------------

class ActionCodec : public ::testing::Test {
 protected:
  void TearDown() override { qvdb_close_all(); }
};

TEST_F(ActionCodec, WhiteLedObjectAndArrayFormsRoundTrip) {
  if (!qvdb_test::fresh_qvdb()) return;  // ran in a child with a private root
  const char* table = "motion_white_led_params";
  nvr::Json objects =
      parse(R"({"whiteInfo": [{"chnid": 3, "mode": 1, "time": 30}, {"time": 5, "chnid": 4}]})");
  nvr::Json arrays = parse(R"({"whiteInfo": [[3, 1, 30], [4, 0, 5]]})");
  for (json_object* request : {objects.get(), arrays.get()}) {
    WhiteLedParams params;
    memset(&params, 0x7f, sizeof params);
    ASSERT_EQ(get_white_params_by_json(40, &params, request, "whiteInfo"), 0);
    EXPECT_EQ(params.entries[0].index, 40);
    EXPECT_EQ(params.entries[1].chnid, 4);
    EXPECT_EQ(params.entries[1].mode, 0);
    EXPECT_EQ(params.entries[1].time, 5);
    EXPECT_EQ(params.entries[2].chnid, 0);  // cleared
    DbTableQuery query = db_table_query(40, table);
    ASSERT_EQ(write_whiteled_params_all(nvr::qvdb_path(), &query, params.entries), 0);
    EXPECT_STREQ(
        nvr::json_text(get_white_params_json_object(40, table)),
        R"([ { "chnid": 3, "mode": 1, "time": 30 }, { "chnid": 4, "mode": 0, "time": 5 } ])");
  }
  EXPECT_STREQ(nvr::json_text(get_white_params_json_object(41, table)), "[ ]");
  WhiteLedParams params{};
  EXPECT_EQ(get_white_params_by_json(1, &params, objects.get(), "missing"), -1);
}

TEST_F(ActionCodec, PeopleCountingWhiteLedDoesNotClear) {
  if (!qvdb_test::fresh_qvdb()) return;  // ran in a child with a private root
  nvr::Json request = parse(R"({"whiteInfo": [[1, 2, 3]]})");
  WhiteLedParam entries[kActionParamEntries] = {};
  entries[1] = {0, 9, 9, 9};
  ASSERT_EQ(get_pcnt_white_params_by_json(2, entries, request.get(), "whiteInfo"), 0);
  EXPECT_EQ(entries[0].chnid, 1);
  EXPECT_EQ(entries[1].chnid, 9);
  ASSERT_EQ(write_peoplecnt_wled_params_all(nvr::qvdb_path(), 2, entries), 0);
  EXPECT_STREQ(nvr::json_text(get_pcnt_white_params_json_object(2)),
               R"([ { "chnid": 1, "mode": 2, "time": 3 }, { "chnid": 9, "mode": 9, "time": 9 } ])");
}

TEST_F(ActionCodec, WarningLightTwoValues) {
  if (!qvdb_test::fresh_qvdb()) return;  // ran in a child with a private root
  const char* table = "alarm_chnIn3_warning_light_params";
  nvr::Json request = parse(R"({"warningLightInfo": [[7, 60], [8, 0]]})");
  WarningLightParams params;
  memset(&params, 0x7f, sizeof params);
  ASSERT_EQ(get_warning_light_params_by_json(3, &params, request.get(), "warningLightInfo"), 0);
  EXPECT_EQ(params.entries[2].index, 0);  // whole area cleared
  DbTableQuery query = db_table_query(3, table);
  ASSERT_EQ(write_warning_light_params_all(nvr::qvdb_path(), &query, params.entries), 0);
  EXPECT_STREQ(nvr::json_text(get_warning_light_params_json_object(3, table)),
               R"([ { "chnid": 7, "time": 60 }, { "chnid": 8, "time": 0 } ])");
}

TEST_F(ActionCodec, HttpNotificationKeepsUrlVerbatimAndBounded) {
  if (!qvdb_test::fresh_qvdb()) return;  // ran in a child with a private root
  const char* table = "motion_http_notification_params";
  std::string url = "http://host/notify?x=%41%zz&a=b";
  nvr::Json request =
      parse(R"({"httpParams": {"url": ")" + url + R"(", "username": "u", "password": 5}})");
  HttpNotifyParam record;
  memset(&record, 0x41, sizeof record);
  ASSERT_EQ(get_http_params_by_json(12, &record, request.get(), "httpParams"), 0);
  EXPECT_EQ(record.chnId, 12);
  EXPECT_EQ(url, record.url);
  EXPECT_STREQ(record.password, "");
  DbTableQuery query = db_table_query(12, table);
  ASSERT_EQ(write_http_notification_params(nvr::qvdb_path(), &query, &record), 0);
  nvr::Json built = get_http_params_json_object(12, table);
  EXPECT_EQ(url, nvr::json_string(built.get(), "url"));
  EXPECT_EQ(nvr::json_int_or(built.get(), "chnId", -1), 12);

  std::string long_url(600, 'u');
  nvr::Json too_long = parse(R"({"h": {"url": ")" + long_url + R"("}})");
  ASSERT_EQ(get_http_params_by_json(1, &record, too_long.get(), "h"), 0);
  EXPECT_EQ(strlen(record.url), 512u);
  EXPECT_EQ(get_http_params_by_json(1, &record, too_long.get(), "x"), -1);
}

std::string ptz_list(int entries) {
  std::string text = "[";
  for (int i = 0; i < entries; ++i)
    text += (i ? "," : "") + std::string(R"({"acto_ptz_channel": )") + std::to_string(i + 1) +
            R"(, "acto_ptz_type": 1, "acto_ptz_preset": )" + std::to_string(i) +
            R"(, "acto_ptz_pattern": 4})";
  return text + "]";
}

TEST_F(ActionCodec, PtzListStoresAtMostSixtyFourAndBuildsFromOne) {
  if (!qvdb_test::fresh_qvdb()) return;  // ran in a child with a private root
  nvr::Json list = parse(ptz_list(70));
  PtzActionParam area[kPtzActionEntries];
  ASSERT_EQ(get_ptz_params_by_json(5, 1, list.get(), area), 0);
  EXPECT_EQ(area[63].acto_ptz_channel, 64);
  EXPECT_EQ(area[63].chn_id, 5);
  EXPECT_EQ(area[0].acto_ptz_pattern, 4);
  EXPECT_EQ(set_ptz_params_by_json(5, 1, list.get()), 1);

  nvr::Json built = get_ptz_params_json_object(1, 5);
  ASSERT_EQ(nvr::json_array_size(built.get()), 64u);
  EXPECT_STREQ(
      nvr::json_text(nvr::json_at(built.get(), 0)),
      R"({ "acto_ptz_channel": 1, "acto_ptz_type": 1, "acto_ptz_preset": 0, "acto_ptz_patrol": 0 })");
  EXPECT_EQ(nvr::json_array_size(get_ptz_params_json_object(2, 5).get()), 0u);  // other type

  // Empty entries (PTZ channel 0) are not listed; people counting keeps 16.
  nvr::Json mixed = parse(R"([{"acto_ptz_channel": 0}, {"acto_ptz_channel": 3}])");
  EXPECT_EQ(set_ptz_params_by_json(5, 1, mixed.get()), 1);
  EXPECT_STREQ(
      nvr::json_text(get_ptz_params_json_object(1, 5)),
      R"([ { "acto_ptz_channel": 3, "acto_ptz_type": 0, "acto_ptz_preset": 0, "acto_ptz_patrol": 0 } ])");
  EXPECT_EQ(set_ptz_params_by_json(2, kPeoplecntPtzEventType, list.get()), 1);
  EXPECT_EQ(nvr::json_array_size(get_ptz_params_json_object(kPeoplecntPtzEventType, 2).get()), 16u);

  EXPECT_EQ(set_ptz_params_by_json(5, 1, nullptr), 0);
  EXPECT_EQ(set_ptz_params_by_json(64, 1, list.get()), 0);
  EXPECT_EQ(get_ptz_params_by_json(-1, 1, list.get(), area), -1);
}

TEST_F(ActionCodec, AudioFileMaskFromStoredFiles) {
  if (!qvdb_test::fresh_qvdb()) return;  // ran in a child with a private root
  EXPECT_EQ(get_audio_file_id_mask(), 0);
  for (int32_t id : {0, 3, 9}) {
    AlarmAudioFile file{id, id == 3 ? 0 : 1, "bmFtZQ"};
    ASSERT_EQ(write_alarm_audio_file(nvr::qvdb_path(), &file), 0);
  }
  EXPECT_EQ(get_audio_file_id_mask(), (1 << 0) | (1 << 9));
}

TEST(RequestHelpers, TokenerAndLprModels) {
  EXPECT_FALSE(get_request_tokener_json_object(nullptr));
  EXPECT_FALSE(get_request_tokener_json_object("{\"a\":"));
  EXPECT_TRUE(get_request_tokener_json_object("{\"a\": 1}"));
  EXPECT_EQ(on_cgi_is_qv_lpr(10), 0);
  EXPECT_EQ(on_cgi_is_qv_lpr(11), 1);
  EXPECT_EQ(on_cgi_is_qv_lpr(14), 1);
  EXPECT_EQ(on_cgi_is_qv_lpr(15), 0);
}

}  // namespace
