// Named access to the camera module's settings records.
#include "modules/cameras/cameras_records.h"

#include <cstdio>
#include <cstring>

int read_camera(const char* path, CameraRecord* record, int32_t channel) {
  return db_read(path, kCameraRecord, record, channel);
}
int write_camera(const char* path, const CameraRecord* record) {
  return db_write(path, kCameraRecord, record);
}
int read_osd(const char* path, OsdRecord* record, int32_t channel) {
  return db_read(path, kOsdRecord, record, channel);
}
int write_osd(const char* path, const OsdRecord* record) {
  return db_write(path, kOsdRecord, record);
}
void read_osd_name(const char* path, char* buffer, size_t size, int32_t channel) {
  OsdRecord osd{};
  if (read_osd(path, &osd, channel) != 0 || osd.name[0] == '\0')
    snprintf(osd.name, sizeof osd.name, "CAM%d", channel + 1);
  snprintf(buffer, size, "%.*s", static_cast<int>(sizeof osd.name), osd.name);
}
int read_ipc_protocols(const char* path, IpcProtocol* array, int max, int* count) {
  return db_read_all(path, kIpcProtocolRecord, array, max, count);
}
int write_ipc_protocol(const char* path, const IpcProtocol* record) {
  return db_write(path, kIpcProtocolRecord, record);
}
int read_ipc_models_by_protocol(const char* path, IpcModel* array, int max, int* count,
                                int32_t protocol) {
  const DbMatch match[] = {{"protocol", protocol}};
  return db_read_rows(path, kIpcModelRecord, array, max, count, match);
}
int read_ipc_model(const char* path, IpcModel* record, int32_t id) {
  return db_read(path, kIpcModelRecord, record, id);
}
int read_privacy_mask(const char* path, PrivacyMask* record, int32_t channel) {
  return db_read(path, kPrivacyMaskRecord, record, channel);
}
int write_privacy_mask(const char* path, const PrivacyMask* record) {
  return db_write(path, kPrivacyMaskRecord, record);
}
int read_exposure(const char* path, ExposureEntry* list, int32_t channel, int* count) {
  const DbMatch match[] = {{"chnid", channel}};
  return db_read_rows(path, kExposureRecord, list, kMaxExposureEntries, count, match);
}
int write_exposure(const char* path, const ExposureEntry* list, int32_t channel, int count) {
  const DbMatch match[] = {{"chnid", channel}};
  return db_replace_rows(path, kExposureRecord, match, list, count);
}

// ---- people counting, POS, report auto backup, face capture ---------------------------------

