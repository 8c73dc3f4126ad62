// Messages between the video-and-events routes and the core daemon: request
// and reply ids and the camera motion records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb_schedule.h"

// Motion.
constexpr int32_t kReqMotionChanged = 1403;    // int32 channel
constexpr int32_t kReqMotionCopied = 1410;     // uint64 channel mask
constexpr int32_t kReqCameraMotionMap = 3206;  // int32 channel; reply 8206
constexpr int32_t kReplyCameraMotionMap = 8206;
constexpr int32_t kReqSetCameraMotion = 3207;       // CameraMotion
constexpr int32_t kReqCameraMotionSchedule = 3209;  // CameraSchedule
constexpr int32_t kReqCameraMotionSwitch = 3212;    // CameraMotionSwitch
constexpr int32_t kReqCameraMotionCopy = 3251;      // CameraMotionCopy
constexpr int32_t kReqCameraScheduleCopy = 3252;    // CameraSchedule with further channels
// Video loss and alarm inputs.
constexpr int32_t kReqVideoLossChanged = 1402;        // int32 channel
constexpr int32_t kReqAlarmInScheduleChanged = 1404;  // int32 alarm input
constexpr int32_t kReqVideoLossMask = 1414;           // uint64 channel mask
constexpr int32_t kReqAlarmInMask = 1415;             // uint64 alarm-input mask

constexpr int kCameraMapChars = 300;  // motion map text in the camera records (299 + NUL)

#pragma pack(push, 1)

struct CameraMotion {  // 340 bytes: request 3207, reply 8206
  int32_t enable;
  char map[kCameraMapChars];
  int32_t sensitivity;
  int32_t channel;
  int32_t result;
  int32_t modelType;
  int32_t fishdisplay;
  int32_t fishtransfer;
  int32_t fishinstall;
  int32_t enableAI;
  uint8_t reserved[4];
};
static_assert(sizeof(CameraMotion) == 340);
static_assert(offsetof(CameraMotion, map) == 4);
static_assert(offsetof(CameraMotion, sensitivity) == 304);
static_assert(offsetof(CameraMotion, channel) == 308);
static_assert(offsetof(CameraMotion, result) == 312);
static_assert(offsetof(CameraMotion, modelType) == 316);
static_assert(offsetof(CameraMotion, fishdisplay) == 320);
static_assert(offsetof(CameraMotion, fishtransfer) == 324);
static_assert(offsetof(CameraMotion, fishinstall) == 328);
static_assert(offsetof(CameraMotion, enableAI) == 332);

struct CameraMotionSwitch {  // 268 bytes: request 3212
  int32_t channel;
  int32_t enable;  // 1 on, 0 off
  int32_t further[64];
  int32_t count;
};
static_assert(sizeof(CameraMotionSwitch) == 268);
static_assert(offsetof(CameraMotionSwitch, further) == 8);
static_assert(offsetof(CameraMotionSwitch, count) == 264);

struct CameraScheduleSlot {
  int32_t values[4];
};
struct CameraScheduleDay {  // 136 bytes
  int32_t day;
  int32_t flag;
  CameraScheduleSlot slots[8];
};
static_assert(sizeof(CameraScheduleDay) == 136);

struct CameraSchedule {  // 1216 bytes: requests 3209 and 3252
  int32_t channel;       // 3209; 0 in 3252
  uint8_t reserved[64];
  CameraScheduleDay days[7];  // from 68; the slot room of day 6 from 956 holds 3252's list
  uint8_t tail[196];
};
static_assert(sizeof(CameraSchedule) == 1216);
static_assert(offsetof(CameraSchedule, days) == 68);

// 3252: the further channels at 956 and their count at 1212 (inside the day
// room, so laid over the block).
constexpr size_t kScheduleFurtherOffset = 956;
constexpr size_t kScheduleFurtherCountOffset = 1212;
static_assert(kScheduleFurtherOffset == 68 + 6 * 136 + 8 + 4 * 16);  // after day 6's used slots
static_assert(kScheduleFurtherOffset + 64 * 4 == kScheduleFurtherCountOffset);

