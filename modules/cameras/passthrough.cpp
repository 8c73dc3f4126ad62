// The pass-through routes of the camera module as rows, and the one routine
// that runs them.
#include "modules/cameras/passthrough.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "frame/json_codecs.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_wire.h"

namespace cameras {
namespace {

using nvr::Silence;

template <class T>
T* as(uint8_t* record) {
  return reinterpret_cast<T*>(record);
}
template <class T>
const T* as(const uint8_t* record) {
  return reinterpret_cast<const T*>(record);
}

uint64_t channel_bit(int64_t channel) {
  return channel >= 0 && channel < kCameraChannels ? uint64_t{1} << channel : 0;
}

// Appends the layout's JSON of `record` to `object`, key by key.
void append_layout(json_object* object, const DbRecord& layout, const void* record) {
  nvr::Json part(db_record_to_json(layout, record));
  json_object_object_foreach(part.get(), key, value) {
    json_object_object_add(object, key, json_object_get(value));
  }
}

// ---- fill hooks ----------------------------------------------------------------------------

// "/2055": the channels of `channels` and the channel itself; the schedule,
// left empty when it does not parse.
int32_t fill_tracking_set(json_object* request, uint8_t* record) {
  TrackingSet* set = as<TrackingSet>(record);
  const char* channels = nvr::json_string(request, "channels");
  set->mask = (channels ? get_channel_mask(channels) : 0) | channel_bit(set->record.chnid);
  get_schedule_by_json(request, "schedule", &set->record.schedule);
  return 0;
}

// "/2059": the copy text always names the channel itself.
int32_t fill_watermark_set(json_object*, uint8_t* record) {
  WatermarkSet* set = as<WatermarkSet>(record);
  set->copy[set->chnid] = '1';  // chnid was checked to be 0..63
  return 0;
}

// "/2064": the channels of `channels` and the channel itself.
int32_t fill_audio_set(json_object* request, uint8_t* record) {
  AudioSet* set = as<AudioSet>(record);
  const char* channels = nvr::json_string(request, "channels");
  set->mask = (channels ? get_channel_mask(channels) : 0) | channel_bit(set->chnid);
  return 0;
}

// "/2023": a read names no value; the daemon wants to know an empty page name.
int32_t fill_common_get(json_object*, uint8_t* record) {
  CommonRequest* query = as<CommonRequest>(record);
  memset(query->block.value, 0, sizeof query->block.value);
  query->block.empty_page = query->block.pagename[0] == '\0' ? 1 : 0;
  return 0;
}

// "/2050": an area number 0..16 (16 names all areas).
int32_t fill_area_delete(json_object* request, uint8_t*) {
  int32_t area = -1;
  return nvr::json_read_int(request, "area_id", &area, 0, 16) ? 0 : -1;
}

// ---- answer hooks --------------------------------------------------------------------------

void answer_tracking(uint32_t, const uint8_t* record) {
  static constexpr std::span<const DbField> kFields = kTrackingLayout.fields;
  static constexpr DbRecord kHead{nullptr, nullptr, sizeof(TrackingRecord), kFields.first(8)};
  static constexpr DbRecord kTail{nullptr, nullptr, sizeof(TrackingRecord), kFields.subspan(9)};
  const TrackingRecord* tracking = as<TrackingRecord>(record);
  nvr::Json answer(db_record_to_json(kHead, tracking));
  nvr::json_add(answer.get(), "schedule", get_schedule_json_object(&tracking->schedule));
  append_layout(answer.get(), kTail, tracking);
  nvr::answer_json(answer);
}

void answer_audio(uint32_t, const uint8_t* record) {
  const AudioInfo* info = as<AudioInfo>(record);
  nvr::Json answer(db_record_to_json(kAudioInfoLayout, info));
  nvr::json_add(answer.get(), "config",
                nvr::Json(db_record_to_json(kAudioConfigLayout, &info->config)));
  nvr::Json options = nvr::json_new_array();
  const int32_t option_count = std::clamp(info->option_count, 0, 9);
  for (int32_t i = 0; i < option_count; ++i) {
    const AudioOption& option = info->options[i];
    nvr::Json o = nvr::json_new_object();
    nvr::json_add_int(o.get(), "encodeValue", option.encode);
    nvr::Json rates = nvr::json_new_array();
    for (int32_t r = 0; r < std::clamp(option.rate_count, 0, 9); ++r) {
      const AudioSampleRate& rate = option.rates[r];
      nvr::Json entry = nvr::json_new_object();
      nvr::json_add_int(entry.get(), "sampleRateValue", rate.value);
      nvr::Json bitrates = nvr::json_new_array();
      for (int32_t b = 0; b < std::clamp(rate.bitrate_count, 0, 16); ++b)
        nvr::json_append(bitrates.get(), nvr::json_new_int(rate.bitrates[b]));
      nvr::json_add(entry.get(), "bitrateInfo", std::move(bitrates));
      nvr::json_append(rates.get(), std::move(entry));
    }
    nvr::json_add(o.get(), "sampleRateInfo", std::move(rates));
    nvr::json_append(options.get(), std::move(o));
  }
  nvr::json_add(answer.get(), "options", std::move(options));
  nvr::answer_json(answer);
}

void answer_image_periods(uint32_t, const uint8_t* record) {
  const ImagePeriods* periods = as<ImagePeriods>(record);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < 7; ++i) {
    const ImagePeriod& p = periods->periods[i];
    nvr::Json o = nvr::json_new_object();
    json_object* e = o.get();
    nvr::json_add_int(e, "id", i);
    nvr::json_add_int(e, "enable", p.enable);
    nvr::json_add_int(e, "startHour", p.startHour);
    nvr::json_add_int(e, "startMinute", p.startMinute);
    nvr::json_add_int(e, "endHour", p.endHour);
    nvr::json_add_int(e, "endMinute", p.endMinute);
    nvr::json_add_int(e, "exposureLevel", p.exposureLevel);
    nvr::json_add_int(e, "maxShutter", p.maxShutter);
    nvr::json_add_int(e, "minShutter", p.minShutter);
    nvr::json_add_int(e, "gainLevel", p.gainLevel);
    nvr::json_add_int(e, "irCutLatency", p.irCutLatency);
    nvr::json_add_int(e, "irCutState", p.irCutState);
    nvr::json_add_int(e, "irLedState", p.irLedState);
    nvr::json_add_int(e, "colorMode", p.colorMode);
    nvr::json_append(list.get(), std::move(o));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "image", std::move(list));
  nvr::answer_json(answer);
}

void answer_image_areas(uint32_t, const uint8_t* record) {
  const ImageAreas* areas = as<ImageAreas>(record);
  nvr::Json answer(db_record_to_json(kImageAreasLayout, areas));
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < 16; ++i) {
    const ImageArea& a = areas->areas[i];
    nvr::Json o = nvr::json_new_object();
    nvr::json_add_int(o.get(), "id", i);
    nvr::json_add_int(o.get(), "enable", a.enable);
    nvr::json_add_int(o.get(), "left", a.left);
    nvr::json_add_int(o.get(), "top", a.top);
    nvr::json_add_int(o.get(), "right", a.right);
    nvr::json_add_int(o.get(), "bottom", a.bottom);
    nvr::json_append(list.get(), std::move(o));
  }
  nvr::json_add(answer.get(), "area", std::move(list));
  nvr::answer_json(answer);
}

