// System information and display settings: the device-information record of
// the core daemon (reply 8400), the display record kept in the configuration
// database, and the recorder's host name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/qvdb.h"

constexpr int32_t kReqSystemInfo = 3400;
constexpr int32_t kReplySystemInfo = 8400;

#pragma pack(push, 1)
//  OFFSET  SIZE  DESCRIPTION (device information, reply 8400)
//       0     4  device id
//       4     4  maximum cameras
//      16     4  maximum sensors (alarm inputs)
//      20     4  maximum alarm outputs
//      28     4  maximum audio outputs
//      32     4  number of displays
//      44     4  number of RS-485 ports
//      52     4  number of network ports
//      60     4  OEM version
//      68     4  DDNS flag
//      72    65  serial number
//     137    16  prefix
//     153    32  model
//     185    32  software version
//     217    32  hardware version
//     409    43  MAC address
//     452     4  talk (two-way audio) supported
struct DeviceInfo {
  int32_t device_id;
  int32_t max_cameras;
  int32_t reserved0[2];
  int32_t max_sensors;
  int32_t max_alarms;
  int32_t reserved1;
  int32_t max_audio_out;
  int32_t display_count;
  int32_t reserved2[2];
  int32_t rs485_count;
  int32_t reserved3;
  int32_t network_ports;
  int32_t reserved4;
  int32_t oem_version;
  int32_t reserved5;
  int32_t ddns;
  char serial[65];
  char prefix[16];
  char model[32];
  char software[32];
  char hardware[32];
  uint8_t reserved6[160];
  char mac[43];
  int32_t talk_support;
  uint8_t reserved7[136];
};

//  OFFSET  SIZE  DESCRIPTION (display record, table "display", one row)
//       0     4  main output resolution code      "mainResolution"
//      12     4  HDMI audio on                    "hdmiAudioOn"
//      16     4  audio output on                  "audioOutputOn"
//      20     4  audio volume 0..100, steps of 10 "audioVolume"
//      24     4  stereo audio                     "audioStereo"
//      28     4  sub output enabled               "subEnable"
//      32     4  sub output resolution code       "subResolution"
//      68     4  output under control (0 = main)  "curControl"
struct DisplayInfo {
  int32_t main_resolution;
  int32_t reserved0[2];
  int32_t hdmi_audio_on;
  int32_t audio_output_on;
  int32_t audio_volume;
  int32_t audio_stereo;
  int32_t sub_enable;
  int32_t sub_resolution;
  int32_t reserved1[8];
  int32_t cur_control;
};

// The host name: the text at offset 4 of the network record, at most 127
// characters. The other fields of that record belong to the network settings
// and are left alone.
constexpr size_t kHostNameSize = 128;
struct NetworkHostName {
  int32_t mode;
  char host_name[kHostNameSize];
};
#pragma pack(pop)

static_assert(sizeof(DeviceInfo) == 592);
static_assert(offsetof(DeviceInfo, max_cameras) == 4);
static_assert(offsetof(DeviceInfo, max_sensors) == 16);
static_assert(offsetof(DeviceInfo, max_alarms) == 20);
static_assert(offsetof(DeviceInfo, max_audio_out) == 28);
static_assert(offsetof(DeviceInfo, display_count) == 32);
static_assert(offsetof(DeviceInfo, rs485_count) == 44);
static_assert(offsetof(DeviceInfo, network_ports) == 52);
static_assert(offsetof(DeviceInfo, oem_version) == 60);
static_assert(offsetof(DeviceInfo, ddns) == 68);
static_assert(offsetof(DeviceInfo, serial) == 72);
static_assert(offsetof(DeviceInfo, prefix) == 137);
static_assert(offsetof(DeviceInfo, model) == 153);
static_assert(offsetof(DeviceInfo, software) == 185);
static_assert(offsetof(DeviceInfo, hardware) == 217);
static_assert(offsetof(DeviceInfo, mac) == 409);
static_assert(offsetof(DeviceInfo, talk_support) == 452);
static_assert(sizeof(DisplayInfo) == 72);
static_assert(offsetof(DisplayInfo, hdmi_audio_on) == 12);
static_assert(offsetof(DisplayInfo, audio_output_on) == 16);
static_assert(offsetof(DisplayInfo, audio_volume) == 20);
static_assert(offsetof(DisplayInfo, audio_stereo) == 24);
static_assert(offsetof(DisplayInfo, sub_enable) == 28);
static_assert(offsetof(DisplayInfo, sub_resolution) == 32);
static_assert(offsetof(DisplayInfo, cur_control) == 68);
static_assert(offsetof(NetworkHostName, host_name) == 4);

inline constexpr DbField kDisplayFields[] = {
    DB_FIELD(DisplayInfo, main_resolution, "mainResolution", DbType::I32),
    DB_FIELD(DisplayInfo, hdmi_audio_on, "hdmiAudioOn", DbType::I32),
    DB_FIELD(DisplayInfo, audio_output_on, "audioOutputOn", DbType::I32),
    DB_FIELD(DisplayInfo, audio_volume, "audioVolume", DbType::I32),
    DB_FIELD(DisplayInfo, audio_stereo, "audioStereo", DbType::I32),
    DB_FIELD(DisplayInfo, sub_enable, "subEnable", DbType::I32),
    DB_FIELD(DisplayInfo, sub_resolution, "subResolution", DbType::I32),
    DB_FIELD(DisplayInfo, cur_control, "curControl", DbType::I32),
};
inline constexpr DbRecord kDisplayRecord{"display", nullptr, sizeof(DisplayInfo), kDisplayFields};

inline int read_display(const char* path, DisplayInfo* record) {
  return db_read(path, kDisplayRecord, record, 0);
}
[[nodiscard]] inline int write_display(const char* path, const DisplayInfo* record) {
  return db_write(path, kDisplayRecord, record);
}

inline constexpr DbField kHostNameFields[] = {
    DB_FIELD(NetworkHostName, host_name, "hostName", DbType::Text),
};
inline constexpr DbRecord kNetworkHostName{"network", nullptr, sizeof(NetworkHostName),
                                           kHostNameFields};

inline int read_host_name(const char* path, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return -1;
  NetworkHostName record{};
  int result = db_read(path, kNetworkHostName, &record, 0);
  snprintf(buffer, size, "%.*s", static_cast<int>(sizeof record.host_name - 1), record.host_name);
  return result;
}
[[nodiscard]] inline int write_host_name(const char* path, const char* host_name) {
  NetworkHostName record{};
  db_read(path, kNetworkHostName, &record, 0);
  snprintf(record.host_name, sizeof record.host_name, "%s", host_name ? host_name : "");
  return db_write(path, kNetworkHostName, &record);
}
