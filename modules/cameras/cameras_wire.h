// Core-daemon requests, replies and records of the camera module, shared by
// the handlers and the simulated daemon. All records are little-endian and
// packed; text fields are NUL-terminated within their capacity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb_schedule.h"

constexpr int kCameraChannels = 64;  // channel numbers 0..63

// ---- channel management ----------------------------------------------------------------
constexpr int32_t kReqChannelList = 3201;
constexpr int32_t kReplyChannelList = 8201;
constexpr int32_t kReqChannelAdded = 1201;
constexpr int32_t kReqChannelDeleted = 1202;
constexpr int32_t kReqChannelChanged = 1203;
constexpr int32_t kReqChannelPoe = 1206;
constexpr int32_t kReqModelType = 2503;
constexpr int32_t kReplyModelType = 7503;
constexpr int32_t kReqChannelsModel = 2505;
constexpr int32_t kReplyChannelsModel = 7505;
constexpr int32_t kReqMotionStatus = 3307;
constexpr int32_t kReplyMotionStatus = 8307;

// ---- streams and image ------------------------------------------------------------------
constexpr int32_t kReqStreamSet = 3203;
constexpr int32_t kReplyStreamSet = 8203;
constexpr int32_t kReqStreamGet = 3204;
constexpr int32_t kReplyStreamGet = 8204;
constexpr int32_t kReqEnhancementGet = 3221;
constexpr int32_t kReplyEnhancementGet = 8221;
constexpr int32_t kReqEnhancementSet = 3280;
constexpr int32_t kReplyEnhancementSet = 8222;
constexpr int32_t kReqDisplayGet = 3223;
constexpr int32_t kReplyDisplayGet = 8223;
constexpr int32_t kReqDisplaySet = 3224;
constexpr int32_t kReplyDisplaySet = 8224;
constexpr int32_t kReqCommonGet = 3225;
constexpr int32_t kReplyCommonGet = 8225;
constexpr int32_t kReqCommonSet = 3226;
constexpr int32_t kReplyCommonSet = 8226;

// ---- camera-side functions -----------------------------------------------------------------
constexpr int32_t kReqTrackingGet = 3294;
constexpr int32_t kReplyTrackingGet = 8294;
constexpr int32_t kReqTrackingSet = 3375;
constexpr int32_t kReplyTrackingSet = 8375;
constexpr int32_t kReqPtzSupport = 1262;
constexpr int32_t kReplyPtzSupport = 6262;
constexpr int32_t kReqIpcType = 2507;
constexpr int32_t kReplyIpcType = 7507;
constexpr int32_t kReqWatermarkGet = 1213;
constexpr int32_t kReplyWatermarkGet = 6213;
constexpr int32_t kReqWatermarkSet = 1216;
constexpr int32_t kReplyWatermarkSet = 6216;
constexpr int32_t kReqEventStreamGet = 1217;
constexpr int32_t kReplyEventStreamGet = 6217;
constexpr int32_t kReqEventStreamSet = 1218;
constexpr int32_t kReplyEventStreamSet = 6218;
constexpr int32_t kReqLprNightMode = 1219;
constexpr int32_t kReplyLprNightMode = 6219;
constexpr int32_t kReqAudioGet = 3371;
constexpr int32_t kReplyAudioGet = 8371;
constexpr int32_t kReqAudioSet = 3372;
constexpr int32_t kReplyAudioSet = 8372;
constexpr int32_t kReqSystemCaps = 3376;
constexpr int32_t kReplySystemCaps = 8376;
constexpr int32_t kReqCustomParam = 3377;
constexpr int32_t kReplyCustomParam = 8377;
constexpr int32_t kReqPeoplecntSettings = 2290;
constexpr int32_t kReplyPeoplecntSettings = 7290;
constexpr int32_t kReqPeoplecntDbReset = 2291;
constexpr int32_t kReplyPeoplecntDbReset = 7291;
constexpr int32_t kReqPeoplecntLiveReset = 2292;
constexpr int32_t kReplyPeoplecntLiveReset = 7292;
constexpr int32_t kReqPeoplecntAction = 2293;
constexpr int32_t kReplyPeoplecntAction = 7293;
constexpr int32_t kReqPosChanged = 1421;
constexpr int32_t kReplyPosChanged = 6421;
constexpr int32_t kReqReportBackup = 1423;
constexpr int32_t kReplyReportBackup = 6423;
constexpr int32_t kReqFaceEvent = 3383;
constexpr int32_t kReqFaceConfig = 3381;
constexpr int32_t kReplyFaceConfig = 8381;
constexpr int32_t kReqUpgradeByUrl = 3379;
constexpr int32_t kReplyUpgradeByUrl = 8379;
constexpr int32_t kReqUpgradeByFile = 3385;
constexpr int32_t kReplyUpgradeByFile = 8385;
constexpr int32_t kReqUpgradeStatus = 3386;
constexpr int32_t kReplyUpgradeStatus = 8386;
constexpr int32_t kReqUpgradeStop = 3390;
constexpr int32_t kReqMonthRecord = 3493;
constexpr int32_t kReplyMonthRecord = 8493;
constexpr int32_t kReplyMonthFlags = 8100;
constexpr int32_t kReqServiceCommand = 4002;
constexpr int32_t kReplyServiceCommand = 9002;
constexpr int32_t kReplyServiceCommand2 = 9003;
constexpr int32_t kReqChipCode = 4004;
constexpr int32_t kReplyChipCode = 9004;

