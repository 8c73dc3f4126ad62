#include "modules/video/vca_records.h"

#include <array>
#include <cstdio>

#include "platform/qvdb_names.h"

namespace {

using nvr::events::EventSource;

constexpr DbField kSmartEventFields[] = {
    DB_FIELD(SmartEventInfo, chnid, "chnid", DbType::I32),
    DB_FIELD(SmartEventInfo, enable, "enable", DbType::I32),
    DB_FIELD_J(SmartEventInfo, tri_channel_mask, "tri_channel_mask", DbType::U64, ""),
    DB_FIELD(SmartEventInfo, triChannels, "triChannels", DbType::Text),
    DB_FIELD(SmartEventInfo, triAlarms, "triAlarms", DbType::I32),
    DB_FIELD(SmartEventInfo, interval, "interval", DbType::I32),
    DB_FIELD(SmartEventInfo, email_interval, "email_interval", DbType::I32),
    DB_FIELD_AT_J(SmartEventInfo, tri_chn_alarms, 0, "tri_chn_alarm0", DbType::Text, ""),
    DB_FIELD_AT_J(SmartEventInfo, tri_chn_alarms, 1, "tri_chn_alarm1", DbType::Text, ""),
    DB_FIELD(SmartEventInfo, ptz_interval, "ptz_interval", DbType::I32),
    DB_FIELD(SmartEventInfo, alarmout_interval, "alarmout_interval", DbType::I32),
    DB_FIELD(SmartEventInfo, white_interval, "white_interval", DbType::I32),
    DB_FIELD(SmartEventInfo, warning_light_interval, "warning_light_interval", DbType::I32),
    DB_FIELD(SmartEventInfo, email_pic_enable, "email_pic_enable", DbType::I32),
    DB_FIELD(SmartEventInfo, tri_channels_pic, "tri_channels_pic", DbType::Text),
    DB_FIELD(SmartEventInfo, audioId, "audioId", DbType::I32),
    DB_FIELD(SmartEventInfo, http_notification_interval, "http_notification_interval", DbType::I32),
};

// The names of one event's tables, kept for the life of the run.
struct SmartEventNames {
  char record[32];
  char effective[48];
  char audible[48];
  char email[48];
  char ptz[48];
  char white[64];
  char warning_light[64];
  char http[64];
  char white_params[64];
  char warning_light_params[64];
  char http_params[64];
};

struct SmartEventSources {
  std::array<SmartEventNames, kSmartEvents> names{};
  std::array<EventSource, kSmartEvents> dialog{};
  std::array<EventSource, kSmartEvents> schedule{};

  SmartEventSources() {
    for (int e = 0; e < kSmartEvents; ++e) {
      SmartEventNames& n = names[static_cast<size_t>(e)];
      snprintf(n.record, sizeof n.record, "vca_event%d", e);
      snprintf(n.effective, sizeof n.effective, "vca_event%d_effective_schedule", e);
      snprintf(n.audible, sizeof n.audible, "vca_event%d_audible_schedule", e);
      snprintf(n.email, sizeof n.email, "vca_event%d_email_schedule", e);
      snprintf(n.ptz, sizeof n.ptz, "vca_event%d_ptz_schedule", e);
      get_vca_white_table_name(0, e, n.white, sizeof n.white);
      get_vca_warning_light_table_name(0, e, n.warning_light, sizeof n.warning_light);
      get_vca_http_table_name(0, e, n.http, sizeof n.http);
      get_vca_white_table_name(1, e, n.white_params, sizeof n.white_params);
      get_vca_warning_light_table_name(1, e, n.warning_light_params, sizeof n.warning_light_params);
      get_vca_http_table_name(1, e, n.http_params, sizeof n.http_params);
      EventSource& source = dialog[static_cast<size_t>(e)];
      source = EventSource{&kSmartEventRecord,
                           n.record,
                           e == kPeopleCountEvent ? nullptr : n.effective,
                           n.audible,
                           n.email,
                           n.ptz,
                           n.white,
                           n.warning_light,
                           n.http,
                           n.white_params,
                           n.warning_light_params,
                           n.http_params,
                           kSmartPtzEventBase + e};
      EventSource& plain = schedule[static_cast<size_t>(e)];
      plain = source;
      plain.effective = n.effective;  // the schedule route keeps every event's arming
      plain.http = nullptr;
      plain.http_params = nullptr;
    }
  }
};

const SmartEventSources& sources() {
  static const SmartEventSources all;
  return all;
}

size_t event_index(int event) {
  return static_cast<size_t>(event >= 0 && event < kSmartEvents ? event : 0);
}

}  // namespace

const DbRecord kSmartEventRecord = {"vca_event", "chnid", sizeof(SmartEventInfo),
                                    kSmartEventFields};

const EventSource& smart_event_source(int event) { return sources().dialog[event_index(event)]; }
const EventSource& smart_event_schedule_source(int event) {
  return sources().schedule[event_index(event)];
}

int read_smart_event(const char* db, SmartEventInfo* record, int32_t channel, int event) {
  if (event < 0 || event >= kSmartEvents) return -1;
  return db_read(db, kSmartEventRecord, record, channel, smart_event_source(event).record_table);
}
int write_smart_event(const char* db, const SmartEventInfo* record, int event) {
  if (event < 0 || event >= kSmartEvents) return -1;
  return db_write(db, kSmartEventRecord, record, smart_event_source(event).record_table);
}
