// Fisheye cameras: the recorder keeps each camera's fisheye modes as they were
// last set (3231) and answers a query (3232) with them; a camera never set is
// ceiling-mounted with the fisheye picture shown as it is. A camera address
// check (3373) finds a fisheye camera at any address that is given; setting a
// camera's fisheye settings (3374) always succeeds.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "modules/video/video_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

constexpr int kChannels = 64;

struct Modes {
  int32_t told[kChannels];
  FisheyeMode modes[kChannels];
};

std::mutex g_mutex;

std::string state_file() { return sim::state_path("fisheye.bin"); }

void load(Modes* state) {
  *state = Modes{};
  if (FILE* file = fopen(state_file().c_str(), "rb")) {
    if (fread(state, sizeof *state, 1, file) != 1) *state = Modes{};
    fclose(file);
  }
}
void save(const Modes& state) {
  const std::string path = state_file();
  const std::string temporary = path + ".new";
  if (FILE* file = fopen(temporary.c_str(), "wb")) {
    const bool written = fwrite(&state, sizeof state, 1, file) == 1;
    if (fclose(file) == 0 && written) rename(temporary.c_str(), path.c_str());
  }
}

template <class T>
T payload_as(const sim::Message& request) {
  T record{};
  memcpy(&record, request.payload.data(), std::min(request.payload.size(), sizeof record));
  return record;
}

void on_get_mode(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = payload_as<int32_t>(request);
  if (channel < 0 || channel >= kChannels) {
    peer.reply(kReplyFisheyeMode, nullptr, 0);
    return;
  }
  std::lock_guard<std::mutex> hold(g_mutex);
  Modes state;
  load(&state);
  FisheyeMode mode = state.told[channel] ? state.modes[channel] : FisheyeMode{channel, 1, 0, 0, 0};
  mode.channel = channel;
  mode.result = 0;
  peer.reply(kReplyFisheyeMode, &mode, sizeof mode);
}

void on_set_mode(const sim::Message& request, sim::Peer& peer) {
  const FisheyeMode mode = payload_as<FisheyeMode>(request);
  int32_t result = -1;
  if (mode.channel >= 0 && mode.channel < kChannels) {
    std::lock_guard<std::mutex> hold(g_mutex);
    Modes state;
    load(&state);
    state.told[mode.channel] = 1;
    state.modes[mode.channel] = mode;
    save(state);
    result = 0;
  }
  peer.reply(kReplySetFisheyeMode, &result, sizeof result);
}

void on_check(const sim::Message& request, sim::Peer& peer) {
  const FisheyeAddress address = payload_as<FisheyeAddress>(request);
  const bool given = address.ipaddr[0] != '\0' || address.ddns[0] != '\0';
  const FisheyeSupport support{given ? 1 : 2, 0, 1, 0, given ? 2 : 0};
  peer.reply(kReplyCheckFisheye, &support, sizeof support);
}

void on_set(const sim::Message&, sim::Peer& peer) {
  const int32_t result = 0;
  peer.reply(kReplySetFisheye, &result, sizeof result);
}

sim::HandlerReg reg_get_mode(kReqFisheyeMode, on_get_mode);
sim::HandlerReg reg_set_mode(kReqSetFisheyeMode, on_set_mode);
sim::HandlerReg reg_check(kReqCheckFisheye, on_check);
sim::HandlerReg reg_set(kReqSetFisheye, on_set);

}  // namespace
