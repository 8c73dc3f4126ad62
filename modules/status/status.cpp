// Live state that only the core daemon knows: interfaces and their traffic,
// the channels and their streams, events and alarms, totals, the channels
// that support a feature, and the users logged in. The daemon's codes are
// passed through as they are.
#include "modules/status/status.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/alarm/alarm_records.h"
#include "modules/cameras/cameras_records.h"
#include "modules/status/status_wire.h"
#include "modules/storage/storage.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace {

// The wire records whose JSON keys follow their own layout (through the same
// descriptors as stored records: texts bounded, integers as they are).
constexpr DbField kNetIfFields[] = {
    DB_FIELD(NetIfStatus, ifname, "ifname", DbType::Text),
    DB_FIELD(NetIfStatus, id, "id", DbType::I32),
    DB_FIELD(NetIfStatus, state, "state", DbType::I32),
    DB_FIELD(NetIfStatus, speed_mode, "speedMode", DbType::I32),
    DB_FIELD(NetIfStatus, duplex, "duplex", DbType::I32),
    DB_FIELD(NetIfStatus, enable, "enable", DbType::I32),
    DB_FIELD(NetIfStatus, dhcp_enable, "dhcpEnable", DbType::I32),
    DB_FIELD(NetIfStatus, ip_addr, "ipAddr", DbType::Text),
    DB_FIELD(NetIfStatus, mac, "MAC", DbType::Text),
    DB_FIELD(NetIfStatus, primary_dns, "primaryDNS", DbType::Text),
    DB_FIELD(NetIfStatus, second_dns, "secondDNS", DbType::Text),
    DB_FIELD(NetIfStatus, gateway, "gateway", DbType::Text),
    DB_FIELD(NetIfStatus, netmask, "netmask", DbType::Text),
    DB_FIELD(NetIfStatus, mtu, "mtu", DbType::I32),
    DB_FIELD(NetIfStatus, ip6mode, "ip6mode", DbType::U8),
    DB_FIELD(NetIfStatus, ip6address, "ip6address", DbType::Text),
    DB_FIELD(NetIfStatus, ip6prefix, "ip6prefix", DbType::I32),
    DB_FIELD(NetIfStatus, ip6gateway, "ip6gateway", DbType::Text),
};
constexpr DbRecord kNetIfJson{"", nullptr, sizeof(NetIfStatus), kNetIfFields};

constexpr DbField kNetSpeedFields[] = {
    DB_FIELD(NetIfSpeed, id, "id", DbType::I32),
    DB_FIELD(NetIfSpeed, ifname, "ifname", DbType::Text),
    DB_FIELD(NetIfSpeed, rx_speed, "RxSpeed", DbType::I32),
    DB_FIELD(NetIfSpeed, tx_speed, "TxSpeed", DbType::I32),
};
constexpr DbRecord kNetSpeedJson{"", nullptr, sizeof(NetIfSpeed), kNetSpeedFields};

constexpr DbField kTotalsFields[] = {
    DB_FIELD(UsageTotals, total, "total", DbType::I32),
    DB_FIELD(UsageTotals, free, "free", DbType::I32),
    DB_FIELD(UsageTotals, used, "used", DbType::I32),
};
constexpr DbRecord kTotalsJson{"", nullptr, sizeof(UsageTotals), kTotalsFields};

constexpr DbField kOnlineUserFields[] = {
    DB_FIELD(OnlineUser, user_name, "userName", DbType::Text),
    DB_FIELD(OnlineUser, user_level, "userLevel", DbType::I32),
    DB_FIELD(OnlineUser, ipaddr, "ipaddr", DbType::Text),
    DB_FIELD(OnlineUser, login_time, "loginTime", DbType::Text),
};
constexpr DbRecord kOnlineUserJson{"", nullptr, sizeof(OnlineUser), kOnlineUserFields};