nvr::Json slot_object(const char* start, const char* end, int32_t action) {
  nvr::Json o = nvr::json_new_object();
  nvr::json_add(o.get(), "startTime", nvr::json_new_string_bounded(start, 32));
  nvr::json_add(o.get(), "endTime", nvr::json_new_string_bounded(end, 32));
  nvr::json_add_int(o.get(), "actionType", action);
  return o;
}

void answer_image_schedule(uint32_t, const uint8_t* record) {
  const ImageSchedule* schedule = as<ImageSchedule>(record);
  nvr::Json days = nvr::json_new_array();
  for (int d = 0; d < 7; ++d) {
    nvr::Json slots = nvr::json_new_array();
    for (int s = 0; s < 10; ++s) {
      const ScheduleSlot& slot = schedule->block.days[d].slots[s];
      nvr::json_append(slots.get(), slot_object(slot.startTime, slot.endTime, slot.actionType));
    }
    nvr::json_append(days.get(), std::move(slots));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "schedule", std::move(days));
  nvr::answer_json(answer);
}

void answer_image_schedule_exp(uint32_t, const uint8_t* record) {
  const ImageScheduleExp* schedule = as<ImageScheduleExp>(record);
  nvr::Json days = nvr::json_new_array();
  for (int d = 0; d < 7; ++d) {
    nvr::Json slots = nvr::json_new_array();
    for (int s = 0; s < 12; ++s) {
      const ImageScheduleSlotExp& slot = schedule->days[d].slots[s];
      nvr::Json o = slot_object(slot.startTime, slot.endTime, slot.actionType);
      nvr::json_add_int(o.get(), "exposureTime", slot.exposureTime);
      nvr::json_add_int(o.get(), "gainLevel", slot.gainLevel);
      nvr::json_append(slots.get(), std::move(o));
    }
    nvr::json_append(days.get(), std::move(slots));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "schedule", std::move(days));
  nvr::answer_json(answer);
}

