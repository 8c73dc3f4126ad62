// Regional people counting: the recorder keeps each camera's counting
// settings as last set (1221) and answers a query (1220) with them; a camera
// never set counts in one region covering the picture, all day.
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

std::string state_file(int32_t channel) {
  return sim::state_path("regional_counting_" + std::to_string(channel) + ".bin");
}

void demo(RegionalCounting* counting, int32_t channel) {
  *counting = RegionalCounting{};
  counting->channel = channel;
  counting->sensitivity = 5;
  counting->maxObjWidth = counting->maxObjHeight = 320;
  counting->minObjWidth = counting->minObjHeight = 16;
  CountingRegion& region = counting->regional[0];
  region.enable = 1;
  snprintf(region.polygonX, sizeof region.polygonX, "0,320,320,0");
  snprintf(region.polygonY, sizeof region.polygonY, "0,0,240,240");
  region.maxStayValue = 10;
  for (ScheduleDay& day : counting->effective.days) {
    snprintf(day.slots[0].startTime, sizeof day.slots[0].startTime, "00:00");
    snprintf(day.slots[0].endTime, sizeof day.slots[0].endTime, "24:00");
    day.slots[0].actionType = 1;
  }
}

void on_get(const sim::Message& request, sim::Peer& peer) {
  int32_t channel = -1;
  memcpy(&channel, request.payload.data(), std::min(request.payload.size(), sizeof channel));
  if (channel < 0 || channel >= kChannels) {
    peer.reply(kReplyRegionalCounting, nullptr, 0);
    return;
  }
  static RegionalCounting counting;
  std::lock_guard<std::mutex> hold(g_mutex);
  demo(&counting, channel);
  if (FILE* file = fopen(state_file(channel).c_str(), "rb")) {
    if (fread(&counting, sizeof counting, 1, file) != 1) demo(&counting, channel);
    fclose(file);
  }
  counting.result = 0;
  counting.channel = channel;
  peer.reply(kReplyRegionalCounting, &counting, sizeof counting);
}

void on_set(const sim::Message& request, sim::Peer& peer) {
  static RegionalCounting counting;
  counting = RegionalCounting{};
  memcpy(&counting, request.payload.data(), std::min(request.payload.size(), sizeof counting));
  int32_t result = -1;
  if (counting.channel >= 0 && counting.channel < kChannels) {
    std::lock_guard<std::mutex> hold(g_mutex);
    const std::string path = state_file(counting.channel);
    const std::string temporary = path + ".new";
    if (FILE* file = fopen(temporary.c_str(), "wb")) {
      const bool written = fwrite(&counting, sizeof counting, 1, file) == 1;
      if (fclose(file) == 0 && written && rename(temporary.c_str(), path.c_str()) == 0) result = 0;
    }
  }
  peer.reply(kReplySetRegionalCounting, &result, sizeof result);
}

sim::HandlerReg reg_get(kReqRegionalCounting, on_get);
sim::HandlerReg reg_set(kReqSetRegionalCounting, on_set);

}  // namespace
