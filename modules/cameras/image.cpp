// Time-dependent image settings of the cameras: image periods, image areas,
// weekly image schedules, the recorder-side exposure list and camera-side
// motion detection (their reads are pass-through rows).
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/json_codecs.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"
#include "modules/cameras/passthrough_layouts.h"
#include "platform/device_path.h"

namespace {

int32_t int_of(json_object* object, const char* key) {
  return static_cast<int32_t>(nvr::json_int_or(object, key, 0));
}

void fill_period(json_object* object, ImagePeriod* p) {
  p->changed = 1;
  p->enable = int_of(object, "enable");
  p->startHour = int_of(object, "startHour");
  p->startMinute = int_of(object, "startMinute");
  p->endHour = int_of(object, "endHour");
  p->endMinute = int_of(object, "endMinute");
  p->exposureLevel = int_of(object, "exposureLevel");
  p->minShutter = int_of(object, "minShutter");
  p->maxShutter = int_of(object, "maxShutter");
  p->gainLevel = int_of(object, "gainLevel");
  p->irCutLatency = int_of(object, "irCutLatency");
  p->irCutState = int_of(object, "irCutState");
  p->irLedState = int_of(object, "irLedState");
  p->colorMode = int_of(object, "colorMode");
}

// A slot text of a JSON slot array [start, end, action].
void copy_slot_text(json_object* value, char* field, size_t size) {
  nvr::json_copy_text(value, field, size);
}

}  // namespace

// ---- image periods ------------------------------------------------------------------------