// ---- discovery and camera network ------------------------------------------------------------
constexpr int32_t kReqSearch = 3200;
constexpr int32_t kReplySearch = 8200;
constexpr int32_t kReqTestLogin = 3202;
constexpr int32_t kReplyTestLogin = 8202;
constexpr int32_t kReqCheckLogin = 3227;
constexpr int32_t kReplyCheckLogin = 8227;
constexpr int32_t kReqIpcNetwork = 3205;
constexpr int32_t kReplyIpcNetwork = 8205;
constexpr int32_t kReqIpcNetworkBatch = 3229;
constexpr int32_t kReqIpcNetworkBatchResult = 3230;
constexpr int32_t kReplyIpcNetworkBatchResult = 8230;

// ---- image periods, schedules, areas, camera motion ---------------------------------------
constexpr int32_t kReqImagePeriodGet = 3278;
constexpr int32_t kReplyImagePeriod = 8278;
constexpr int32_t kReqImagePeriodSet = 3279;
constexpr int32_t kReqImageAreaGet = 3271;
constexpr int32_t kReplyImageArea = 8271;
constexpr int32_t kReqImageAreaSet = 3288;
constexpr int32_t kReqImageAreaDelete = 3284;
constexpr int32_t kReqImageScheduleGet = 3273;
constexpr int32_t kReplyImageSchedule = 8273;
constexpr int32_t kReqImageScheduleExpGet = 3275;
constexpr int32_t kReplyImageScheduleExp = 8275;
constexpr int32_t kReqImageScheduleGet3 = 3277;
constexpr int32_t kReplyImageSchedule3 = 8277;
constexpr int32_t kReqImageScheduleSet = 3281;
constexpr int32_t kReqImageScheduleExpSet = 3282;
constexpr int32_t kReqImageScheduleSet3 = 3283;
constexpr int32_t kReqIpcMotionGet = 3358;
constexpr int32_t kReplyIpcMotion = 8358;
constexpr int32_t kReqIpcMotionSet = 3366;
constexpr int32_t kReplyIpcMotionSet = 8366;
constexpr int32_t kReqEventInfo = 3360;
constexpr int32_t kReplyEventInfo = 8360;

#pragma pack(push, 1)

// A request or reply that is one int32: a channel, or a result word.
struct ChannelWord {
  int32_t chnid;
};
struct ResultWord {
  int32_t res;
};
// Request 1206.
struct ChannelPoe {
  int32_t chnid;
  int32_t poe;  // 1: the camera is on another PoE port
};

// Reply 8201: the live state of one channel.
struct ChannelStatus {
  int32_t id;
  int32_t managePort;
  int32_t camProtocol;
  int32_t state;
  int32_t mainRtspPort;
  char ipAddr[32];
  char vendor[192];
  char sn[128];
  char fwVersion[64];
  char mac[48];
  char model[324];
  int32_t poechannel;
  int32_t physicalport;
  int32_t alarmin;
  int32_t alarmout;
  int32_t whiteLed;
  int32_t ledAlarm;
  int32_t ledManual;
  int32_t minorid;
  int32_t subState;
  int32_t connectState;
  char snReal[64];
  char ddns[64];
  char chipinfo[64];
};
static_assert(sizeof(ChannelStatus) == 1040);
static_assert(offsetof(ChannelStatus, ipAddr) == 20);
static_assert(offsetof(ChannelStatus, vendor) == 52);
static_assert(offsetof(ChannelStatus, sn) == 244);
static_assert(offsetof(ChannelStatus, fwVersion) == 372);
static_assert(offsetof(ChannelStatus, mac) == 436);
static_assert(offsetof(ChannelStatus, model) == 484);
static_assert(offsetof(ChannelStatus, poechannel) == 808);
static_assert(offsetof(ChannelStatus, minorid) == 836);
static_assert(offsetof(ChannelStatus, connectState) == 844);
static_assert(offsetof(ChannelStatus, snReal) == 848);
static_assert(offsetof(ChannelStatus, ddns) == 912);
static_assert(offsetof(ChannelStatus, chipinfo) == 976);