// Every record of a reply as one array (under `key`, or the array itself).
template <class T>
void answer_records(const DbRecord& json, const char* key, uint32_t count, const void* records) {
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < count; ++i) {
    T record = nvr::record_at<T>(records, i);
    nvr::json_append(list.get(), nvr::Json(db_record_to_json(json, &record)));
  }
  if (key == nullptr) {
    nvr::answer_json(list);
    return;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), key, std::move(list));
  nvr::answer_json(answer);
}

void on_network_status_cb(uint32_t count, const void* records) {
  answer_records<NetIfStatus>(kNetIfJson, "netif", count, records);
}
void on_network_speed_cb(uint32_t count, const void* records) {
  answer_records<NetIfSpeed>(kNetSpeedJson, "netif", count, records);
}
void on_online_users_cb(uint32_t count, const void* records) {
  answer_records<OnlineUser>(kOnlineUserJson, nullptr, count, records);
}

void on_usage_totals_cb(uint32_t count, const void* records) {
  if (count == 0) {  // nothing to show: the answer of a daemon that did not answer
    nvr::answer_error(kRespJson);
    return;
  }
  UsageTotals totals = nvr::record_at<UsageTotals>(records, 0);
  nvr::answer_json(nvr::Json(db_record_to_json(kTotalsJson, &totals)));
}

int channel_count() {
  return std::clamp(get_param_int(nvr::qvdb_path(), "max_cameras", 32), 0, kStatusChannels);
}

void add_name(json_object* item, int32_t channel) {
  char name[128] = "";
  read_osd_name(nvr::qvdb_path(), name, sizeof name, channel);
  nvr::json_add_string(item, "name", name);
}

nvr::Json stream_json(const StreamStatus* stream) {
  nvr::Json item = nvr::json_new_object();
  if (stream == nullptr) {
    for (const char* key : {"res", "framerate", "bitrate", "connection"})
      nvr::json_add_string(item.get(), key, "--");
    return item;
  }
  nvr::Json res = nvr::json_new_object();
  nvr::json_add_int(res.get(), "width", stream->width);
  nvr::json_add_int(res.get(), "height", stream->height);
  nvr::json_add(item.get(), "res", std::move(res));
  nvr::json_add_int(item.get(), "framerate", stream->framerate);
  nvr::json_add_int(item.get(), "bitrate", stream->bitrate);
  nvr::json_add_int(item.get(), "connection", stream->connection);
  nvr::json_add_int(item.get(), "connectStatus", stream->connect_status);
  return item;
}

// "/8002": every channel of the device, with stream data where the daemon
// has state for it (its records come in channel order).
void on_camera_status_cb(uint32_t count, const void* records) {
  nvr::Json list = nvr::json_new_array();
  uint32_t next = 0;
  for (int32_t channel = 0; channel < channel_count(); ++channel) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "id", channel);
    add_name(item.get(), channel);
    CameraRecord camera{};
    read_camera(nvr::qvdb_path(), &camera, channel);
    nvr::json_add_int(item.get(), "enable", camera.enable);
    const std::string address(camera.ipAddr, strnlen(camera.ipAddr, sizeof camera.ipAddr));
    nvr::json_add_string(item.get(), "ipAddr", address.empty() ? "--" : address);

    // A record of an earlier channel (out of order) is passed over, not kept
    // in the way of every channel after it.
    while (next < count && nvr::record_at<ChannelStreamStatus>(records, next).channel < channel)
      ++next;
    if (next < count && nvr::record_at<ChannelStreamStatus>(records, next).channel == channel) {
      ChannelStreamStatus state = nvr::record_at<ChannelStreamStatus>(records, next++);
      nvr::json_add_int(item.get(), "recordOn", state.record_on);
      nvr::json_add_int(item.get(), "alarmOn", state.alarm_on);
      nvr::json_add(item.get(), "main", stream_json(&state.main));
      nvr::json_add(item.get(), "sub", stream_json(&state.sub));
    } else {
      nvr::json_add_string(item.get(), "recordOn", "--");
      nvr::json_add_string(item.get(), "alarmOn", "--");
      nvr::json_add(item.get(), "main", stream_json(nullptr));
      nvr::json_add(item.get(), "sub", stream_json(nullptr));
    }
    nvr::json_append(list.get(), std::move(item));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "IPC", std::move(list));
  nvr::answer_json(answer);
}

