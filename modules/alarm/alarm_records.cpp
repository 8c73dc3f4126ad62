#include "modules/alarm/alarm_records.h"

#include <iterator>

#include "platform/device_path.h"

namespace {

using nvr::events::EventSource;

constexpr DbField kAlarmOutFields[] = {
    DB_FIELD(AlarmOut, id, "id", DbType::I32),
    DB_FIELD(AlarmOut, name, "name", DbType::Text),
    DB_FIELD(AlarmOut, type, "type", DbType::I32),
    DB_FIELD(AlarmOut, enable, "enable", DbType::I32),
    DB_FIELD(AlarmOut, durationTime, "durationTime", DbType::I32),
};

constexpr DbField kAlarmInFields[] = {
    DB_FIELD(AlarmIn, id, "id", DbType::I32),
    DB_FIELD(AlarmIn, enable, "enable", DbType::I32),
    DB_FIELD(AlarmIn, name, "name", DbType::Text),
    DB_FIELD(AlarmIn, type, "type", DbType::I32),
    DB_FIELD_J(AlarmIn, tri_channel_mask, "tri_channel_mask", DbType::U64, ""),
    DB_FIELD(AlarmIn, triAlarms, "triAlarms", DbType::I32),
    DB_FIELD(AlarmIn, interval, "interval", DbType::I32),
    DB_FIELD_J(AlarmIn, interval_type, "interval_type", DbType::I32, ""),
    DB_FIELD(AlarmIn, triChannels, "triChannels", DbType::Text),
    DB_FIELD(AlarmIn, triSnapshot, "triSnapshot", DbType::Text),
    DB_FIELD_AT_J(AlarmIn, tri_chn_alarms, 0, "tri_chn_alarm0", DbType::Text, ""),
    DB_FIELD_AT_J(AlarmIn, tri_chn_alarms, 1, "tri_chn_alarm1", DbType::Text, ""),
    DB_FIELD(AlarmIn, email_enable, "email_enable", DbType::I32),
    DB_FIELD(AlarmIn, email_interval, "email_interval", DbType::I32),
    DB_FIELD_J(AlarmIn, email_interval_type, "email_interval_type", DbType::I32, ""),
    DB_FIELD(AlarmIn, email_pic_enable, "email_pic_enable", DbType::I32),
    DB_FIELD(AlarmIn, tri_channels_pic, "tri_channels_pic", DbType::Text),
    DB_FIELD(AlarmIn, ptz_interval, "ptz_interval", DbType::I32),
    DB_FIELD(AlarmIn, alarmout_interval, "alarmout_interval", DbType::I32),
    DB_FIELD(AlarmIn, white_interval, "white_interval", DbType::I32),
    DB_FIELD(AlarmIn, warning_light_interval, "warning_light_interval", DbType::I32),
    DB_FIELD(AlarmIn, http_notification_interval, "http_notification_interval", DbType::I32),
    DB_FIELD(AlarmIn, audioId, "audioId", DbType::I32),
};

constexpr DbField kAlarmChnInEventFields[] = {
    DB_FIELD(AlarmChnInEvent, chnid, "chnid", DbType::I32),
    DB_FIELD(AlarmChnInEvent, alarm, "alarm", DbType::I32),
    DB_FIELD_J(AlarmChnInEvent, tri_channel_mask, "tri_channel_mask", DbType::U64, ""),
    DB_FIELD(AlarmChnInEvent, triChannels, "triChannels", DbType::Text),
    DB_FIELD(AlarmChnInEvent, triAlarms, "triAlarms", DbType::I32),
    DB_FIELD(AlarmChnInEvent, interval, "interval", DbType::I32),
    DB_FIELD_J(AlarmChnInEvent, interval_type, "interval_type", DbType::I32, ""),
    DB_FIELD_AT_J(AlarmChnInEvent, tri_chn_alarms, 0, "tri_chn_alarm0", DbType::Text, ""),
    DB_FIELD_AT_J(AlarmChnInEvent, tri_chn_alarms, 1, "tri_chn_alarm1", DbType::Text, ""),
    DB_FIELD(AlarmChnInEvent, email_interval, "email_interval", DbType::I32),
    DB_FIELD_J(AlarmChnInEvent, email_interval_type, "email_interval_type", DbType::I32, ""),
    DB_FIELD(AlarmChnInEvent, email_pic_enable, "email_pic_enable", DbType::I32),
    DB_FIELD(AlarmChnInEvent, tri_channels_pic, "tri_channels_pic", DbType::Text),
    DB_FIELD(AlarmChnInEvent, ptz_interval, "ptz_interval", DbType::I32),
    DB_FIELD(AlarmChnInEvent, alarmout_interval, "alarmout_interval", DbType::I32),
    DB_FIELD(AlarmChnInEvent, white_interval, "white_interval", DbType::I32),
    DB_FIELD(AlarmChnInEvent, warning_light_interval, "warning_light_interval", DbType::I32),
    DB_FIELD(AlarmChnInEvent, http_notification_interval, "http_notification_interval",
             DbType::I32),
    DB_FIELD(AlarmChnInEvent, audioId, "audioId", DbType::I32),
};

constexpr DbField kAlarmChnInNameFields[] = {
    DB_FIELD(AlarmChnInName, chnid, "chnid", DbType::I32),
    DB_FIELD(AlarmChnInName, alarm, "alarm", DbType::I32),
    DB_FIELD_J(AlarmChnInName, name, "name", DbType::Text, "alarmName"),
};

constexpr DbField kAlarmChnOutNameFields[] = {
    DB_FIELD(AlarmChnOutName, chnid, "chnid", DbType::I32),
    DB_FIELD(AlarmChnOutName, alarm, "alarm", DbType::I32),
    DB_FIELD(AlarmChnOutName, delayTime, "delayTime", DbType::I32),
    DB_FIELD_J(AlarmChnOutName, name, "name", DbType::Text, "alarmName"),
};

constexpr DbField kDisarmingFields[] = {
    DB_FIELD(Disarming, linkageAction, "linkageAction", DbType::I32),
    DB_FIELD(Disarming, disarmActionMask, "disarmActionMask", DbType::I32),
};

#define CHN_IN_SOURCE(n)                                                                        \
  EventSource {                                                                                 \
    &kAlarmChnInEventRecord, "alarm_chnIn" #n "_event", "alarm_chnIn" #n "_effective_schedule", \
        "alarm_chnIn" #n "_audible_schedule", "alarm_chnIn" #n "_mail_schedule",                \
        "alarm_chnIn" #n "_ptz_schedule", "alarm_chnIn" #n "_whiteled_esche",                   \
        "alarm_chnIn" #n "_warning_light_esche", "alarm_chnIn" #n "_http_notification_sche",    \
        "alarm_chnIn" #n "_white_led_params", "alarm_chnIn" #n "_warning_light_params",         \
        "alarm_chnIn" #n "_http_notification_params", converse_chn_alarmid_to_event_in(n)       \
  }

}  // namespace

