// Camera analytics: each camera's smart-event settings as the recorder last
// set them (VCA message records, per channel and request), kept under the
// state folder; a camera never told anything shows a demo region. Every set
// is answered with the result 0.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "modules/video/video_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

constexpr int kChannels = 64;
std::mutex g_mutex;

std::string state_file(int32_t get_request, int32_t channel) {
  return sim::state_path("vca_" + std::to_string(get_request) + "_" + std::to_string(channel) +
                         ".bin");
}

VcaMessage demo_message(int32_t channel) {
  VcaMessage message{};
  message.channel = channel;
  message.enable = 1;
  message.sensitivity = 3;
  message.time = 10;
  message.size = 2;
  message.tracks = 1;
  snprintf(message.region, sizeof message.region, "%s", "0000ffff0000ffff");
  message.objtype = 1;
  snprintf(message.polygonX, sizeof message.polygonX, "%s", "10,200,200,10");
  snprintf(message.polygonY, sizeof message.polygonY, "%s", "10,10,120,120");
  return message;
}

// The get request of a set request (3244 -> 3237 ...).
int32_t getter_of(int32_t set_request) {
  switch (set_request) {
    case kReqSetVcaRegionEntrance:
      return kReqVcaRegionEntrance;
    case kReqSetVcaRegionExiting:
      return kReqVcaRegionExiting;
    case kReqSetVcaMotion:
      return kReqVcaMotion;
    case kReqSetVcaTamper:
      return kReqVcaTamper;
    case kReqSetVcaLoitering:
      return kReqVcaLoitering;
    default:
      return kReqVcaHuman;
  }
}

void on_get_message(const sim::Message& request, sim::Peer& peer) {
  int32_t channel = -1;
  memcpy(&channel, request.payload.data(), std::min(request.payload.size(), sizeof channel));
  const int32_t reply = vca_reply_of(request.id);
  if (channel < 0 || channel >= kChannels) {
    peer.reply(reply, nullptr, 0);
    return;
  }
  std::lock_guard<std::mutex> hold(g_mutex);
  VcaMessage message = demo_message(channel);
  if (FILE* file = fopen(state_file(request.id, channel).c_str(), "rb")) {
    if (fread(&message, sizeof message, 1, file) != 1) message = demo_message(channel);
    fclose(file);
  }
  peer.reply(reply, &message, sizeof message);
}

void answer_result(const sim::Message& request, sim::Peer& peer, int32_t result) {
  peer.reply(vca_reply_of(request.id), &result, sizeof result);
}

void on_set_message(const sim::Message& request, sim::Peer& peer) {
  VcaMessage message{};
  if (request.payload.size() < sizeof message) {
    answer_result(request, peer, -1);
    return;
  }
  memcpy(&message, request.payload.data(), sizeof message);
  if (message.channel < 0 || message.channel >= kChannels) {
    answer_result(request, peer, -1);
    return;
  }
  std::lock_guard<std::mutex> hold(g_mutex);
  const std::string path = state_file(getter_of(request.id), message.channel);
  const std::string temporary = path + ".new";
  bool saved = false;
  if (FILE* file = fopen(temporary.c_str(), "wb")) {
    const bool written = fwrite(&message, sizeof message, 1, file) == 1;
    saved = fclose(file) == 0 && written && rename(temporary.c_str(), path.c_str()) == 0;
  }
  answer_result(request, peer, saved ? 0 : -1);
}

void on_notice(const sim::Message&, sim::Peer&) {}  // the daemon reloads the actions

sim::HandlerReg reg_3237(kReqVcaRegionEntrance, on_get_message);
sim::HandlerReg reg_3238(kReqVcaRegionExiting, on_get_message);
sim::HandlerReg reg_3239(kReqVcaMotion, on_get_message);
sim::HandlerReg reg_3240(kReqVcaTamper, on_get_message);
sim::HandlerReg reg_3242(kReqVcaLoitering, on_get_message);
sim::HandlerReg reg_3243(kReqVcaHuman, on_get_message);
sim::HandlerReg reg_3244(kReqSetVcaRegionEntrance, on_set_message);
sim::HandlerReg reg_3245(kReqSetVcaRegionExiting, on_set_message);
sim::HandlerReg reg_3246(kReqSetVcaMotion, on_set_message);
sim::HandlerReg reg_3247(kReqSetVcaTamper, on_set_message);
sim::HandlerReg reg_3249(kReqSetVcaLoitering, on_set_message);
sim::HandlerReg reg_3250(kReqSetVcaHuman, on_set_message);
sim::HandlerReg reg_1412(kReqSmartEventChanged, on_notice);

}  // namespace
