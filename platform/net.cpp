#include "platform/net.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool name_ok(const char* name) {
  return name != nullptr && name[0] != '\0' && strlen(name) < IFNAMSIZ;
}

// 32 hex digits of /proc/net/* into an IPv6 address text.
bool hex_to_ipv6(const char* hex, char* text, size_t size) {
  if (strlen(hex) != 32) return false;
  in6_addr address{};
  for (int i = 0; i < 16; ++i) {
    char pair[3] = {hex[2 * i], hex[2 * i + 1], '\0'};
    char* end = nullptr;
    unsigned long byte = strtoul(pair, &end, 16);
    if (*end != '\0') return false;
    address.s6_addr[i] = static_cast<uint8_t>(byte);
  }
  return inet_ntop(AF_INET6, &address, text, static_cast<socklen_t>(size)) != nullptr;
}

bool all_zero(const char* hex) { return strspn(hex, "0") == strlen(hex); }

void copy_out(char* buffer, int size, const char* text) {
  snprintf(buffer, static_cast<size_t>(size), "%s", text);
}

bool port_listed(const char* table, int port) {
  FILE* file = fopen(table, "re");
  if (file == nullptr) return false;
  char line[512];
  bool found = false;
  if (fgets(line, sizeof line, file) == nullptr) {  // header
    fclose(file);
    return false;
  }
  while (!found && fgets(line, sizeof line, file) != nullptr) {
    char local[64] = "";
    char remote[64] = "";
    unsigned state = 0;
    if (sscanf(line, "%*d: %63s %63s %x", local, remote, &state) != 3) continue;
    const char* colon = strrchr(local, ':');
    if (colon == nullptr) continue;
    const long local_port = strtol(colon + 1, nullptr, 16);
    found = state == 0x0A && local_port == port;  // TCP_LISTEN
  }
  fclose(file);
  return found;
}

}  // namespace

int net_get_ifaddr(const char* name, char* buffer, int size) {
  if (!name_ok(name) || buffer == nullptr || size <= 0) return -1;
  int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return -1;
  ifreq request{};
  snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name);
  int result = -1;
  if (ioctl(sock, SIOCGIFADDR, &request) == 0) {
    char text[INET_ADDRSTRLEN] = "";
    const auto* in = reinterpret_cast<const sockaddr_in*>(&request.ifr_addr);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) {
      copy_out(buffer, size, text);
      result = 0;
    }
  }
  close(sock);
  return result;
}

int net_get_ipv6_ifaddr(int global_only, const char* name, char* address, int address_size,
                        char* prefix, int prefix_size) {
  if (!name_ok(name) || address == nullptr || address_size <= 0) return -1;
  FILE* file = fopen("/proc/net/if_inet6", "re");
  if (file == nullptr) return -1;
  char line[256];
  int result = -1;
  while (result != 0 && fgets(line, sizeof line, file) != nullptr) {
    char hex[64] = "";
    char dev[IFNAMSIZ + 1] = "";
    unsigned index = 0, length = 0, scope = 0, flags = 0;
    if (sscanf(line, "%63s %x %x %x %x %16s", hex, &index, &length, &scope, &flags, dev) != 6)
      continue;
    if (strcmp(dev, name) != 0 || (global_only && scope != 0)) continue;
    char text[INET6_ADDRSTRLEN] = "";
    if (!hex_to_ipv6(hex, text, sizeof text)) continue;
    copy_out(address, address_size, text);
    if (prefix != nullptr && prefix_size > 0)
      snprintf(prefix, static_cast<size_t>(prefix_size), "%u", length);
    result = 0;
  }
  fclose(file);
  return result;
}

int net_get_ipv6_gateway2(int any_route, const char* name, char* buffer, int size) {
  if (!name_ok(name) || buffer == nullptr || size <= 0) return -1;
  FILE* file = fopen("/proc/net/ipv6_route", "re");
  if (file == nullptr) return -1;
  char line[512];
  int result = -1;
  while (result != 0 && fgets(line, sizeof line, file) != nullptr) {
    char dest[64] = "", src[64] = "", hop[64] = "", dev[IFNAMSIZ + 1] = "";
    unsigned dest_len = 0, src_len = 0, metric = 0, refs = 0, use = 0, flags = 0;
    if (sscanf(line, "%63s %x %63s %x %63s %x %x %x %x %16s", dest, &dest_len, src, &src_len, hop,
               &metric, &refs, &use, &flags, dev) != 10)
      continue;
    if (strcmp(dev, name) != 0 || all_zero(hop)) continue;
    if (!any_route && (dest_len != 0 || !all_zero(dest))) continue;
    char text[INET6_ADDRSTRLEN] = "";
    if (!hex_to_ipv6(hop, text, sizeof text)) continue;
    copy_out(buffer, size, text);
    result = 0;
  }
  fclose(file);
  return result;
}

int net_is_haveipv6(const char* name) {
  char address[64];
  char prefix[16];
  return net_get_ipv6_ifaddr(1, name, address, sizeof address, prefix, sizeof prefix) == 0 ? 1 : 0;
}

int is_port_use(int port) {
  if (port < 1 || port > 65535) return -1;
  return port_listed("/proc/net/tcp", port) || port_listed("/proc/net/tcp6", port) ? 1 : 0;
}

int net_scaled_ms(int milliseconds) {
  const char* text = getenv("NVR_TIME_SCALE");
  double scale = 1.0;
  if (text && *text) {
    char* end = nullptr;
    double value = strtod(text, &end);
    if (*end == '\0' && value > 0 && value < 1e6) scale = value;
  }
  const double scaled = milliseconds * scale;
  return scaled < 1 ? 1 : (scaled > 1e9 ? 1000000000 : static_cast<int>(scaled));
}
