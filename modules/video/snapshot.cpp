// Timed snapshots (schedules and settings stored for lists of channels, and a
// manual start and stop) and the modes of fisheye cameras, which the cameras
// keep and the daemon reads and writes.
#include <cstring>
#include <vector>

#include "frame/json_codecs.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/video/event_actions.h"
#include "modules/video/video_handlers.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/device_path.h"

namespace {

using nvr::events::kChannels;

const char* db() { return nvr::qvdb_path(); }

int32_t int_of(json_object* object, const char* key) {
  int32_t value = 0;
  nvr::json_read_int(object, key, &value);
  return value;
}

// The first `count` elements of `key` that are channels 0..63, in request
// order (others skipped; the list never holds more than 64).
ChannelList listed_channels(json_object* request, const char* key, const char* count_key) {
  ChannelList list{};
  json_object* array = nvr::json_get(request, key);
  const int64_t count = nvr::json_int_or(request, count_key);
  for (size_t i = 0; i < nvr::json_array_size(array) && static_cast<int64_t>(i) < count; ++i) {
    std::optional<int64_t> n = nvr::json_int64(nvr::json_at(array, i));
    if (!n || *n < 0 || *n >= kChannels || list.count >= kChannels) continue;
    list.channels[list.count++] = static_cast<int32_t>(*n);
  }
  return list;
}

uint64_t mask_of(const ChannelList& list) {
  uint64_t mask = 0;
  for (int i = 0; i < list.count; ++i) mask |= uint64_t{1} << list.channels[i];
  return mask;
}

bool channel_text(const char* data, int32_t* channel) {
  return nvr::events::parse_index_text(data, channel) && *channel >= 0 && *channel < kChannels;
}

// ---- fisheye replies ---------------------------------------------------------------------

void on_get_fisheye_info_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_text("CGI ERROR");
    return;
  }
  const FisheyeMode mode = nvr::record_at<FisheyeMode>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "chnid", mode.channel);
  nvr::json_add_int(answer.get(), "result", mode.result);
  nvr::json_add_int(answer.get(), "fishmount", mode.fishmount);
  nvr::json_add_int(answer.get(), "fishdisplay", mode.fishdisplay);
  nvr::json_add_int(answer.get(), "fishcorrect", mode.fishcorrect);
  nvr::answer_json(answer);
}

void on_set_result_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  nvr::answer_text(nvr::record_at<int32_t>(records, 0) == 0 ? "OK" : "FAILED");
}

void on_check_fisheye_info_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  const FisheyeSupport support = nvr::record_at<FisheyeSupport>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "support", support.support == 1 ? 1 : 0);
  nvr::json_add_int(answer.get(), "transfer", support.transfer);
  nvr::json_add_int(answer.get(), "install", support.install);
  nvr::json_add_int(answer.get(), "display", support.display);
  nvr::json_add_int(answer.get(), "streamCnt", support.streamCnt);
  nvr::answer_json(answer);
}

void on_set_fisheye_info_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", nvr::record_at<int32_t>(records, 0));
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kFisheyeReplies[] = {
    {kReplyFisheyeMode, sizeof(FisheyeMode), on_get_fisheye_info_cb},
    {kReplySetFisheyeMode, sizeof(int32_t), on_set_result_cb},
    {kReplyCheckFisheye, sizeof(FisheyeSupport), on_check_fisheye_info_cb},
    {kReplySetFisheye, sizeof(int32_t), on_set_fisheye_info_cb},
};
void on_fisheye_replies(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kFisheyeReplies, header, payload);
}

// The camera address of a fisheye request (texts cut at 63, absent port 0).
FisheyeAddress address_of(json_object* r) {
  FisheyeAddress address{};
  nvr::json_copy_string(r, "ddns", address.ddns, sizeof address.ddns);
  nvr::json_copy_string(r, "ipaddr", address.ipaddr, sizeof address.ipaddr);
  nvr::json_copy_string(r, "username", address.username, sizeof address.username);
  nvr::json_copy_string(r, "password", address.password, sizeof address.password);
  address.port = int_of(r, "port");
  return address;
}

}  // namespace

// ---- routes ----------------------------------------------------------------------------

