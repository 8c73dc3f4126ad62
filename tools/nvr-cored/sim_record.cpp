// Recording: the simulated recorder follows the record settings the moment it
// is told. A written schedule (1411), a changed plan mode (1413, 1407) or new
// record parameters (1310) make it reload those channels from the settings
// database, and its recording state (state_path("recording.json")) shows
// per channel the plan mode, the schedule slots in use and the whole days.
// It answers the ANR change (2285) as done for every listed channel, ANR
// support (2286) for every channel, and the recorded stream lists (3218).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/json.h"
#include "modules/record/record_records.h"
#include "modules/record/record_wire.h"
#include "platform/qvdb.h"
#include "tools/nvr-cored/sim.h"

namespace {

struct ChannelRecording {
  int32_t mode = 0;
  int32_t slots = 0;         // schedule slots in use, all days
  int32_t wholedayDays = 0;  // days recorded whole
  int32_t updates = 0;       // times the daemon reloaded the channel
};

std::mutex g_lock;

std::string settings_db() { return sim::dev_path("/mnt/nand/app/qvdb.db"); }
std::string state_file() { return sim::state_path("recording.json"); }

std::vector<ChannelRecording> load_state(int32_t* holiday_updates) {
  std::vector<ChannelRecording> channels(kRecordChannels);
  *holiday_updates = 0;
  FILE* file = fopen(state_file().c_str(), "r");
  if (file == nullptr) return channels;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  fclose(file);
  nvr::Json state = nvr::json_parse(text);
  *holiday_updates = static_cast<int32_t>(nvr::json_int_or(state.get(), "holidayUpdates", 0));
  json_object* list = nvr::json_get(state.get(), "channels");
  for (size_t i = 0; i < nvr::json_array_size(list); ++i) {
    json_object* item = nvr::json_at(list, i);
    const int64_t id = nvr::json_int_or(item, "id", -1);
    if (id < 0 || id >= kRecordChannels) continue;
    ChannelRecording& channel = channels[id];
    channel.mode = static_cast<int32_t>(nvr::json_int_or(item, "mode", 0));
    channel.slots = static_cast<int32_t>(nvr::json_int_or(item, "slots", 0));
    channel.wholedayDays = static_cast<int32_t>(nvr::json_int_or(item, "wholedayDays", 0));
    channel.updates = static_cast<int32_t>(nvr::json_int_or(item, "updates", 0));
  }
  return channels;
}

void store_state(const std::vector<ChannelRecording>& channels, int32_t holiday_updates) {
  nvr::Json state = nvr::json_new_object();
  nvr::json_add_int(state.get(), "holidayUpdates", holiday_updates);
  nvr::Json list = nvr::json_new_array();
  for (int c = 0; c < kRecordChannels; ++c) {
    if (channels[c].updates == 0) continue;
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "id", c);
    nvr::json_add_int(item.get(), "mode", channels[c].mode);
    nvr::json_add_int(item.get(), "slots", channels[c].slots);
    nvr::json_add_int(item.get(), "wholedayDays", channels[c].wholedayDays);
    nvr::json_add_int(item.get(), "updates", channels[c].updates);
    nvr::json_append(list.get(), std::move(item));
  }
  nvr::json_add(state.get(), "channels", std::move(list));
  const std::string temp = state_file() + ".new";
  if (FILE* file = fopen(temp.c_str(), "w")) {
    fputs(nvr::json_text(state), file);
    fclose(file);
    rename(temp.c_str(), state_file().c_str());
  }
}

// Reloads a channel's plan mode and schedule from the settings.
void reload_channel(int channel, ChannelRecording* recording) {
  RecordParams record{};
  read_record(settings_db().c_str(), &record, channel);
  auto schedule = std::make_unique<RecordSchedule>();
  read_record_schedule(settings_db().c_str(), schedule.get(), channel);
  recording->mode = record.mode;
  recording->slots = 0;
  recording->wholedayDays = 0;
  for (const ScheduleDay& day : schedule->block.days) {
    if (day.valid != 0) ++recording->wholedayDays;
    for (const ScheduleSlot& slot : day.slots)
      if (slot.startTime[0] != '\0') ++recording->slots;
  }
  ++recording->updates;
}