int bit(uint64_t mask, int n) { return static_cast<int>((mask >> n) & 1u); }

constexpr const char* kSmartKeys[6] = {"advancedMotion", "tampering",      "lineCrossing",
                                       "loitering",      "humanDetection", "objectleftremove"};

nvr::Json event_cameras_json(const EventStatus& events) {
  AlarmChnInName in_names[4][64] = {};
  AlarmChnOutName out_names[2][64] = {};
  for (int k = 0; k < 4; ++k) read_alarm_chnIn_event_names(nvr::qvdb_path(), in_names[k], k);
  for (int k = 0; k < 2; ++k) read_alarm_chnOut_event_names(nvr::qvdb_path(), out_names[k], k);

  nvr::Json list = nvr::json_new_array();
  for (int32_t ch = 0; ch < channel_count(); ++ch) {
    nvr::Json item = nvr::json_new_object();
    json_object* o = item.get();
    nvr::json_add_int(o, "id", ch);
    add_name(o, ch);
    CameraRecord camera{};
    read_camera(nvr::qvdb_path(), &camera, ch);
    nvr::json_add(o, "ipAddr", nvr::json_new_string_bounded(camera.ipAddr, sizeof camera.ipAddr));
    nvr::json_add_int(o, "videolossOn", bit(events.video_loss, ch));
    nvr::json_add_int(o, "motionOn", bit(events.motion, ch));
    nvr::json_add_int(o, "ioOn", 1);
    nvr::json_add_int(o, "entrance", bit(events.entrance, ch));
    nvr::json_add_int(o, "exiting", bit(events.exiting, ch));
    for (int s = 0; s < 6; ++s) nvr::json_add_int(o, kSmartKeys[s], bit(events.smart[s], ch));
    nvr::json_add_int(o, "in", events.counts[ch][0]);
    nvr::json_add_int(o, "out", events.counts[ch][1]);
    char key[32];
    for (int k = 0; k < 4; ++k) {
      const AlarmChnInName& name = in_names[k][ch];
      snprintf(key, sizeof key, "AlarmInName%d", k);
      nvr::json_add(o, key, nvr::json_new_string_bounded(name.name, sizeof name.name));
      snprintf(key, sizeof key, "AlarmInType%d", k);
      nvr::json_add_int(o, key, bit(events.cam_alarm_in_type[k], ch));
      snprintf(key, sizeof key, "AlarmInState%d", k);
      nvr::json_add_int(o, key, bit(events.cam_alarm_in_state[k], ch));
    }
    for (int k = 0; k < 2; ++k) {
      const AlarmChnOutName& name = out_names[k][ch];
      snprintf(key, sizeof key, "AlarmOutName%d", k);
      nvr::json_add(o, key, nvr::json_new_string_bounded(name.name, sizeof name.name));
      snprintf(key, sizeof key, "AlarmOutDelay%d", k);
      nvr::json_add_int(o, key, name.delayTime);
      snprintf(key, sizeof key, "AlarmOutType%d", k);
      nvr::json_add_int(o, key, bit(events.cam_alarm_out_type[k], ch));
      snprintf(key, sizeof key, "AlarmOutState%d", k);
      nvr::json_add_int(o, key, bit(events.cam_alarm_out_state[k], ch));
    }
    nvr::json_append(list.get(), std::move(item));
  }
  return list;
}

int limited_param(const char* key, int fallback, int limit) {
  return std::clamp(get_param_int(nvr::qvdb_path(), key, fallback), 0, limit);
}

