#include "modules/system/access_records.h"

#include <cstdio>
#include <cstring>

#include "modules/cameras/cameras_records.h"

// The camera record is the cameras module's: only its address changes.
int write_camera_ip(const char* path, int32_t channel, const char* address) {
  if (address == nullptr) return -1;
  CameraRecord camera{};
  camera.id = channel;
  read_camera(path, &camera, channel);
  camera.id = channel;
  snprintf(camera.ipAddr, sizeof camera.ipAddr, "%s", address);
  return write_camera(path, &camera);
}
