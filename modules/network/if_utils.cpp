#include "modules/network/if_utils.h"

#include <arpa/inet.h>
#include <linux/ethtool.h>
#include <linux/if_packet.h>
#include <linux/sockios.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/if_ether.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/json.h"
#include "frame/web_utils.h"
#include "platform/shell.h"

namespace {

constexpr int kSpeedSlots = 5;
constexpr int64_t kSpeedWindowUs = 10'000'000;

struct SpeedSlot {
  char name[11];
  uint64_t rx;
  uint64_t tx;
  int64_t time_us;
};
SpeedSlot g_speed[kSpeedSlots];  // lives as long as the process

bool name_ok(const char* name) { return name != nullptr && *name && strlen(name) < IFNAMSIZ; }

ifreq request_for(const char* name) {
  ifreq request{};
  snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name);
  return request;
}

void address_text(const sockaddr& address, char* out, size_t size) {
  const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
  if (inet_ntop(AF_INET, &in->sin_addr, out, static_cast<socklen_t>(size)) == nullptr)
    out[0] = '\0';
}

// The default gateway of `name` from "/proc/net/route".
void route_gateway(const char* name, char* out, size_t size) {
  FILE* file = fopen("/proc/net/route", "re");
  if (file == nullptr) return;
  char line[256];
  if (fgets(line, sizeof line, file) != nullptr) {
    while (fgets(line, sizeof line, file) != nullptr) {
      char dev[64] = "";
      unsigned long destination = 0;
      unsigned long gateway = 0;
      if (sscanf(line, "%63s %lX %lX", dev, &destination, &gateway) != 3) continue;
      if (destination != 0 || strcmp(dev, name) != 0) continue;
      const auto g = static_cast<uint32_t>(gateway);
      unsigned char bytes[4];
      memcpy(bytes, &g, 4);  // the kernel prints the address in memory order
      snprintf(out, size, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
      break;
    }
  }
  fclose(file);
}

int64_t now_us() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool parse_ipv4(const char* text, uint32_t* out) {
  in_addr address{};
  if (text == nullptr || inet_pton(AF_INET, text, &address) != 1) return false;
  *out = ntohl(address.s_addr);
  return true;
}

#pragma pack(push, 1)
struct ArpFrame {
  uint8_t dest[6];
  uint8_t source[6];
  uint16_t type;
  uint16_t hw_type;
  uint16_t proto;
  uint8_t hw_size;
  uint8_t proto_size;
  uint16_t op;
  uint8_t sender_mac[6];
  uint8_t sender_ip[4];
  uint8_t target_mac[6];
  uint8_t target_ip[4];
};
#pragma pack(pop)
static_assert(sizeof(ArpFrame) == 42);

}  // namespace

int if_get_netconf(const char* name, IfNetConf* record) {
  if (!name_ok(name) || record == nullptr) return -1;
  memset(record, 0, sizeof *record);
  int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return -1;
  ifreq request = request_for(name);
  if (ioctl(sock, SIOCGIFMTU, &request) == 0)
    record->mtu = request.ifr_mtu;
  else
    perror("[SIOCGIFMTU] ioctl");
  request = request_for(name);
  if (ioctl(sock, SIOCGIFFLAGS, &request) == 0) {
    record->up = request.ifr_flags & IFF_UP;
  } else {
    perror("[SIOCGIFFLAGS] ioctl");
  }
  request = request_for(name);
  if (ioctl(sock, SIOCGIFADDR, &request) == 0)
    address_text(request.ifr_addr, record->ip, sizeof record->ip);
  else
    perror("[SIOCGIFADDR] ioctl");
  request = request_for(name);
  if (ioctl(sock, SIOCGIFHWADDR, &request) == 0) {
    const auto* hw = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
    snprintf(record->mac, sizeof record->mac, "%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x", hw[0], hw[1],
             hw[2], hw[3], hw[4], hw[5]);
  } else {
    perror("[SIOCGIFHWADDR] ioctl");
  }
  request = request_for(name);
  if (ioctl(sock, SIOCGIFNETMASK, &request) == 0)
    address_text(request.ifr_netmask, record->netmask, sizeof record->netmask);
  else
    perror("[SIOCGIFNETMASK] ioctl");
  request = request_for(name);
  if (ioctl(sock, SIOCGIFBRDADDR, &request) == 0)
    address_text(request.ifr_broadaddr, record->broadcast, sizeof record->broadcast);
  else
    perror("[SIOCGIFBRDADDR] ioctl");
  close(sock);
  route_gateway(name, record->gateway, sizeof record->gateway);
  return 0;
}

