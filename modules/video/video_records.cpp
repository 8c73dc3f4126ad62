#include "modules/video/video_records.h"

namespace {

using nvr::events::EventSource;

constexpr DbField kMotionFields[] = {
    DB_FIELD(MotionInfo, chnid, "chnid", DbType::I32),
    DB_FIELD(MotionInfo, enable, "enable", DbType::I32),
    DB_FIELD(MotionInfo, sensitivity, "sensitivity", DbType::I32),
    DB_FIELD_J(MotionInfo, tri_channel_mask, "tri_channel_mask", DbType::U64, ""),
    DB_FIELD(MotionInfo, triAlarms, "triAlarms", DbType::I32),
    DB_FIELD(MotionInfo, motionTable, "motionTable", DbType::Text),
    DB_FIELD(MotionInfo, interval, "interval", DbType::I32),
    DB_FIELD(MotionInfo, enableQV, "enableQV", DbType::I32),
    DB_FIELD(MotionInfo, triChannels, "triChannels", DbType::Text),
    DB_FIELD(MotionInfo, email_enable, "email_enable", DbType::I32),
    DB_FIELD(MotionInfo, email_interval, "email_interval", DbType::I32),
    DB_FIELD_AT_J(MotionInfo, tri_chn_alarms, 0, "tri_chn_alarm0", DbType::Text, ""),
    DB_FIELD_AT_J(MotionInfo, tri_chn_alarms, 1, "tri_chn_alarm1", DbType::Text, ""),
    DB_FIELD(MotionInfo, ptz_interval, "ptz_interval", DbType::I32),
    DB_FIELD(MotionInfo, alarmout_interval, "alarmout_interval", DbType::I32),
    DB_FIELD(MotionInfo, white_interval, "white_interval", DbType::I32),
    DB_FIELD(MotionInfo, warning_light_interval, "warning_light_interval", DbType::I32),
    DB_FIELD(MotionInfo, email_pic_enable, "email_pic_enable", DbType::I32),
    DB_FIELD(MotionInfo, tri_channels_pic, "tri_channels_pic", DbType::Text),
    DB_FIELD(MotionInfo, audioId, "audioId", DbType::I32),
    DB_FIELD(MotionInfo, http_notification_interval, "http_notification_interval", DbType::I32),
};

constexpr DbField kRegionalPcntEventFields[] = {
    DB_FIELD(RegionalPcntEvent, chnid, "chnid", DbType::I32),
    DB_FIELD_J(RegionalPcntEvent, region, "region", DbType::I32, ""),
    DB_FIELD_J(RegionalPcntEvent, tri_channel_mask, "tri_channel_mask", DbType::U64, ""),
    DB_FIELD(RegionalPcntEvent, triChannels, "triChannels", DbType::Text),
    DB_FIELD(RegionalPcntEvent, triAlarms, "triAlarms", DbType::I32),
    DB_FIELD(RegionalPcntEvent, interval, "interval", DbType::I32),
    DB_FIELD_AT_J(RegionalPcntEvent, tri_chn_alarms, 0, "tri_chn_alarm0", DbType::Text, ""),
    DB_FIELD_AT_J(RegionalPcntEvent, tri_chn_alarms, 1, "tri_chn_alarm1", DbType::Text, ""),
    DB_FIELD(RegionalPcntEvent, email_interval, "email_interval", DbType::I32),
    DB_FIELD(RegionalPcntEvent, email_pic_enable, "email_pic_enable", DbType::I32),
    DB_FIELD(RegionalPcntEvent, tri_channels_pic, "tri_channels_pic", DbType::Text),
    DB_FIELD(RegionalPcntEvent, ptz_interval, "ptz_interval", DbType::I32),
    DB_FIELD(RegionalPcntEvent, alarmout_interval, "alarmout_interval", DbType::I32),
    DB_FIELD(RegionalPcntEvent, white_interval, "white_interval", DbType::I32),
    DB_FIELD(RegionalPcntEvent, warning_light_interval, "warning_light_interval", DbType::I32),
    DB_FIELD(RegionalPcntEvent, http_notification_interval, "http_notification_interval",
             DbType::I32),
    DB_FIELD(RegionalPcntEvent, audioId, "audioId", DbType::I32),
};

// Region 0's tables are named "regional_pcnt_...", region r's "regional_pcnt<r>_...".
#define PCNT_SOURCE(prefix, r)                                                         \
  EventSource {                                                                        \
    &kRegionalPcntEventRecord, prefix "_event", nullptr, prefix "_audible_schedule",   \
        prefix "_email_schedule", prefix "_ptz_schedule", prefix "_whiteled_schedule", \
        prefix "_warning_light_schedule", prefix "_http_notification_schedule",        \
        prefix "_whiteled_params", prefix "_warning_light_params",                     \
        prefix "_http_notification_params", 22 + (r)                                   \
  }

constexpr DbField kSnapshotFields[] = {
    DB_FIELD(SnapshotSettings, chnid, "chnid", DbType::I32),
    DB_FIELD_J(SnapshotSettings, reserved0, "reserved0", DbType::I32, ""),
    DB_FIELD(SnapshotSettings, quality, "quality", DbType::I32),
    DB_FIELD(SnapshotSettings, interval, "interval", DbType::I32),
    DB_FIELD(SnapshotSettings, interval_unit, "interval_unit", DbType::I32),
    DB_FIELD_J(SnapshotSettings, reserved1, "reserved1", DbType::I32, ""),
    DB_FIELD(SnapshotSettings, expiration_date, "expiration_date", DbType::I32),
    DB_FIELD(SnapshotSettings, resolution, "resolution", DbType::I32),
};

constexpr DbField kTriggerAlarmsFields[] = {
    DB_FIELD(TriggerAlarms, exception, "exception", DbType::I32),
    DB_FIELD(TriggerAlarms, recordFailedMailInterval, "recordFailedMailInterval", DbType::I32),
};

constexpr DbField kCameraAlarmFields[] = {
    DB_FIELD(CameraAlarm, camId, "camId", DbType::I32),
    DB_FIELD(CameraAlarm, enable, "enable", DbType::I32),
    DB_FIELD_J(CameraAlarm, tri_channel_mask, "tri_channel_mask", DbType::U64, ""),
    DB_FIELD(CameraAlarm, triActions, "triActions", DbType::I32),
    DB_FIELD(CameraAlarm, triChannels, "triChannels", DbType::Text),
};

constexpr DbField kVideoLossFields[] = {
    DB_FIELD_J(VideoLossInfo, chnid, "id", DbType::I32, "chnid"),
    DB_FIELD(VideoLossInfo, enable, "enable", DbType::I32),
    DB_FIELD_J(VideoLossInfo, triAlarms, "tri_alarms", DbType::I32, "triAlarms"),
    DB_FIELD(VideoLossInfo, interval, "interval", DbType::I32),
    DB_FIELD(VideoLossInfo, email_enable, "email_enable", DbType::I32),
    DB_FIELD(VideoLossInfo, email_interval, "email_interval", DbType::I32),
    DB_FIELD_AT_J(VideoLossInfo, tri_chn_alarms, 0, "tri_chn_alarm0", DbType::Text, ""),
    DB_FIELD_AT_J(VideoLossInfo, tri_chn_alarms, 1, "tri_chn_alarm1", DbType::Text, ""),
    DB_FIELD(VideoLossInfo, ptz_interval, "ptz_interval", DbType::I32),
    DB_FIELD(VideoLossInfo, alarmout_interval, "alarmout_interval", DbType::I32),
    DB_FIELD(VideoLossInfo, white_interval, "white_interval", DbType::I32),
    DB_FIELD(VideoLossInfo, warning_light_interval, "warning_light_interval", DbType::I32),
    DB_FIELD(VideoLossInfo, audioId, "audioId", DbType::I32),
    DB_FIELD(VideoLossInfo, http_notification_interval, "http_notification_interval", DbType::I32),
};

}  // namespace

