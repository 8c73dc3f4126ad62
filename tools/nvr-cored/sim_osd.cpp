// The cameras' own on-screen display, privacy masks and camera-side alarms:
// the recorder keeps what each camera was last told (3210, 2509, 2508, 3214,
// 3216) and answers the queries (3211, 2502, 3213, 3215) with it. A camera
// never told anything shows its channel name with the date, two privacy areas
// of four, and both alarms off; channels 60 to 63 have no camera connected.
// The trigger settings of the alarms are the recorder's own: read from its
// settings.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

constexpr int kChannels = 64;
constexpr int kConnected = 60;  // channels below have a camera

struct Camera {
  int32_t osd_told, mask_told, io_told, volume_told;
  CameraOsd osd;
  CameraPrivacyMask mask;
  CameraIoSet io;
  VolumeDetectSet volume;
};

std::mutex g_mutex;

std::string state_file() { return sim::state_path("camera_osd.bin"); }
std::string db_path() { return sim::dev_path("/mnt/nand/app/qvdb.db"); }

void load(Camera (&cameras)[kChannels]) {
  memset(cameras, 0, sizeof cameras);
  if (FILE* file = fopen(state_file().c_str(), "rb")) {
    if (fread(cameras, sizeof cameras, 1, file) != 1) memset(cameras, 0, sizeof cameras);
    fclose(file);
  }
}
void save(const Camera (&cameras)[kChannels]) {
  const std::string path = state_file();
  const std::string temporary = path + ".new";
  if (FILE* file = fopen(temporary.c_str(), "wb")) {
    const bool written = fwrite(cameras, sizeof cameras, 1, file) == 1;
    if (fclose(file) == 0 && written) rename(temporary.c_str(), path.c_str());
  }
}

// Every state change goes through here: load, change, save.
template <class Change>
void change_state(Change change) {
  std::lock_guard<std::mutex> hold(g_mutex);
  static Camera cameras[kChannels];
  load(cameras);
  change(cameras);
  save(cameras);
}

template <class T>
T payload_as(const sim::Message& request) {
  T record{};
  memcpy(&record, request.payload.data(), std::min(request.payload.size(), sizeof record));
  return record;
}

int32_t channel_of(const sim::Message& request) { return payload_as<int32_t>(request); }
bool has_camera(int32_t channel) { return channel >= 0 && channel < kConnected; }

CameraOsd demo_osd(int32_t channel) {
  CameraOsd osd{};
  osd.ch = channel;
  osd.enable_text = 1;
  snprintf(osd.text_name, sizeof osd.text_name, "CAM%d", channel + 1);
  osd.enable_date = 1;
  osd.datepos = 1;
  osd.fontSize = 2;
  return osd;
}

CameraPrivacyMask demo_mask(int32_t channel) {
  CameraPrivacyMask mask{};
  mask.id = channel;
  mask.enable = 1;
  mask.num = 1;
  mask.maxPtzZoomRatio = 1;
  mask.areaEnable = 1;
  snprintf(mask.sdkversion, sizeof mask.sdkversion, "2.4.1");
  snprintf(mask.colorList, sizeof mask.colorList, "white,black,blue");
  mask.colorSupport = 1;
  mask.maxMaskSum = 4;
  for (int i = 0; i < 4; ++i) mask.area[i].area_id = i;
  mask.area[0] = {0, 1, 40, 30, 120, 80, 1, 0, "door"};
  return mask;
}

void on_get_osd(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = channel_of(request);
  if (channel < 0 || channel >= kChannels) {
    peer.reply(kReplyCameraOsd, nullptr, 0);
    return;
  }
  CameraOsd answer{};
  change_state([&](Camera(&cameras)[kChannels]) {
    answer = cameras[channel].osd_told ? cameras[channel].osd : demo_osd(channel);
  });
  if (!has_camera(channel)) answer = CameraOsd{.ch = -1};
  peer.reply(kReplyCameraOsd, &answer, sizeof answer);
}

void on_set_osd(const sim::Message& request, sim::Peer& peer) {
  const CameraOsd set = payload_as<CameraOsd>(request);
  int32_t result = -2;  // no camera there
  if (has_camera(set.ch)) {
    result = 0;
    change_state([&](Camera(&cameras)[kChannels]) {
      cameras[set.ch].osd_told = 1;
      cameras[set.ch].osd = set;
    });
  }
  peer.reply(kReplySetCameraOsd, &result, sizeof result);
}

void on_get_masks(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = channel_of(request);
  if (!has_camera(channel)) {
    peer.reply(kReplyCameraPrivacyMasks, nullptr, 0);
    return;
  }
  CameraPrivacyMask answer{};
  change_state([&](Camera(&cameras)[kChannels]) {
    answer = cameras[channel].mask_told ? cameras[channel].mask : demo_mask(channel);
  });
  answer.id = channel;
  peer.reply(kReplyCameraPrivacyMasks, &answer, sizeof answer);
}

