// Requests of the general settings routes (none is answered). Shared by the
// handlers and the simulator.
#pragma once

#include <cstdint>

constexpr int32_t kReqSettingsChanged = 1702;  // char[32]: which settings ("more": the SSH switch)
constexpr int32_t kReqRecordModeChanged = 1407;  // int32 channel
constexpr int32_t kReqCameraEnabled = 1201;      // int32 channel
constexpr int32_t kReqCameraDisabled = 1202;     // int32 channel

constexpr int kRecordChannels = 64;