namespace {

constexpr DbField kPeoplecntSettingFields[] = {
    DB_FIELD(PeoplecntSetting, groupid, "groupid", CT::I32),
    DB_FIELD(PeoplecntSetting, enable, "enable", CT::I32),
    DB_FIELD(PeoplecntSetting, stays, "stays", CT::I32),
    DB_FIELD(PeoplecntSetting, liveview_auto_reset, "liveview_auto_reset", CT::I32),
    DB_FIELD(PeoplecntSetting, auto_day, "auto_day", CT::I32),
    DB_FIELD(PeoplecntSetting, liveview_font_size, "liveview_font_size", CT::I32),
    DB_FIELD(PeoplecntSetting, name, "name", CT::Text),
    DB_FIELD(PeoplecntSetting, auto_day_time, "auto_day_time", CT::Text),
    DB_FIELD(PeoplecntSetting, tri_channels, "tri_channels", CT::Text),
    DB_FIELD(PeoplecntSetting, liveview_green_tips, "liveview_green_tips", CT::Text),
    DB_FIELD(PeoplecntSetting, liveview_red_tips, "liveview_red_tips", CT::Text),
};

constexpr DbField kPosSettingFields[] = {
    DB_FIELD(PosSetting, id, "id", CT::I32),
    DB_FIELD(PosSetting, enable, "enable", CT::I32),
    DB_FIELD(PosSetting, name, "name", CT::Text),
    DB_FIELD(PosSetting, protocol, "protocol", CT::I32),
    DB_FIELD(PosSetting, connectionMode, "connectionMode", CT::I32),
    DB_FIELD(PosSetting, ip, "ip", CT::Text),
    DB_FIELD(PosSetting, liveviewDisplay, "liveviewDisplay", CT::I32),
    DB_FIELD(PosSetting, displayChannel, "displayChannel", CT::I32),
    DB_FIELD(PosSetting, startX, "startX", CT::I32),
    DB_FIELD(PosSetting, startY, "startY", CT::I32),
    DB_FIELD(PosSetting, areaWidth, "areaWidth", CT::I32),
    DB_FIELD(PosSetting, areaHeight, "areaHeight", CT::I32),
    DB_FIELD(PosSetting, characterEncodeing, "characterEncodeing", CT::I32),
    DB_FIELD(PosSetting, fontSize, "fontSize", CT::I32),
    DB_FIELD(PosSetting, fontColor, "fontColor", CT::I32),
    DB_FIELD(PosSetting, overlayMode, "overlayMode", CT::I32),
    DB_FIELD(PosSetting, displayTime, "displayTime", CT::I32),
    DB_FIELD(PosSetting, timeout, "timeout", CT::I32),
    DB_FIELD(PosSetting, privacy1, "privacy1", CT::Text),
    DB_FIELD(PosSetting, privacy2, "privacy2", CT::Text),
    DB_FIELD(PosSetting, privacy3, "privacy3", CT::Text),
    DB_FIELD(PosSetting, port, "port", CT::I32),
    DB_FIELD(PosSetting, nvrPort, "nvrPort", CT::I32),
    DB_FIELD(PosSetting, clearTime, "clearTime", CT::I32),
};

constexpr DbField kReportBackupFields[] = {
    DB_FIELD(ReportBackup, reportType, "reportType", CT::I32),
    DB_FIELD(ReportBackup, enable, "enable", CT::I32),
    DB_FIELD(ReportBackup, triChannels, "triChannels", CT::Text),
    DB_FIELD(ReportBackup, triGroups, "triGroups", CT::Text),
    DB_FIELD(ReportBackup, stayLengthType, "stayLengthType", CT::I32),
    DB_FIELD(ReportBackup, stayLengthValue, "stayLengthValue", CT::I32),
    DB_FIELD(ReportBackup, backupDay, "backupDay", CT::I32),
    DB_FIELD(ReportBackup, backupTime, "backupTime", CT::Text),
    DB_FIELD(ReportBackup, fileFormat, "fileFormat", CT::I32),
    DB_FIELD(ReportBackup, timeRange, "timeRange", CT::I32),
    DB_FIELD(ReportBackup, backupTo, "backupTo", CT::I32),
    DB_FIELD(ReportBackup, lineMask, "lineMask", CT::I32),
};

constexpr DbField kPeoplecntEventFields[] = {
    DB_FIELD(PeoplecntEvent, chnid, "chnid", CT::I32),
    DB_FIELD(PeoplecntEvent, triAlarms, "triAlarms", CT::I32),
    DB_FIELD(PeoplecntEvent, interval, "interval", CT::I32),
    DB_FIELD(PeoplecntEvent, email_interval, "email_interval", CT::I32),
    DB_FIELD(PeoplecntEvent, email_pic_enable, "email_pic_enable", CT::I32),
    DB_FIELD(PeoplecntEvent, tri_channels_pic, "tri_channels_pic", CT::Text),
    DB_FIELD(PeoplecntEvent, ptz_interval, "ptz_interval", CT::I32),
    DB_FIELD(PeoplecntEvent, alarmout_interval, "alarmout_interval", CT::I32),
    DB_FIELD(PeoplecntEvent, white_interval, "white_interval", CT::I32),
    DB_FIELD_AT_J(PeoplecntEvent, tri_chn_alarms, 0, "tri_chn_alarm0", CT::Text, ""),
    DB_FIELD_AT_J(PeoplecntEvent, tri_chn_alarms, 1, "tri_chn_alarm1", CT::Text, ""),
    DB_FIELD(PeoplecntEvent, audioId, "audioId", CT::I32),
};

constexpr DbField kActionEventFields[] = {
    DB_FIELD(ActionEvent, id, "id", CT::I32),
    DB_FIELD(ActionEvent, triAlarms, "triAlarms", CT::I32),
    DB_FIELD(ActionEvent, interval, "interval", CT::I32),
    DB_FIELD(ActionEvent, audioId, "audioId", CT::I32),
    DB_FIELD(ActionEvent, email_interval, "email_interval", CT::I32),
    DB_FIELD(ActionEvent, email_pic_enable, "email_pic_enable", CT::I32),
    DB_FIELD(ActionEvent, tri_channels_pic, "tri_channels_pic", CT::Text),
    DB_FIELD(ActionEvent, ptz_interval, "ptz_interval", CT::I32),
    DB_FIELD(ActionEvent, white_interval, "white_interval", CT::I32),
    DB_FIELD(ActionEvent, http_notification_interval, "http_notification_interval", CT::I32),
    DB_FIELD_AT_J(ActionEvent, tri_chn_alarms, 0, "tri_chn_alarm0", CT::Text, ""),
    DB_FIELD_AT_J(ActionEvent, tri_chn_alarms, 1, "tri_chn_alarm1", CT::Text, ""),
    DB_FIELD(ActionEvent, alarmout_interval, "alarmout_interval", CT::I32),
    DB_FIELD(ActionEvent, triChannels, "triChannels", CT::Text),
    DB_FIELD_J(ActionEvent, tri_channel_mask, "tri_channel_mask", CT::U64, ""),
};

// records[max] by their int32 key at offset 0: every stored row lands at its place.
template <class T>
int read_keyed(const char* path, const DbRecord& desc, T* records, int max) {
  T stored[16] = {};
  int count = 0;
  const int rc = db_read_all(path, desc, stored, 16, &count);
  for (int i = 0; rc == 0 && i < count && i < 16; ++i) {
    int32_t key = -1;
    memcpy(&key, &stored[i], sizeof key);
    if (key >= 0 && key < max) records[key] = stored[i];
  }
  return rc;
}

}  // namespace

