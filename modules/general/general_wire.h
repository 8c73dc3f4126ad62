// Requests of the general settings routes (none is answered): the ids are
// those of the areas whose settings change. Shared with the simulator.
#pragma once

#include <cstdint>

#include "modules/cameras/cameras_wire.h"  // 1201 camera enabled, 1202 disabled
#include "modules/network/network_wire.h"  // 1702 settings changed ("more": the SSH switch)
#include "modules/record/record_wire.h"    // 1407 a channel's record mode written

constexpr int32_t kReqRecordModeChanged = kReqModeWritten;
constexpr int32_t kReqCameraEnabled = kReqChannelAdded;
constexpr int32_t kReqCameraDisabled = kReqChannelDeleted;