// Reply 7505 (64 of them) and reply 7507: what a channel's camera is.
struct ChannelModel {
  int32_t chnid;
  char ipaddr[32];
  char model[64];
  char fwversion[64];
};
static_assert(sizeof(ChannelModel) == 164);
static_assert(offsetof(ChannelModel, model) == 36);
static_assert(offsetof(ChannelModel, fwversion) == 100);
struct ChannelModels {
  ChannelModel channels[kCameraChannels];
};
static_assert(sizeof(ChannelModels) == 10496);

// Reply 8307: the channels whose camera sees motion, bit n for channel n.
struct MotionStatus {
  uint64_t mask;
};

// Operation-log detail 111 of a camera change.
struct CameraChangeDetail {
  int32_t param_type;
  char ip[64];
  int32_t port;
  int32_t chan_no;  // channel + 1
  uint8_t zero[64];
  char protocol[16];
  char transmit[16];
  uint8_t sync_time;
  uint8_t pad[3];
};
static_assert(sizeof(CameraChangeDetail) == 176);
static_assert(offsetof(CameraChangeDetail, port) == 68);
static_assert(offsetof(CameraChangeDetail, protocol) == 140);
static_assert(offsetof(CameraChangeDetail, transmit) == 156);
static_assert(offsetof(CameraChangeDetail, sync_time) == 172);

// ---- streams --------------------------------------------------------------------------------

struct Resolution {
  int32_t width;
  int32_t height;
};
// One stream's capabilities and values within reply 8204.
struct StreamLimits {
  Resolution res[24];
  int32_t framerateMax;
  int32_t framerateMin;
  int32_t bitrateMax;
  int32_t bitrateMin;
};
struct StreamValues {
  Resolution cur;
  int32_t framerate;
  int32_t bitrate;
  int32_t iframeinterval;
  int32_t bitrateCtrl;
  int32_t iframeIntervalMin;
  int32_t iframeIntervalMax;
};
// Reply 8204.
struct StreamParams {
  int32_t stateCode;
  int32_t id;
  StreamLimits mainLimits;
  int32_t mainVideoType;
  StreamValues mainValues;
  StreamLimits subLimits;
  int32_t subVideoType;
  StreamValues subValues;
  int32_t subEnable;
  int32_t audioEnable;
  int32_t videoTypeEnable;
  int32_t ipc_type;
  int32_t mainStream;
  int32_t subStream;
  int32_t SupportSmartStream;
  int32_t SmartStream;
  int32_t SmartStreamLevel;
  int32_t SubSupportSmartStream;
  int32_t SubSmartStream;
  int32_t SubSmartStreamLevel;
  int32_t mainGop;
  int32_t subGop;
  int32_t thirdGop;
  uint8_t unused[68];
};
static_assert(sizeof(StreamParams) == 624);
static_assert(offsetof(StreamParams, mainLimits) == 8);
static_assert(offsetof(StreamParams, mainLimits.framerateMax) == 200);
static_assert(offsetof(StreamParams, mainVideoType) == 216);
static_assert(offsetof(StreamParams, mainValues) == 220);
static_assert(offsetof(StreamParams, mainValues.framerate) == 228);
static_assert(offsetof(StreamParams, subLimits) == 252);
static_assert(offsetof(StreamParams, subLimits.framerateMax) == 444);
static_assert(offsetof(StreamParams, subVideoType) == 460);
static_assert(offsetof(StreamParams, subValues) == 464);
static_assert(offsetof(StreamParams, subValues.framerate) == 472);
static_assert(offsetof(StreamParams, subEnable) == 496);
static_assert(offsetof(StreamParams, ipc_type) == 508);
static_assert(offsetof(StreamParams, mainStream) == 512);
static_assert(offsetof(StreamParams, SupportSmartStream) == 520);
static_assert(offsetof(StreamParams, SubSupportSmartStream) == 532);
static_assert(offsetof(StreamParams, mainGop) == 544);
static_assert(offsetof(StreamParams, unused) == 556);

