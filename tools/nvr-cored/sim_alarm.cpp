// Camera alarm contacts: the recorder keeps each camera's alarm inputs
// (enable, type, state) and alarm outputs (type, state) as it last set them
// (3325, 3324, 3352) and answers the state queries (3296 -> 8296,
// 3298 -> 8298) with them, so a manually switched output shows at once.
// Cameras not set yet have 4 inputs switched on and 2 outputs, all idle.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "modules/alarm/alarm_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

constexpr int kChannels = 64;

struct CameraAlarms {
  int32_t set;  // 1 once the recorder set anything on this camera
  int32_t in_enable[4];
  int32_t in_type[4];
  int32_t in_status[4];
  int32_t out_type[2];
  int32_t out_status[2];
};

std::mutex g_mutex;

std::string state_file() { return sim::state_path("camera_alarms.bin"); }

void load(CameraAlarms (&cameras)[kChannels]) {
  memset(cameras, 0, sizeof cameras);
  if (FILE* file = fopen(state_file().c_str(), "rb")) {
    if (fread(cameras, sizeof cameras, 1, file) != 1) memset(cameras, 0, sizeof cameras);
    fclose(file);
  }
  for (CameraAlarms& camera : cameras)
    if (!camera.set) {
      camera = CameraAlarms{};
      for (int32_t& enable : camera.in_enable) enable = 1;
    }
}
void save(CameraAlarms (&cameras)[kChannels]) {
  const std::string path = state_file();
  const std::string temporary = path + ".new";
  if (FILE* file = fopen(temporary.c_str(), "wb")) {
    const bool written = fwrite(cameras, sizeof cameras, 1, file) == 1;
    if (fclose(file) == 0 && written) rename(temporary.c_str(), path.c_str());
  }
}

template <class T>
T payload_as(const sim::Message& request) {
  T record{};
  memcpy(&record, request.payload.data(), std::min(request.payload.size(), sizeof record));
  return record;
}

bool valid(int32_t channel) { return channel >= 0 && channel < kChannels; }

void on_get_outputs(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = payload_as<int32_t>(request);
  if (!valid(channel)) return peer.reply(kReplyCameraAlarmOutputs, nullptr, 0);
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraAlarms cameras[kChannels];
  load(cameras);
  CameraAlarmOutputs reply{};
  reply.channel = channel;
  reply.count = 2;
  for (int i = 0; i < 2; ++i) {
    reply.type[i] = cameras[channel].out_type[i];
    reply.status[i] = cameras[channel].out_status[i];
  }
  peer.reply(kReplyCameraAlarmOutputs, &reply, sizeof reply);
}

void on_get_inputs(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = payload_as<CameraAlarmInputs>(request).channel;
  if (!valid(channel)) return peer.reply(kReplyCameraAlarmInputs, nullptr, 0);
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraAlarms cameras[kChannels];
  load(cameras);
  CameraAlarmInputs reply{};
  reply.channel = channel;
  reply.count = 4;
  for (int i = 0; i < 4; ++i) {
    reply.enable[i] = cameras[channel].in_enable[i];
    reply.type[i] = cameras[channel].in_type[i];
    reply.status[i] = cameras[channel].in_status[i];
  }
  peer.reply(kReplyCameraAlarmInputs, &reply, sizeof reply);
}

void on_set_inputs(const sim::Message& request, sim::Peer&) {
  const CameraAlarmInSet set = payload_as<CameraAlarmInSet>(request);
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraAlarms cameras[kChannels];
  load(cameras);
  for (int c = 0; c < kChannels; ++c) {
    if (!(set.mask >> c & 1)) continue;
    for (int i = 0; i < std::clamp(set.count, 0, 4); ++i) {
      cameras[c].in_enable[i] = set.entries[i].enable;
      cameras[c].in_type[i] = set.entries[i].type;
    }
    cameras[c].set = 1;
  }
  save(cameras);
}

void on_set_outputs(const sim::Message& request, sim::Peer&) {
  const CameraAlarmOutSet set = payload_as<CameraAlarmOutSet>(request);
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraAlarms cameras[kChannels];
  load(cameras);
  for (int c = 0; c < kChannels; ++c) {
    if (!(set.mask >> c & 1)) continue;
    for (int i = 0; i < std::clamp(set.count, 0, 2); ++i)
      cameras[c].out_type[i] = set.entries[i].type;
    cameras[c].set = 1;
  }
  save(cameras);
}

void on_output_state(const sim::Message& request, sim::Peer&) {
  const CameraAlarmOutState state = payload_as<CameraAlarmOutState>(request);
  if (!valid(state.channel) || state.alarm < 0 || state.alarm >= 2) return;
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraAlarms cameras[kChannels];
  load(cameras);
  cameras[state.channel].out_status[state.alarm] = state.state;
  cameras[state.channel].set = 1;
  save(cameras);
}

void on_notice(const sim::Message&, sim::Peer&) {}  // the daemon reloads its settings

sim::HandlerReg reg_3296(kReqCameraAlarmOutputs, on_get_outputs);
sim::HandlerReg reg_3298(kReqCameraAlarmInputs, on_get_inputs);
sim::HandlerReg reg_3325(kReqSetCameraAlarmInputs, on_set_inputs);
sim::HandlerReg reg_3324(kReqSetCameraAlarmOutputs, on_set_outputs);
sim::HandlerReg reg_3352(kReqCameraAlarmOutState, on_output_state);
sim::HandlerReg reg_1404(kReqAlarmInChanged, on_notice);
sim::HandlerReg reg_1405(kReqAlarmOutChanged, on_notice);
sim::HandlerReg reg_1409(kReqAlarmInEnable, on_notice);
sim::HandlerReg reg_1415(kReqAlarmInsChanged, on_notice);
sim::HandlerReg reg_1417(kReqCameraAlarmInsChanged, on_notice);
sim::HandlerReg reg_1418(kReqCameraAlarmOutsChanged, on_notice);

}  // namespace
