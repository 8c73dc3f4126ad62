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

// ---- licence plates -------------------------------------------------------------------

// Modes: 0 black list, 1 white list, 2 visitor; -1 the mode-independent record
// that holds the arming schedule. PTZ event type of mode m: 15 + m.
inline constexpr int kAnprModeAny = -1;
inline constexpr int kAnprModeLast = 2;
inline constexpr int kAnprPtzEventBase = 15;

// The licence-plate event record has the smart-event record's layout.
using AnprEventInfo = SmartEventInfo;

// Mode -1..2: its record table and action tables.
const nvr::events::EventSource& anpr_source(int mode);
int read_anpr_event(const char* db, AnprEventInfo* record, int32_t channel, int mode);
int write_anpr_event(const char* db, const AnprEventInfo* record, int mode);

#pragma pack(push, 1)
// One plate of the lists in the plate database: one row per plate.
struct AnprListEntry {  // 80 bytes
  char type[16];        // "type": the list, as the web pages name it
  char plate[64];       // "plate"
};
#pragma pack(pop)
static_assert(sizeof(AnprListEntry) == 80);

extern const DbRecord kAnprListRecord;
inline constexpr int kAnprMostPlates = 10000;

// Each entry replaces the stored entry of its plate; one transaction.
int write_anpr_list_replace_batch(const char* db, const AnprListEntry* entries, int count);
int delete_anpr_lists(const char* db, const AnprListEntry* entries, int count);
// 0 when the plate is stored (the entry filled).
int read_anpr_list_plate(const char* db, AnprListEntry* entry, const char* plate);
