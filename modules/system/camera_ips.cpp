// "/ipc": gives consecutive camera channels consecutive addresses, for
// installing many cameras of one kind at once.
#include <arpa/inet.h>

#include "modules/cameras/cameras_records.h"
#include "modules/system/system_module.h"

namespace {

// The camera record is the cameras module's: only its address changes.
int write_camera_ip(const char* path, int32_t channel, const char* address) {
  CameraRecord camera{};
  read_camera(path, &camera, channel);
  camera.id = channel;
  snprintf(camera.ipAddr, sizeof camera.ipAddr, "%s", address);
  return write_camera(path, &camera);
}

// The start address with its last byte raised by `step`, wrapping past 255.
std::string address_after(in_addr address, int64_t step) {
  auto* bytes = reinterpret_cast<uint8_t*>(&address.s_addr);  // network order: first byte first
  bytes[3] = static_cast<uint8_t>((bytes[3] + step) & 0xff);
  char text[INET_ADDRSTRLEN];
  return inet_ntop(AF_INET, &address, text, sizeof text);
}

}  // namespace

void on_set_camera_ips(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;

  char start_text[32] = {};
  nvr::json_copy_string(request.get(), "startip", start_text, sizeof start_text);
  // Anything but a dotted address would give the cameras unusable addresses.
  in_addr start{};
  if (inet_pton(AF_INET, start_text, &start) != 1) return;
  const int64_t addresses = nvr::json_int_or(request.get(), "chnNum", 0);
  const int64_t channels_each = nvr::json_int_or(request.get(), "chnFre", 0);

  // Channels 0..63, as many as the recorder takes.
  const int channel_end =
      std::clamp(get_param_int(nvr::qvdb_path(), "max_cameras", 32), 0, kMaxChannels);
  int channel = 0;
  for (int64_t i = 0; i < addresses && channels_each > 0 && channel < channel_end; ++i) {
    const std::string address = address_after(start, i);
    for (int64_t j = 0; j < channels_each && channel < channel_end; ++j)
      if (write_camera_ip(nvr::qvdb_path(), channel++, address.c_str()) != 0)
        return nvr::answer_failure(kRespText);
  }
  cgi_writeback_webserver(kRespText, "OK");
}
