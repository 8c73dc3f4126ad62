// Settings records of the maintenance routes: retention and automatic reboot.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb.h"

#pragma pack(push, 1)
// How long the device keeps its logs and snapshots (units: the core daemon's).
struct DiskMaintainInfo {
  int32_t logRetention;    // "logRetention"
  int32_t photoRetention;  // "photoRetention"
};

struct AutoRebootConf {
  int32_t enable;   // "enable"
  int32_t wday;     // "wday"
  int32_t hour;     // "hour"
  int32_t minutes;  // "minutes"
  int32_t seconds;  // "seconds"
  uint8_t reserved[108];
};
#pragma pack(pop)
static_assert(sizeof(DiskMaintainInfo) == 8);
static_assert(offsetof(DiskMaintainInfo, photoRetention) == 4);
static_assert(sizeof(AutoRebootConf) == 128);
static_assert(offsetof(AutoRebootConf, wday) == 4);
static_assert(offsetof(AutoRebootConf, hour) == 8);
static_assert(offsetof(AutoRebootConf, minutes) == 12);
static_assert(offsetof(AutoRebootConf, seconds) == 16);

inline constexpr DbField kDiskMaintainFields[] = {
    DB_FIELD(DiskMaintainInfo, logRetention, "logRetention", DbType::I32),
    DB_FIELD(DiskMaintainInfo, photoRetention, "photoRetention", DbType::I32),
};
inline constexpr DbField kAutoRebootFields[] = {
    DB_FIELD(AutoRebootConf, enable, "enable", DbType::I32),
    DB_FIELD(AutoRebootConf, wday, "wday", DbType::I32),
    DB_FIELD(AutoRebootConf, hour, "hour", DbType::I32),
    DB_FIELD(AutoRebootConf, minutes, "minutes", DbType::I32),
    DB_FIELD(AutoRebootConf, seconds, "seconds", DbType::I32),
};
inline constexpr DbRecord kDiskMaintainRecord = {"disk_maintain", nullptr, sizeof(DiskMaintainInfo),
                                                 kDiskMaintainFields};
inline constexpr DbRecord kAutoRebootRecord = {"auto_reboot", nullptr, sizeof(AutoRebootConf),
                                               kAutoRebootFields};