struct CameraMotionCopy {  // 580 bytes: request 3251
  char map[kCameraMapChars];
  int32_t sensitivity;
  int32_t channel;
  int32_t enable;  // camera motion switch
  int32_t further[64];
  int32_t count;
  int32_t enableAI;
  int32_t detection;
};
static_assert(sizeof(CameraMotionCopy) == 580);
static_assert(offsetof(CameraMotionCopy, sensitivity) == 300);
static_assert(offsetof(CameraMotionCopy, channel) == 304);
static_assert(offsetof(CameraMotionCopy, enable) == 308);
static_assert(offsetof(CameraMotionCopy, further) == 312);
static_assert(offsetof(CameraMotionCopy, count) == 568);
static_assert(offsetof(CameraMotionCopy, enableAI) == 572);
static_assert(offsetof(CameraMotionCopy, detection) == 576);

#pragma pack(pop)

// ---- on-screen display, privacy masks, exceptions and camera-side alarms ----------

constexpr int32_t kReqOsdChanged = 1007;            // OsdChanged
constexpr int32_t kReqExceptionsChanged = 2104;     // no payload
constexpr int32_t kReqExceptionHttpChanged = 3394;  // no payload
constexpr int32_t kReqCameraOsd = 3211;             // int32 channel; reply 8211: CameraOsd records
constexpr int32_t kReplyCameraOsd = 8211;
constexpr int32_t kReqSetCameraOsd = 3210;  // CameraOsd; reply 8210: int32 result
constexpr int32_t kReplySetCameraOsd = 8210;
constexpr int32_t kReqCameraPrivacyMasks =
    2502;  // int32 channel; reply 7502: CameraPrivacyMask records
constexpr int32_t kReplyCameraPrivacyMasks = 7502;
constexpr int32_t kReqCameraModelType = 2503;  // int32 channel; reply 7503: int32 result
constexpr int32_t kReplyCameraModelType = 7503;
constexpr int32_t kReqDeletePrivacyArea = 2508;  // PrivacyAreaRef
constexpr int32_t kReqSetPrivacyMasks = 2509;    // PrivacyMaskSet
constexpr int32_t kReqPrivacyEdit = 3353;        // PrivacyAreaRef; reply 8353: int32 result
constexpr int32_t kReplyPrivacyEdit = 8353;
constexpr int32_t kReqCameraIo = 3213;  // int32 channel; reply 8213: CameraIoReply
constexpr int32_t kReplyCameraIo = 8213;
constexpr int32_t kReqSetCameraIo = 3214;   // CameraIoSet
constexpr int32_t kReqVolumeDetect = 3215;  // int32 channel; reply 8215: VolumeDetectReply
constexpr int32_t kReplyVolumeDetect = 8215;
constexpr int32_t kReqSetVolumeDetect = 3216;  // VolumeDetectSet

constexpr int kCameraPrivacyAreas = 28;  // areas of one camera privacy mask record

#pragma pack(push, 1)

struct OsdChanged {  // 12 bytes: request 1007
  int32_t channel;
  int32_t one;   // 1
  int32_t zero;  // 0
};
static_assert(sizeof(OsdChanged) == 12);

struct CameraOsd {  // 848 bytes: request 3210, reply 8211
  int32_t ch;       // in a reply: negative when the camera is not connected
  int32_t enable_text;
  char text_name[256];
  int32_t textpos;
  int32_t enable_date;
  int32_t datepos;
  int32_t dateformat;
  int32_t fontSize;
  int32_t enable_text_sub;
  char text_name_sub[256];
  int32_t textpos_sub;
  int32_t enable_date_sub;
  int32_t datepos_sub;
  int32_t dateformat_sub;
  int32_t fontSizeSub;
  uint8_t reserved[280];
  int32_t type;
};
static_assert(sizeof(CameraOsd) == 848);
static_assert(offsetof(CameraOsd, text_name) == 8);
static_assert(offsetof(CameraOsd, textpos) == 264);
static_assert(offsetof(CameraOsd, fontSize) == 280);
static_assert(offsetof(CameraOsd, enable_text_sub) == 284);
static_assert(offsetof(CameraOsd, text_name_sub) == 288);
static_assert(offsetof(CameraOsd, textpos_sub) == 544);
static_assert(offsetof(CameraOsd, fontSizeSub) == 560);
static_assert(offsetof(CameraOsd, reserved) == 564);
static_assert(offsetof(CameraOsd, type) == 844);

struct CameraPrivacyArea {  // 96 bytes
  int32_t area_id, enable, start_x, start_y, area_width, area_height, fill_color, ratio;
  char name[64];
};
static_assert(sizeof(CameraPrivacyArea) == 96);
static_assert(offsetof(CameraPrivacyArea, name) == 32);

