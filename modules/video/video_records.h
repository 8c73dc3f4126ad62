// Settings records of the video-and-events routes: motion and video loss,
// with the event sources (where each keeps its schedules and actions).
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/video/event_actions.h"
#include "platform/qvdb.h"
#include "platform/qvdb_schedule.h"

#pragma pack(push, 1)

struct MotionInfo {
  int32_t chnid;                       // "chnid"
  int32_t enable;                      // "enable" 0..2
  int32_t sensitivity;                 // "sensitivity"
  uint64_t tri_channel_mask;           // from "triChannels"
  int32_t triAlarms;                   // "triAlarms": recorder alarm outputs
  char motionTable[368];               // "motionTable"
  int32_t interval;                    // "interval"
  int32_t enableQV;                    // "enableQV": the camera's own detection
  char triChannels[65];                // "triChannels"
  int32_t email_enable;                // "email_enable"
  int32_t email_interval;              // "email_interval"
  char tri_chn_alarms[2][65];          // "triChnAlarms"
  int32_t ptz_interval;                // "ptz_interval"
  int32_t alarmout_interval;           // "alarmout_interval"
  int32_t white_interval;              // "white_interval"
  int32_t warning_light_interval;      // "warning_light_interval"
  int32_t email_pic_enable;            // "email_pic_enable"
  char tri_channels_pic[65];           // "tri_channels_pic"
  int32_t audioId;                     // "audioId"
  int32_t http_notification_interval;  // "http_notification_interval"
};
static_assert(offsetof(MotionInfo, tri_channel_mask) == 12);
static_assert(offsetof(MotionInfo, motionTable) == 24);

struct VideoLossInfo {
  int32_t chnid;               // column "id", "chnid"
  int32_t enable;              // "enable"
  int32_t triAlarms;           // column "tri_alarms", "triAlarms"
  int32_t interval;            // "interval"
  int32_t email_enable;        // "email_enable"
  int32_t email_interval;      // "email_interval"
  char tri_chn_alarms[2][65];  // "triChnAlarms"
  int32_t ptz_interval;
  int32_t alarmout_interval;
  int32_t white_interval;
  int32_t warning_light_interval;
  int32_t audioId;
  int32_t http_notification_interval;
};

// The recorder's exception actions (one row, table "trigger_alarms").
inline constexpr int kExceptionActions = 12;
struct TriggerAlarms {
  int32_t exception[kExceptionActions];  // "exception"
  int32_t recordFailedMailInterval;      // "recordFailedMailInterval"
};
static_assert(sizeof(TriggerAlarms) == 52);

// A camera-side alarm of one channel: the camera's alarm input (table
// "cameraio") and its audio alarm (table "volumedetect") share this record.
struct CameraAlarm {
  int32_t camId;              // "camId"
  int32_t enable;             // "enable" 0/1
  uint64_t tri_channel_mask;  // from "triChannels"
  int32_t triActions;         // "triActions"
  char triChannels[65];       // "triChannels"
};
static_assert(offsetof(CameraAlarm, tri_channel_mask) == 8);
static_assert(offsetof(CameraAlarm, triActions) == 16);
static_assert(offsetof(CameraAlarm, triChannels) == 20);

// The timed snapshot settings of a channel (table "snapshot", key "chnid").
struct SnapshotSettings {
  int32_t chnid;
  int32_t reserved0;  // kept as stored
  int32_t quality;
  int32_t interval;
  int32_t interval_unit;
  int32_t reserved1[2];  // kept as stored
  int32_t expiration_date;
  int32_t resolution;
};
static_assert(offsetof(SnapshotSettings, quality) == 8);
static_assert(offsetof(SnapshotSettings, expiration_date) == 28);
static_assert(offsetof(SnapshotSettings, resolution) == 32);

// A channel's snapshot schedule: a schedule block and 4 further bytes
// (27716 bytes); the block is stored in table "snapshot_schedule".
struct SnapshotSchedule {
  ScheduleBlock block;
  int32_t reserved;
};
static_assert(sizeof(SnapshotSchedule) == 27716);

// The actions of one people-counting region of a channel (one table per
// region, key "chnid").
struct RegionalPcntEvent {
  int32_t chnid;
  int32_t region;  // 0..3
  uint64_t tri_channel_mask;
  char triChannels[65];
  int32_t triAlarms;
  int32_t interval;
  char tri_chn_alarms[2][65];
  int32_t email_interval;
  int32_t email_pic_enable;
  char tri_channels_pic[65];
  int32_t ptz_interval;
  int32_t alarmout_interval;
  int32_t white_interval;
  int32_t warning_light_interval;
  int32_t http_notification_interval;
  int32_t audioId;
};

#pragma pack(pop)

extern const DbRecord kRegionalPcntEventRecord;
// Region r's actions (PTZ event type 22 + r).
extern const nvr::events::EventSource kRegionalPcntSources[4];

extern const DbRecord kSnapshotRecord;
inline constexpr const char* kSnapshotScheduleTable = "snapshot_schedule";

int read_snapshot_schedule(const char* db, SnapshotSchedule* record, int32_t channel);
// The listed channels' records of records[64], in one transaction.
[[nodiscard]] int write_snapshot_schedules(const char* db, const SnapshotSchedule* records,
                                           const int32_t* channels, int count);
int read_snapshot(const char* db, SnapshotSettings* record, int32_t channel);

extern const DbRecord kTriggerAlarmsRecord;
extern const DbRecord kCameraIoRecord;
extern const DbRecord kVolumeDetectRecord;

// The exceptions' HTTP notifications: one entry per exception id 0..13.
inline constexpr const char* kExceptionHttpTable = "except_http_notification_params";

int read_trigger_alarms(const char* db, TriggerAlarms* record);
[[nodiscard]] int write_trigger_alarms(const char* db, const TriggerAlarms* record);
[[nodiscard]] int write_cameraio(const char* db, const CameraAlarm* record);
[[nodiscard]] int write_volumedetect(const char* db, const CameraAlarm* record);

extern const DbRecord kMotionRecord;
extern const DbRecord kVideoLossRecord;

// Motion keeps its actions per channel; "/6117" does not touch the HTTP
// notification, which only the dialog path carries.
extern const nvr::events::EventSource kMotionSource;
extern const nvr::events::EventSource kMotionActionSource;
extern const nvr::events::EventSource kVideoLossSource;

// The legacy motion and video-loss schedules.
inline constexpr const char* kMotionScheduleTable = "motion_schedule";
inline constexpr const char* kVideoLossScheduleTable = "video_loss_schedule";

int read_motion(const char* db, MotionInfo* record, int32_t channel);
int write_motion(const char* db, const MotionInfo* record);
// All stored records, at most 64.
int read_motions(const char* db, MotionInfo* records, int* count);
int copy_motions(const char* db, const MotionInfo* record, uint64_t mask);

int read_video_lost(const char* db, VideoLossInfo* record, int32_t channel);
int write_video_lost(const char* db, const VideoLossInfo* record);
// records[64] by channel (those not stored keep what they hold).
int read_video_losts(const char* db, VideoLossInfo* records);
int write_video_losts(const char* db, const VideoLossInfo* records, int count, uint64_t mask);
