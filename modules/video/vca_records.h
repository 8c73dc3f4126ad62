// The recorder's side of the smart events: the action settings of each
// channel and smart event, and where each event keeps its action tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/video/event_actions.h"
#include "platform/qvdb.h"

inline constexpr int kSmartEvents = 9;        // events 0..8
inline constexpr int kPeopleCountEvent = 7;   // has no effective schedule
inline constexpr int kSmartPtzEventBase = 5;  // PTZ event type of event e: 5 + e

#pragma pack(push, 1)

struct SmartEventInfo {
  int32_t chnid;                       // "chnid"
  int32_t enable;                      // "enable"
  uint64_t tri_channel_mask;           // from "triChannels"
  char triChannels[65];                // "triChannels"
  int32_t triAlarms;                   // "triAlarms"
  int32_t interval;                    // "interval"
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

#pragma pack(pop)

extern const DbRecord kSmartEventRecord;

// Event `event` (0..8): its record table and action tables; the dialog
// variant carries the HTTP notification, the schedule route's does not.
const nvr::events::EventSource& smart_event_source(int event);
const nvr::events::EventSource& smart_event_schedule_source(int event);

// 0 when the record of (channel, event) was read.
int read_smart_event(const char* db, SmartEventInfo* record, int32_t channel, int event);
int write_smart_event(const char* db, const SmartEventInfo* record, int event);
