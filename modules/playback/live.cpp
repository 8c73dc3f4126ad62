// Live streams, image parameters and the channel log routes.
#include <cstdlib>
#include <cstring>

#include "frame/cgic.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/playback/playback_handlers.h"
#include "modules/playback/playback_wire.h"
#include "platform/qvfs_log.h"

namespace {

using nvr::Presence;

constexpr nvr::PolicyRow kLivePolicy[] = {
    NVR_POLICY_INT(LiveStartRequest, channel, "id", 0, kPlaybackMaxChannel, Presence::kRequired),
    NVR_POLICY_INT(LiveStartRequest, stream_type, "streamType", 0, 1, Presence::kRequired),
    NVR_POLICY_INT(LiveStartRequest, stream_from, "streamFrom", 0, 1, Presence::kRequired),
};

constexpr nvr::PolicyRow kImagePolicy[] = {
    NVR_POLICY_INT(ImageParam, channel, "id", 0, kPlaybackMaxChannel, Presence::kRequired),
    NVR_POLICY_INT(ImageParam, brightness, "brightness", 0, 255, Presence::kRequired),
    NVR_POLICY_INT(ImageParam, contrast, "contrast", 0, 255, Presence::kRequired),
    NVR_POLICY_INT(ImageParam, saturation, "saturation", 0, 255, Presence::kRequired),
    NVR_POLICY_INT(ImageParam, sharpness, "Sharpness", INT32_MIN, INT32_MAX,
                   Presence::kAbsentIsZero),
    NVR_POLICY_INT(ImageParam, noise_reduction, "NoiseReduction", INT32_MIN, INT32_MAX,
                   Presence::kAbsentIsZero),
    NVR_POLICY_INT(ImageParam, i2ddnr, "i2ddnr", INT32_MIN, INT32_MAX, Presence::kAbsentIsZero),
};

struct ChannelKey {
  int32_t channel;
};
constexpr nvr::PolicyRow kImageQueryPolicy[] = {
    NVR_POLICY_INT(ChannelKey, channel, "chnid", 0, kPlaybackMaxChannel, Presence::kAbsentIsZero),
};

constexpr int32_t kImageDefault = 128;

// The channel of a route whose body is the channel number, when valid.
bool channel_of(const char* data, int32_t* channel) {
  if (data == nullptr) return false;
  const int64_t value = atoi(data);
  if (!playback_channel_valid(value)) return false;
  *channel = static_cast<int32_t>(value);
  return true;
}

void log_channel_route(char* data, int64_t sub_type) {
  int32_t channel = 0;
  if (!channel_of(data, &channel)) return;
  cgi_send_operation_log(sub_type, kLogParamNone, channel + 1);
  cgi_writeback_webserver(kRespText, "OK");
}

void check_channel_route(char* data) {
  int32_t channel = 0;
  if (channel_of(data, &channel)) cgi_writeback_webserver(kRespText, "OK");
}

}  // namespace

bool playback_channel_valid(int64_t channel) {
  return channel >= 0 && channel <= kPlaybackMaxChannel;
}

int32_t image_percent(int32_t value) {
  const float x = static_cast<float>(static_cast<double>(value) * 100 / 255);
  const int32_t whole = static_cast<int32_t>(x);
  return x - 0.5f >= static_cast<float>(whole) ? whole + 1 : whole;
}

void on_start_live(char* data) {
  LiveStartRequest request{};
  if (nvr::read_request(data, kLivePolicy, &request) != 0) return;
  nvr::ask_or_answer(on_stream_callback, kReqStartLive, request, nvr::Silence::kJson);
}

void on_stop_live(char* data) {
  LiveStartRequest request{};
  if (nvr::read_request(data, kLivePolicy, &request) != 0) return;
  request.stream_from = 0;
  nvr::tell_daemon(kReqStopLive, request);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_stop_all_live(char*) {
  nvr::tell_daemon(kReqStopAllLive, nullptr, 0);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_get_image_param(char* data) {
  ChannelKey key{};
  if (nvr::read_request(data, kImageQueryPolicy, &key) != 0) return;
  nvr::ask_or_answer(on_stream_callback, kReqGetImageParam, key.channel, nvr::Silence::kJson);
}

void on_set_image_param(char* data) {
  ImageParam image{};
  if (nvr::read_request(data, kImagePolicy, &image) != 0) return;
  nvr::tell_daemon(kReqSetImageParam, image);
  const int32_t percent[5] = {image_percent(image.brightness), image_percent(image.contrast),
                              image_percent(image.saturation), image_percent(image.sharpness),
                              image_percent(image.noise_reduction)};
  QvLogInfo record;
  cgi_init_log_info(&record);
  record.sub_type = kLogSubImageParam;
  record.param_type = kLogParamNone;
  record.chan_no = image.channel + 1;
  qvfs_log_pack_detail(&record, kLogDetailImage, percent, sizeof percent);
  cgi_send_log(nullptr, record);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_reset_image_param(char* data) {
  int32_t channel = 0;
  if (!channel_of(data, &channel)) return;
  const ImageParam image{
      channel, kImageDefault, kImageDefault, kImageDefault, kImageDefault, kImageDefault, 0};
  nvr::tell_daemon(kReqSetImageParam, image);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "ChannelId", channel);
  for (const char* key : {"Brightness", "Contrast", "Saturation", "Sharpness", "NoiseReduction"})
    nvr::json_add_int(answer.get(), key, kImageDefault);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_log_start_live(char* data) { log_channel_route(data, kLogSubStartLive); }

void on_log_channel_event(char* data) { log_channel_route(data, kLogSubChannelEvent); }

// The user of this entry is the one the web server authenticated.
void on_log_channel_user_event(char* data) {
  int32_t channel = 0;
  if (!channel_of(data, &channel)) return;
  QvLogInfo record;
  cgi_init_log_info(&record);
  record.sub_type = kLogSubChannelUserEvent;
  record.param_type = kLogParamNone;
  record.chan_no = channel + 1;
  std::memset(record.user, 0, sizeof record.user);
  const char* user = cgiRemoteUser ? cgiRemoteUser : "";
  std::memcpy(record.user, user, strnlen(user, sizeof record.user - 1));
  cgi_send_log(nullptr, record);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_check_channel(char* data) { check_channel_route(data); }

void on_check_channel2(char* data) { check_channel_route(data); }

void on_get_stream_address(char*) {
  nvr::ask_or_answer(on_stream_callback, kReqStreamAddress, nullptr, 0, nvr::Silence::kJson);
}

void on_get_external_port(char*) {
  nvr::ask_or_answer(on_stream_callback, kReqExternalPorts, nullptr, 0, nvr::Silence::kJson);
}