const DbRecord kMotionRecord = {"motion", "chnid", sizeof(MotionInfo), kMotionFields};
const DbRecord kVideoLossRecord = {"video_loss", "id", sizeof(VideoLossInfo), kVideoLossFields};

const EventSource kMotionSource = {
    &kMotionRecord,
    nullptr,
    "motion_effective_schedule",
    "motion_audible_schedule",
    "motion_email_schedule",
    "motion_ptz_schedule",
    "motion_whiteled_esche",
    "motion_warning_light_esche",
    "motion_http_notification_sche",
    "motion_white_led_params",
    "motion_warning_light_params",
    "motion_http_notification_params",
    1,
};

const EventSource kMotionActionSource = [] {
  EventSource source = kMotionSource;
  source.http = nullptr;
  source.http_params = nullptr;
  return source;
}();

const EventSource kVideoLossSource = {
    &kVideoLossRecord,
    nullptr,
    nullptr,  // video loss has no arming schedule
    "videoloss_audible_schedule",
    "videoloss_email_schedule",
    "videoloss_ptz_schedule",
    "videoloss_whiteled_esche",
    "videoloss_warning_light_esche",
    "videoloss_http_notification_sche",
    "video_loss_white_led_params",
    "video_loss_warning_light_params",
    "videoloss_http_notification_params",
    2,
};

