// Messages between the video-and-events routes and the core daemon: request
// and reply ids and the camera motion records.
#pragma once

#include <cstddef>
#include <cstdint>

// Motion.
constexpr int32_t kReqMotionChanged = 1403;    // int32 channel
constexpr int32_t kReqMotionCopied = 1410;     // uint64 channel mask
constexpr int32_t kReqCameraMotionMap = 3206;  // int32 channel; reply 8206
constexpr int32_t kReplyCameraMotionMap = 8206;
constexpr int32_t kReqSetCameraMotion = 3207;       // CameraMotion
constexpr int32_t kReqCameraMotionSchedule = 3209;  // CameraSchedule
constexpr int32_t kReqCameraMotionSwitch = 3212;    // CameraMotionSwitch
constexpr int32_t kReqCameraMotionCopy = 3251;      // CameraMotionCopy
constexpr int32_t kReqCameraScheduleCopy = 3252;    // CameraSchedule with further channels
// Video loss and alarm inputs.
constexpr int32_t kReqVideoLossChanged = 1402;        // int32 channel
constexpr int32_t kReqAlarmInScheduleChanged = 1404;  // int32 alarm input
constexpr int32_t kReqVideoLossMask = 1414;           // uint64 channel mask
constexpr int32_t kReqAlarmInMask = 1415;             // uint64 alarm-input mask

constexpr int kCameraMapChars = 300;  // motion map text in the camera records (299 + NUL)

#pragma pack(push, 1)

struct CameraMotion {  // 340 bytes: request 3207, reply 8206
  int32_t enable;
  char map[kCameraMapChars];
  int32_t sensitivity;
  int32_t channel;
  int32_t result;
  int32_t modelType;
  int32_t fishdisplay;
  int32_t fishtransfer;
  int32_t fishinstall;
  int32_t enableAI;
  uint8_t reserved[4];
};
static_assert(sizeof(CameraMotion) == 340);
static_assert(offsetof(CameraMotion, map) == 4);
static_assert(offsetof(CameraMotion, sensitivity) == 304);
static_assert(offsetof(CameraMotion, channel) == 308);
static_assert(offsetof(CameraMotion, result) == 312);
static_assert(offsetof(CameraMotion, modelType) == 316);
static_assert(offsetof(CameraMotion, fishdisplay) == 320);
static_assert(offsetof(CameraMotion, fishtransfer) == 324);
static_assert(offsetof(CameraMotion, fishinstall) == 328);
static_assert(offsetof(CameraMotion, enableAI) == 332);

struct CameraMotionSwitch {  // 268 bytes: request 3212
  int32_t channel;
  int32_t enable;  // 1 on, 0 off
  int32_t further[64];
  int32_t count;
};
static_assert(sizeof(CameraMotionSwitch) == 268);
static_assert(offsetof(CameraMotionSwitch, further) == 8);
static_assert(offsetof(CameraMotionSwitch, count) == 264);

struct CameraScheduleSlot {
  int32_t values[4];
};
struct CameraScheduleDay {  // 136 bytes
  int32_t day;
  int32_t flag;
  CameraScheduleSlot slots[8];
};
static_assert(sizeof(CameraScheduleDay) == 136);

struct CameraSchedule {  // 1216 bytes: requests 3209 and 3252
  int32_t channel;       // 3209; 0 in 3252
  uint8_t reserved[64];
  CameraScheduleDay days[7];  // from 68; the slot room of day 6 from 956 holds 3252's list
  uint8_t tail[196];
};
static_assert(sizeof(CameraSchedule) == 1216);
static_assert(offsetof(CameraSchedule, days) == 68);

// 3252: the further channels at 956 and their count at 1212 (inside the day
// room, so laid over the block).
constexpr size_t kScheduleFurtherOffset = 956;
constexpr size_t kScheduleFurtherCountOffset = 1212;
static_assert(kScheduleFurtherOffset == 68 + 6 * 136 + 8 + 4 * 16);  // after day 6's used slots
static_assert(kScheduleFurtherOffset + 64 * 4 == kScheduleFurtherCountOffset);

struct CameraMotionCopy {  // 580 bytes: request 3251
  char map[kCameraMapChars];
  int32_t sensitivity;
  int32_t channel;
  int32_t enable;  // camera motion switch
  int32_t further[64];
  int32_t count;
  int32_t enableAI;
  int32_t detection;
};
static_assert(sizeof(CameraMotionCopy) == 580);
static_assert(offsetof(CameraMotionCopy, sensitivity) == 300);
static_assert(offsetof(CameraMotionCopy, channel) == 304);
static_assert(offsetof(CameraMotionCopy, enable) == 308);
static_assert(offsetof(CameraMotionCopy, further) == 312);
static_assert(offsetof(CameraMotionCopy, count) == 568);
static_assert(offsetof(CameraMotionCopy, enableAI) == 572);
static_assert(offsetof(CameraMotionCopy, detection) == 576);

#pragma pack(pop)

#include "modules/video/vca_wire.h"  // the smart events