// Request 3203.
struct StreamSet {
  char chans[64];  // '0'/'1' per channel
  uint8_t chans_end[4];
  int32_t transmitProtocol;
  int32_t syncTime;
  int32_t reserved0;
  int32_t videoTypeEnable;
  int32_t subEnable;
  int32_t fisheyeType;
  int32_t zero0;
  int32_t mainVideoType;
  int32_t mainResWidth;
  int32_t mainResHeight;
  int32_t mainFramerate;
  int32_t mainBitrate;
  int32_t IframeInterval;
  int32_t mainBitrateControl;
  int32_t SmartStream;
  int32_t SmartStreamLevel;
  int32_t recordtype;
  int32_t etframerate;
  int32_t etIframeinterval;
  int32_t etbitrate;
  int32_t zero1;
  int32_t subVideoType;
  int32_t subResWidth;
  int32_t subResHeight;
  int32_t subFramerate;
  int32_t subBitrate;
  int32_t subIframeInterval;
  int32_t subBitrateControl;
  int32_t SubSmartStream;
  int32_t SubSmartStreamLevel;
  int32_t reserved1[4];
};
static_assert(sizeof(StreamSet) == 204);
static_assert(offsetof(StreamSet, transmitProtocol) == 68);
static_assert(offsetof(StreamSet, videoTypeEnable) == 80);
static_assert(offsetof(StreamSet, mainVideoType) == 96);
static_assert(offsetof(StreamSet, mainResWidth) == 100);
static_assert(offsetof(StreamSet, mainFramerate) == 108);
static_assert(offsetof(StreamSet, IframeInterval) == 116);
static_assert(offsetof(StreamSet, mainBitrateControl) == 120);
static_assert(offsetof(StreamSet, SmartStream) == 124);
static_assert(offsetof(StreamSet, recordtype) == 132);
static_assert(offsetof(StreamSet, zero1) == 148);
static_assert(offsetof(StreamSet, subVideoType) == 152);
static_assert(offsetof(StreamSet, subResWidth) == 156);
static_assert(offsetof(StreamSet, subBitrateControl) == 176);
static_assert(offsetof(StreamSet, SubSmartStream) == 180);
static_assert(offsetof(StreamSet, reserved1) == 188);

// Reply 8203: the channels the stream settings reached.
struct StreamSetResult {
  uint64_t mask;
};

// The image enhancement block (228 bytes) of reply 8221 and request 3280.
struct EnhancementBlock {
  int32_t smartir, whiteblance, focusmode, antiblurry, wdrenable, wdrlevel;
  int32_t wdrstarthour, wdrstartminute, wdrstophour, wdrstopminute, regiontype, hlcmode, exclude,
      exposemode;
  char exposeregion[64];
  int32_t modelType, imageschemode, hlcday, hlcnight, redgain, bluegain, defogmode, defoglevel,
      dismode, exposetime, exposegain, aflevel, hlclevel, exposurectrl, enblur, deblur;
  char sdkversion[32];
  int32_t lensType, reduceVideoStuttering;
  uint8_t unused[4];
};
static_assert(sizeof(EnhancementBlock) == 228);
static_assert(offsetof(EnhancementBlock, exposeregion) == 56);
static_assert(offsetof(EnhancementBlock, modelType) == 120);
static_assert(offsetof(EnhancementBlock, sdkversion) == 184);
// The scene form of the same 228 bytes (request 3280 with a type other than 0).
struct SceneBlock {
  int32_t irBalanceMode, reduceMotionBlur, deblur, defogMode, antiFogIntensity, whitebalanceMode,
      whitebalanceRedGain, whitebalanceBlueGain, exposureMode, exposureTime, exposureGain,
      blcRegion, blcRegionRange;
  char blcRegionArea[32];
  int32_t wdrMode, wdrStartHour, wdrStartMin, wdrEndHour, wdrEndMin, wdrLevel, hlcMode, hlcLevel;
  uint8_t unused[112];
};
static_assert(sizeof(SceneBlock) == 228);
// Reply 8221.
struct EnhancementReply {
  int32_t chnid;
  int32_t status;
  EnhancementBlock block;
};
static_assert(sizeof(EnhancementReply) == 236);
// Request 3280.
struct EnhancementSet {
  int32_t channels[kCameraChannels];
  int32_t type;
  uint8_t block[228];  // EnhancementBlock or SceneBlock by type
};
static_assert(sizeof(EnhancementSet) == 488);