void on_event_status_cb(uint32_t count, const void* records) {
  // A reply shorter than the block's head shows no event rather than bytes
  // that never arrived.
  const EventStatus events = count > 0 ? nvr::record_at<EventStatus>(records, 0) : EventStatus{};

  AlarmIn inputs[16] = {};
  for (int i = 0; i < 16; ++i) db_read(nvr::qvdb_path(), kAlarmInRecord, &inputs[i], i);
  nvr::Json alarm_in = nvr::json_new_array();
  for (int i = 0; i < limited_param("alarm_in", 16, 16); ++i) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "id", i);
    nvr::json_add(item.get(), "name",
                  nvr::json_new_string_bounded(inputs[i].name, sizeof inputs[i].name));
    nvr::json_add_int(item.get(), "type", inputs[i].type);
    nvr::json_add_int(item.get(), "state", bit(static_cast<uint32_t>(events.alarm_in_state), i));
    nvr::json_append(alarm_in.get(), std::move(item));
  }
  AlarmOut outputs[4] = {};
  for (int i = 0; i < 4; ++i) db_read(nvr::qvdb_path(), kAlarmOutRecord, &outputs[i], i);
  nvr::Json alarm_out = nvr::json_new_array();
  for (int i = 0; i < limited_param("alarm_out", 4, 4); ++i) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "id", i);
    nvr::json_add(item.get(), "name",
                  nvr::json_new_string_bounded(outputs[i].name, sizeof outputs[i].name));
    nvr::json_add_int(item.get(), "type", outputs[i].type);
    nvr::json_add_int(item.get(), "duration", outputs[i].durationTime);
    nvr::json_add_int(item.get(), "state", bit(static_cast<uint32_t>(events.alarm_out_state), i));
    nvr::json_append(alarm_out.get(), std::move(item));
  }

  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "cameras", event_cameras_json(events));
  nvr::json_add(answer.get(), "alarmIn", std::move(alarm_in));
  nvr::json_add(answer.get(), "alarmOut", std::move(alarm_out));
  nvr::answer_json(answer);
}

void on_channel_support_cb(uint32_t count, const void* records) {
  std::string support(kStatusChannels, '0');
  std::string type(kStatusChannels, '0');
  for (uint32_t n = 0; n < count && n < kStatusChannels; ++n) {
    ChannelSupport record = nvr::record_at<ChannelSupport>(records, n);
    if (record.support == 1) support[n] = '1';
    if (record.type == 1 || record.type == 2) type[n] = static_cast<char>('0' + record.type);
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "support", support);
  nvr::json_add_string(answer.get(), "type", type);
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kStatusReplies[] = {
    {kReplyNetworkStatus, sizeof(NetIfStatus), on_network_status_cb},
    {kReplyNetworkSpeed, sizeof(NetIfSpeed), on_network_speed_cb},
    {kReplyCameraStatus, sizeof(ChannelStreamStatus), on_camera_status_cb},
    {kReplyEventStatus, sizeof(EventStatus), on_event_status_cb},
    {kReplyUsageTotals, sizeof(UsageTotals), on_usage_totals_cb},
    {kReplyChannelSupport, sizeof(ChannelSupport), on_channel_support_cb},
    {kReplyOnlineUsers, sizeof(OnlineUser), on_online_users_cb},
};

void ask(int32_t request_id) {
  nvr::ask_or_answer(on_status_ipc_callback, request_id, nullptr, 0, nvr::Silence::kJson);
}

}  // namespace

void on_status_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kStatusReplies, header, payload);
}

void on_get_network_status(char*) { ask(kReqNetworkStatus); }
void on_get_network_speed(char*) { ask(kReqNetworkSpeed); }
void on_get_camera_status(char*) { ask(kReqCameraStatus); }
void on_get_event_status(char*) { ask(kReqEventStatus); }
void on_status_nothing(char*) {}
void on_get_usage_totals(char*) { ask(kReqUsageTotals); }
void on_get_channel_support(char*) { ask(kReqChannelSupport); }
void on_cgi_get_online_user_status(char*) { ask(kReqOnlineUsers); }

// "/8010": from the settings alone.
void on_get_disk_groups(char*) {
  nvr::Json answer = nvr::json_new_object();
  add_group_page(answer.get());
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}