int if_get_netinfo(const char* name, IfNetInfo* record) {
  if (!name_ok(name) || record == nullptr) return -1;
  int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return -1;
  ifreq request = request_for(name);
  if (ioctl(sock, SIOCGIFFLAGS, &request) != 0) {
    perror("[SIOCGIFFLAGS] ioctl");
    close(sock);
    return -1;
  }
  record->running = request.ifr_flags & IFF_RUNNING;
  ethtool_cmd command{};
  command.cmd = ETHTOOL_GSET;
  request = request_for(name);
  request.ifr_data = reinterpret_cast<char*>(&command);
  if (ioctl(sock, SIOCETHTOOL, &request) != 0) {
    perror("[SIOCETHTOOL] ioctl");
    close(sock);
    return -1;
  }
  record->speed =
      static_cast<int32_t>((static_cast<uint32_t>(command.speed_hi) << 16) | command.speed);
  record->duplex = command.duplex;
  close(sock);
  return 0;
}

int if_get_netcount() {
  FILE* file = fopen("/proc/net/dev", "re");
  if (file == nullptr) {
    fprintf(stderr, "Open /proc/net/dev failed!errno:%d\n", errno);
    return 0;
  }
  char line[512];
  int count = 0;
  for (int i = 0; i < 2 && fgets(line, sizeof line, file) != nullptr; ++i) {
  }
  while (fgets(line, sizeof line, file) != nullptr) {
    char word[64] = "";
    if (sscanf(line, "%63s", word) != 1) continue;
    // "eth0:" or, for long counters, "eth0:123" in one word.
    if (char* colon = strchr(word, ':')) *colon = '\0';
    if (word[0] && strcmp(word, "lo") != 0) ++count;
  }
  fclose(file);
  return count;
}

int if_get_speed(const char* name, uint64_t* rx_rate, uint64_t* tx_rate) {
  if (name == nullptr || rx_rate == nullptr || tx_rate == nullptr) return -1;
  const size_t length = strlen(name);
  if (length < 1 || length > 100) return -1;
  FILE* file = fopen("/proc/net/dev", "re");
  if (file == nullptr) return -1;
  char text[2048];
  const size_t got = fread(text, 1, sizeof text - 1, file);
  fclose(file);
  text[got] = '\0';
  // The interface's own line: its name at the start of a line, then ':'.
  const std::string key = std::string(name) + ":";
  char* found = nullptr;
  for (char* p = strstr(text, key.c_str()); p; p = strstr(p + 1, key.c_str())) {
    char* start = p;
    while (start > text && start[-1] == ' ') --start;
    if (start == text || start[-1] == '\n') {
      found = p + key.size();
      break;
    }
  }
  if (found == nullptr) return -1;
  uint64_t counts[16] = {};
  int n = 0;
  char* save = nullptr;
  for (char* token = strtok_r(found, " \t\r\n", &save); token && n < 16;
       token = strtok_r(nullptr, " \t\r\n", &save))
    counts[n++] = strtoull(token, nullptr, 10);
  if (n < 9) return -1;
  const uint64_t rx = counts[0];  // received bytes
  const uint64_t tx = counts[8];  // sent bytes
  const int64_t now = now_us();

  SpeedSlot* slot = nullptr;
  for (SpeedSlot& s : g_speed)
    if (strncmp(s.name, name, sizeof s.name) == 0 && s.name[0]) slot = &s;
  *rx_rate = 0;
  *tx_rate = 0;
  if (slot == nullptr) {
    for (SpeedSlot& s : g_speed)
      if (s.name[0] == '\0' && slot == nullptr) slot = &s;
    if (slot == nullptr) return -1;
    snprintf(slot->name, sizeof slot->name, "%s", name);
  } else {
    const int64_t elapsed = now - slot->time_us;
    if (elapsed > 0 && elapsed < kSpeedWindowUs) {
      *rx_rate = rx >= slot->rx ? (rx - slot->rx) * 1000000 / static_cast<uint64_t>(elapsed) : 0;
      *tx_rate = tx >= slot->tx ? (tx - slot->tx) * 1000000 / static_cast<uint64_t>(elapsed) : 0;
    }
  }
  slot->rx = rx;
  slot->tx = tx;
  slot->time_us = now;
  return 0;
}

