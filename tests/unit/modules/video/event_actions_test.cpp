// The action object's reader and builder over an event record, and the small
// parsers of the event routes.
#include "modules/video/event_actions.h"

#include <gtest/gtest.h>

#include <string>

#include "frame/json.h"
#include "modules/alarm/alarm_records.h"
#include "modules/video/video_records.h"
#include "tests/unit/platform/qvdb_test_util.h"

namespace {

using nvr::events::ActionKey;

nvr::Json parse(const char* text) { return nvr::json_parse(text); }

TEST(EventActionFields, TriggerTextSetsTextAndMaskCutAt64) {
  MotionInfo record{};
  const ActionKey keys[] = {{"triChannels"}, {"triChnAlarms"}, {"audioId"}};
  const std::string seventy = "1011" + std::string(59, '0') + "1" + "111111";
  nvr::Json request = parse(("{\"triChannels\":\"" + seventy + "\"}").c_str());
  EXPECT_TRUE(nvr::events::apply_action_fields(kMotionSource, request.get(), &record, keys));
  EXPECT_EQ(std::string(record.triChannels), seventy.substr(0, 64));
  EXPECT_EQ(+record.tri_channel_mask, 0xDull | 1ull << 63);

  nvr::Json empty = parse(R"({"triChannels":""})");
  nvr::events::apply_action_fields(kMotionSource, empty.get(), &record, keys);
  EXPECT_EQ(+record.tri_channel_mask, 0u);
}

TEST(EventActionFields, OnlyPresentKeysChangeAndCameraAlarmTextsKeepMissingElements) {
  MotionInfo record{};
  record.audioId = 7;
  snprintf(record.tri_chn_alarms[1], sizeof record.tri_chn_alarms[1], "%s", "0101");
  const ActionKey keys[] = {{"triChnAlarms"}, {"audioId"}, {"interval"}};
  nvr::Json none = parse(R"({"other":1})");
  EXPECT_FALSE(nvr::events::apply_action_fields(kMotionSource, none.get(), &record, keys));
  EXPECT_EQ(+record.audioId, 7);

  nvr::Json one = parse(R"({"triChnAlarms":["11"],"interval":9})");
  EXPECT_TRUE(nvr::events::apply_action_fields(kMotionSource, one.get(), &record, keys));
  EXPECT_STREQ(record.tri_chn_alarms[0], "11");
  EXPECT_STREQ(record.tri_chn_alarms[1], "0101");
  EXPECT_EQ(+record.interval, 9);
  EXPECT_EQ(+record.audioId, 7);
}

TEST(EventActionObject, BuildsKeysInOrderWithAliasesAndStoredTables) {
  if (!qvdb_test::fresh_qvdb()) return;
  AlarmIn record{};
  record.id = 3;
  record.type = 1;
  snprintf(record.name, sizeof record.name, "%s", "door");
  nvr::Json request =
      parse(R"({"whiteInfo":[[2,1,30]],"effective":[[["08:00","18:00",1]]],)"
            R"("httpParams":{"url":"http://x/%41","username":"u","password":"p"}})");
  ASSERT_EQ(nvr::events::store_action_tables(kAlarmInSource, request.get(), 3), 0);
  const ActionKey keys[] = {{"alarmId", "id"}, {"alarmType", "type"}, {"name"},
                            {"whiteInfo"},     {"httpParams"},        {"triChnAlarms"}};
  nvr::Json answer = nvr::events::build_action_object(kAlarmInSource, 3, &record, keys);
  EXPECT_STREQ(nvr::json_text(answer),
               R"({ "alarmId": 3, "alarmType": 1, "name": "door", )"
               R"("whiteInfo": [ { "chnid": 2, "mode": 1, "time": 30 } ], )"
               R"("httpParams": { "chnId": 3, "url": "http:\/\/x\/%41", "username": "u", )"
               R"("password": "p" }, "triChnAlarms": [ "", "" ] })");
  // The copy reaches the masked inputs only.
  ASSERT_EQ(nvr::events::copy_action_tables(kAlarmInSource, 3, 1u << 5), 0);
  EXPECT_EQ(nvr::events::read_schedule(kAlarmInSource.effective, 5).days[0].slots[0].actionType, 1);
  EXPECT_EQ(nvr::events::read_schedule(kAlarmInSource.effective, 4).days[0].slots[0].actionType, 0);
}

TEST(EventRouteParsers, ListsAndNumbers) {
  nvr::Json list = parse("[0, 63, 64, -1, \"2\", 15, 16]");
  EXPECT_EQ(nvr::events::mask_of_list(list.get(), 7, 64),
            1ull | 1ull << 63 | 1ull << 15 | 1ull << 16);
  EXPECT_EQ(nvr::events::mask_of_list(list.get(), 7, 16), 1ull | 1ull << 15);
  EXPECT_EQ(nvr::events::mask_of_list(list.get(), 100, 16),
            1ull | 1ull << 15);  // count past the end
  EXPECT_EQ(nvr::events::mask_of_list(list.get(), 0, 64), 0u);
  EXPECT_EQ(nvr::events::mask_of_list(nullptr, 3, 64), 0u);

  int32_t n = -1;
  EXPECT_TRUE(nvr::events::parse_index_text("12", &n));
  EXPECT_EQ(n, 12);
  EXPECT_FALSE(nvr::events::parse_index_text("-1", &n));
  EXPECT_FALSE(nvr::events::parse_index_text("1x", &n));
  EXPECT_FALSE(nvr::events::parse_index_text("", &n));
  EXPECT_FALSE(nvr::events::parse_index_text("99999999999", &n));
  EXPECT_FALSE(nvr::events::parse_index_text(nullptr, &n));
}

}  // namespace
