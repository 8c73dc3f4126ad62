// Interface utilities: the state of the recorder's network interfaces as the
// kernel reports it (ioctl on the interface, "/proc/net/dev",
// "/proc/net/route"). Each returns 0 on success and -1 on failure unless
// stated otherwise.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
//  OFFSET  SIZE  DESCRIPTION (filled by if_get_netconf; texts NUL-terminated)
//       0    16  IPv4 address
//      16     8  padding
//      24    24  MAC address, lower-case hex pairs joined by ':'
//      48    24  gateway
//      72    24  netmask
//      96    24  broadcast address
//     120     4  up (bit 0 of the interface flags)
//     124     4  MTU
struct IfNetConf {
  char ip[16];
  uint8_t pad[8];
  char mac[24];
  char gateway[24];
  char netmask[24];
  char broadcast[24];
  int32_t up;
  int32_t mtu;
};
#pragma pack(pop)
static_assert(sizeof(IfNetConf) == 128);
static_assert(offsetof(IfNetConf, mac) == 24);
static_assert(offsetof(IfNetConf, gateway) == 48);
static_assert(offsetof(IfNetConf, netmask) == 72);
static_assert(offsetof(IfNetConf, broadcast) == 96);
static_assert(offsetof(IfNetConf, up) == 120);
static_assert(offsetof(IfNetConf, mtu) == 124);

struct IfNetInfo {
  int32_t running;  // the interface flags' running bit (0x40)
  int32_t speed;    // Mbit/s
  int32_t duplex;   // as the driver reports it
};

int if_get_netconf(const char* name, IfNetConf* record);
int if_get_netinfo(const char* name, IfNetInfo* record);
// Interfaces in "/proc/net/dev" other than "lo".
int if_get_netcount();
// Bytes per second received and sent since the previous call for `name`
// (0 and 0 on the first call, or when that call is 10 s or more ago).
int if_get_speed(const char* name, uint64_t* rx_rate, uint64_t* tx_rate);
// MAC texts of "eth0" and "eth1" (18 bytes each, fallbacks when unreadable).
int if_get_mac_addr(char* first, char* second);
// 1 when `address` is in use on the interface's link (ARP), 0 free, -1 error.
int if_ip_check(const char* name, const char* address);
// Runs "ifconfig <name> up|down"; the command's length, or -1.
int if_set_network(const char* name, int up);
// 0 when (a & mask a) == (b & mask b), else -1 (also for a text that is not
// an IPv4 address).
int qv_strcmp_two_ip_same_net(const char* a, const char* mask_a, const char* b, const char* mask_b);
// 0 when "mode" is 0..2 and "enableNetwork1", "networkType", "enableNetwork2"
// and "networkType2" are each present and 0 or 1, else -1.
int check_network_info(json_object* request);