// Request 3224 (364 bytes) with type 0 and reply 8223 (356 bytes).
struct DisplayFields {
  int32_t colorkiller, modestarthour, modestartminute, modestophour, modestopminute;
  int32_t exposurectrl, lighttype, mirctrl, localdisplay, ircutaddaytonight, ircutadnighttoday,
      corridormode, imagerotation;
  int32_t saveCorridor;
  int32_t reserved0;
  int32_t smartIRType, nearIRLevel, farIRLevel, midIRLevel;
  int32_t lencorrect;
  int32_t smartIrMath, smartIrLimit;
  char chipninterface[64];
  int32_t nearSmartirValue, farSmartirValue, midSmartirValue, lenCorrectType;
  int32_t fovadjust;
  char sensortype[16];
  char productmodel[32];
  char softversion[32];
  int32_t smokeddomecover;
  int32_t whiteLedLevel;  // read as "smartwhitestrength"
  int32_t dnRefocus;
  char sdkversion[32];
  int32_t structuretype;
  int32_t keepCorrectAspectRatio, dayNightSens, nightDaySens, zoomLimit;
  int32_t reserved1;
  int32_t whiteledLightCtrl, whiteledSensitivity, whiteledDelay, whiteledStart, whiteledStop,
      whiteledBrightnessCtrl, whiteledBrightness;
};
struct DisplayRecord {
  int32_t chnid;
  int32_t type;
  DisplayFields fields;
};
static_assert(sizeof(DisplayRecord) == 356);
static_assert(offsetof(DisplayRecord, fields.exposurectrl) == 28);
static_assert(offsetof(DisplayRecord, fields.saveCorridor) == 60);
static_assert(offsetof(DisplayRecord, fields.smartIRType) == 68);
static_assert(offsetof(DisplayRecord, fields.lencorrect) == 84);
static_assert(offsetof(DisplayRecord, fields.chipninterface) == 96);
static_assert(offsetof(DisplayRecord, fields.nearSmartirValue) == 160);
static_assert(offsetof(DisplayRecord, fields.fovadjust) == 176);
static_assert(offsetof(DisplayRecord, fields.sensortype) == 180);
static_assert(offsetof(DisplayRecord, fields.productmodel) == 196);
static_assert(offsetof(DisplayRecord, fields.softversion) == 228);
static_assert(offsetof(DisplayRecord, fields.smokeddomecover) == 260);
static_assert(offsetof(DisplayRecord, fields.sdkversion) == 272);
static_assert(offsetof(DisplayRecord, fields.structuretype) == 304);
static_assert(offsetof(DisplayRecord, fields.keepCorrectAspectRatio) == 308);
static_assert(offsetof(DisplayRecord, fields.whiteledLightCtrl) == 328);
// Request 3224: the display record and 8 more bytes the daemon ignores.
struct DisplaySet {
  DisplayRecord record;
  uint8_t tail[8];
};
static_assert(sizeof(DisplaySet) == 364);
// Request 3224 with type 1: the scene values after channel and type.
struct DisplayScene {
  int32_t powerlineFreq, dnMode, d2nSensitivity, n2dSensitivity, nightStartHour, nightStartMinute,
      nightEndHour, nightEndMinute, smartIrMode, irLedLevel, imageRotation;
};

// Requests 3225/3226 and reply 8225.
struct CommonBlock {
  char pagename[64];
  char httpname[64];
  char key[128];
  char value[128];
  int32_t empty_page;  // 1 when the page name is empty (read request)
};
static_assert(sizeof(CommonBlock) == 388);
struct CommonRequest {
  int32_t chnid;
  CommonBlock block;
};
static_assert(sizeof(CommonRequest) == 392);
struct CommonReply {
  int32_t chnid;
  int32_t status;
  CommonBlock block;
};

// ---- camera-side functions -----------------------------------------------------------------

// Reply 8294 and the tail of request 3375.
struct TrackingRecord {
  int32_t chnid, enable, show, sensitivity, time, manual_tracking, zoom_mode, zoom_number;
  ScheduleBlock schedule;
  char area[300];
  int32_t humanVehicleSupport, trackingObject, reportMotion;
};
static_assert(sizeof(TrackingRecord) == 28056);
static_assert(offsetof(TrackingRecord, schedule) == 32);
static_assert(offsetof(TrackingRecord, area) == 27744);
struct TrackingSet {
  uint64_t mask;
  TrackingRecord record;
};
static_assert(sizeof(TrackingSet) == 28064);