void answer_ipc_motion(uint32_t, const uint8_t* record) {
  static constexpr std::span<const DbField> kFields = kIpcMotionLayout.fields;
  static constexpr DbRecord kHead{nullptr, nullptr, sizeof(IpcMotion), kFields.first(7)};
  static constexpr DbRecord kTail{nullptr, nullptr, sizeof(IpcMotion), kFields.subspan(8)};
  const IpcMotion* motion = as<IpcMotion>(record);
  nvr::Json answer(db_record_to_json(kHead, motion));
  nvr::json_add(answer.get(), "effective", get_schedule_json_object_ipc(&motion->effective));
  append_layout(answer.get(), kTail, motion);
  nvr::answer_json(answer);
}

// Reply 8360: the daemon's text as it stands (count: bytes).
void answer_event_text(uint32_t size, const uint8_t* payload) {
  std::string text(reinterpret_cast<const char*>(payload), size);
  text.resize(strnlen(text.c_str(), text.size()));
  nvr::answer_text(text.c_str());
}

// ---- the rows ------------------------------------------------------------------------------

constexpr int32_t kGroupMax = 8;
constexpr int32_t kChannelMax = kCameraChannels - 1;

// clang-format off
constexpr PassThrough kPassThroughs[] = {
    // route    request               reply                  request layout            reply layout            channel    max          refusal          silence
    {"/2025", kReqModelType,        kReplyModelType,        &kIdWordLayout,           &kTypeLayout,           nullptr,   0,           Silence::kNothing, Silence::kText},
    {"/2019", kReqEnhancementGet,   kReplyEnhancementGet,   &kIdWordLayout,           &kEnhancementLayout,    nullptr,   0,           Silence::kNothing, Silence::kText},
    {"/2021", kReqDisplayGet,       kReplyDisplayGet,       &kIdWordLayout,           &kDisplayLayout,        nullptr,   0,           Silence::kNothing, Silence::kText},
    {"/2023", kReqCommonGet,        kReplyCommonGet,        &kCommonRequestLayout,    &kCommonReplyLayout,    nullptr,   0,           Silence::kNothing, Silence::kText, fill_common_get},
    {"/2054", kReqTrackingGet,      kReplyTrackingGet,      &kChannelWordLayout,      &kTrackingLayout,       "chnid",   kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_tracking},
    {"/2055", kReqTrackingSet,      kReplyTrackingSet,      &kTrackingSetLayout,      &kResultLayout,         "chnid",   kChannelMax, Silence::kJson,    Silence::kJson, fill_tracking_set},
    {"/2056", kReqPtzSupport,       kReplyPtzSupport,       &kChannelWordLayout,      &kResultLayout,         "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2057", kReqIpcType,          kReplyIpcType,          &kChannelWordLayout,      &kChannelModelLayout,   "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2058", kReqWatermarkGet,     kReplyWatermarkGet,     &kChannelWordLayout,      &kWatermarkLayout,      "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2059", kReqWatermarkSet,     kReplyWatermarkSet,     &kWatermarkSetLayout,     &kResultLayout,         "chnid",   kChannelMax, Silence::kJson,    Silence::kJson, fill_watermark_set},
    {"/2060", kReqEventStreamGet,   kReplyEventStreamGet,   &kEventStreamQueryLayout, &kEventStreamLayout,    "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2061", kReqEventStreamSet,   kReplyEventStreamSet,   &kEventStreamLayout,      &kResultLayout,         "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2062", kReqLprNightMode,     kReplyLprNightMode,     &kChannelWordLayout,      &kLprNightModeLayout,   "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2063", kReqAudioGet,         kReplyAudioGet,         &kChannelWordLayout,      &kAudioInfoLayout,      "chnid",   kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_audio},
    {"/2064", kReqAudioSet,         kReplyAudioSet,         &kAudioSetLayout,         &kResultLayout,         nullptr,   0,           Silence::kNothing, Silence::kJson, fill_audio_set},
    {"/2065", kReqSystemCaps,       kReplySystemCaps,       &kChannelWordLayout,      &kSystemCapsLayout,     "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2068", kReqCustomParam,      kReplyCustomParam,      &kCustomParamQueryLayout, &kCustomParamLayout,    "chnid",   kChannelMax, Silence::kJson,    Silence::kJson},
    {"/2071", kReqPeoplecntDbReset, kReplyPeoplecntDbReset, &kGroupWordLayout,        &kResultLayout,         "groupid", kGroupMax,   Silence::kJson,    Silence::kJson},
    {"/2072", kReqPeoplecntLiveReset, kReplyPeoplecntLiveReset, &kGroupWordLayout,    &kResultLayout,         "groupid", kGroupMax,   Silence::kJson,    Silence::kJson},
    {"/2081", kReqUpgradeStop,      0,                      &kStopWordLayout,         nullptr,                nullptr,   0,           Silence::kNothing, Silence::kNothing},
    {"/2037", kReqImagePeriodGet,   kReplyImagePeriod,      &kIdWordLayout,           &kImagePeriodsLayout,   "id",      kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_image_periods},
    {"/2039", kReqImageAreaGet,     kReplyImageArea,        &kIdWordLayout,           &kImageAreasLayout,     "id",      kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_image_areas},
    {"/2050", kReqImageAreaDelete,  0,                      &kImageAreaDeleteLayout,  nullptr,                "chan_id", kChannelMax, Silence::kJson,    Silence::kNothing, fill_area_delete, nullptr, "OK"},
    {"/2041", kReqImageScheduleGet, kReplyImageSchedule,    &kIdWordLayout,           &kImageScheduleLayout,  "id",      kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_image_schedule},
    {"/2043", kReqImageScheduleExpGet, kReplyImageScheduleExp, &kIdWordLayout,        &kImageScheduleExpLayout, "id",    kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_image_schedule_exp},
    {"/2045", kReqImageScheduleGet3, kReplyImageSchedule3,  &kIdWordLayout,           &kImageScheduleLayout,  "id",      kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_image_schedule},
    {"/2051", kReqIpcMotionGet,     kReplyIpcMotion,        &kChannelWordLayout,      &kIpcMotionLayout,      "chnid",   kChannelMax, Silence::kJson,    Silence::kJson, nullptr, answer_ipc_motion},
    {"/2053", kReqEventInfo,        kReplyEventInfo,        &kEventInfoLayout,        nullptr,                "chnid",   kChannelMax, Silence::kJson,    Silence::kText, nullptr, answer_event_text},
};
// clang-format on

