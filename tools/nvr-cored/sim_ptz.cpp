// PTZ: the simulated recorder keeps per channel the presets, tours, patterns,
// tour and auto-scan status (state_path("ptz_<channel>.bin"), the state
// record it answers 1265/1268 with) and the basic settings
// ("ptz_basic_<channel>.bin"). A new channel starts as a demo dome: three
// presets and a first tour over them. Preset ids 1..300 address slots
// 0..299, tour ids 1..8 and pattern ids 1..4 their slots; anything else
// changes nothing. Camera-side settings (3226), PTZ control (3361) and the
// PTZ-support query (1262) succeed; the LED reads as on.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "modules/ptz/ptz_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

// Action codes of preset and pattern commands the recorder keeps state for.
constexpr int32_t kActionSavePreset = 22;
constexpr int32_t kActionDeletePreset = 23;
constexpr int32_t kActionPatternSetEnd = 25;
constexpr int32_t kActionPatternDelete = 27;

std::mutex g_lock;

template <class T>
T payload_as(const sim::Message& request) {
  T value{};
  memcpy(&value, request.payload.data(), std::min(request.payload.size(), sizeof value));
  return value;
}

bool is_channel(int32_t channel) { return channel >= 0 && channel < kPtzChannels; }

std::string state_file(const char* kind, int32_t channel) {
  return sim::state_path(std::string(kind) + "_" + std::to_string(channel) + ".bin");
}

template <class T>
bool load(const std::string& path, T* value) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const bool whole = fread(value, sizeof *value, 1, file) == 1;
  fclose(file);
  return whole;
}

template <class T>
void store(const std::string& path, const T& value) {
  const std::string temp = path + ".new";
  FILE* file = fopen(temp.c_str(), "wb");
  if (file == nullptr) return;
  const bool whole = fwrite(&value, sizeof value, 1, file) == 1;
  fclose(file);
  if (whole) rename(temp.c_str(), path.c_str());
}

void demo_state(PtzState* state) {
  *state = PtzState{};
  const char* names[] = {"Gate", "Parking", "Door"};
  for (int i = 0; i < 3; ++i) {
    state->presets[i].enable = 1;
    snprintf(state->presets[i].name, sizeof state->presets[i].name, "%s", names[i]);
    state->tours[0].presets[i] = i + 1;
    state->tours[0].dwells[i] = 10;
    state->tours[0].speeds[i] = 5;
  }
}

std::unique_ptr<PtzState> load_state(int32_t channel) {
  auto state = std::make_unique<PtzState>();
  if (!load(state_file("ptz", channel), state.get())) demo_state(state.get());
  return state;
}

// Changes a channel's state under the lock and keeps it.
template <class Change>
void change_state(int32_t channel, Change change) {
  if (!is_channel(channel)) return;
  std::lock_guard guard(g_lock);
  std::unique_ptr<PtzState> state = load_state(channel);
  if (change(*state)) store(state_file("ptz", channel), *state);
}

void on_preset(const sim::Message& request, sim::Peer&) {
  const auto command = payload_as<PtzCommand>(request);
  if (command.id < 1 || command.id > kPtzMaxPresetId) return;  // 0: no preset
  change_state(command.channel, [&](PtzState& state) {
    PtzPresetState& preset = state.presets[command.id - 1];
    if (command.action == kActionSavePreset) {
      preset = PtzPresetState{};
      preset.enable = 1;
      memcpy(
          preset.name, command.presetName,
          strnlen(command.presetName, std::min(sizeof command.presetName, sizeof preset.name - 1)));
      return true;
    }
    if (command.action == kActionDeletePreset) {
      preset = PtzPresetState{};
      return true;
    }
    return false;  // a call moves the camera only
  });
}

void on_pattern(const sim::Message& request, sim::Peer&) {
  const auto command = payload_as<PtzCommand>(request);
  if (command.id < 1 || command.id > kPtzPatterns) return;
  change_state(command.channel, [&](PtzState& state) {
    if (command.action == kActionPatternSetEnd)
      state.patterns[command.id - 1] = 1;
    else if (command.action == kActionPatternDelete)
      state.patterns[command.id - 1] = 0;
    else
      return false;
    return true;
  });
}

void on_tour_set(const sim::Message& request, sim::Peer&) {
  const auto record = payload_as<PtzTourRecord>(request);
  if (record.tourId < 1 || record.tourId > kPtzTours) return;
  const int count = std::clamp(record.count, 0, kPtzTourPoints);
  change_state(record.channel, [&](PtzState& state) {
    PtzTourColumns& tour = state.tours[record.tourId - 1];
    tour = PtzTourColumns{};
    for (int i = 0; i < count; ++i) {
      tour.presets[i] = record.points[i].preset;
      tour.dwells[i] = record.points[i].dwell;
      tour.speeds[i] = record.points[i].speed;
    }
    return true;
  });
}