// Reply 6213.
struct WatermarkReply {
  int32_t chnid;
  int32_t enable;
  uint8_t pad[4];
  char watermark[32];
};
static_assert(sizeof(WatermarkReply) == 44);
// Request 1216.
struct WatermarkSet {
  int32_t chnid;
  int32_t enable;
  uint8_t pad[4];
  char watermark[32];
  char copy[65];  // '1' per channel the watermark is copied to
  uint8_t tail[3];
};
static_assert(sizeof(WatermarkSet) == 112);
static_assert(offsetof(WatermarkSet, copy) == 44);

// Request 1217.
struct EventStreamQuery {
  int32_t chnid;
  int32_t fisheyeType;
};
// Reply 6217 and request 1218.
struct EventStream {
  int32_t chnid;
  uint8_t pad[4];
  int32_t enable, framerate, bitrate, iframeinterval;
};
static_assert(sizeof(EventStream) == 24);

// Reply 6219.
struct LprNightMode {
  int32_t chnid;
  int32_t nightMode;
};

// Request 3372.
struct AudioSet {
  uint64_t mask;
  int32_t chnid, audioEnable, audioMode, denoise, encoding, sampleRate, inputGain, inputMode,
      audioGainControl, outputVolume, audioBitrate, speakerVol, twoWaySpeakerVol, twoWayOutVol;
};
static_assert(sizeof(AudioSet) == 64);
// The configuration part of reply 8371 (the fields of request 3372 after its mask).
struct AudioConfig {
  int32_t chnid, audioEnable, audioMode, denoise, encoding, sampleRate, inputGain, inputMode,
      audioGainControl, outputVolume, audioBitrate, speakerVol, twoWaySpeakerVol, twoWayOutVol;
};
struct AudioSampleRate {
  int32_t value;
  int32_t bitrate_count;
  int32_t bitrates[16];
};
static_assert(sizeof(AudioSampleRate) == 72);
struct AudioOption {
  int32_t encode;
  int32_t rate_count;
  AudioSampleRate rates[9];
};
static_assert(sizeof(AudioOption) == 656);
// Reply 8371.
struct AudioInfo {
  int32_t res, support, supportMode, supportInputMode;
  uint8_t reserved[16];
  int32_t option_count;
  AudioOption options[9];
  AudioConfig config;
};
static_assert(offsetof(AudioInfo, option_count) == 32);
static_assert(offsetof(AudioInfo, options) == 36);
static_assert(offsetof(AudioInfo, config) == 5940);
static_assert(sizeof(AudioInfo) == 5996);

// Reply 8376.
struct SystemCaps {
  int32_t res, audioSupport, audioSupportMode, audioLineInputSupport, systemSpeakerSupport,
      systemManualSpeedSupport;
  uint8_t reserved0[140];
  int32_t systemAutoTrackingSupport;
  uint8_t reserved1[744];
};
static_assert(offsetof(SystemCaps, systemAutoTrackingSupport) == 164);
static_assert(sizeof(SystemCaps) == 912);

// Request 3377 and reply 8377.
struct CustomParamQuery {
  int32_t chnid;
  char url[256];
};
static_assert(sizeof(CustomParamQuery) == 260);
struct CustomParamReply {
  int32_t res;
  int32_t chnid;
  char data[512];
};
static_assert(sizeof(CustomParamReply) == 520);

// Request 3493 and replies 8493 / 8100.
struct MonthRecordQuery {
  int32_t main_stream;  // 1: the sub stream was asked for ("streamType" 1)
  int32_t year;
  int32_t month;  // 1..12
  char chans[64];
  uint8_t zero[4];
};
static_assert(sizeof(MonthRecordQuery) == 80);
struct MonthRecordReply {
  int32_t words[33];  // word d + 1: day d has recordings
};
static_assert(sizeof(MonthRecordReply) == 132);
struct MonthFlagsReply {
  uint8_t head[8];
  char days[31];  // '0' or another character per day
  uint8_t tail;
};
static_assert(sizeof(MonthFlagsReply) == 40);

// Request 4002.
struct ServiceCommand {
  char cmd[100];
};

