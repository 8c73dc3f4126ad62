// Messages between the test support (tests/e2e/core_sim.cpp) and nvr-cored
// that are not part of the recorder's protocol.
#pragma once

#include <cstdint>

namespace sim {

// Request: no payload. The simulator answers with the same id and an int32
// (1 settled, 0 not within 2 s) once every message already written by any
// client has been read and recorded. Never recorded, never scripted.
constexpr int32_t kSyncRequestId = 0x7FFF0001;

}  // namespace sim
