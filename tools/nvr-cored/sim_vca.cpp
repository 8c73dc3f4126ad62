// Camera analytics: each camera's smart-event settings as the recorder last
// set them (one record per channel and kind, the channel at byte 0), kept
// under the state folder; a camera never told anything shows a demo record.
// Every set is answered with the result 0 (-1 for a short record or a
// channel outside 0..63).
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

void demo_message(void* out, int32_t channel) {
  VcaMessage& message = *static_cast<VcaMessage*>(out);
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
}
void demo_line(void* out, int32_t channel) {
  VcaLine& line = *static_cast<VcaLine*>(out);
  line.channel = channel;
  line.enable = 1;
  line.width = 1920;
  line.height = 1080;
  line.lines[0] = {0, 540, 1920, 540, 2, {}};
  line.objtype = 1;
}
void demo_settings(void* out, int32_t channel) {
  VcaSettings& settings = *static_cast<VcaSettings*>(out);
  settings = {channel, 1, 10, 0, 0, 0, 1920, 1080, {100, 100, 60, 120}, {0, 0, 960, 1080}};
}
void demo_left_remove(void* out, int32_t channel) {
  VcaLeftRemove& record = *static_cast<VcaLeftRemove*>(out);
  record.channel = channel;
  record.sensitivity = 3;
  record.left_enable = 1;
  record.min_time = 30;
  snprintf(record.region, sizeof record.region, "%s", "00ff00ff");
}

void demo_people(void* out, int32_t channel) {
  VcaPeople& record = *static_cast<VcaPeople*>(out);
  record.channel = channel;
  record.width = 1920;
  record.height = 1080;
  record.osdEnable = 1;
  record.lineNum = 1;
  record.lines[0].lineEnable = 1;
  record.lines[0].direction = 1;
  record.lines[0].startX = 960;
  record.lines[0].stopX = 960;
  record.lines[0].stopY = 1080;
}
void demo_line2(void* out, int32_t channel) {
  VcaLine2& record = *static_cast<VcaLine2*>(out);
  record.channel = channel;
  record.sensitivity = 3;
  record.width = 1920;
  record.height = 1080;
  record.lines[0] = {1, 0, 540, 1920, 540, 2, 1, {}};
}
void demo_settings2(void* out, int32_t channel) {
  VcaSettings2& record = *static_cast<VcaSettings2*>(out);
  record.channel = channel;
  record.fps = 10;
  record.width = 1920;
  record.height = 1080;
  record.boxes[2][0] = 60;    // minWidth of entry 0
  record.boxes[3][0] = 120;   // minHeight
  record.boxes[6][0] = 960;   // maxWidth
  record.boxes[7][0] = 1080;  // maxHeight
}

void demo_wildcards(void* out, int32_t channel) {
  AnprWildcards& record = *static_cast<AnprWildcards*>(out);
  record.channel = channel;
  record.maxPlateCharNum = 8;
  record.enable[0] = 1;
  record.cr_count[0] = 7;
  snprintf(record.format[0], sizeof record.format[0], "%s", "AA0000A");
}

void demo_anpr(void* out, int32_t channel) {
  AnprSettings& record = *static_cast<AnprSettings*>(out);
  record.chnid = channel;
  record.enable = 1;
  record.resolution_width = 1920;
  record.resolution_height = 1080;
  record.area_width = 1920;
  record.area_height = 1080;
  record.confidence = 80;
  snprintf(record.region[0], sizeof record.region[0], "%s", "Europe");
  snprintf(record.cur_area, sizeof record.cur_area, "%s", "Europe");
  record.roi[0] = {"gate", 200, 300, 1700, 900};
  record.aitype = 11;
  record.jsonSupport = 1;
}

// One kind of camera record: asked with the int32 channel, set whole.
struct Kind {
  int32_t get_request;
  int32_t set_request;
  size_t size;
  void (*demo)(void*, int32_t channel);
};
constexpr Kind kKinds[] = {
    {kReqVcaRegionEntrance, kReqSetVcaRegionEntrance, sizeof(VcaMessage), demo_message},
    {kReqVcaRegionExiting, kReqSetVcaRegionExiting, sizeof(VcaMessage), demo_message},
    {kReqVcaMotion, kReqSetVcaMotion, sizeof(VcaMessage), demo_message},
    {kReqVcaTamper, kReqSetVcaTamper, sizeof(VcaMessage), demo_message},
    {kReqVcaLoitering, kReqSetVcaLoitering, sizeof(VcaMessage), demo_message},
    {kReqVcaHuman, kReqSetVcaHuman, sizeof(VcaMessage), demo_message},
    {kReqVcaLine, kReqSetVcaLine, sizeof(VcaLine), demo_line},
    {kReqVcaSettings, kReqSetVcaSettings, sizeof(VcaSettings), demo_settings},
    {kReqVcaLeftRemove, kReqSetVcaLeftRemove, sizeof(VcaLeftRemove), demo_left_remove},
    {kReqVcaPeople, kReqSetVcaPeople, sizeof(VcaPeople), demo_people},
    {kReqVcaLine2, kReqSetVcaLine2, sizeof(VcaLine2), demo_line2},
    {kReqVcaSettings2, kReqSetVcaSettings2, sizeof(VcaSettings2), demo_settings2},
    {kReqAnprWildcards, kReqSetAnprWildcards, sizeof(AnprWildcards), demo_wildcards},
    {kReqAnprSettings, kReqSetAnprSettings, sizeof(AnprSettings), demo_anpr},
};

