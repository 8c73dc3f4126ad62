// Settings records of the recorder's and the cameras' alarm inputs and
// outputs, with the event sources of the alarm inputs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/video/event_actions.h"
#include "platform/qvdb.h"

inline constexpr int kAlarmInputs = 16;        // recorder alarm inputs
inline constexpr int kAlarmOutputs = 4;        // recorder alarm outputs
inline constexpr int kCameraAlarmInputs = 4;   // per camera channel
inline constexpr int kCameraAlarmOutputs = 2;  // per camera channel
inline constexpr int kAlarmNameSize = 256;
inline constexpr int kCameraAlarmNameSize = 64;

#pragma pack(push, 1)

struct AlarmOut {
  int32_t id;                 // "id"
  char name[kAlarmNameSize];  // "name"
  int32_t type;               // "type"
  int32_t enable;             // "enable"
  int32_t durationTime;       // "durationTime"
};

struct AlarmIn {
  int32_t id;                 // "id" ("alarmId")
  int32_t enable;             // "enable"
  char name[kAlarmNameSize];  // "name"
  int32_t type;               // "type" ("alarmType")
  uint64_t tri_channel_mask;  // from "triChannels"
  int32_t triAlarms;          // "triAlarms"
  int32_t interval;           // "interval"
  int32_t interval_type;
  char triChannels[65];        // "triChannels"
  char triSnapshot[65];        // "triSnapshot"
  char tri_chn_alarms[2][65];  // "triChnAlarms"
  int32_t email_enable;        // "email_enable"
  int32_t email_interval;      // "email_interval"
  int32_t email_interval_type;
  int32_t email_pic_enable;   // "email_pic_enable"
  char tri_channels_pic[65];  // "tri_channels_pic"
  int32_t ptz_interval;
  int32_t alarmout_interval;
  int32_t white_interval;
  int32_t warning_light_interval;
  int32_t http_notification_interval;
  int32_t audioId;
};

// Camera alarm input n of a channel: its actions (one table per n).
struct AlarmChnInEvent {
  int32_t chnid;  // "chnid"
  int32_t alarm;  // alarm index 0..3
  uint64_t tri_channel_mask;
  char triChannels[65];
  int32_t triAlarms;
  int32_t interval;
  int32_t interval_type;
  char tri_chn_alarms[2][65];
  int32_t email_interval;
  int32_t email_interval_type;
  int32_t email_pic_enable;
  char tri_channels_pic[65];
  int32_t ptz_interval;
  int32_t alarmout_interval;
  int32_t white_interval;
  int32_t warning_light_interval;
  int32_t http_notification_interval;
  int32_t audioId;
};

struct AlarmChnInName {
  int32_t chnid;
  int32_t alarm;
  char name[kCameraAlarmNameSize];
};

struct AlarmChnOutName {
  int32_t chnid;
  int32_t alarm;
  int32_t delayTime;
  char name[kCameraAlarmNameSize];
};

// The disarming settings (kept for alarm input 0).
struct Disarming {
  int32_t linkageAction;     // "linkageAction"
  int32_t disarmActionMask;  // "disarmActionMask"
};

#pragma pack(pop)

extern const DbRecord kAlarmOutRecord;
extern const DbRecord kAlarmInRecord;
extern const DbRecord kAlarmChnInEventRecord;
extern const DbRecord kAlarmChnInNameRecord;
extern const DbRecord kAlarmChnOutNameRecord;
extern const DbRecord kDisarmingRecord;

extern const nvr::events::EventSource kAlarmInSource;
// Camera alarm input n (0..3).
extern const nvr::events::EventSource kAlarmChnInSources[kCameraAlarmInputs];

inline constexpr const char* kAlarmOutScheduleTable = "alarm_out_schedule";
inline constexpr const char* kAlarmInScheduleTable = "alarm_in_schedule";  // the basic schedule
// Camera alarm output n's effective schedule.
extern const char* const kAlarmChnOutScheduleTables[kCameraAlarmOutputs];

// The PTZ event type of camera alarm input n.
int32_t converse_chn_alarmid_to_event_in(int32_t alarm);

// Names of camera alarm inputs / outputs of every channel for index n:
// names[64] by channel (not stored: left as they are).
void read_alarm_chnIn_event_names(const char* db, AlarmChnInName* names, int32_t alarm);
int write_alarm_chnIn_event_name(const char* db, const AlarmChnInName* name);
void read_alarm_chnOut_event_names(const char* db, AlarmChnOutName* names, int32_t alarm);
int write_alarm_chnOut_event_name(const char* db, const AlarmChnOutName* name);
