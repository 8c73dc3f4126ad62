// Regional people counting: the camera keeps its counting regions (read and
// written through the daemon); the recorder keeps what each region triggers,
// one action object per region.
#include <span>

#include "frame/json_codecs.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/video/event_actions.h"
#include "modules/video/video_handlers.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/device_path.h"
#include "platform/qvdb_actions.h"

namespace {

using nvr::events::ActionKey;
using nvr::events::EventSource;
using nvr::events::kChannels;

const char* db() { return nvr::qvdb_path(); }

int32_t int_of(json_object* object, const char* key) {
  int32_t value = 0;
  nvr::json_read_int(object, key, &value);
  return value;
}

// The integer keys of the record's head and of a region, with their places.
struct IntKey {
  const char* key;
  int32_t RegionalCounting::*field;
};
constexpr IntKey kBoxKeys[] = {
    {"sensitivity", &RegionalCounting::sensitivity},
    {"minObjX", &RegionalCounting::minObjX},
    {"minObjY", &RegionalCounting::minObjY},
    {"minObjWidth", &RegionalCounting::minObjWidth},
    {"minObjHeight", &RegionalCounting::minObjHeight},
    {"maxObjX", &RegionalCounting::maxObjX},
    {"maxObjY", &RegionalCounting::maxObjY},
    {"maxObjWidth", &RegionalCounting::maxObjWidth},
    {"maxObjHeight", &RegionalCounting::maxObjHeight},
};
struct RegionKey {
  const char* key;
  int32_t CountingRegion::*field;
};
constexpr RegionKey kRegionKeys[] = {
    {"maxStayEnable", &CountingRegion::maxStayEnable},
    {"maxStayValue", &CountingRegion::maxStayValue},
    {"minStayEnable", &CountingRegion::minStayEnable},
    {"minStayValue", &CountingRegion::minStayValue},
    {"maxStayTimeEnable", &CountingRegion::maxStayTimeEnable},
    {"maxStayTimeValue", &CountingRegion::maxStayTimeValue},
};

// What "/6096" answers of each region's actions (no warning light).
constexpr ActionKey kRegionAnswerKeys[] = {
    {"audible"},
    {"interval"},
    {"audioId"},
    {"email"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz"},
    {"ptz_interval"},
    {"ptzParams"},
    {"white"},
    {"whiteInfo"},
    {"white_interval"},
    {"httpSche"},
    {"httpParams"},
    {"http_notification_interval"},
    {"alarmout_interval"},
    {"triAlarms"},
    {"triChannels"},
    {"triChnAlarms"},
};
// What "/6097" stores in a region's record.
constexpr ActionKey kRegionRecordKeys[] = {
    {"interval"},
    {"audioId"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz_interval"},
    {"white_interval"},
    {"warning_light_interval"},
    {"http_notification_interval"},
    {"triChnAlarms"},
    {"alarmout_interval"},
    {"triAlarms"},
    {"triChannels"},
};

nvr::Json region_json(const CountingRegion& region) {
  nvr::Json object = nvr::json_new_object();
  nvr::json_add_int(object.get(), "enable", region.enable);
  nvr::json_add(object.get(), "polygonX",
                nvr::json_new_string_bounded(region.polygonX, sizeof region.polygonX));
  nvr::json_add(object.get(), "polygonY",
                nvr::json_new_string_bounded(region.polygonY, sizeof region.polygonY));
  for (const RegionKey& key : kRegionKeys)
    nvr::json_add_int(object.get(), key.key, region.*key.field);
  return object;
}

nvr::Json region_actions(int32_t channel, int region) {
  const EventSource& source = kRegionalPcntSources[region];
  RegionalPcntEvent record{};
  nvr::events::read_event_record(source, &record, channel);
  return nvr::events::build_action_object(source, channel, &record, kRegionAnswerKeys);
}

void on_get_ipc_regional_info_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  const RegionalCounting counting = nvr::record_at<RegionalCounting>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  json_object* o = answer.get();
  nvr::json_add_int(o, "result", counting.result);
  nvr::json_add_int(o, "chnid", counting.channel);
  for (const IntKey& key : kBoxKeys) nvr::json_add_int(o, key.key, counting.*key.field);
  nvr::Json regions = nvr::json_new_array();
  for (const CountingRegion& region : counting.regional)
    nvr::json_append(regions.get(), region_json(region));
  nvr::json_add(o, "regional", std::move(regions));
  nvr::json_add(o, "effective", get_schedule_json_object_ipc(&counting.effective));
  // The stored actions of a channel the daemon names outside 0..63 are none.
  nvr::Json actions = nvr::json_new_array();
  if (counting.channel >= 0 && counting.channel < kChannels)
    for (int r = 0; r < kCountingRegions; ++r)
      nvr::json_append(actions.get(), region_actions(counting.channel, r));
  nvr::json_add(o, "action", std::move(actions));
  nvr::answer_json(answer);
}

void on_set_ipc_regional_info_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", nvr::record_at<int32_t>(records, 0));
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kCountingReplies[] = {
    {kReplyRegionalCounting, sizeof(RegionalCounting), on_get_ipc_regional_info_cb},
    {kReplySetRegionalCounting, sizeof(int32_t), on_set_ipc_regional_info_cb},
};
void on_counting_replies(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kCountingReplies, header, payload);
}

void fill_counting(json_object* request, RegionalCounting* counting) {
  for (const IntKey& key : kBoxKeys) counting->*key.field = int_of(request, key.key);
  json_object* regions = nvr::json_get(request, "regional");
  for (int r = 0; r < kCountingRegions; ++r) {
    json_object* item = nvr::json_at(regions, static_cast<size_t>(r));
    if (!nvr::json_is(item, json_type_object)) continue;
    CountingRegion& region = counting->regional[r];
    region.enable = int_of(item, "enable");
    nvr::json_copy_string(item, "polygonX", region.polygonX, sizeof region.polygonX);
    nvr::json_copy_string(item, "polygonY", region.polygonY, sizeof region.polygonY);
    for (const RegionKey& key : kRegionKeys) region.*key.field = int_of(item, key.key);
  }
  get_schedule_by_json_ipc(request, "effective", &counting->effective);
}

// The request names the warning light "warnLight" / "warnLightInfo"; the
// action layer knows them by their common names.
void alias(json_object* object, const char* from, const char* to) {
  json_object* value = nvr::json_get(object, from);
  if (value) json_object_object_add(object, to, json_object_get(value));
}

// Stores region r's actions of `action` and copies them to the copy mask.
int store_region(json_object* action, int32_t channel, int region, uint64_t copy_mask) {
  const EventSource& source = kRegionalPcntSources[region];
  alias(action, "warnLight", "warningLight");
  alias(action, "warnLightInfo", "warningLightInfo");
  RegionalPcntEvent record{};
  nvr::events::read_event_record(source, &record, channel);
  record.chnid = channel;
  record.region = region;
  int failed = nvr::events::store_action_tables(source, action, channel);
  json_object* ptz = nvr::json_get(action, "ptzParams");
  if (ptz && set_ptz_params_by_json(channel, source.ptz_event_type, ptz) != 1) failed = -1;
  nvr::events::apply_action_fields(source, action, &record, kRegionRecordKeys);
  failed |= nvr::events::write_event_record(source, &record);
  failed |= nvr::events::copy_action_tables(source, channel, copy_mask);
  failed |= nvr::events::copy_event_record(source, &record, copy_mask);
  return failed;
}

}  // namespace

void on_cgi_get_ipc_regional_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = 0;
  // The stored actions are per channel: a channel outside 0..63 is refused.
  if (!request || !nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1)) return;
  nvr::ask_or_answer(on_counting_replies, kReqRegionalCounting, channel, nvr::Silence::kJson);
}

void on_cgi_set_ipc_regional_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = 0;
  if (!request || !nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  static RegionalCounting counting;  // 28 kB
  counting = RegionalCounting{};
  counting.channel = channel;
  fill_counting(request.get(), &counting);
  const char* copy = nvr::json_string(request.get(), "copyChn");
  const uint64_t copy_mask = (copy ? get_channel_mask(copy) : 0) & ~(uint64_t{1} << channel);
  json_object* actions = nvr::json_get(request.get(), "action");
  DbBatch batch(db());
  int failed = 0;
  for (int r = 0; r < kCountingRegions; ++r) {
    json_object* action = nvr::json_at(actions, static_cast<size_t>(r));
    if (nvr::json_is(action, json_type_object))
      failed |= store_region(action, channel, r, copy_mask);
  }
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_counting_replies, kReqSetRegionalCounting, counting, nvr::Silence::kJson);
}
