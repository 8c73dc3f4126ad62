// The recorder's factory MAC address (see mac_conf.h).
#include "platform/mac_conf.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/device_path.h"

namespace {
constexpr char kMacConf[] = "/mnt/nand2/mac.conf";
constexpr char kFallback[] = "027F4D0A19C8";
}  // namespace

int read_mac_conf(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return -1;
  char line[128] = "";
  FILE* file = fopen(nvr::dev_path(kMacConf).c_str(), "re");
  if (file != nullptr) {
    if (fgets(line, sizeof line, file) == nullptr) line[0] = '\0';
    fclose(file);
  }
  const char* start = line;
  while (isspace(static_cast<unsigned char>(*start))) ++start;
  size_t length = strlen(start);
  while (length > 0 && isspace(static_cast<unsigned char>(start[length - 1]))) --length;
  if (length == 0) {
    snprintf(buffer, static_cast<size_t>(size), "%s", kFallback);
    return -1;
  }
  snprintf(buffer, static_cast<size_t>(size), "%.*s", static_cast<int>(length), start);
  return 0;
}