// Request 3379.
struct UpgradeByUrl {
  uint64_t mask;
  int64_t reset;
  uint8_t pad0[4];
  char url[128];
  char path[128];  // kIpcUpgradeFile
  uint8_t pad1[4];
};
static_assert(sizeof(UpgradeByUrl) == 280);
static_assert(offsetof(UpgradeByUrl, url) == 20);
// Request 3385.
struct UpgradeByFile {
  uint64_t mask;
  uint64_t keep_mask;  // the inverted reset mask
  int32_t file_size;
  uint8_t zero[260];
};
static_assert(sizeof(UpgradeByFile) == 280);
// Replies 8379 and 8386.
struct UpgradeStatus {
  uint64_t mask;
  int32_t status[16];
};
static_assert(sizeof(UpgradeStatus) == 72);
constexpr const char* kIpcUpgradeFile = "/dev/shm/updateIPCFM.bin";

// ---- discovery and camera network ---------------------------------------------------------

// Reply 8200: one camera found on the network.
struct CameraSearchResult {
  char ipAddr[32];
  char macAddr[32];
  int32_t managePort;
  int32_t protocol;
  char vendor[192];
  char sn[128];
  char fwVersion[64];
  char model[64];
  int32_t modelId;
  char netmask[32];
  char dns[32];
  char gateway[32];
  char netif[8];
  int32_t active_status;
  char name[64];
  char snReal[64];
};
static_assert(sizeof(CameraSearchResult) == 760);
static_assert(offsetof(CameraSearchResult, vendor) == 72);
static_assert(offsetof(CameraSearchResult, sn) == 264);
static_assert(offsetof(CameraSearchResult, fwVersion) == 392);
static_assert(offsetof(CameraSearchResult, model) == 456);
static_assert(offsetof(CameraSearchResult, modelId) == 520);
static_assert(offsetof(CameraSearchResult, netmask) == 524);
static_assert(offsetof(CameraSearchResult, netif) == 620);
static_assert(offsetof(CameraSearchResult, active_status) == 628);
static_assert(offsetof(CameraSearchResult, name) == 632);
static_assert(offsetof(CameraSearchResult, snReal) == 696);

// Request 3205 (388 bytes) and the head of request 3229.
struct IpcNetwork {
  char macAddr[48];
  char oldIpcAddr[32];
  char newIpcAddr[32];
  char netmask[32];
  char gateway[32];
  char primaryDNS[32];
  int32_t port;
  char username[64];
  char password[33];
  uint8_t pad0[3];
  int32_t protocol;
  uint8_t zero[64];
  char netif[6];
  uint8_t pad1[2];
};
static_assert(sizeof(IpcNetwork) == 388);
static_assert(offsetof(IpcNetwork, oldIpcAddr) == 48);
static_assert(offsetof(IpcNetwork, primaryDNS) == 176);
static_assert(offsetof(IpcNetwork, port) == 208);
static_assert(offsetof(IpcNetwork, username) == 212);
static_assert(offsetof(IpcNetwork, password) == 276);
static_assert(offsetof(IpcNetwork, protocol) == 312);
static_assert(offsetof(IpcNetwork, netif) == 380);
// Request 3229.
struct IpcNetworkBatch {
  IpcNetwork network;
  int32_t channelId;
  int32_t modifynum;
};
static_assert(sizeof(IpcNetworkBatch) == 396);
static_assert(offsetof(IpcNetworkBatch, channelId) == 388);

// Request 3202.
struct LoginTest {
  char ipAddr[32];
  int32_t managePort;
  char userName[64];
  char password[33];
  uint8_t pad[3];
  int32_t protocol;
  uint8_t zero[72];
};
static_assert(sizeof(LoginTest) == 212);
static_assert(offsetof(LoginTest, protocol) == 136);
// Request 3227.
struct LoginCheck {
  int32_t zero0;
  char ipAddr[32];
  int32_t managePort;
  char userName[64];
  char password[33];
  uint8_t pad[3];
  int32_t protocol;
  uint8_t zero1[4];
};
static_assert(sizeof(LoginCheck) == 148);
static_assert(offsetof(LoginCheck, protocol) == 140);

// Reply 8230.
struct BatchEntry {
  char mac[48];
  int32_t result;
};
struct BatchResult {
  uint8_t head[4];
  int32_t count;
  uint8_t pad[8];
  BatchEntry entries[64];
};
static_assert(sizeof(BatchResult) == 3344);
static_assert(offsetof(BatchResult, entries) == 16);

// ---- image periods, areas, schedules, camera motion ---------------------------------------

