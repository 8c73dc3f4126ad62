// The parts of the per-channel and alarm settings that the status pages show
// and the general settings change: a camera's connection data, its name, the
// names of its alarm inputs and outputs, and the recorder's alarm inputs and
// outputs. The tables and columns are those of the records' own pages (the
// camera, OSD and alarm settings), so both read and write the same rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb.h"

#pragma pack(push, 1)
// The camera record's connection data (table "camera", key "id").
struct CameraBasic {
  int32_t id;
  int32_t enable;
  char user_name[64];
  char password[64];
  char ip_addr[64];
  int32_t manage_port;
  int32_t cam_protocol;  // the field after the management port
};

struct OsdName {  // table "osd", key "camId"
  int32_t channel;
  char name[64];
};

struct CamAlarmInName {  // table "alarm_chnin_name": one row per channel and input
  int32_t channel;
  int32_t alarm;
  char name[64];
};

struct CamAlarmOutName {  // table "alarm_chnout_name": one row per channel and output
  int32_t channel;
  int32_t alarm;
  int32_t delay_time;
  char name[64];
};

struct AlarmInBasic {  // table "alarm_in", key "id"
  int32_t id;
  char name[256];
  int32_t type;
};

struct AlarmOutBasic {  // table "alarm_out", key "id"
  int32_t id;
  char name[256];
  int32_t type;
  int32_t duration;
};
#pragma pack(pop)

extern const DbRecord kCameraBasicRecord;
extern const DbRecord kCameraAddressRecord;  // id and address only

int read_camera(const char* path, CameraBasic* camera, int32_t channel);
[[nodiscard]] int write_camera(const char* path, const CameraBasic* camera);
// Sets the address of one channel, leaving its other settings alone.
[[nodiscard]] int write_camera_address(const char* path, int32_t channel, const char* address);

// The channel's name, "" when none is stored.
int read_osd_name(const char* path, int32_t channel, char* name, size_t size);

// The names of camera alarm input (or output) `alarm` of every channel:
// entry n for channel n, empty when none is stored.
int read_alarm_chn_in_names(const char* path, int32_t alarm, CamAlarmInName names[64]);
int read_alarm_chn_out_names(const char* path, int32_t alarm, CamAlarmOutName names[64]);

// The recorder's alarm inputs 0..15 and outputs 0..3, entry n for id n (with
// its id and empty fields when none is stored).
int read_alarm_ins(const char* path, AlarmInBasic inputs[16]);
int read_alarm_outs(const char* path, AlarmOutBasic outputs[4]);
