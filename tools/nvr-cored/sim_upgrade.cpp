// Firmware upgrades and online versions.
//
// The recorder upgrades from "/dev/shm/updateFM.bin" (1713) and the cameras
// from "/dev/shm/updateIPCFM.bin" (3350): status 0 when the image is there,
// -1 when it is not; a used recorder image is taken away. "Downloading" an
// image (1716) writes a small stand-in image to the path it names (no network
// is touched). The online versions (1715, 3365) are those of an update server
// that always has a newer release. Tests script failures with replies of
// their own.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "modules/system/upgrade_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

bool exists(std::string_view device_path) {
  return access(sim::dev_path(device_path).c_str(), F_OK) == 0;
}

template <class T>
T payload_as(const sim::Message& request) {
  T value{};
  memcpy(&value, request.payload.data(), std::min(request.payload.size(), sizeof value));
  return value;
}

void copy_text(char* field, size_t size, std::string_view text) {
  memset(field, 0, size);
  memcpy(field, text.data(), std::min(text.size(), size - 1));
}

FirmwareVersion release(std::string_view version, std::string_view url) {
  FirmwareVersion record{};
  record.state = 1;  // a newer release is available
  record.fileSize = 48 * 1024 * 1024;
  copy_text(record.softversion, sizeof record.softversion, version);
  copy_text(record.url, sizeof record.url, url);
  copy_text(record.description, sizeof record.description, "Stability and security fixes.");
  return record;
}

void reply_int(sim::Peer& peer, int32_t reply_id, int32_t value) {
  peer.reply(reply_id, &value, sizeof value);
}

void on_upgrade_recorder(const sim::Message&, sim::Peer& peer) {
  if (!exists(kRecorderImage)) {
    reply_int(peer, kReplyUpgradeRecorder, -1);
    return;
  }
  unlink(sim::dev_path(kRecorderImage).c_str());
  reply_int(peer, kReplyUpgradeRecorder, 0);
}

void on_check_recorder_online(const sim::Message&, sim::Peer& peer) {
  const FirmwareVersion record =
      release("V3.2.0 build 20250301", "http://update.invalid/nvr/V3.2.0.bin");
  peer.reply(kReplyCheckRecorderOnline, &record, sizeof record);
}

void on_download_image(const sim::Message& request, sim::Peer& peer) {
  const auto download = payload_as<DownloadImageRequest>(request);
  const std::string_view url(download.url, strnlen(download.url, sizeof download.url));
  const std::string_view path(download.path, strnlen(download.path, sizeof download.path));
  if (url.empty() || (path != kRecorderImage && path != kCameraImage)) {
    reply_int(peer, kReplyDownloadImage, -1);
    return;
  }
  FILE* image = fopen(sim::dev_path(path).c_str(), "wb");
  if (image == nullptr) {
    reply_int(peer, kReplyDownloadImage, -1);
    return;
  }
  fprintf(image, "firmware image from %.*s\n", static_cast<int>(url.size()), url.data());
  fclose(image);
  reply_int(peer, kReplyDownloadImage, 0);
}

void on_delete_camera_image(const sim::Message&, sim::Peer& peer) {
  unlink(sim::dev_path(kCameraImage).c_str());
  reply_int(peer, kReplyDeleteCameraImage, 0);
}

void on_upgrade_camera(const sim::Message& request, sim::Peer& peer) {
  const auto upgrade = payload_as<CameraUpgradeRequest>(request);
  const std::string_view path(upgrade.path, strnlen(upgrade.path, sizeof upgrade.path));
  CameraUpgradeResult result{};
  result.channel = upgrade.channel;
  result.status = path == kCameraImage && exists(kCameraImage) ? 0 : -1;
  peer.reply(kReplyUpgradeCamera, &result, sizeof result);
}

void on_check_cameras_online(const sim::Message& request, sim::Peer& peer) {
  const auto mask = payload_as<uint64_t>(request);
  FirmwareVersion records[kMaxChannels] = {};
  for (int i = 0; i < kMaxChannels; ++i)
    if ((mask >> i) & 1)
      records[i] = release("V5.1.4 build 20250210", "http://update.invalid/ipc/V5.1.4.bin");
  peer.reply(kReplyCheckCamerasOnline, records, sizeof records);
}

// Notices 1721 (prepare an upgrade) and 3351 (stop a camera upgrade) need no reply,
// and a request without a handler gets none.

const sim::HandlerReg reg_1713(kReqUpgradeRecorder, on_upgrade_recorder);
const sim::HandlerReg reg_1715(kReqCheckRecorderOnline, on_check_recorder_online);
const sim::HandlerReg reg_1716(kReqDownloadImage, on_download_image);
const sim::HandlerReg reg_1717(kReqDeleteCameraImage, on_delete_camera_image);
const sim::HandlerReg reg_3350(kReqUpgradeCamera, on_upgrade_camera);
const sim::HandlerReg reg_3365(kReqCheckCamerasOnline, on_check_cameras_online);

}  // namespace
