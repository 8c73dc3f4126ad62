// Core-daemon requests, replies and device files of the maintenance routes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Requests (all but 3528 are sent without waiting).
constexpr int32_t kReqRestart = 1703;
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

#pragma pack(push, 1)
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
static_assert(sizeof(RestorePayload) == 8);
static_assert(offsetof(RestorePayload, keepUser) == 4);
static_assert(sizeof(DiagnosisRequest) == 64);
static_assert(sizeof(DiagnosisReplyHead) == 8);
static_assert(offsetof(DiagnosisReplyHead, status) == 4);

// Reply 8528 (size in bytes, payload).
void on_export_diagnosis_cb(uint32_t size, const void* payload);
