// Cameras: the recorder's model of its channels and of the network around it.
// Three demo cameras are connected at first start; a channel added or changed
// through the pages (1201, 1203) is taken from the camera record in the
// configuration database, a deleted one (1202) leaves the list. The channel
// list is kept in state_path("cameras.bin"). A search finds a handful of
// cameras on a documentation network (192.0.2.0/24); streams, image values
// and camera-side functions answer plausible values, and every set succeeds.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

std::mutex g_mutex;

std::string db_path() { return sim::dev_path("/mnt/nand/app/qvdb.db"); }

template <size_t N>
void put(char (&field)[N], const std::string& text) {
  snprintf(field, N, "%s", text.c_str());
}

ChannelStatus demo_channel(int32_t id, const std::string& ip, const std::string& model,
                           int32_t protocol) {
  ChannelStatus s{};
  s.id = id;
  s.managePort = 80;
  s.camProtocol = protocol;
  s.state = 1;
  s.mainRtspPort = 554;
  put(s.ipAddr, ip);
  put(s.vendor, "Vantrell");
  put(s.sn, "VC" + std::to_string(20240611 + id));
  put(s.snReal, "VC" + std::to_string(20240611 + id));
  put(s.fwVersion, "V5.2.1 build 240611");
  put(s.mac, "02:00:5e:00:02:" + std::to_string(10 + id));
  put(s.model, model);
  s.poechannel = id < 2 ? id + 1 : 0;
  s.physicalport = id < 2 ? id + 1 : 0;
  s.alarmin = 1;
  s.alarmout = 1;
  s.whiteLed = 1;
  s.minorid = 0;
  s.subState = 1;
  s.connectState = 1;
  put(s.chipinfo, "SC-8M");
  return s;
}

