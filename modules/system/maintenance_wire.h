// Settings records of the maintenance routes (retention and automatic
// reboot), and their core-daemon requests, replies and device files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// Request 3311.
struct RestorePayload {
  int32_t keepIp;    // 1: keep the network settings
  int32_t keepUser;  // 1: keep the user accounts
};

// Request 3528: the folder the package is written to.
struct DiagnosisRequest {
  char directory[64];
};

// Reply 8528: this header, then the package's device path as text.
struct DiagnosisReplyHead {
  int32_t reserved;
  int32_t status;  // 0 or more: the package was made
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

// Requests (all but 3528 are sent without waiting; the restart, 1703, is the
// frame's kReqRestart).
constexpr int32_t kReqRestore = 3311;
constexpr int32_t kReqRestoreDone = 3410;  // between the restore and the restart
constexpr int32_t kReqRetentionChanged = 2102;
constexpr int32_t kReqAutoRebootChanged = 1718;
constexpr int32_t kReqDiagnosis = 3528;
constexpr int32_t kReplyDiagnosis = 8528;

// Device files.
constexpr std::string_view kCoreReadyFile = "/tmp/qvcore";            // while the daemon runs
constexpr std::string_view kExportMarker = "/tmp/.export_down_file";  // path of the export
constexpr std::string_view kDiagnosisMarker = "/tmp/tmp_diagnostic";  // while one is made
constexpr std::string_view kExportFolder = "/tmp";  // configuration exports and diagnostics
static_assert(sizeof(RestorePayload) == 8);
static_assert(offsetof(RestorePayload, keepUser) == 4);
static_assert(sizeof(DiagnosisRequest) == 64);
static_assert(sizeof(DiagnosisReplyHead) == 8);
static_assert(offsetof(DiagnosisReplyHead, status) == 4);