struct CameraPrivacyMask {  // 2832 bytes: reply 7502 (per camera), the tail of 2509
  int32_t id;
  int32_t enable;
  int32_t num;  // areas in use
  int32_t cgiSdkFlag;
  char sdkversion[32];
  int32_t maxPtzZoomRatio;
  int32_t areaEnable;
  char colorList[64];
  CameraPrivacyArea area[kCameraPrivacyAreas];
  int32_t mosaicSupport;
  int32_t mosaicNum;
  int64_t delMask;
  int32_t colorSupport;
  int32_t maxMaskSum;  // areas in a reply
};
static_assert(sizeof(CameraPrivacyMask) == 2832);
static_assert(offsetof(CameraPrivacyMask, sdkversion) == 16);
static_assert(offsetof(CameraPrivacyMask, maxPtzZoomRatio) == 48);
static_assert(offsetof(CameraPrivacyMask, areaEnable) == 52);
static_assert(offsetof(CameraPrivacyMask, colorList) == 56);
static_assert(offsetof(CameraPrivacyMask, area) == 120);
static_assert(offsetof(CameraPrivacyMask, mosaicSupport) == 2808);
static_assert(offsetof(CameraPrivacyMask, mosaicNum) == 2812);
static_assert(offsetof(CameraPrivacyMask, delMask) == 2816);
static_assert(offsetof(CameraPrivacyMask, colorSupport) == 2824);
static_assert(offsetof(CameraPrivacyMask, maxMaskSum) == 2828);

struct PrivacyMaskSet {  // 2904 bytes: request 2509
  char channels[64];     // '1' at position n: channel n
  uint8_t zero[8];
  CameraPrivacyMask mask;
};
static_assert(sizeof(PrivacyMaskSet) == 2904);
static_assert(offsetof(PrivacyMaskSet, mask) == 72);

struct PrivacyAreaRef {  // 8 bytes: requests 2508 and 3353
  int32_t channel;
  int32_t area;
};
static_assert(sizeof(PrivacyAreaRef) == 8);

struct CameraIoReply {  // 92 bytes: reply 8213
  int32_t result;
  int32_t channel;
  int32_t enable;
  int32_t type;
  int32_t actions;
  int32_t reserved;
  char tri_channels[65];
  uint8_t padding[3];
};
static_assert(sizeof(CameraIoReply) == 92);
static_assert(offsetof(CameraIoReply, channel) == 4);
static_assert(offsetof(CameraIoReply, actions) == 16);
static_assert(offsetof(CameraIoReply, tri_channels) == 24);

struct CameraIoSet {  // 12 bytes: request 3214
  int32_t channel, enable, type;
};
static_assert(sizeof(CameraIoSet) == 12);

struct VolumeDetectSet {  // 32 bytes: request 3216
  int32_t channel, enable, type, volume, duration, onEvent, offEvent, ongoingEvent;
};
static_assert(sizeof(VolumeDetectSet) == 32);

struct VolumeDetectReply {  // 112 bytes: reply 8215
  int32_t result;
  VolumeDetectSet values;  // from 4
  int32_t actions;         // 36
  int32_t reserved;
  char tri_channels[65];  // 44
  uint8_t padding[3];
};
static_assert(sizeof(VolumeDetectReply) == 112);
static_assert(offsetof(VolumeDetectReply, values) == 4);
static_assert(offsetof(VolumeDetectReply, actions) == 36);
static_assert(offsetof(VolumeDetectReply, tri_channels) == 44);

#pragma pack(pop)

// ---- timed snapshots and fisheye cameras --------------------------------------------

constexpr int32_t kReqSnapshotSchedulesChanged = 1312;  // ChannelList
constexpr int32_t kReqSnapshotSettingsChanged = 1311;   // ChannelList
constexpr int32_t kReqSnapshotStartStop = 1313;         // SnapshotStartStop
constexpr int32_t kReqFisheyeMode = 3232;               // int32 channel; reply 8232: FisheyeMode
constexpr int32_t kReplyFisheyeMode = 8232;
constexpr int32_t kReqSetFisheyeMode = 3231;  // FisheyeMode; reply 8231: int32 result
constexpr int32_t kReplySetFisheyeMode = 8231;
constexpr int32_t kReqCheckFisheye = 3373;  // FisheyeAddress; reply 8373: FisheyeSupport
constexpr int32_t kReplyCheckFisheye = 8373;
constexpr int32_t kReqSetFisheye = 3374;  // FisheyeAddressSet; reply 8374: int32 result
constexpr int32_t kReplySetFisheye = 8374;