const DbRecord kPeoplecntSettingRecord{"peoplecnt_settings", "groupid", sizeof(PeoplecntSetting),
                                       kPeoplecntSettingFields};
const DbRecord kPosSettingRecord{"pos_settings", "id", sizeof(PosSetting), kPosSettingFields};
const DbRecord kReportBackupRecord{"peoplecnt_auto_backup", "reportType", sizeof(ReportBackup),
                                   kReportBackupFields};
const DbRecord kPeoplecntEventRecord{"peoplecnt_event", "chnid", sizeof(PeoplecntEvent),
                                     kPeoplecntEventFields};
const DbRecord kActionEventRecord{"pos_event", "id", sizeof(ActionEvent), kActionEventFields};

int read_peoplecnt_settings(const char* path, PeoplecntSetting* records) {
  return read_keyed(path, kPeoplecntSettingRecord, records, kPeoplecntGroups);
}
int write_peoplecnt_settings(const char* path, const PeoplecntSetting* records, int count) {
  return db_write_all(path, kPeoplecntSettingRecord, records, count);
}
int read_pos_settings(const char* path, PosSetting* records) {
  return read_keyed(path, kPosSettingRecord, records, kPosDevices);
}
int read_pos_setting(const char* path, PosSetting* record, int32_t id) {
  return db_read(path, kPosSettingRecord, record, id);
}
int write_pos_setting(const char* path, const PosSetting* record) {
  return db_write(path, kPosSettingRecord, record);
}
int read_peoplecnt_auto_backup(const char* path, ReportBackup* records) {
  return read_keyed(path, kReportBackupRecord, records, kReportBackups);
}
int write_peoplecnt_auto_backup(const char* path, const ReportBackup* records, int count) {
  return db_write_all(path, kReportBackupRecord, records, count);
}
