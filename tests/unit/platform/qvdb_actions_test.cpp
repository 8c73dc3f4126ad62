// Action parameter tables: lists per event index, PTZ entries, copies.
#include "platform/qvdb_actions.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/platform/qvdb_test_util.h"

namespace {

PtzActionParam ptz(int32_t chn, int32_t ptz_channel, int32_t preset) {
  return PtzActionParam{chn, ptz_channel, 0, 1, preset, 0, 0};
}

TEST(QvdbActions, PtzEntriesAreKeyedBySourceAndPtzChannel) {
  qvdb_test::TempDir dir;
  std::string file = dir.file("ptz.db");
  const char* path = file.c_str();
  PtzActionParam e = ptz(2, 1, 10);
  ASSERT_EQ(write_ptz_params(path, &e, 1), 0);
  e = ptz(2, 3, 30);
  ASSERT_EQ(write_ptz_params(path, &e, 1), 0);
  e = ptz(2, 1, 11);  // same (source, PTZ channel): changed in place
  ASSERT_EQ(write_ptz_params(path, &e, 1), 0);
  e = ptz(2, 1, 99);
  ASSERT_EQ(write_ptz_params(path, &e, 2), 0);  // other event type

  PtzActionParam area[kPtzActionEntries] = {};
  int count = 0;
  ASSERT_EQ(read_ptz_params(path, area, 1, 2, &count), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(area[0].acto_ptz_preset, 11);
  EXPECT_EQ(area[1].acto_ptz_channel, 3);

  e = ptz(2, 4, 40);  // PTZ channel 3 becomes 4
  ASSERT_EQ(update_ptz_params(path, &e, 1, 3), 0);
  ASSERT_EQ(read_ptz_params(path, area, 1, 2, &count), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(area[1].acto_ptz_channel, 4);
  EXPECT_EQ(area[1].acto_ptz_preset, 40);

  ASSERT_EQ(delete_ptz_params(path, 1, 2, 1), 0);
  ASSERT_EQ(delete_ptz_params(path, 1, 2, 7), 0);  // nothing there: still fine
  memset(area, 0, sizeof area);
  ASSERT_EQ(read_ptz_params(path, area, 1, 2, &count), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(area[0].acto_ptz_channel, 4);

  ASSERT_EQ(copy_ptz_params_all(path, area, 1, (1u << 7) | (1u << 9)), 0);
  PtzActionParam copied[kPtzActionEntries] = {};
  ASSERT_EQ(read_ptz_params(path, copied, 1, 9, &count), 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(copied[0].chn_id, 9);
  EXPECT_EQ(copied[0].acto_ptz_preset, 40);

  e = ptz(3, 2, 5);
  ASSERT_EQ(write_peoplecnt_ptz_params(path, &e), 0);
  ASSERT_EQ(read_peoplecnt_ptz_params(path, copied, 3, &count), 0);
  EXPECT_EQ(count, 1);
  ASSERT_EQ(delete_peoplecnt_ptz_params(path, 3, 2), 0);
  ASSERT_EQ(read_peoplecnt_ptz_params(path, copied, 3, &count), 0);
  EXPECT_EQ(count, 0);
}

TEST(QvdbActions, ParameterListsKeepWhatWasSentPerEventIndex) {
  qvdb_test::TempDir dir;
  std::string file = dir.file("params.db");
  const char* path = file.c_str();
  WhiteLedParams params{};
  params.entries[0] = {5, 0, 0, 0};  // channel 0, all zero, but followed by one in use
  params.entries[1] = {5, 2, 1, 10};
  DbTableQuery query = db_table_query(5, "alarm_chnIn5_white_led_params");
  ASSERT_EQ(write_whiteled_params_all(path, &query, params.entries), 0);

  WhiteLedParams read{};
  int count = 0;
  ASSERT_EQ(read_whiteled_params(path, &query, read.entries, &count), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(memcmp(&read, &params, sizeof read), 0);
  DbTableQuery other = db_table_query(6, "alarm_chnIn5_white_led_params");
  EXPECT_EQ(read_whiteled_params(path, &other, read.entries, &count), 0);
  EXPECT_EQ(count, 0);

  ASSERT_EQ(copy_whiteled_params(path, "alarm_chnIn5_white_led_params", params.entries,
                                 uint64_t{1} << 40),
            0);
  DbTableQuery copied = db_table_query(40, "alarm_chnIn5_white_led_params");
  ASSERT_EQ(read_whiteled_params(path, &copied, read.entries, &count), 0);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(read.entries[1].index, 40);

  // Exception notifications: a list whose ids repeat (-1 = not configured).
  HttpNotifyParam list[3] = {};
  list[0].chnId = -1;
  list[1].chnId = 1;
  strcpy(list[1].url, "http://a/%20");
  list[2].chnId = -1;
  ASSERT_EQ(write_http_notification_params_batch(path, "except_http_notification_params", list, 3),
            0);
  HttpNotifyParam back[14] = {};
  ASSERT_EQ(
      read_http_notification_params_init(path, "except_http_notification_params", back, 14, &count),
      0);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(back[1].url, "http://a/%20");
  EXPECT_EQ(back[2].chnId, -1);
}

TEST(QvdbActions, AlarmAudioFilesSitAtTheirIds) {
  qvdb_test::TempDir dir;
  std::string file = dir.file("audio.db");
  AlarmAudioFile files[kAlarmAudioFiles] = {};
  int count = -1;
  EXPECT_EQ(read_alarm_audio_file(file.c_str(), files, &count), -1);
  EXPECT_EQ(count, 0);
  AlarmAudioFile f{7, 1, "YQ"};
  ASSERT_EQ(write_alarm_audio_file(file.c_str(), &f), 0);
  AlarmAudioFile bad{10, 1, "x"};
  EXPECT_EQ(write_alarm_audio_file(file.c_str(), &bad), -1);
  ASSERT_EQ(read_alarm_audio_file(file.c_str(), files, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(files[7].enable, 1);
  EXPECT_STREQ(files[7].name, "YQ");
  EXPECT_EQ(files[0].enable, 0);
}

}  // namespace