#pragma pack(push, 1)

struct ChannelList {  // 260 bytes: requests 1311 and 1312
  int32_t channels[64];
  int32_t count;
};
static_assert(sizeof(ChannelList) == 260);
static_assert(offsetof(ChannelList, count) == 256);

struct SnapshotStartStop {  // 260 bytes: request 1313
  int32_t action;           // 1 start, 0 stop
  int32_t selected[64];     // 1: the channel is selected
};
static_assert(sizeof(SnapshotStartStop) == 260);

struct FisheyeMode {  // 20 bytes: request 3231, reply 8232
  int32_t channel;
  int32_t fishmount;
  int32_t fishdisplay;
  int32_t fishcorrect;
  int32_t result;
};
static_assert(sizeof(FisheyeMode) == 20);

struct FisheyeAddress {  // 260 bytes: request 3373
  char ddns[64];
  char ipaddr[64];
  char username[64];
  char password[64];
  int32_t port;
};
static_assert(sizeof(FisheyeAddress) == 260);
static_assert(offsetof(FisheyeAddress, ipaddr) == 64);
static_assert(offsetof(FisheyeAddress, username) == 128);
static_assert(offsetof(FisheyeAddress, password) == 192);
static_assert(offsetof(FisheyeAddress, port) == 256);

struct FisheyeAddressSet {  // 272 bytes: request 3374
  FisheyeAddress address;
  int32_t transfer;
  int32_t install;
  int32_t display;
};
static_assert(sizeof(FisheyeAddressSet) == 272);
static_assert(offsetof(FisheyeAddressSet, transfer) == 260);
static_assert(offsetof(FisheyeAddressSet, display) == 268);

struct FisheyeSupport {  // 20 bytes: reply 8373
  int32_t support;       // 1: supported
  int32_t transfer;
  int32_t install;
  int32_t display;
  int32_t streamCnt;
};
static_assert(sizeof(FisheyeSupport) == 20);
static_assert(offsetof(FisheyeSupport, streamCnt) == 16);

#pragma pack(pop)

// ---- regional people counting ------------------------------------------------------------

constexpr int32_t kReqRegionalCounting = 1220;  // int32 channel; reply 6220: RegionalCounting
constexpr int32_t kReplyRegionalCounting = 6220;
constexpr int32_t kReqSetRegionalCounting = 1221;  // RegionalCounting; reply 6221: int32 result
constexpr int32_t kReplySetRegionalCounting = 6221;
constexpr int kCountingRegions = 4;

#pragma pack(push, 1)

struct CountingRegion {  // 156 bytes
  int32_t enable;
  char polygonX[64];
  char polygonY[64];
  int32_t maxStayEnable, maxStayValue;
  int32_t minStayEnable, minStayValue;
  int32_t maxStayTimeEnable, maxStayTimeValue;
};
static_assert(sizeof(CountingRegion) == 156);
static_assert(offsetof(CountingRegion, polygonY) == 68);
static_assert(offsetof(CountingRegion, maxStayEnable) == 132);
static_assert(offsetof(CountingRegion, maxStayTimeValue) == 152);

struct RegionalCounting {  // 28448 bytes: request 1221, reply 6220
  int32_t result;          // replies only
  int32_t channel;
  int32_t sensitivity;
  int32_t minObjX, minObjY, minObjWidth, minObjHeight;
  int32_t maxObjX, maxObjY, maxObjWidth, maxObjHeight;
  CountingRegion regional[kCountingRegions];
  uint8_t reserved[68];     // agreed with the daemon, left 0
  ScheduleBlock effective;  // second-generation schedule form
};
static_assert(sizeof(RegionalCounting) == 28448);
static_assert(offsetof(RegionalCounting, channel) == 4);
static_assert(offsetof(RegionalCounting, sensitivity) == 8);
static_assert(offsetof(RegionalCounting, minObjX) == 12);
static_assert(offsetof(RegionalCounting, minObjHeight) == 24);
static_assert(offsetof(RegionalCounting, maxObjX) == 28);
static_assert(offsetof(RegionalCounting, maxObjHeight) == 40);
static_assert(offsetof(RegionalCounting, regional) == 44);
static_assert(offsetof(RegionalCounting, reserved) == 668);
static_assert(offsetof(RegionalCounting, effective) == 736);

#pragma pack(pop)

#include "modules/video/vca_wire.h"  // the smart events