void on_set_masks(const sim::Message& request, sim::Peer&) {
  const PrivacyMaskSet set = payload_as<PrivacyMaskSet>(request);
  change_state([&](Camera(&cameras)[kChannels]) {
    for (int n = 0; n < kChannels; ++n) {
      if (set.channels[n] != '1') continue;
      CameraPrivacyMask& mask = cameras[n].mask;
      const CameraPrivacyMask before = cameras[n].mask_told ? mask : demo_mask(n);
      mask = set.mask;
      mask.id = n;
      // What the camera describes of itself stays.
      memcpy(mask.sdkversion, before.sdkversion, sizeof mask.sdkversion);
      memcpy(mask.colorList, before.colorList, sizeof mask.colorList);
      mask.maxPtzZoomRatio = before.maxPtzZoomRatio;
      mask.colorSupport = before.colorSupport;
      mask.maxMaskSum = before.maxMaskSum;
      cameras[n].mask_told = 1;
    }
  });
}

void on_delete_area(const sim::Message& request, sim::Peer&) {
  const PrivacyAreaRef area = payload_as<PrivacyAreaRef>(request);
  if (area.channel < 0 || area.channel >= kChannels) return;
  change_state([&](Camera(&cameras)[kChannels]) {
    Camera& camera = cameras[area.channel];
    if (!camera.mask_told) camera.mask = demo_mask(area.channel);
    camera.mask_told = 1;
    for (CameraPrivacyArea& a : camera.mask.area)
      if (a.area_id == area.area) a = CameraPrivacyArea{.area_id = area.area};
  });
}

void reply_int(sim::Peer& peer, int32_t reply_id, int32_t value) {
  peer.reply(reply_id, &value, sizeof value);
}
void on_model_type(const sim::Message& request, sim::Peer& peer) {
  reply_int(peer, kReplyCameraModelType, has_camera(channel_of(request)) ? 1 : -1);
}
void on_privacy_edit(const sim::Message& request, sim::Peer& peer) {
  reply_int(peer, kReplyPrivacyEdit, has_camera(channel_of(request)) ? 0 : -1);
}

CameraAlarm stored_alarm(const DbRecord& record, int32_t channel) {
  CameraAlarm alarm{};
  db_read(db_path().c_str(), record, &alarm, channel);
  return alarm;
}

void on_get_io(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = channel_of(request);
  if (channel < 0 || channel >= kChannels) {
    peer.reply(kReplyCameraIo, nullptr, 0);
    return;
  }
  CameraIoReply answer{};
  change_state([&](Camera(&cameras)[kChannels]) {
    answer.enable = cameras[channel].io.enable;
    answer.type = cameras[channel].io.type;
  });
  answer.channel = channel;
  const CameraAlarm stored = stored_alarm(kCameraIoRecord, channel);
  answer.actions = stored.triActions;
  memcpy(answer.tri_channels, stored.triChannels, sizeof answer.tri_channels);
  peer.reply(kReplyCameraIo, &answer, sizeof answer);
}

void on_set_io(const sim::Message& request, sim::Peer&) {
  const CameraIoSet set = payload_as<CameraIoSet>(request);
  if (set.channel < 0 || set.channel >= kChannels) return;
  change_state([&](Camera(&cameras)[kChannels]) {
    cameras[set.channel].io = set;
    cameras[set.channel].io_told = 1;
  });
}

void on_get_volume(const sim::Message& request, sim::Peer& peer) {
  const int32_t channel = channel_of(request);
  if (channel < 0 || channel >= kChannels) {
    peer.reply(kReplyVolumeDetect, nullptr, 0);
    return;
  }
  VolumeDetectReply answer{};
  change_state([&](Camera(&cameras)[kChannels]) {
    answer.values = cameras[channel].volume_told ? cameras[channel].volume
                                                 : VolumeDetectSet{channel, 0, 0, 60, 5, 1, 1, 0};
  });
  answer.values.channel = channel;
  const CameraAlarm stored = stored_alarm(kVolumeDetectRecord, channel);
  answer.actions = stored.triActions;
  memcpy(answer.tri_channels, stored.triChannels, sizeof answer.tri_channels);
  peer.reply(kReplyVolumeDetect, &answer, sizeof answer);
}

void on_set_volume(const sim::Message& request, sim::Peer&) {
  const VolumeDetectSet set = payload_as<VolumeDetectSet>(request);
  if (set.channel < 0 || set.channel >= kChannels) return;
  change_state([&](Camera(&cameras)[kChannels]) {
    cameras[set.channel].volume = set;
    cameras[set.channel].volume_told = 1;
  });
}

sim::HandlerReg reg_get_osd(kReqCameraOsd, on_get_osd);
sim::HandlerReg reg_set_osd(kReqSetCameraOsd, on_set_osd);
sim::HandlerReg reg_get_masks(kReqCameraPrivacyMasks, on_get_masks);
sim::HandlerReg reg_set_masks(kReqSetPrivacyMasks, on_set_masks);
sim::HandlerReg reg_delete_area(kReqDeletePrivacyArea, on_delete_area);
sim::HandlerReg reg_model_type(kReqCameraModelType, on_model_type);
sim::HandlerReg reg_privacy_edit(kReqPrivacyEdit, on_privacy_edit);
sim::HandlerReg reg_get_io(kReqCameraIo, on_get_io);
sim::HandlerReg reg_set_io(kReqSetCameraIo, on_set_io);
sim::HandlerReg reg_get_volume(kReqVolumeDetect, on_get_volume);
sim::HandlerReg reg_set_volume(kReqSetVolumeDetect, on_set_volume);

}  // namespace