const Kind* kind_of(int32_t request_id) {
  for (const Kind& kind : kKinds)
    if (kind.get_request == request_id || kind.set_request == request_id) return &kind;
  return nullptr;
}

std::string state_file(const Kind& kind, int32_t channel) {
  return sim::state_path("vca_" + std::to_string(kind.get_request) + "_" + std::to_string(channel) +
                         ".bin");
}

int32_t channel_of(const sim::Message& request) {
  int32_t channel = -1;
  if (request.payload.size() >= sizeof channel)
    memcpy(&channel, request.payload.data(), sizeof channel);
  return channel;
}

void on_get(const sim::Message& request, sim::Peer& peer) {
  const Kind& kind = *kind_of(request.id);
  const int32_t channel = channel_of(request);
  const int32_t reply = vca_reply_of(request.id);
  if (channel < 0 || channel >= kChannels) {
    peer.reply(reply, nullptr, 0);
    return;
  }
  std::lock_guard<std::mutex> hold(g_mutex);
  std::string record(kind.size, '\0');
  FILE* file = fopen(state_file(kind, channel).c_str(), "rb");
  if (file == nullptr || fread(record.data(), kind.size, 1, file) != 1) {
    record.assign(kind.size, '\0');
    kind.demo(record.data(), channel);
  }
  if (file) fclose(file);
  peer.reply(reply, record.data(), record.size());
}

void answer_result(const sim::Message& request, sim::Peer& peer, int32_t result) {
  peer.reply(vca_reply_of(request.id), &result, sizeof result);
}

void on_set(const sim::Message& request, sim::Peer& peer) {
  const Kind& kind = *kind_of(request.id);
  const int32_t channel = channel_of(request);
  if (request.payload.size() < kind.size || channel < 0 || channel >= kChannels) {
    answer_result(request, peer, -1);
    return;
  }
  std::lock_guard<std::mutex> hold(g_mutex);
  const std::string path = state_file(kind, channel);
  const std::string temporary = path + ".new";
  bool saved = false;
  if (FILE* file = fopen(temporary.c_str(), "wb")) {
    const bool written = fwrite(request.payload.data(), kind.size, 1, file) == 1;
    saved = fclose(file) == 0 && written && rename(temporary.c_str(), path.c_str()) == 0;
  }
  answer_result(request, peer, saved ? 0 : -1);
}

// The camera analyses smart events of every kind but people counting here.
void on_support(const sim::Message& request, sim::Peer& peer) {
  const int32_t answer[3] = {channel_of(request), 1, 1};
  peer.reply(vca_reply_of(request.id), answer, sizeof answer);
}
void on_clear_people(const sim::Message& request, sim::Peer& peer) {
  answer_result(request, peer, request.payload.size() >= sizeof(VcaClearPeople) ? 0 : -1);
}
// Plate recognition: supported (version 2), running at zoom 3.
void on_anpr_support(const sim::Message& request, sim::Peer& peer) {
  const int32_t answer[3] = {channel_of(request), 1, 2};
  peer.reply(vca_reply_of(request.id), answer, sizeof answer);
}
void on_anpr_state(const sim::Message& request, sim::Peer& peer) {
  const int32_t answer[3] = {channel_of(request), 1, 3};
  peer.reply(vca_reply_of(request.id), answer, sizeof answer);
}
void on_notice(const sim::Message&, sim::Peer&) {}  // the daemon reloads the actions

// Every kind's pair, registered from the table (a registration is a map entry).
const bool g_kinds_registered = [] {
  for (const Kind& kind : kKinds) {
    sim::HandlerReg get(kind.get_request, on_get);
    sim::HandlerReg set(kind.set_request, on_set);
  }
  return true;
}();

sim::HandlerReg reg_3257(kReqVcaSupport, on_support);
sim::HandlerReg reg_3261(kReqClearPeopleCount, on_clear_people);
sim::HandlerReg reg_1412(kReqSmartEventChanged, on_notice);
sim::HandlerReg reg_1416(kReqAnprModeChanged, on_notice);
sim::HandlerReg reg_3293(kReqAnprSupport, on_anpr_support);
sim::HandlerReg reg_1215(kReqAnprState, on_anpr_state);

}  // namespace