int read_motion(const char* db, MotionInfo* record, int32_t channel) {
  return db_read(db, kMotionRecord, record, channel);
}
int write_motion(const char* db, const MotionInfo* record) {
  return db_write(db, kMotionRecord, record);
}
int read_motions(const char* db, MotionInfo* records, int* count) {
  return db_read_all(db, kMotionRecord, records, nvr::events::kChannels, count);
}
int copy_motions(const char* db, const MotionInfo* record, uint64_t mask) {
  return db_copy_masked(db, kMotionRecord, record, mask);
}

int read_video_lost(const char* db, VideoLossInfo* record, int32_t channel) {
  return db_read(db, kVideoLossRecord, record, channel);
}
int write_video_lost(const char* db, const VideoLossInfo* record) {
  return db_write(db, kVideoLossRecord, record);
}
int read_video_losts(const char*, VideoLossInfo* records) {
  return nvr::events::read_event_records(kVideoLossSource, records, nvr::events::kChannels);
}
int write_video_losts(const char*, const VideoLossInfo* records, int count, uint64_t mask) {
  return nvr::events::write_event_records(kVideoLossSource, records, count, mask);
}

const DbRecord kTriggerAlarmsRecord{"trigger_alarms", nullptr, sizeof(TriggerAlarms),
                                    kTriggerAlarmsFields};
const DbRecord kCameraIoRecord{"cameraio", "camId", sizeof(CameraAlarm), kCameraAlarmFields};
const DbRecord kVolumeDetectRecord{"volumedetect", "camId", sizeof(CameraAlarm),
                                   kCameraAlarmFields};

int read_trigger_alarms(const char* db, TriggerAlarms* record) {
  return db_read(db, kTriggerAlarmsRecord, record, 0);
}
int write_trigger_alarms(const char* db, const TriggerAlarms* record) {
  return db_write(db, kTriggerAlarmsRecord, record);
}
int write_cameraio(const char* db, const CameraAlarm* record) {
  return db_write(db, kCameraIoRecord, record);
}
int write_volumedetect(const char* db, const CameraAlarm* record) {
  return db_write(db, kVolumeDetectRecord, record);
}

const DbRecord kSnapshotRecord{"snapshot", "chnid", sizeof(SnapshotSettings), kSnapshotFields};

int read_snapshot_schedule(const char* db, SnapshotSchedule* record, int32_t channel) {
  return db_read_schedule(db, kSnapshotScheduleTable, channel, &record->block);
}
int write_snapshot_schedules(const char* db, const SnapshotSchedule* records,
                             const int32_t* channels, int count) {
  DbBatch batch(db);
  int failed = 0;
  for (int i = 0; i < count; ++i) {
    const int32_t n = channels[i];
    if (n < 0 || n >= nvr::events::kChannels) continue;
    failed |= db_write_schedule(db, kSnapshotScheduleTable, n, &records[n].block);
  }
  return failed != 0 || batch.commit() != 0 ? -1 : 0;
}
int read_snapshot(const char* db, SnapshotSettings* record, int32_t channel) {
  return db_read(db, kSnapshotRecord, record, channel);
}

const DbRecord kRegionalPcntEventRecord{"regional_pcnt_event", "chnid", sizeof(RegionalPcntEvent),
                                        kRegionalPcntEventFields};
const EventSource kRegionalPcntSources[4] = {
    PCNT_SOURCE("regional_pcnt", 0), PCNT_SOURCE("regional_pcnt1", 1),
    PCNT_SOURCE("regional_pcnt2", 2), PCNT_SOURCE("regional_pcnt3", 3)};
