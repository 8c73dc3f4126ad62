// Core-daemon requests and records of the firmware upgrade routes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr int32_t kReqUpgradeRecorder = 1713;      // waits, reply 6713
constexpr int32_t kReqCheckRecorderOnline = 1715;  // waits, reply 6715
constexpr int32_t kReqDownloadImage = 1716;        // waits, reply 6716
constexpr int32_t kReqDeleteCameraImage = 1717;    // waits, reply 6717
constexpr int32_t kReqPrepareUpgrade = 1721;       // no reply
constexpr int32_t kReqUpgradeCamera = 3350;        // waits, reply 8350
constexpr int32_t kReqStopCameraUpgrade = 3351;    // no reply
constexpr int32_t kReqCheckCamerasOnline = 3365;   // waits, reply 8365

constexpr int32_t kReplyUpgradeRecorder = 6713;
constexpr int32_t kReplyCheckRecorderOnline = 6715;
constexpr int32_t kReplyDownloadImage = 6716;
constexpr int32_t kReplyDeleteCameraImage = 6717;
constexpr int32_t kReplyUpgradeCamera = 8350;
constexpr int32_t kReplyCheckCamerasOnline = 8365;

// Firmware images in shared memory.
constexpr std::string_view kRecorderImage = "/dev/shm/updateFM.bin";
constexpr std::string_view kCameraImage = "/dev/shm/updateIPCFM.bin";

constexpr int kMaxChannels = 64;

#pragma pack(push, 1)
// Request 1716.
struct DownloadImageRequest {
  char url[128];
  char path[128];  // device path of the image to write
};

// Request 3350.
struct CameraUpgradeRequest {
  int32_t channel;
  int32_t reset;   // 1: restore the camera's settings after upgrading
  char path[256];  // device path of the camera image
};

// Reply 8350: one item per camera.
struct CameraUpgradeResult {
  int32_t channel;
  int32_t status;
};

// Replies 6715 (one) and 8365 (one per channel).
struct FirmwareVersion {
  int32_t state;          // "state"
  int32_t fileSize;       // "fileSize"
  char softversion[64];   // "softversion"
  char url[128];          // "url"
  char description[128];  // "description"
};
#pragma pack(pop)
static_assert(sizeof(DownloadImageRequest) == 256);
static_assert(offsetof(DownloadImageRequest, path) == 128);
static_assert(sizeof(CameraUpgradeRequest) == 264);
static_assert(offsetof(CameraUpgradeRequest, reset) == 4);
static_assert(offsetof(CameraUpgradeRequest, path) == 8);
static_assert(sizeof(CameraUpgradeResult) == 8);
static_assert(offsetof(CameraUpgradeResult, status) == 4);
static_assert(sizeof(FirmwareVersion) == 328);
static_assert(offsetof(FirmwareVersion, fileSize) == 4);
static_assert(offsetof(FirmwareVersion, softversion) == 8);
static_assert(offsetof(FirmwareVersion, url) == 72);
static_assert(offsetof(FirmwareVersion, description) == 200);