// The row whose request is waiting for its reply.
const PassThrough* g_waiting = nullptr;

void refuse(Silence refusal) {
  if (refusal == Silence::kJson) cgi_error_to_webserver(kRespJson);
  if (refusal == Silence::kText) cgi_error_to_webserver(kRespText);
}

}  // namespace

std::span<const PassThrough> pass_through_table() { return kPassThroughs; }

const PassThrough* find_pass_through(std::string_view route) {
  for (const PassThrough& row : kPassThroughs)
    if (route == row.route) return &row;
  return nullptr;
}

void run_pass_through(const PassThrough& row, char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = 0;
  if (!request ||
      (row.channel_key != nullptr &&
       !nvr::json_read_int(request.get(), row.channel_key, &channel, 0, row.channel_max))) {
    refuse(row.refusal);
    return;
  }
  // Built in place: some records are tens of kilobytes.
  std::vector<uint8_t> record(row.request->size, 0);
  db_record_from_json(*row.request, request.get(), record.data());
  if (row.fill != nullptr && row.fill(request.get(), record.data()) != 0) return;
  const auto length = static_cast<int32_t>(record.size());
  if (row.reply_id == 0) {
    nvr::tell_daemon(row.request_id, record.data(), length);
    if (row.done_text != nullptr) cgi_writeback_webserver(kRespText, row.done_text);
    return;
  }
  g_waiting = &row;
  nvr::ask_or_answer(on_camera_ipc_callback, row.request_id, record.data(), length, row.silence);
  g_waiting = nullptr;
}

void on_pass_through_cb(uint32_t count, const void* records) {
  const PassThrough* row = g_waiting;
  if (row == nullptr) return;
  if (count == 0) {
    nvr::answer_error(kRespJson);
    return;
  }
  if (row->reply == nullptr) {  // a text reply: the count is its size
    row->answer(count, static_cast<const uint8_t*>(records));
    return;
  }
  // The first record, aligned and whole (the count says one has arrived).
  std::vector<uint8_t> record(static_cast<const uint8_t*>(records),
                              static_cast<const uint8_t*>(records) + row->reply->size);
  if (row->answer != nullptr) {
    row->answer(count, record.data());
    return;
  }
  nvr::Json answer(db_record_to_json(*row->reply, record.data()));
  nvr::answer_json(answer);
}

}  // namespace cameras