void on_get_fisheye_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t id = 0;
  if (!request || !nvr::json_read_int(request.get(), "id", &id, 0, kChannels - 1)) return;
  nvr::ask_or_answer(on_fisheye_replies, kReqFisheyeMode, id, nvr::Silence::kText);
}

void on_get_snapshot_schedule(char* data) {
  int32_t channel = 0;
  if (!channel_text(data, &channel)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  SnapshotSchedule record{};
  read_snapshot_schedule(db(), &record, channel);
  cgi_writeback_webserver(kRespJson, nvr::json_text(get_schedule_json_object(&record.block)));
}

void on_set_snapshot_schedule(char* data) {
  nvr::Json request = nvr::parse_request(data);
  ScheduleBlock block{};
  if (!request || get_schedule_by_json(request.get(), "schedule", &block) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  const ChannelList list = listed_channels(request.get(), "chnid", "cnt");
  std::vector<SnapshotSchedule> records(kChannels);
  for (int i = 0; i < list.count; ++i) records[list.channels[i]].block = block;
  if (write_snapshot_schedules(db(), records.data(), list.channels, list.count) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::tell_daemon(kReqSnapshotSchedulesChanged, list);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_get_snapshot_setting_params(char* data) {
  int32_t channel = 0;
  if (!channel_text(data, &channel)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  SnapshotSettings record{};
  read_snapshot(db(), &record, channel);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "resolution", record.resolution);
  nvr::json_add_int(answer.get(), "quality", record.quality);
  nvr::json_add_int(answer.get(), "interval", record.interval);
  nvr::json_add_int(answer.get(), "interval_unit", record.interval_unit);
  nvr::json_add_int(answer.get(), "expiration_date", record.expiration_date);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_set_snapshot_setting_params(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  json_object* r = request.get();
  const ChannelList list = listed_channels(r, "chnid", "cnt");
  // The five settings replace those of each listed channel; the fields this
  // route does not set keep what is stored.
  DbBatch batch(db());
  int failed = 0;
  for (int i = 0; i < list.count; ++i) {
    SnapshotSettings record{};
    read_snapshot(db(), &record, list.channels[i]);
    record.chnid = list.channels[i];
    record.resolution = int_of(r, "resolution");
    record.quality = int_of(r, "quality");
    record.interval = int_of(r, "interval");
    record.interval_unit = int_of(r, "interval_unit");
    record.expiration_date = int_of(r, "expiration_date");
    failed |= db_write(db(), kSnapshotRecord, &record);
  }
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::tell_daemon(kReqSnapshotSettingsChanged, list);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_snapshot_batch_setting(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  json_object* r = request.get();
  struct Part {
    int32_t action;
    const char* list;
    const char* count;
  };
  for (const Part& part :
       {Part{1, "snapshotChnId", "snapshotCnt"}, Part{0, "stopChnId", "stopCnt"}}) {
    if (nvr::json_int_or(r, part.count) <= 0) continue;
    SnapshotStartStop message{};
    message.action = part.action;
    const uint64_t mask = mask_of(listed_channels(r, part.list, part.count));
    for (int n = 0; n < kChannels; ++n) message.selected[n] = mask >> n & 1;
    nvr::tell_daemon(kReqSnapshotStartStop, message);
  }
  cgi_writeback_webserver(kRespText, "OK");
}

void on_cgi_set_fisheye_mode(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  const FisheyeMode mode{int_of(r, "chnid"), int_of(r, "fishmount"), int_of(r, "fishdisplay"),
                         int_of(r, "fishcorrect"), 0};
  nvr::ask_or_answer(on_fisheye_replies, kReqSetFisheyeMode, mode, nvr::Silence::kJson);
}

void on_cgi_check_fisheye_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  nvr::ask_or_answer(on_fisheye_replies, kReqCheckFisheye, address_of(request.get()),
                     nvr::Silence::kJson);
}

void on_cgi_set_fisheye_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  const FisheyeAddressSet set{address_of(r), int_of(r, "transfer"), int_of(r, "install"),
                              int_of(r, "display")};
  nvr::ask_or_answer(on_fisheye_replies, kReqSetFisheye, set, nvr::Silence::kJson);
}