struct ImagePeriod {
  int32_t changed, enable, startHour, startMinute, endHour, endMinute, exposureLevel, minShutter,
      maxShutter, gainLevel, irCutLatency, irCutState, irLedState, colorMode;
};
static_assert(sizeof(ImagePeriod) == 56);
// Request 3279 and reply 8278.
struct ImagePeriods {
  int32_t chnid;
  uint8_t pad[4];
  ImagePeriod periods[20];
};
static_assert(sizeof(ImagePeriods) == 1128);

struct ImageArea {
  int32_t enable, left, top, right, bottom;
};
// Reply 8271.
struct ImageAreas {
  int32_t chnid;
  int32_t enable;
  uint8_t pad[4];
  char sdkversion[32];
  ImageArea areas[16];
};
static_assert(sizeof(ImageAreas) == 364);
// Request 3288.
struct ImageAreasSet {
  int32_t channels[kCameraChannels];
  int32_t enable;
  int32_t count;
  ImageArea areas[16];
};
static_assert(sizeof(ImageAreasSet) == 584);
// Request 3284.
struct ImageAreaDelete {
  int32_t chan_id;
  int32_t area_id;
};

// Requests 3281/3283 and replies 8273/8277.
struct ImageSchedule {
  int32_t chnid;
  ScheduleBlock block;
};
static_assert(sizeof(ImageSchedule) == 27716);
// Request 3282 and reply 8275: slots with exposure time and gain level.
struct ImageScheduleSlotExp {
  char startTime[32];
  char endTime[32];
  int32_t actionType;
  int32_t exposureTime;
  int32_t gainLevel;
  uint8_t pad[4];
};
static_assert(sizeof(ImageScheduleSlotExp) == 80);
struct ImageScheduleDayExp {
  ImageScheduleSlotExp slots[45];
  int32_t valid;
  uint8_t reserved[44];
};
static_assert(sizeof(ImageScheduleDayExp) == 3648);
struct ImageScheduleExp {
  int32_t chnid;
  ImageScheduleDayExp days[8];
};
static_assert(sizeof(ImageScheduleExp) == 29188);

// Reply 8358 and the head of request 3366.
struct IpcMotion {
  int32_t chnid, enable, sensitivity, minsize, mintime, adaptability;
  char map_mask[300];
  ScheduleBlock effective;
  int32_t isNtPlatform;
};
static_assert(sizeof(IpcMotion) == 28040);
static_assert(offsetof(IpcMotion, effective) == 324);
struct IpcMotionSet {
  IpcMotion motion;
  uint64_t copy_mask;  // the channels the settings are copied to
};
static_assert(sizeof(IpcMotionSet) == 28048);

// Request 3360.
struct EventInfoQuery {
  int32_t chnid, mainType, subType;
  char time[64];
};
static_assert(sizeof(EventInfoQuery) == 76);

// Request 2293: the people-counting group whose actions changed.
struct PeoplecntActionNotice {
  int32_t groupid;
  int32_t reserved;
};
static_assert(sizeof(PeoplecntActionNotice) == 8);

// Request 3381: a camera's face capture configuration (1620 bytes), fields in
// the order of the request's keys.
constexpr int kFacePolygonPoints = 20;
constexpr int kFaceCaptureModes = 16;
struct FaceConfig {
  int32_t chnId, enable, width, height, minPixel, captureMode, snapshotType, snapshotInterval,
      snapshotBackground, poseYaw, poseRoll, posePitch, blurLimit;
  int32_t detection_polygonX[kFacePolygonPoints];
  int32_t detection_polygonY[kFacePolygonPoints];
  int32_t uploadEnable, uploadFileType, nasEnable, nasFileType, emailEnable, emailFileType,
      httpEnable, httpNotifyInterval;
  char httpUrl[1024];
  char httpUser[64];
  char httpPassword[64];
  int32_t recordSeconds, prerecordSeconds, postEnable, postType, attributeEnable, attributeType,
      mosaicEnable, mosaicModeStatus, mutuallyExclusive, shield;
  int32_t captureModeArray[kFaceCaptureModes];
  int32_t captureQuality;
  uint8_t reserved[116];
};
static_assert(sizeof(FaceConfig) == 1620);
static_assert(offsetof(FaceConfig, detection_polygonX) == 52);
static_assert(offsetof(FaceConfig, uploadEnable) == 212);
static_assert(offsetof(FaceConfig, httpUrl) == 244);
static_assert(offsetof(FaceConfig, recordSeconds) == 1396);
static_assert(offsetof(FaceConfig, captureQuality) == 1500);

#pragma pack(pop)