const DbRecord kAlarmOutRecord = {"alarm_out", "id", sizeof(AlarmOut), kAlarmOutFields};
const DbRecord kAlarmInRecord = {"alarm_in", "id", sizeof(AlarmIn), kAlarmInFields};
const DbRecord kAlarmChnInEventRecord = {"alarm_chnIn_event", "chnid", sizeof(AlarmChnInEvent),
                                         kAlarmChnInEventFields};
const DbRecord kAlarmChnInNameRecord = {"alarm_chnin_names", nullptr, sizeof(AlarmChnInName),
                                        kAlarmChnInNameFields};
const DbRecord kAlarmChnOutNameRecord = {"alarm_chnout_names", nullptr, sizeof(AlarmChnOutName),
                                         kAlarmChnOutNameFields};
const DbRecord kDisarmingRecord = {"disarming", nullptr, sizeof(Disarming), kDisarmingFields};

// Camera alarm inputs follow the event types of the other sources (26 is
// face detection): input n is 27 + n.
int32_t converse_chn_alarmid_to_event_in(int32_t alarm) { return 27 + alarm; }

const EventSource kAlarmInSource = {
    &kAlarmInRecord,
    nullptr,
    "alarmin_effective_schedule",
    "alarmin_audible_schedule",
    "alarmin_email_schedule",
    "alarmin_ptz_schedule",
    "alarmin_whiteled_esche",
    "alarmin_warning_light_esche",
    "alarmin_http_notification_sche",
    "alarm_in_white_led_params",
    "alarm_in_warning_light_params",
    "alarmin_http_notification_params",
    0,
};

const EventSource kAlarmChnInSources[kCameraAlarmInputs] = {CHN_IN_SOURCE(0), CHN_IN_SOURCE(1),
                                                            CHN_IN_SOURCE(2), CHN_IN_SOURCE(3)};

const char* const kAlarmChnOutScheduleTables[kCameraAlarmOutputs] = {
    "alarm_chnOut0_effective_schedule", "alarm_chnOut1_effective_schedule"};

namespace {

template <class Name>
void read_names(const char* db, const DbRecord& record, Name* names, int32_t alarm) {
  Name rows[nvr::events::kChannels] = {};
  int count = 0;
  const DbMatch match[] = {{"alarm", alarm}};
  if (db_read_rows(db, record, rows, nvr::events::kChannels, &count, match) != 0) return;
  for (int i = 0; i < count; ++i)
    if (rows[i].chnid >= 0 && rows[i].chnid < nvr::events::kChannels)
      names[rows[i].chnid] = rows[i];
}

template <class Name>
int write_name(const char* db, const DbRecord& record, const Name* name) {
  const DbMatch match[] = {{"chnid", name->chnid}, {"alarm", name->alarm}};
  return db_upsert_row(db, record, match, name);
}

}  // namespace

void read_alarm_chnIn_event_names(const char* db, AlarmChnInName* names, int32_t alarm) {
  read_names(db, kAlarmChnInNameRecord, names, alarm);
}
int write_alarm_chnIn_event_name(const char* db, const AlarmChnInName* name) {
  return write_name(db, kAlarmChnInNameRecord, name);
}
void read_alarm_chnOut_event_names(const char* db, AlarmChnOutName* names, int32_t alarm) {
  read_names(db, kAlarmChnOutNameRecord, names, alarm);
}
int write_alarm_chnOut_event_name(const char* db, const AlarmChnOutName* name) {
  return write_name(db, kAlarmChnOutNameRecord, name);
}
