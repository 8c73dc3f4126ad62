// Recorder behaviour for the status queries: two network ports (the first
// one up with IPv4 and IPv6 addresses), the first channels streaming, a
// motion and an alarm input active, people counted on channel 0, one
// administrator logged in. The stored camera settings decide which channels
// stream: a channel with an enabled camera (or, on a fresh device, channels
// 0 and 1).
#include <cstdio>
#include <cstring>
#include <string>

#include "modules/cameras/cameras_records.h"
#include "modules/status/status_wire.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"
#include "tools/nvr-cored/sim.h"

namespace {

void set_text(char* field, size_t size, const char* text) { snprintf(field, size, "%s", text); }

NetIfStatus interface(int32_t id, const char* name, const char* ip, const char* mac, int32_t up) {
  NetIfStatus netif{};
  set_text(netif.ifname, sizeof netif.ifname, name);
  netif.id = id;
  netif.state = up;
  netif.speed_mode = up ? 1000 : 0;
  netif.duplex = up;
  netif.enable = 1;
  set_text(netif.ip_addr, sizeof netif.ip_addr, ip);
  set_text(netif.mac, sizeof netif.mac, mac);
  set_text(netif.primary_dns, sizeof netif.primary_dns, "192.168.1.1");
  set_text(netif.second_dns, sizeof netif.second_dns, "8.8.8.8");
  set_text(netif.gateway, sizeof netif.gateway, "192.168.1.1");
  set_text(netif.netmask, sizeof netif.netmask, "255.255.255.0");
  netif.mtu = 1500;
  return netif;
}

void on_network_status(const sim::Message&, sim::Peer& peer) {
  NetIfStatus netifs[2] = {
      interface(0, "eth0", "192.168.1.100", "00:1a:2b:3c:4d:5e", 1),
      interface(1, "eth1", "10.0.0.100", "00:1a:2b:3c:4d:5f", 0),
  };
  netifs[0].ip6mode = 1;
  set_text(netifs[0].ip6address, sizeof netifs[0].ip6address, "fe80::21a:2bff:fe3c:4d5e");
  netifs[0].ip6prefix = 64;
  peer.reply(kReplyNetworkStatus, netifs, sizeof netifs);
}

void on_network_speed(const sim::Message&, sim::Peer& peer) {
  NetIfSpeed speeds[2] = {{"eth0", 2048, 512, 0}, {"eth1", 0, 0, 1}};
  peer.reply(kReplyNetworkSpeed, speeds, sizeof speeds);
}

bool camera_enabled(int32_t channel) {
  const std::string db = sim::dev_path(nvr::devpath::kQvdb);
  CameraRecord camera{};
  if (read_camera(db.c_str(), &camera, channel) != 0) return channel < 2;
  return camera.enable != 0;
}

void on_camera_status(const sim::Message&, sim::Peer& peer) {
  std::string payload;
  for (int32_t channel = 0; channel < kStatusChannels; ++channel) {
    if (!camera_enabled(channel)) continue;
    ChannelStreamStatus state{};
    state.main = {2560, 1440, 25, 4096, 1, 0, 1};
    state.sub = {704, 576, 15, 512, 1, 0, 1};
    state.record_on = 1;
    state.alarm_on = channel == 1 ? 1 : 0;
    state.channel = channel;
    payload.append(reinterpret_cast<const char*>(&state), sizeof state);
  }
  peer.reply(kReplyCameraStatus, payload);
}

void on_event_status(const sim::Message&, sim::Peer& peer) {
  std::string block(kEventStatusSize, '\0');
  EventStatus events{};
  events.motion = 1u << 1;
  events.alarm_in_state = 1;
  events.counts[0][0] = 12;
  events.counts[0][1] = 9;
  memcpy(block.data(), &events, sizeof events);
  peer.reply(kReplyEventStatus, block);
}

void on_usage_totals(const sim::Message&, sim::Peer& peer) {
  UsageTotals totals{42, 30, 12};
  peer.reply(kReplyUsageTotals, &totals, sizeof totals);
}

void on_channel_support(const sim::Message&, sim::Peer& peer) {
  ChannelSupport records[kStatusChannels] = {};
  for (int i = 0; i < 4; ++i) {
    records[i].support = 1;
    records[i].type = i < 2 ? 1 : 2;
  }
  peer.reply(kReplyChannelSupport, records, sizeof records);
}

void on_online_users(const sim::Message&, sim::Peer& peer) {
  OnlineUser user{};
  set_text(user.user_name, sizeof user.user_name, "admin");
  user.user_level = 0;
  set_text(user.ipaddr, sizeof user.ipaddr, "192.168.1.50");
  set_text(user.login_time, sizeof user.login_time, "2026-01-05 08:30:00");
  peer.reply(kReplyOnlineUsers, &user, sizeof user);
}

sim::HandlerReg reg_3301(kReqNetworkStatus, on_network_status);
sim::HandlerReg reg_3302(kReqNetworkSpeed, on_network_speed);
sim::HandlerReg reg_3300(kReqCameraStatus, on_camera_status);
sim::HandlerReg reg_3305(kReqEventStatus, on_event_status);
sim::HandlerReg reg_3306(kReqUsageTotals, on_usage_totals);
sim::HandlerReg reg_3263(kReqChannelSupport, on_channel_support);
sim::HandlerReg reg_1719(kReqOnlineUsers, on_online_users);

}  // namespace
