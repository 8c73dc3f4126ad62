// Request and reply ids and records of the status queries and of the packet
// capture. Shared by the handlers and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kReqNetworkStatus = 3301;  // no payload -> 8301 NetIfStatus[]
constexpr int32_t kReplyNetworkStatus = 8301;
constexpr int32_t kReqNetworkSpeed = 3302;  // no payload -> 8302 NetIfSpeed[]
constexpr int32_t kReplyNetworkSpeed = 8302;
constexpr int32_t kReqCameraStatus = 3300;  // no payload -> 8300 ChannelStreamStatus[]
constexpr int32_t kReplyCameraStatus = 8300;
constexpr int32_t kReqEventStatus = 3305;  // no payload -> 8305 EventStatus (70344 bytes)
constexpr int32_t kReplyEventStatus = 8305;
constexpr int32_t kReqUsageTotals = 3306;  // no payload -> 8306 UsageTotals
constexpr int32_t kReplyUsageTotals = 8306;
constexpr int32_t kReqChannelSupport = 3263;  // no payload -> 8263 ChannelSupport[64]
constexpr int32_t kReplyChannelSupport = 8263;
constexpr int32_t kReqOnlineUsers = 1719;  // no payload -> 6719 OnlineUser[]
constexpr int32_t kReplyOnlineUsers = 6719;

constexpr int kStatusChannels = 64;
constexpr size_t kEventStatusSize = 70344;  // the block the daemon sends; its head is read

#pragma pack(push, 1)
//  OFFSET  SIZE  DESCRIPTION (one network interface)
//       0    12  interface name                        "ifname"
//      12     4  id, 16 state, 20 speed mode, 24 duplex, 28 enable, 32 DHCP
//      36    24  IPv4 address, 60 MAC, 84 first DNS, 108 second DNS,
//                132 gateway, 156 netmask (24 bytes each)
//     180     4  MTU
//     184     1  IPv6 mode
//     185    67  IPv6 address
//     252     4  IPv6 prefix length
//     256    64  IPv6 gateway
struct NetIfStatus {
  char ifname[12];
  int32_t id;
  int32_t state;
  int32_t speed_mode;
  int32_t duplex;
  int32_t enable;
  int32_t dhcp_enable;
  char ip_addr[24];
  char mac[24];
  char primary_dns[24];
  char second_dns[24];
  char gateway[24];
  char netmask[24];
  int32_t mtu;
  uint8_t ip6mode;
  char ip6address[67];
  int32_t ip6prefix;
  char ip6gateway[64];
};

struct NetIfSpeed {
  char ifname[12];
  int32_t rx_speed;
  int32_t tx_speed;
  int32_t id;
};

struct StreamStatus {
  int32_t width;
  int32_t height;
  int32_t framerate;
  int32_t bitrate;
  int32_t connection;
  int32_t unused;
  int32_t connect_status;
};

struct ChannelStreamStatus {
  StreamStatus main;
  StreamStatus sub;
  int32_t record_on;
  int32_t alarm_on;
  int32_t channel;
  int32_t pad;
};

//  The head of the event status block (the rest is the daemon's).
struct EventStatus {
  uint64_t video_loss;
  uint64_t motion;
  int32_t alarm_out_state;
  int32_t alarm_in_state;
  uint64_t entrance;
  uint64_t exiting;
  uint64_t smart[6];  // advancedMotion, tampering, lineCrossing, loitering,
                      // humanDetection, objectleftremove
  uint64_t reserved;
  int32_t counts[kStatusChannels][2];  // people in, out
  uint64_t cam_alarm_in_state[4];
  uint64_t cam_alarm_out_state[2];
  uint64_t cam_alarm_in_type[4];
  uint64_t cam_alarm_out_type[2];
};

struct UsageTotals {
  int32_t total;
  int32_t free;
  int32_t used;
};

struct ChannelSupport {
  int32_t reserved0;
  int32_t support;
  int32_t type;
  uint8_t reserved1[32];
};

struct OnlineUser {
  char user_name[64];
  int32_t user_level;
  char ipaddr[64];
  char login_time[20];
};
#pragma pack(pop)

static_assert(sizeof(NetIfStatus) == 320);
static_assert(offsetof(NetIfStatus, id) == 12);
static_assert(offsetof(NetIfStatus, dhcp_enable) == 32);
static_assert(offsetof(NetIfStatus, ip_addr) == 36);
static_assert(offsetof(NetIfStatus, mac) == 60);
static_assert(offsetof(NetIfStatus, primary_dns) == 84);
static_assert(offsetof(NetIfStatus, second_dns) == 108);
static_assert(offsetof(NetIfStatus, gateway) == 132);
static_assert(offsetof(NetIfStatus, netmask) == 156);
static_assert(offsetof(NetIfStatus, mtu) == 180);
static_assert(offsetof(NetIfStatus, ip6mode) == 184);
static_assert(offsetof(NetIfStatus, ip6address) == 185);
static_assert(offsetof(NetIfStatus, ip6prefix) == 252);
static_assert(offsetof(NetIfStatus, ip6gateway) == 256);
static_assert(sizeof(NetIfSpeed) == 24);
static_assert(offsetof(NetIfSpeed, rx_speed) == 12);
static_assert(offsetof(NetIfSpeed, id) == 20);
static_assert(sizeof(StreamStatus) == 28);
static_assert(offsetof(StreamStatus, connect_status) == 24);
static_assert(sizeof(ChannelStreamStatus) == 72);
static_assert(offsetof(ChannelStreamStatus, sub) == 28);
static_assert(offsetof(ChannelStreamStatus, record_on) == 56);
static_assert(offsetof(ChannelStreamStatus, alarm_on) == 60);
static_assert(offsetof(ChannelStreamStatus, channel) == 64);
static_assert(offsetof(EventStatus, motion) == 8);
static_assert(offsetof(EventStatus, alarm_out_state) == 16);
static_assert(offsetof(EventStatus, alarm_in_state) == 20);
static_assert(offsetof(EventStatus, entrance) == 24);
static_assert(offsetof(EventStatus, exiting) == 32);
static_assert(offsetof(EventStatus, smart) == 40);
static_assert(offsetof(EventStatus, counts) == 96);
static_assert(offsetof(EventStatus, cam_alarm_in_state) == 608);
static_assert(offsetof(EventStatus, cam_alarm_out_state) == 640);
static_assert(offsetof(EventStatus, cam_alarm_in_type) == 656);
static_assert(offsetof(EventStatus, cam_alarm_out_type) == 688);
static_assert(sizeof(EventStatus) == 704);
static_assert(sizeof(UsageTotals) == 12);
static_assert(sizeof(ChannelSupport) == 44);
static_assert(offsetof(ChannelSupport, support) == 4);
static_assert(offsetof(ChannelSupport, type) == 8);
static_assert(sizeof(OnlineUser) == 152);
static_assert(offsetof(OnlineUser, user_level) == 64);
static_assert(offsetof(OnlineUser, ipaddr) == 68);
static_assert(offsetof(OnlineUser, login_time) == 132);