void reload_channels(uint64_t mask) {
  std::lock_guard guard(g_lock);
  int32_t holidays = 0;
  std::vector<ChannelRecording> channels = load_state(&holidays);
  for (int c = 0; c < kRecordChannels; ++c)
    if (mask >> c & 1) reload_channel(c, &channels[c]);
  store_state(channels, holidays);
}

template <class T>
T payload_as(const sim::Message& request) {
  T value{};
  memcpy(&value, request.payload.data(), std::min(request.payload.size(), sizeof value));
  return value;
}

void on_holidays_changed(const sim::Message&, sim::Peer&) {
  std::lock_guard guard(g_lock);
  int32_t holidays = 0;
  std::vector<ChannelRecording> channels = load_state(&holidays);
  store_state(channels, holidays + 1);
}

void on_channel_mask(const sim::Message& request, sim::Peer&) {
  reload_channels(payload_as<uint64_t>(request));
}

void on_mode_written(const sim::Message& request, sim::Peer&) {
  const int32_t channel = payload_as<int32_t>(request);
  if (channel >= 0 && channel < kRecordChannels) reload_channels(uint64_t{1} << channel);
}

void on_params_written(const sim::Message& request, sim::Peer&) {
  const auto list = payload_as<RecordChannelList>(request);
  uint64_t mask = 0;
  for (int i = 0; i < std::clamp(list.count, 0, kRecordChannels); ++i)
    if (list.channels[i] >= 0 && list.channels[i] < kRecordChannels)
      mask |= uint64_t{1} << list.channels[i];
  reload_channels(mask);
}

void on_set_anr(const sim::Message& request, sim::Peer& peer) {
  const auto change = payload_as<AnrRequest>(request);
  AnrReply reply{};
  reply.count = std::clamp(change.count, 0, kRecordChannels);
  std::copy_n(change.channels, reply.count, reply.channels);
  peer.reply(kReplySetAnr, &reply, sizeof reply);
}

void on_anr_support(const sim::Message& request, sim::Peer& peer) {
  const AnrSupportReply reply{payload_as<int32_t>(request), 1};
  peer.reply(kReplyAnrSupport, &reply, sizeof reply);
}

// Every channel records its main stream; the sub stream goes along where a
// schedule is in force.
void on_record_stream_info(const sim::Message&, sim::Peer& peer) {
  std::lock_guard guard(g_lock);
  int32_t holidays = 0;
  const std::vector<ChannelRecording> channels = load_state(&holidays);
  RecordStreamReply reply{};
  reply.count =
      std::clamp(get_param_int(settings_db().c_str(), "max_cameras", 32), 0, kRecordChannels);
  for (int c = 0; c < reply.count; ++c) {
    reply.primary[c] = 1;
    reply.secondary[c] = channels[c].slots + channels[c].wholedayDays > 0 ? 1 : 0;
  }
  peer.reply(kReplyRecordStreamInfo, &reply, sizeof reply);
}

const sim::HandlerReg reg_1401(kReqHolidaysChanged, on_holidays_changed);
const sim::HandlerReg reg_1411(kReqScheduleWritten, on_channel_mask);
const sim::HandlerReg reg_1413(kReqPlanModeChanged, on_channel_mask);
const sim::HandlerReg reg_1407(kReqModeWritten, on_mode_written);
const sim::HandlerReg reg_1310(kReqRecordParamsWritten, on_params_written);
const sim::HandlerReg reg_2285(kReqSetAnr, on_set_anr);
const sim::HandlerReg reg_2286(kReqAnrSupport, on_anr_support);
const sim::HandlerReg reg_3218(kReqRecordStreamInfo, on_record_stream_info);

}  // namespace