int if_get_mac_addr(char* first, char* second) { return get_mac_addr(first, second); }

int if_ip_check(const char* name, const char* address) {
  uint32_t target = 0;
  if (!name_ok(name) || !parse_ipv4(address, &target)) return -1;
  int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return -1;
  ifreq request = request_for(name);
  uint32_t own = 0;
  int index = 0;
  uint8_t own_mac[6];
  bool ok = ioctl(sock, SIOCGIFADDR, &request) == 0;
  if (ok) own = ntohl(reinterpret_cast<const sockaddr_in*>(&request.ifr_addr)->sin_addr.s_addr);
  request = request_for(name);
  ok = ok && ioctl(sock, SIOCGIFINDEX, &request) == 0;
  if (ok) index = request.ifr_ifindex;
  request = request_for(name);
  ok = ok && ioctl(sock, SIOCGIFHWADDR, &request) == 0;
  if (ok) memcpy(own_mac, request.ifr_hwaddr.sa_data, 6);
  close(sock);
  if (!ok) return -1;
  if (own == target) return 1;  // the interface's own address

  int packet = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ARP));
  if (packet < 0) return -1;
  int on = 1;
  sockaddr_ll link{};
  link.sll_family = AF_PACKET;
  link.sll_protocol = htons(ETH_P_ARP);
  link.sll_ifindex = index;
  link.sll_halen = 6;
  memset(link.sll_addr, 0xff, 6);
  if (setsockopt(packet, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
      bind(packet, reinterpret_cast<sockaddr*>(&link), sizeof link) != 0) {
    close(packet);
    return -1;
  }
  ArpFrame frame{};
  memset(frame.dest, 0xff, 6);
  memcpy(frame.source, own_mac, 6);
  frame.type = htons(ETH_P_ARP);
  frame.hw_type = htons(1);
  frame.proto = htons(ETH_P_IP);
  frame.hw_size = 6;
  frame.proto_size = 4;
  frame.op = htons(1);
  memcpy(frame.sender_mac, own_mac, 6);
  const uint32_t own_net = htonl(own);
  const uint32_t target_net = htonl(target);
  memcpy(frame.sender_ip, &own_net, 4);
  memcpy(frame.target_ip, &target_net, 4);
  if (sendto(packet, &frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&link), sizeof link) !=
      static_cast<ssize_t>(sizeof frame)) {
    close(packet);
    return 1;
  }
  int result = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    timeval wait{static_cast<time_t>(left.count() / 1000000),
                 static_cast<suseconds_t>(left.count() % 1000000)};
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(packet, &readable);
    const int ready = select(packet + 1, &readable, nullptr, nullptr, &wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    ArpFrame answer{};
    if (recv(packet, &answer, sizeof answer, 0) < static_cast<ssize_t>(sizeof answer)) {
      result = 1;
      break;
    }
    if (ntohs(answer.op) == 2 && memcmp(answer.target_mac, own_mac, 6) == 0 &&
        memcmp(answer.sender_ip, &target_net, 4) == 0) {
      result = 1;
      break;
    }
  }
  close(packet);
  return result;
}

int if_set_network(const char* name, int up) {
  if (!name_ok(name)) return -1;
  nvr::ShellCommand command("ifconfig %s %s", {name, up ? "up" : "down"});
  if (!command.valid()) return -1;
  web_system(command);
  return static_cast<int>(command.text().size());
}

int qv_strcmp_two_ip_same_net(const char* a, const char* mask_a, const char* b,
                              const char* mask_b) {
  uint32_t ia = 0, ma = 0, ib = 0, mb = 0;
  if (!parse_ipv4(a, &ia) || !parse_ipv4(mask_a, &ma) || !parse_ipv4(b, &ib) ||
      !parse_ipv4(mask_b, &mb))
    return -1;
  return (ia & ma) == (ib & mb) ? 0 : -1;
}

int check_network_info(json_object* request) {
  int32_t value = 0;
  if (!nvr::json_read_int(request, "mode", &value, 0, 2)) return -1;
  for (const char* key : {"enableNetwork1", "networkType", "enableNetwork2", "networkType2"})
    if (!nvr::json_read_int(request, key, &value, 0, 1)) return -1;
  return 0;
}