std::vector<ChannelStatus> load_channels() {
  std::ifstream in(sim::state_path("cameras.bin"), std::ios::binary);
  if (!in) {
    return {demo_channel(0, "192.0.2.11", "VC-B8M-IR", 0),
            demo_channel(1, "192.0.2.12", "VC-D4M-WL", 0),
            demo_channel(2, "192.0.2.13", "VC-PTZ-25X", 1)};
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ChannelStatus> channels(bytes.size() / sizeof(ChannelStatus));
  memcpy(channels.data(), bytes.data(), channels.size() * sizeof(ChannelStatus));
  return channels;
}

void save_channels(const std::vector<ChannelStatus>& channels) {
  std::ofstream out(sim::state_path("cameras.bin"), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(channels.data()),
            static_cast<std::streamsize>(channels.size() * sizeof(ChannelStatus)));
}

int32_t channel_of(const sim::Message& request) {
  int32_t channel = -1;
  if (request.payload.size() >= 4) memcpy(&channel, request.payload.data(), 4);
  return channel;
}

void on_channel_list(const sim::Message&, sim::Peer& peer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const auto channels = load_channels();
  peer.reply(kReplyChannelList, channels.data(), channels.size() * sizeof(ChannelStatus));
}

// Added or changed: the camera as the pages stored it.
void on_channel_stored(const sim::Message& request, sim::Peer&) {
  const int32_t id = channel_of(request);
  if (id < 0 || id >= kCameraChannels) return;
  CameraRecord camera{};
  read_camera(db_path().c_str(), &camera, id);
  std::lock_guard<std::mutex> lock(g_mutex);
  auto channels = load_channels();
  ChannelStatus status = demo_channel(id, camera.ipAddr, "VC-B4M", camera.camProtocol);
  status.managePort = camera.managePort;
  status.poechannel = camera.poechannel;
  status.physicalport = camera.physicalport;
  put(status.ddns, camera.ddns);
  bool found = false;
  for (auto& c : channels)
    if (c.id == id) c = status, found = true;
  if (!found) channels.push_back(status);
  save_channels(channels);
}

void on_channel_deleted(const sim::Message& request, sim::Peer&) {
  const int32_t id = channel_of(request);
  std::lock_guard<std::mutex> lock(g_mutex);
  auto channels = load_channels();
  std::erase_if(channels, [id](const ChannelStatus& c) { return c.id == id; });
  save_channels(channels);
}

void on_channels_model(const sim::Message&, sim::Peer& peer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  ChannelModels models{};
  for (int i = 0; i < kCameraChannels; ++i) models.channels[i].chnid = i;
  for (const auto& c : load_channels()) {
    if (c.id < 0 || c.id >= kCameraChannels) continue;
    ChannelModel& m = models.channels[c.id];
    memcpy(m.ipaddr, c.ipAddr, sizeof m.ipaddr);
    memcpy(m.model, c.model, sizeof m.model - 1);
    memcpy(m.fwversion, c.fwVersion, sizeof m.fwversion);
  }
  peer.reply(kReplyChannelsModel, &models, sizeof models);
}

void on_ipc_type(const sim::Message& request, sim::Peer& peer) {
  ChannelModel m{};
  m.chnid = channel_of(request);
  put(m.ipaddr, "192.0.2.11");
  put(m.model, "VC-B8M-IR");
  put(m.fwversion, "V5.2.1 build 240611");
  peer.reply(kReplyIpcType, &m, sizeof m);
}

void on_search(const sim::Message&, sim::Peer& peer) {
  std::vector<CameraSearchResult> found(4);
  const char* models[] = {"VC-B8M-IR", "VC-D4M-WL", "VC-PTZ-25X", "VC-F12M"};
  for (int i = 0; i < 4; ++i) {
    CameraSearchResult& s = found[i];
    put(s.ipAddr, "192.0.2." + std::to_string(21 + i));
    put(s.macAddr, "02:00:5e:00:02:" + std::to_string(21 + i));
    s.managePort = 80;
    s.protocol = i == 3 ? 1 : 0;
    put(s.vendor, "Vantrell");
    put(s.sn, "VS2406" + std::to_string(100 + i));
    put(s.snReal, "VS2406" + std::to_string(100 + i));
    put(s.fwVersion, "V5.2.1 build 240611");
    put(s.model, models[i]);
    s.modelId = 100 + i;
    put(s.netmask, "255.255.255.0");
    put(s.dns, "192.0.2.1");
    put(s.gateway, "192.0.2.1");
    put(s.netif, "eth0");
    s.active_status = 1;
    put(s.name, std::string("Camera ") + models[i]);
  }
  peer.reply(kReplySearch, found.data(), found.size() * sizeof(CameraSearchResult));
}

void on_stream_get(const sim::Message& request, sim::Peer& peer) {
  StreamParams p{};
  p.id = channel_of(request);
  const Resolution main_res[] = {{3840, 2160}, {2560, 1440}, {1920, 1080}};
  const Resolution sub_res[] = {{704, 576}, {640, 360}};
  p.mainLimits = {{}, 25, 1, 8192, 512};
  memcpy(p.mainLimits.res, main_res, sizeof main_res);
  p.subLimits = {{}, 25, 1, 1024, 64};
  memcpy(p.subLimits.res, sub_res, sizeof sub_res);
  p.mainValues = {{3840, 2160}, 25, 6144, 50, 0, 1, 200};
  p.subValues = {{640, 360}, 15, 512, 30, 0, 1, 200};
  p.mainVideoType = 1;
  p.subEnable = 1;
  p.videoTypeEnable = 1;
  p.SupportSmartStream = 1;
  p.mainGop = 50;
  p.subGop = 30;
  peer.reply(kReplyStreamGet, &p, sizeof p);
}

void on_stream_set(const sim::Message& request, sim::Peer& peer) {
  StreamSetResult result{};
  for (size_t i = 0; i < 64 && i < request.payload.size(); ++i)
    if (request.payload[i] == '1') result.mask |= uint64_t{1} << i;
  peer.reply(kReplyStreamSet, &result, sizeof result);
}

template <class T, int32_t Reply>
void reply_channel_record(const sim::Message& request, sim::Peer& peer) {
  T record{};
  int32_t channel = channel_of(request);
  memcpy(&record, &channel, sizeof channel);
  peer.reply(Reply, &record, sizeof record);
}

void on_enhancement(const sim::Message& request, sim::Peer& peer) {
  EnhancementReply r{};
  r.chnid = channel_of(request);
  r.block.whiteblance = 1;
  r.block.wdrlevel = 50;
  r.block.redgain = 50;
  r.block.bluegain = 50;
  put(r.block.sdkversion, "2.4.0");
  peer.reply(kReplyEnhancementGet, &r, sizeof r);
}

void on_display(const sim::Message& request, sim::Peer& peer) {
  DisplayRecord r{};
  r.chnid = channel_of(request);
  r.fields.modestarthour = 6;
  r.fields.modestophour = 18;
  put(r.fields.productmodel, "VC-B8M-IR");
  put(r.fields.softversion, "V5.2.1");
  put(r.fields.sensortype, "SC8238");
  peer.reply(kReplyDisplayGet, &r, sizeof r);
}

void on_common(const sim::Message& request, sim::Peer& peer) {
  CommonReply r{};
  CommonRequest q{};
  memcpy(&q, request.payload.data(), std::min(request.payload.size(), sizeof q));
  r.chnid = q.chnid;
  r.block = q.block;
  put(r.block.value, "1");
  peer.reply(kReplyCommonGet, &r, sizeof r);
}

void on_watermark(const sim::Message& request, sim::Peer& peer) {
  WatermarkReply r{};
  r.chnid = channel_of(request);
  r.enable = 1;
  put(r.watermark, "NVR");
  peer.reply(kReplyWatermarkGet, &r, sizeof r);
}

void on_event_stream(const sim::Message& request, sim::Peer& peer) {
  EventStream r{};
  r.chnid = channel_of(request);
  r.enable = 1;
  r.framerate = 25;
  r.bitrate = 4096;
  r.iframeinterval = 50;
  peer.reply(kReplyEventStreamGet, &r, sizeof r);
}

void on_audio(const sim::Message& request, sim::Peer& peer) {
  AudioInfo info{};
  info.support = 1;
  info.option_count = 1;
  info.options[0].encode = 0;
  info.options[0].rate_count = 1;
  info.options[0].rates[0] = {8000, 2, {16, 32}};
  info.config.chnid = channel_of(request);
  info.config.audioEnable = 1;
  info.config.sampleRate = 8000;
  peer.reply(kReplyAudioGet, &info, sizeof info);
}

void on_system_caps(const sim::Message&, sim::Peer& peer) {
  SystemCaps caps{};
  caps.audioSupport = 1;
  caps.systemAutoTrackingSupport = 1;
  peer.reply(kReplySystemCaps, &caps, sizeof caps);
}

void on_custom_param(const sim::Message& request, sim::Peer& peer) {
  CustomParamReply r{};
  r.chnid = channel_of(request);
  put(r.data, "{}");
  peer.reply(kReplyCustomParam, &r, sizeof r);
}

void on_image_periods(const sim::Message& request, sim::Peer& peer) {
  ImagePeriods r{};
  r.chnid = channel_of(request);
  r.periods[0] = {0, 1, 6, 0, 18, 0, 50, 1, 8, 50, 3, 0, 0, 0};
  r.periods[1] = {0, 1, 18, 0, 6, 0, 60, 1, 16, 80, 3, 1, 1, 1};
  peer.reply(kReplyImagePeriod, &r, sizeof r);
}

void on_image_areas(const sim::Message& request, sim::Peer& peer) {
  ImageAreas r{};
  r.chnid = channel_of(request);
  put(r.sdkversion, "2.4.0");
  peer.reply(kReplyImageArea, &r, sizeof r);
}

void on_upgrade(const sim::Message& request, sim::Peer& peer) {
  UpgradeStatus status{};
  if (request.payload.size() >= 8) memcpy(&status.mask, request.payload.data(), 8);
  peer.reply(request.id == kReqUpgradeByUrl ? kReplyUpgradeByUrl : kReplyUpgradeStatus, &status,
             sizeof status);
}

void on_month_record(const sim::Message&, sim::Peer& peer) {
  MonthRecordReply r{};
  for (int d = 1; d <= 10; ++d) r.words[d] = 1;
  peer.reply(kReplyMonthRecord, &r, sizeof r);
}

void on_event_info(const sim::Message&, sim::Peer& peer) {
  peer.reply(kReplyEventInfo, "event=motion\r\ntime=2024-06-11 10:15:01\r\n");
}

void on_chip_code(const sim::Message&, sim::Peer& peer) { peer.reply(kReplyChipCode, "SC8M-0042"); }

void on_service_command(const sim::Message&, sim::Peer& peer) {
  std::string reply(16, '\0');
  reply += "done";
  peer.reply(kReplyServiceCommand, reply);
}

void on_batch_result(const sim::Message&, sim::Peer& peer) {
  BatchResult r{};
  peer.reply(kReplyIpcNetworkBatchResult, &r, sizeof r);
}

void on_motion_status(const sim::Message&, sim::Peer& peer) {
  const MotionStatus status{0x2};
  peer.reply(kReplyMotionStatus, &status, sizeof status);
}

void on_model_type(const sim::Message&, sim::Peer& peer) {
  const ResultWord type{1};
  peer.reply(kReplyModelType, &type, sizeof type);
}

template <int32_t Reply>
void reply_ok(const sim::Message&, sim::Peer& peer) {
  const ResultWord ok{0};
  peer.reply(Reply, &ok, sizeof ok);
}

sim::HandlerReg regs[] = {
    {kReqChannelList, on_channel_list},
    {kReqChannelAdded, on_channel_stored},
    {kReqChannelChanged, on_channel_stored},
    {kReqChannelDeleted, on_channel_deleted},
    {kReqChannelsModel, on_channels_model},
    {kReqModelType, on_model_type},
    {kReqMotionStatus, on_motion_status},
    {kReqSearch, on_search},
    {kReqTestLogin, reply_ok<kReplyTestLogin>},
    {kReqCheckLogin, reply_ok<kReplyCheckLogin>},
    {kReqIpcNetwork, reply_ok<kReplyIpcNetwork>},
    {kReqIpcNetworkBatchResult, on_batch_result},
    {kReqStreamGet, on_stream_get},
    {kReqStreamSet, on_stream_set},
    {kReqEnhancementGet, on_enhancement},
    {kReqDisplayGet, on_display},
    {kReqDisplaySet, reply_ok<kReplyDisplaySet>},
    {kReqCommonGet, on_common},
    {kReqCommonSet, reply_ok<kReplyCommonSet>},
    {kReqTrackingGet, reply_channel_record<TrackingRecord, kReplyTrackingGet>},
    {kReqTrackingSet, reply_ok<kReplyTrackingSet>},
    {kReqPtzSupport, reply_ok<kReplyPtzSupport>},
    {kReqIpcType, on_ipc_type},
    {kReqWatermarkGet, on_watermark},
    {kReqWatermarkSet, reply_ok<kReplyWatermarkSet>},
    {kReqEventStreamGet, on_event_stream},
    {kReqEventStreamSet, reply_ok<kReplyEventStreamSet>},
    {kReqLprNightMode, reply_channel_record<LprNightMode, kReplyLprNightMode>},
    {kReqAudioGet, on_audio},
    {kReqAudioSet, reply_ok<kReplyAudioSet>},
    {kReqSystemCaps, on_system_caps},
    {kReqCustomParam, on_custom_param},
    {kReqPeoplecntDbReset, reply_ok<kReplyPeoplecntDbReset>},
    {kReqPeoplecntLiveReset, reply_ok<kReplyPeoplecntLiveReset>},
    {kReqPeoplecntSettings, reply_ok<kReplyPeoplecntSettings>},
    {kReqPeoplecntAction, reply_ok<kReplyPeoplecntAction>},
    {kReqPosChanged, reply_ok<kReplyPosChanged>},
    {kReqReportBackup, reply_ok<kReplyReportBackup>},
    {kReqFaceConfig, reply_ok<kReplyFaceConfig>},
    {kReqUpgradeByUrl, on_upgrade},
    {kReqUpgradeStatus, on_upgrade},
    {kReqUpgradeByFile, reply_ok<kReplyUpgradeByFile>},
    {kReqMonthRecord, on_month_record},
    {kReqServiceCommand, on_service_command},
    {kReqChipCode, on_chip_code},
    {kReqEventInfo, on_event_info},
    {kReqImagePeriodGet, on_image_periods},
    {kReqImageAreaGet, on_image_areas},
    {kReqImageScheduleGet, reply_channel_record<ImageSchedule, kReplyImageSchedule>},
    {kReqImageScheduleExpGet, reply_channel_record<ImageScheduleExp, kReplyImageScheduleExp>},
    {kReqImageScheduleGet3, reply_channel_record<ImageSchedule, kReplyImageSchedule3>},
    {kReqIpcMotionGet, reply_channel_record<IpcMotion, kReplyIpcMotion>},
    {kReqIpcMotionSet, reply_ok<kReplyIpcMotionSet>},
};

}  // namespace
