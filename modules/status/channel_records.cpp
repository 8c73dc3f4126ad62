#include "modules/status/channel_records.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr DbField kCameraBasicFields[] = {
    DB_FIELD(CameraBasic, id, "id", DbType::I32),
    DB_FIELD(CameraBasic, enable, "enable", DbType::I32),
    DB_FIELD(CameraBasic, user_name, "userName", DbType::Text),
    DB_FIELD(CameraBasic, password, "password", DbType::Text),
    DB_FIELD(CameraBasic, ip_addr, "ipAddr", DbType::Text),
    DB_FIELD(CameraBasic, manage_port, "managePort", DbType::I32),
    DB_FIELD(CameraBasic, cam_protocol, "camProtocol", DbType::I32),
};
constexpr DbField kCameraAddressFields[] = {
    DB_FIELD(CameraBasic, id, "id", DbType::I32),
    DB_FIELD(CameraBasic, ip_addr, "ipAddr", DbType::Text),
};

constexpr DbField kOsdNameFields[] = {
    DB_FIELD(OsdName, channel, "camId", DbType::I32),
    DB_FIELD(OsdName, name, "camName", DbType::Text),
};
constexpr DbRecord kOsdNameRecord{"osd", "camId", sizeof(OsdName), kOsdNameFields};

constexpr DbField kCamAlarmInNameFields[] = {
    DB_FIELD(CamAlarmInName, channel, "chnid", DbType::I32),
    DB_FIELD(CamAlarmInName, alarm, "alarmid", DbType::I32),
    DB_FIELD(CamAlarmInName, name, "name", DbType::Text),
};
constexpr DbRecord kCamAlarmInNameRecord{"alarm_chnin_name", nullptr, sizeof(CamAlarmInName),
                                         kCamAlarmInNameFields};

constexpr DbField kCamAlarmOutNameFields[] = {
    DB_FIELD(CamAlarmOutName, channel, "chnid", DbType::I32),
    DB_FIELD(CamAlarmOutName, alarm, "alarmid", DbType::I32),
    DB_FIELD(CamAlarmOutName, delay_time, "delayTime", DbType::I32),
    DB_FIELD(CamAlarmOutName, name, "name", DbType::Text),
};
constexpr DbRecord kCamAlarmOutNameRecord{"alarm_chnout_name", nullptr, sizeof(CamAlarmOutName),
                                          kCamAlarmOutNameFields};

constexpr DbField kAlarmInFields[] = {
    DB_FIELD(AlarmInBasic, id, "id", DbType::I32),
    DB_FIELD(AlarmInBasic, name, "name", DbType::Text),
    DB_FIELD(AlarmInBasic, type, "alarmType", DbType::I32),
};
constexpr DbRecord kAlarmInRecord{"alarm_in", "id", sizeof(AlarmInBasic), kAlarmInFields};

constexpr DbField kAlarmOutFields[] = {
    DB_FIELD(AlarmOutBasic, id, "id", DbType::I32),
    DB_FIELD(AlarmOutBasic, name, "name", DbType::Text),
    DB_FIELD(AlarmOutBasic, type, "type", DbType::I32),
    DB_FIELD(AlarmOutBasic, duration, "duration", DbType::I32),
};
constexpr DbRecord kAlarmOutRecord{"alarm_out", "id", sizeof(AlarmOutBasic), kAlarmOutFields};

// Rows of one alarm index, placed by channel (rows of other channels dropped).
template <class T>
int read_names(const char* path, const DbRecord& record, int32_t alarm, T names[64]) {
  for (int i = 0; i < 64; ++i) names[i] = T{};
  T rows[128] = {};
  int count = 0;
  const DbMatch match[] = {{"alarmid", alarm}};
  int result = db_read_rows(path, record, rows, 128, &count, match);
  for (int i = 0; i < count; ++i)
    if (rows[i].channel >= 0 && rows[i].channel < 64) names[rows[i].channel] = rows[i];
  return result;
}

}  // namespace

const DbRecord kCameraBasicRecord{"camera", "id", sizeof(CameraBasic), kCameraBasicFields};
const DbRecord kCameraAddressRecord{"camera", "id", sizeof(CameraBasic), kCameraAddressFields};

int read_camera(const char* path, CameraBasic* camera, int32_t channel) {
  return db_read(path, kCameraBasicRecord, camera, channel);
}

int write_camera(const char* path, const CameraBasic* camera) {
  return db_write(path, kCameraBasicRecord, camera);
}

int write_camera_address(const char* path, int32_t channel, const char* address) {
  if (address == nullptr) return -1;
  CameraBasic record{};
  record.id = channel;
  snprintf(record.ip_addr, sizeof record.ip_addr, "%s", address);
  return db_write(path, kCameraAddressRecord, &record);
}

int read_osd_name(const char* path, int32_t channel, char* name, size_t size) {
  OsdName osd{};
  int result = db_read(path, kOsdNameRecord, &osd, channel);
  snprintf(name, size, "%.*s", static_cast<int>(sizeof osd.name), osd.name);
  return result;
}

int read_alarm_chn_in_names(const char* path, int32_t alarm, CamAlarmInName names[64]) {
  return read_names(path, kCamAlarmInNameRecord, alarm, names);
}

int read_alarm_chn_out_names(const char* path, int32_t alarm, CamAlarmOutName names[64]) {
  return read_names(path, kCamAlarmOutNameRecord, alarm, names);
}

int read_alarm_ins(const char* path, AlarmInBasic inputs[16]) {
  for (int i = 0; i < 16; ++i) {
    inputs[i] = AlarmInBasic{};
    inputs[i].id = i;
    db_read(path, kAlarmInRecord, &inputs[i], i);
  }
  return 0;
}

int read_alarm_outs(const char* path, AlarmOutBasic outputs[4]) {
  for (int i = 0; i < 4; ++i) {
    outputs[i] = AlarmOutBasic{};
    outputs[i].id = i;
    db_read(path, kAlarmOutRecord, &outputs[i], i);
  }
  return 0;
}
