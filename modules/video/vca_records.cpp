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

// ---- licence plates -------------------------------------------------------------------

namespace {

struct AnprSources {
  std::array<EventSource, 4> modes{};  // index mode + 1
  AnprSources() {
    static constexpr const char* kRecord[] = {"anpr_event_any", "anpr_event_black",
                                              "anpr_event_white", "anpr_event_visitor"};
    static constexpr const char* kEffective[] = {
        "anpr_effective_schedule", "anpr_black_effective_schedule", "anpr_white_effective_schedule",
        "anpr_visitor_effective_schedule"};
    static constexpr const char* kAudible[] = {
        "anpr_audible_schedule", "anpr_black_audible_schedule", "anpr_white_audible_schedule",
        "anpr_visitor_audible_schedule"};
    static constexpr const char* kEmail[] = {"anpr_email_schedule", "anpr_black_email_schedule",
                                             "anpr_white_email_schedule",
                                             "anpr_visitor_email_schedule"};
    static constexpr const char* kPtz[] = {"anpr_ptz_schedule", "anpr_black_ptz_schedule",
                                           "anpr_white_ptz_schedule", "anpr_visitor_ptz_schedule"};
    for (int m = kAnprModeAny; m <= kAnprModeLast; ++m) {
      const size_t i = static_cast<size_t>(m + 1);
      // Mode 0 and 1 have their own action tables; any other mode the visitor's.
      const bool black = m == 0;
      const bool white = m == 1;
      modes[i] = EventSource{&kSmartEventRecord,
                             kRecord[i],
                             kEffective[i],
                             kAudible[i],
                             kEmail[i],
                             kPtz[i],
                             black   ? "lpr_black_whiteled_esche"
                             : white ? "lpr_white_whiteled_esche"
                                     : "lpr_vistor_whiteled_esche",
                             black   ? "lpr_black_warning_light_esche"
                             : white ? "lpr_white_warning_light_esche"
                                     : "lpr_vistor_warning_light_esche",
                             black   ? "lpr_black_mode_http_notification_sche"
                             : white ? "lpr_white_mode_http_notification_sche"
                                     : "lpr_visitor_mode_http_notification_sche",
                             black   ? "lpr_black_white_led_params"
                             : white ? "lpr_white_white_led_params"
                                     : "lpr_vistor_white_led_params",
                             black   ? "lpr_black_warning_light_params"
                             : white ? "lpr_white_warning_light_params"
                                     : "lpr_vistor_warning_light_params",
                             black   ? "lpr_black_mode_http_notification_params"
                             : white ? "lpr_white_mode_http_notification_params"
                                     : "lpr_visitor_mode_http_notification_params",
                             kAnprPtzEventBase + m};
    }
  }
};

bool is_anpr_mode(int mode) { return mode >= kAnprModeAny && mode <= kAnprModeLast; }

constexpr DbField kAnprListFields[] = {
    DB_FIELD(AnprListEntry, type, "type", DbType::Text),
    DB_FIELD(AnprListEntry, plate, "plate", DbType::Text),
};

}  // namespace

const DbRecord kAnprListRecord = {"anpr_list", nullptr, sizeof(AnprListEntry), kAnprListFields};

const EventSource& anpr_source(int mode) {
  static const AnprSources all;
  return all.modes[static_cast<size_t>(is_anpr_mode(mode) ? mode + 1 : 0)];
}

int read_anpr_event(const char* db, AnprEventInfo* record, int32_t channel, int mode) {
  if (!is_anpr_mode(mode)) return -1;
  return db_read(db, kSmartEventRecord, record, channel, anpr_source(mode).record_table);
}
int write_anpr_event(const char* db, const AnprEventInfo* record, int mode) {
  if (!is_anpr_mode(mode)) return -1;
  return db_write(db, kSmartEventRecord, record, anpr_source(mode).record_table);
}

// The plate reaches SQL only as a bound value of the row match.
int write_anpr_list_replace_batch(const char* db, const AnprListEntry* entries, int count) {
  DbBatch batch(db);
  for (int i = 0; i < count; ++i) {
    const DbMatch match[] = {{"plate", 0, entries[i].plate}};
    if (db_replace_rows(db, kAnprListRecord, match, &entries[i], 1) != 0) return -1;
  }
  return batch.commit();
}

int delete_anpr_lists(const char* db, const AnprListEntry* entries, int count) {
  DbBatch batch(db);
  for (int i = 0; i < count; ++i) {
    const DbMatch match[] = {{"plate", 0, entries[i].plate}};
    if (db_replace_rows(db, kAnprListRecord, match, nullptr, 0) != 0) return -1;
  }
  return batch.commit();
}

int read_anpr_list_plate(const char* db, AnprListEntry* entry, const char* plate) {
  const DbMatch match[] = {{"plate", 0, plate}};
  int count = 0;
  if (db_read_rows(db, kAnprListRecord, entry, 1, &count, match) != 0) return -1;
  return count == 1 ? 0 : -1;
}
