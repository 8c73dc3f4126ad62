// Camera-side motion: the recorder keeps each camera's motion map, sensitivity
// and motion switch as the cameras were last told (3207, 3251, 3212) and
// answers a map query (3206) with them (8206). A camera never told anything
// shows a demo map with detection on.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "modules/video/video_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

constexpr int kChannels = 64;

struct CameraState {
  int32_t told;  // 1 once the recorder set this camera's motion
  CameraMotion motion;
};

std::mutex g_mutex;

std::string state_file() { return sim::state_path("camera_motion.bin"); }

void load(CameraState (&cameras)[kChannels]) {
  memset(cameras, 0, sizeof cameras);
  if (FILE* file = fopen(state_file().c_str(), "rb")) {
    if (fread(cameras, sizeof cameras, 1, file) != 1) memset(cameras, 0, sizeof cameras);
    fclose(file);
  }
}
void save(const CameraState (&cameras)[kChannels]) {
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

void on_get_map(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = payload_as<int32_t>(request);
  if (channel < 0 || channel >= kChannels) {
    peer.reply(kReplyCameraMotionMap, nullptr, 0);  // no such camera: no record
    return;
  }
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraState cameras[kChannels];
  load(cameras);
  CameraMotion answer = cameras[channel].motion;
  if (!cameras[channel].told) {
    answer = CameraMotion{};
    answer.enable = 1;
    snprintf(answer.map, sizeof answer.map, "%s", std::string(22 * 4, 'f').c_str());
    answer.sensitivity = 5;
  }
  answer.channel = channel;
  peer.reply(kReplyCameraMotionMap, &answer, sizeof answer);
}

void on_set_motion(const sim::Message& request, sim::Peer&) {
  const CameraMotion set = payload_as<CameraMotion>(request);
  if (set.channel < 0 || set.channel >= kChannels) return;
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraState cameras[kChannels];
  load(cameras);
  CameraState& camera = cameras[set.channel];
  const int32_t enable = camera.told ? camera.motion.enable : 1;
  camera.told = 1;
  camera.motion = set;
  camera.motion.enable = enable;
  save(cameras);
}

void on_copy_motion(const sim::Message& request, sim::Peer&) {
  const CameraMotionCopy copy = payload_as<CameraMotionCopy>(request);
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraState cameras[kChannels];
  load(cameras);
  auto apply = [&](int32_t channel) {
    if (channel < 0 || channel >= kChannels) return;
    CameraState& camera = cameras[channel];
    camera.told = 1;
    memcpy(camera.motion.map, copy.map, sizeof copy.map);
    camera.motion.map[sizeof camera.motion.map - 1] = '\0';
    camera.motion.sensitivity = copy.sensitivity;
    camera.motion.enable = copy.enable;
    camera.motion.enableAI = copy.enableAI;
  };
  apply(copy.channel);
  for (int i = 0; i < std::clamp(copy.count, 0, kChannels); ++i) apply(copy.further[i]);
  save(cameras);
}

void on_switch(const sim::Message& request, sim::Peer&) {
  const CameraMotionSwitch set = payload_as<CameraMotionSwitch>(request);
  std::lock_guard<std::mutex> hold(g_mutex);
  CameraState cameras[kChannels];
  load(cameras);
  auto apply = [&](int32_t channel) {
    if (channel < 0 || channel >= kChannels) return;
    cameras[channel].told = 1;
    cameras[channel].motion.enable = set.enable;
  };
  apply(set.channel);
  for (int i = 0; i < std::clamp(set.count, 0, kChannels); ++i) apply(set.further[i]);
  save(cameras);
}

void on_notice(const sim::Message&, sim::Peer&) {}  // the daemon reloads its settings

sim::HandlerReg reg_3206(kReqCameraMotionMap, on_get_map);
sim::HandlerReg reg_3207(kReqSetCameraMotion, on_set_motion);
sim::HandlerReg reg_3251(kReqCameraMotionCopy, on_copy_motion);
sim::HandlerReg reg_3212(kReqCameraMotionSwitch, on_switch);
sim::HandlerReg reg_3209(kReqCameraMotionSchedule, on_notice);
sim::HandlerReg reg_3252(kReqCameraScheduleCopy, on_notice);
sim::HandlerReg reg_1403(kReqMotionChanged, on_notice);
sim::HandlerReg reg_1410(kReqMotionCopied, on_notice);
sim::HandlerReg reg_1402(kReqVideoLossChanged, on_notice);
sim::HandlerReg reg_1414(kReqVideoLossMask, on_notice);

}  // namespace