void on_set_ipc_image_period(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  int32_t id = -1;
  if (!nvr::json_read_int(request.get(), "channel", &channel, 0, kCameraChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  ImagePeriods periods{};
  periods.chnid = channel;
  // An entry outside the record is not written.
  if (!nvr::json_read_int(request.get(), "id", &id, 0, 19)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  fill_period(request.get(), &periods.periods[id]);
  nvr::tell_daemon(kReqImagePeriodSet, periods);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_ipc_image_period_batch(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  json_object* channels = nvr::json_get(r, "chnid");
  const int64_t cnt = nvr::json_int_or(r, "cnt", 0);
  const size_t count =
      std::min<size_t>(cnt > 0 ? static_cast<size_t>(cnt) : 0, nvr::json_array_size(channels));
  const int32_t type = int_of(r, "type");
  for (size_t c = 0; c < count; ++c) {
    const int64_t channel = nvr::json_int64(nvr::json_at(channels, c)).value_or(-1);
    if (channel < 0 || channel >= kCameraChannels) continue;
    ImagePeriods periods{};
    periods.chnid = static_cast<int32_t>(channel);
    if (type == 0) {
      json_object* image = nvr::json_get(r, "image");
      for (size_t i = 0; i < std::min<size_t>(nvr::json_array_size(image), 7); ++i)
        fill_period(nvr::json_at(image, i), &periods.periods[i]);
    } else {
      json_object* scenes = nvr::json_get(r, "scenes");
      for (size_t i = 0; i < std::min<size_t>(nvr::json_array_size(scenes), 2); ++i) {
        json_object* scene = nvr::json_at(scenes, i);
        ImagePeriod& p = periods.periods[i];
        p.changed = 1;
        p.minShutter = int_of(scene, "minShutter");
        p.maxShutter = int_of(scene, "maxShutter");
        p.gainLevel = int_of(scene, "gainLevel");
        p.colorMode = int_of(scene, "colorMode");
      }
    }
    // The effective schedule of a scene switch rides in entries 10..19:
    // start and end as hour and minute, the template in the exposure level.
    if (int_of(r, "hasSche") != 0) {
      json_object* effective = nvr::json_get(r, "effective");
      for (size_t i = 0; i < std::min<size_t>(nvr::json_array_size(effective), 10); ++i) {
        json_object* slot = nvr::json_at(effective, i);
        ImagePeriod& p = periods.periods[10 + i];
        int sh = 0, sm = 0, eh = 0, em = 0;
        const char* start = nvr::json_string(slot, "startTime");
        const char* end = nvr::json_string(slot, "endTime");
        if (start) sscanf(start, "%d:%d", &sh, &sm);
        if (end) sscanf(end, "%d:%d", &eh, &em);
        p.changed = 1;
        p.enable = 1;
        p.startHour = sh;
        p.startMinute = sm;
        p.endHour = eh;
        p.endMinute = em;
        p.exposureLevel = int_of(slot, "templateId");
      }
    }
    nvr::tell_daemon(kReqImagePeriodSet, periods);
  }
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- areas ---------------------------------------------------------------------------------

void on_set_ipc_image_area(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  ImageAreasSet set{};
  json_object* channels = nvr::json_get(r, "chnid");
  const int64_t cnt = std::min<int64_t>(nvr::json_int_or(r, "cnt", 0), kCameraChannels);
  int32_t stored = 0;
  for (int64_t i = 0; i < cnt && i < static_cast<int64_t>(nvr::json_array_size(channels)); ++i) {
    const int64_t channel = nvr::json_int64(nvr::json_at(channels, i)).value_or(-1);
    if (channel >= 0 && channel < kCameraChannels)
      set.channels[stored++] = static_cast<int32_t>(channel);
  }
  set.enable = int_of(r, "enable");
  set.count = stored;
  json_object* areas = nvr::json_get(r, "area");
  for (size_t i = 0; i < std::min<size_t>(nvr::json_array_size(areas), 16); ++i) {
    json_object* a = nvr::json_at(areas, i);
    set.areas[i] = ImageArea{int_of(a, "enable"), int_of(a, "left"), int_of(a, "top"),
                             int_of(a, "right"), int_of(a, "bottom")};
  }
  nvr::tell_daemon(kReqImageAreaSet, set);
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- schedules -----------------------------------------------------------------------------

namespace {

// `schedule`: 7 days of up to 10 slots [start, end, action (, exposure, gain)].
template <class Slot>
void read_schedule_days(json_object* request, int slots_per_day, Slot* (*slot_at)(void*, int, int),
                        void* record) {
  json_object* days = nvr::json_get(request, "schedule");
  for (size_t d = 0; d < std::min<size_t>(nvr::json_array_size(days), 7); ++d) {
    json_object* day = nvr::json_at(days, d);
    for (size_t s = 0; s < std::min<size_t>(nvr::json_array_size(day), slots_per_day); ++s) {
      json_object* slot = nvr::json_at(day, s);
      Slot* out = slot_at(record, static_cast<int>(d), static_cast<int>(s));
      copy_slot_text(nvr::json_at(slot, 0), out->startTime, sizeof out->startTime);
      copy_slot_text(nvr::json_at(slot, 1), out->endTime, sizeof out->endTime);
      out->actionType = static_cast<int32_t>(nvr::json_int64(nvr::json_at(slot, 2)).value_or(0));
    }
  }
}

ScheduleSlot* plain_slot(void* record, int day, int slot) {
  return &static_cast<ImageSchedule*>(record)->block.days[day].slots[slot];
}
ImageScheduleSlotExp* exposure_slot(void* record, int day, int slot) {
  return &static_cast<ImageScheduleExp*>(record)->days[day].slots[slot];
}

void set_image_schedule(char* data, int32_t request_id) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "channel", &channel, 0, kCameraChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  auto schedule = std::make_unique<ImageSchedule>();  // 27 KB: built in place
  schedule->chnid = channel;
  read_schedule_days(request.get(), 10, plain_slot, schedule.get());
  nvr::tell_daemon(request_id, schedule.get(), sizeof *schedule);
  cgi_writeback_webserver(kRespText, "OK");
}

}  // namespace

void on_set_ipc_image_schedule(char* data) { set_image_schedule(data, kReqImageScheduleSet); }
void on_set_ipc_image_schedule3(char* data) { set_image_schedule(data, kReqImageScheduleSet3); }

void on_set_ipc_image_schedule_exp(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "channel", &channel, 0, kCameraChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  auto schedule = std::make_unique<ImageScheduleExp>();
  schedule->chnid = channel;
  read_schedule_days(request.get(), 12, exposure_slot, schedule.get());
  json_object* days = nvr::json_get(request.get(), "schedule");
  for (size_t d = 0; d < std::min<size_t>(nvr::json_array_size(days), 7); ++d) {
    json_object* day = nvr::json_at(days, d);
    for (size_t s = 0; s < std::min<size_t>(nvr::json_array_size(day), 12); ++s) {
      json_object* slot = nvr::json_at(day, s);
      ImageScheduleSlotExp& out = schedule->days[d].slots[s];
      out.exposureTime = static_cast<int32_t>(nvr::json_int64(nvr::json_at(slot, 3)).value_or(0));
      out.gainLevel = static_cast<int32_t>(nvr::json_int64(nvr::json_at(slot, 4)).value_or(0));
    }
  }
  nvr::tell_daemon(kReqImageScheduleExpSet, schedule.get(), sizeof *schedule);
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- exposure list -------------------------------------------------------------------------

void on_set_exposure(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "channel", &channel, 0, kCameraChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  json_object* list = nvr::json_get(request.get(), "exposure");
  const size_t count = std::min<size_t>(nvr::json_array_size(list), kMaxExposureEntries);
  std::vector<ExposureEntry> entries(count);
  for (size_t i = 0; i < count; ++i) {
    entries[i].chnid = channel;
    db_record_from_json(kExposureRecord, nvr::json_at(list, i), &entries[i]);
  }
  const int stored =
      write_exposure(nvr::qvdb_path(), entries.data(), channel, static_cast<int>(count));
  nvr::finish_change(stored, {}, {});
}

void on_get_exposure(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "channel", &channel, 0, kCameraChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  std::vector<ExposureEntry> entries(kMaxExposureEntries);
  int count = 0;
  read_exposure(nvr::qvdb_path(), entries.data(), channel, &count);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < count && i < kMaxExposureEntries; ++i)
    nvr::json_append(list.get(), nvr::Json(db_record_to_json(kExposureRecord, &entries[i])));
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "exposure", std::move(list));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// ---- camera motion -------------------------------------------------------------------------

void on_set_ipc_motion(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "chnid", &channel, 0, kCameraChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  auto set = std::make_unique<IpcMotionSet>();  // 28 KB: built in place
  db_record_from_json(cameras::kIpcMotionLayout, request.get(), &set->motion);
  set->motion.isNtPlatform = 0;
  get_schedule_by_json_ipc(request.get(), "effective", &set->motion.effective);
  set->copy_mask = get_copy_flag_by_json(request.get(), "copyChn", "copyCnt");
  nvr::ask_or_answer(on_camera_ipc_callback, kReqIpcMotionSet, set.get(), sizeof *set,
                     nvr::Silence::kJson);
}
