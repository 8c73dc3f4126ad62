// "/ipc": gives consecutive camera channels consecutive addresses, for
// installing many cameras of one kind at once.
#include <arpa/inet.h>

#include "modules/system/system_module.h"

namespace {

constexpr int kChannelLimit = 64;  // channels 0..63

struct Ipv4 {
  uint8_t bytes[4];
};

// A dotted IPv4 address of four decimal bytes, or nothing.
std::optional<Ipv4> parse_ipv4(const char* text) {
  in_addr address{};
  if (inet_pton(AF_INET, text, &address) != 1) return std::nullopt;
  Ipv4 ip{};
  static_assert(sizeof ip.bytes == sizeof address.s_addr);
  memcpy(ip.bytes, &address.s_addr, sizeof ip.bytes);  // network order: first byte first
  return ip;
}

// The start address with its last byte raised by `step`, wrapping past 255.
void format_address(const Ipv4& start, int64_t step, char* buffer, size_t size) {
  uint8_t last = static_cast<uint8_t>((start.bytes[3] + step) & 0xff);
  snprintf(buffer, size, "%u.%u.%u.%u", start.bytes[0], start.bytes[1], start.bytes[2], last);
}

}  // namespace

void on_set_camera_ips(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;

  char start_text[32] = {};
  nvr::json_copy_string(request.get(), "startip", start_text, sizeof start_text);
  // Anything but a dotted address would give the cameras unusable addresses.
  std::optional<Ipv4> start = parse_ipv4(start_text);
  if (!start) return;
  const int64_t addresses = nvr::json_int_or(request.get(), "chnNum", 0);
  const int64_t channels_each = nvr::json_int_or(request.get(), "chnFre", 0);

  const int channel_end =
      std::clamp(get_param_int(nvr::qvdb_path(), "max_cameras", 32), 0, kChannelLimit);
  int channel = 0;
  for (int64_t i = 0; i < addresses && channels_each > 0 && channel < channel_end; ++i) {
    char address[32];
    format_address(*start, i, address, sizeof address);
    for (int64_t j = 0; j < channels_each && channel < channel_end; ++j)
      if (write_camera_ip(nvr::qvdb_path(), channel++, address) != 0)
        return nvr::answer_failure(kRespText);
  }
  cgi_writeback_webserver(kRespText, "OK");
}
