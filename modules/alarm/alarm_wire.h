// Messages between the alarm routes and the core daemon.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kReqAlarmInChanged = 1404;          // int32 input id
constexpr int32_t kReqAlarmOutChanged = 1405;         // int32 output id
constexpr int32_t kReqAlarmInEnable = 1409;           // AlarmInEnable
constexpr int32_t kReqAlarmInsChanged = 1415;         // uint64 input mask
constexpr int32_t kReqCameraAlarmInsChanged = 1417;   // uint64 channel mask
constexpr int32_t kReqCameraAlarmOutsChanged = 1418;  // uint64 channel mask
constexpr int32_t kReqCameraAlarmOutputs = 3296;      // int32 channel; reply 8296
constexpr int32_t kReplyCameraAlarmOutputs = 8296;
constexpr int32_t kReqCameraAlarmInputs = 3298;  // CameraAlarmInputs; reply 8298
constexpr int32_t kReplyCameraAlarmInputs = 8298;
constexpr int32_t kReqSetCameraAlarmOutputs = 3324;  // CameraAlarmOutSet
constexpr int32_t kReqSetCameraAlarmInputs = 3325;   // CameraAlarmInSet
constexpr int32_t kReqCameraAlarmOutState = 3352;    // CameraAlarmOutState

#pragma pack(push, 1)

struct AlarmInEnable {  // 8 bytes: request 1409
  int32_t id;
  int32_t enable;
};
static_assert(sizeof(AlarmInEnable) == 8);

struct CameraAlarmOutputs {  // 24 bytes: reply 8296
  int32_t channel;
  int32_t type[2];
  int32_t status[2];
  int32_t count;
};
static_assert(sizeof(CameraAlarmOutputs) == 24);
static_assert(offsetof(CameraAlarmOutputs, type) == 4);
static_assert(offsetof(CameraAlarmOutputs, status) == 12);
static_assert(offsetof(CameraAlarmOutputs, count) == 20);

struct CameraAlarmInputs {  // 56 bytes: request 3298 (channel, count 4), reply 8298
  int32_t channel;
  int32_t enable[4];
  int32_t type[4];
  int32_t status[4];
  int32_t count;
};
static_assert(sizeof(CameraAlarmInputs) == 56);
static_assert(offsetof(CameraAlarmInputs, enable) == 4);
static_assert(offsetof(CameraAlarmInputs, type) == 20);
static_assert(offsetof(CameraAlarmInputs, status) == 36);
static_assert(offsetof(CameraAlarmInputs, count) == 52);

struct CameraAlarmOutEntry {
  int32_t reserved;
  int32_t alarm;
  int32_t type;
};
struct CameraAlarmOutSet {  // 40 bytes: request 3324
  CameraAlarmOutEntry entries[2];
  int32_t count;
  uint8_t reserved[4];
  uint64_t mask;
};
static_assert(sizeof(CameraAlarmOutSet) == 40);
static_assert(offsetof(CameraAlarmOutSet, count) == 24);
static_assert(offsetof(CameraAlarmOutSet, mask) == 32);

struct CameraAlarmInEntry {
  int32_t reserved;
  int32_t enable;
  int32_t alarm;
  int32_t type;
};
struct CameraAlarmInSet {  // 80 bytes: request 3325
  CameraAlarmInEntry entries[4];
  int32_t count;
  uint8_t reserved[4];
  uint64_t mask;
};
static_assert(sizeof(CameraAlarmInSet) == 80);
static_assert(offsetof(CameraAlarmInSet, count) == 64);
static_assert(offsetof(CameraAlarmInSet, mask) == 72);

struct CameraAlarmOutState {  // 12 bytes: request 3352
  int32_t channel;
  int32_t alarm;
  int32_t state;
};
static_assert(sizeof(CameraAlarmOutState) == 12);

#pragma pack(pop)
