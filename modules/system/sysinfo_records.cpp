#include "modules/system/sysinfo_records.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr DbField kDisplayFields[] = {
    DB_FIELD(DisplayInfo, main_resolution, "mainResolution", DbType::I32),
    DB_FIELD(DisplayInfo, hdmi_audio_on, "hdmiAudioOn", DbType::I32),
    DB_FIELD(DisplayInfo, audio_output_on, "audioOutputOn", DbType::I32),
    DB_FIELD(DisplayInfo, audio_volume, "audioVolume", DbType::I32),
    DB_FIELD(DisplayInfo, audio_stereo, "audioStereo", DbType::I32),
    DB_FIELD(DisplayInfo, sub_enable, "subEnable", DbType::I32),
    DB_FIELD(DisplayInfo, sub_resolution, "subResolution", DbType::I32),
    DB_FIELD(DisplayInfo, cur_control, "curControl", DbType::I32),
};

// The part of the network record this area touches: the host name at offset
// 4. The other fields belong to the network settings and are left alone.
#pragma pack(push, 1)
struct NetworkHostName {
  int32_t mode;
  char host_name[kHostNameSize];
};
#pragma pack(pop)
static_assert(offsetof(NetworkHostName, host_name) == 4);

constexpr DbField kHostNameFields[] = {
    DB_FIELD(NetworkHostName, host_name, "hostName", DbType::Text),
};
}  // namespace

const DbRecord kNetworkHostName{"network", nullptr, sizeof(NetworkHostName), kHostNameFields};

const DbRecord kDisplayRecord{"display", nullptr, sizeof(DisplayInfo), kDisplayFields};

int read_display(const char* path, DisplayInfo* record) {
  return db_read(path, kDisplayRecord, record, 0);
}

int write_display(const char* path, const DisplayInfo* record) {
  return db_write(path, kDisplayRecord, record);
}

int read_host_name(const char* path, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return -1;
  NetworkHostName record{};
  int result = db_read(path, kNetworkHostName, &record, 0);
  snprintf(buffer, size, "%.*s", static_cast<int>(sizeof record.host_name - 1), record.host_name);
  return result;
}

int write_host_name(const char* path, const char* host_name) {
  NetworkHostName record{};
  db_read(path, kNetworkHostName, &record, 0);
  snprintf(record.host_name, sizeof record.host_name, "%s", host_name ? host_name : "");
  return db_write(path, kNetworkHostName, &record);
}