void on_fish_tour_set(const sim::Message& request, sim::Peer&) {
  auto record = std::make_unique<FishTourRecord>(payload_as<FishTourRecord>(request));
  if (record->tourIndex < 0 || record->tourIndex >= kPtzTours) return;
  change_state(record->channel, [&](PtzState& state) {
    state.tours[record->tourIndex] = record->tours[record->tourIndex];
    return true;
  });
}

void on_tour_command(const sim::Message& request, sim::Peer&) {
  const auto command = payload_as<PtzTourCommand>(request);
  if (command.tourId < 1 || command.tourId > kPtzTours) return;
  const int tour = command.tourId - 1;
  change_state(command.channel, [&](PtzState& state) {
    if (request.id == kReqPtzTourClear) {
      state.tours[tour] = PtzTourColumns{};
      state.tourStatus[0][tour] = 0;
    } else {
      state.tourStatus[0][tour] = request.id == kReqPtzTourRun ? 1 : 0;
    }
    return true;
  });
}

void reply_state(int32_t channel, int32_t reply_id, sim::Peer& peer) {
  if (!is_channel(channel)) {
    peer.reply(reply_id, nullptr, 0);  // no such channel: no record
    return;
  }
  std::unique_ptr<PtzState> state;
  {
    std::lock_guard guard(g_lock);
    state = load_state(channel);
  }
  peer.reply(reply_id, state.get(), sizeof *state);
}

void on_ptz_info(const sim::Message& request, sim::Peer& peer) {
  reply_state(payload_as<int32_t>(request), kReplyPtzInfo, peer);
}

void on_fish_ptz_info(const sim::Message& request, sim::Peer& peer) {
  reply_state(payload_as<PtzChannelValue>(request).channel, kReplyFishPtzInfo, peer);
}

PtzBasicSettings demo_basic(int32_t channel) {
  PtzBasicSettings basic{};
  basic.channel = channel;
  basic.zoomStatus = 1;
  basic.panTiltStatus = 1;
  basic.presetStatus = 1;
  basic.patrolStatus = 1;
  basic.presetSpeed = 5;
  basic.manualSpeed = 5;
  basic.patrolRecoveryTime = 30;
  basic.resumeTime = 60;
  return basic;
}

void on_get_basic(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = payload_as<int32_t>(request);
  if (!is_channel(channel)) {
    peer.reply(kReplyPtzBasic, nullptr, 0);
    return;
  }
  PtzBasicSettings basic = demo_basic(channel);
  {
    std::lock_guard guard(g_lock);
    load(state_file("ptz_basic", channel), &basic);
  }
  peer.reply(kReplyPtzBasic, &basic, sizeof basic);
}

void on_set_basic(const sim::Message& request, sim::Peer& peer) {
  const auto basic = payload_as<PtzBasicSettings>(request);
  const int32_t status = is_channel(basic.channel) ? 0 : -1;
  if (status == 0) {
    std::lock_guard guard(g_lock);
    store(state_file("ptz_basic", basic.channel), basic);
  }
  peer.reply(kReplySetPtzBasic, &status, sizeof status);
}

void on_status_zero(const sim::Message& request, sim::Peer& peer) {
  const int32_t status = 0;
  const int32_t reply = request.id == kReqCameraParam  ? kReplyCameraParam
                        : request.id == kReqPtzControl ? kReplyPtzControl
                                                       : kReplyPtzSupport;
  peer.reply(reply, &status, sizeof status);
}

void on_led_status(const sim::Message& request, sim::Peer& peer) {
  const LedStatusReply reply{payload_as<int32_t>(request), 1};
  peer.reply(kReplyLedStatus, &reply, sizeof reply);
}

const sim::HandlerReg reg_1253(kReqPtzPreset, on_preset);
const sim::HandlerReg reg_1254(kReqPtzPattern, on_pattern);
const sim::HandlerReg reg_1264(kReqPtzTourSet, on_tour_set);
const sim::HandlerReg reg_1269(kReqFishTourSet, on_fish_tour_set);
const sim::HandlerReg reg_1257(kReqPtzTourClear, on_tour_command);
const sim::HandlerReg reg_1260(kReqPtzTourRun, on_tour_command);
const sim::HandlerReg reg_1261(kReqPtzTourStop, on_tour_command);
const sim::HandlerReg reg_1265(kReqPtzInfo, on_ptz_info);
const sim::HandlerReg reg_1268(kReqFishPtzInfo, on_fish_ptz_info);
const sim::HandlerReg reg_1270(kReqPtzBasic, on_get_basic);
const sim::HandlerReg reg_1271(kReqSetPtzBasic, on_set_basic);
const sim::HandlerReg reg_1262(kReqPtzSupport, on_status_zero);
const sim::HandlerReg reg_3226(kReqCameraParam, on_status_zero);
const sim::HandlerReg reg_3361(kReqPtzControl, on_status_zero);
const sim::HandlerReg reg_3363(kReqLedStatus, on_led_status);

}  // namespace
