// Messages between the PTZ module and the core daemon: request and reply ids
// and their records (little-endian, packed; bytes not named are zero).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kPtzChannels = 64;
constexpr int kPtzPresets = 300;      // preset ids 1..300 address slots 0..299
constexpr int kPtzMaxPresetId = 300;  // 0 names no preset
constexpr int kPtzTours = 8;          // tour ids 1..8
constexpr int kPtzTourPoints = 48;
constexpr int kPtzPatterns = 4;  // pattern ids 1..4
constexpr int kPtzTourStatusGroups = 5;
constexpr int kPtzAutoScanValues = 5;

// Told without waiting.
constexpr int32_t kReqPtzCommand = 1251;      // PtzCommand
constexpr int32_t kReqPtzPortChanged = 1252;  // int32 channel
constexpr int32_t kReqPtzPreset = 1253;       // PtzCommand with the preset id
constexpr int32_t kReqPtzPattern = 1254;      // PtzCommand with the pattern id
constexpr int32_t kReqPtzTourClear = 1257;    // PtzTourCommand
constexpr int32_t kReqPtzTourRun = 1260;      // PtzTourCommand
constexpr int32_t kReqPtzTourStop = 1261;     // PtzTourCommand
constexpr int32_t kReqPtzTourSet = 1264;      // PtzTourRecord
constexpr int32_t kReqPtzPresetCall = 1266;   // PtzChannelValue {channel, action}
constexpr int32_t kReqPtzZoom = 1267;         // PtzZoomRequest
constexpr int32_t kReqFishTourSet = 1269;     // FishTourRecord
// Asked, with a reply.
constexpr int32_t kReqPtzSupport = 1262;   // int32 channel -> 6262
constexpr int32_t kReqPtzInfo = 1265;      // int32 channel -> 6265
constexpr int32_t kReqFishPtzInfo = 1268;  // PtzChannelValue {channel, stream} -> 6268
constexpr int32_t kReqPtzBasic = 1270;     // int32 channel -> 6270
constexpr int32_t kReqSetPtzBasic = 1271;  // PtzBasicSettings -> 6271
constexpr int32_t kReqCameraParam = 3226;  // CameraParamRecord -> 8226
constexpr int32_t kReqPtzControl = 3361;   // PtzChannelValue {channel, command} -> 8361
constexpr int32_t kReqLedStatus = 3363;    // int32 channel -> 8363

constexpr int32_t kReplyPtzSupport = 6262;
constexpr int32_t kReplyPtzInfo = 6265;
constexpr int32_t kReplyFishPtzInfo = 6268;
constexpr int32_t kReplyPtzBasic = 6270;
constexpr int32_t kReplySetPtzBasic = 6271;
constexpr int32_t kReplyCameraParam = 8226;
constexpr int32_t kReplyPtzControl = 8361;
constexpr int32_t kReplyLedStatus = 8363;

// Action codes the module itself puts in a command (the rest pass through).
constexpr int32_t kPtzActionAutoFocus = 12;
constexpr int32_t kPtzActionZoomStop = 21;  // followed by auto focus when asked
constexpr int32_t kPtzActionSavePreset = 22;

#pragma pack(push, 1)
// 1251, 1253, 1254
struct PtzCommand {
  int32_t channel;
  int32_t action;
  int32_t id;  // preset id (1253), pattern id (1254), 0 (1251)
  int32_t panSpeed;
  int32_t tiltSpeed;
  int32_t zoomSpeed;
  int32_t focusSpeed;
  char presetName[36];  // 1253 with action 22 only; at most 30 characters
  int32_t fisheyeType;
  int32_t streamId;
};

// 3226: one camera-side setting (also used by the camera settings).
struct CameraParamRecord {
  int32_t channel;
  uint8_t reserved0[64];
  char page[64];  // always "vsetting.html" here
  char name[128];
  char value[128];
  uint8_t reserved1[4];
};

struct PtzTourPoint {
  int32_t preset;  // 0: the point is empty
  int32_t dwell;   // dwell time
  int32_t speed;
};

// 1264
struct PtzTourRecord {
  int32_t channel;
  int32_t tourId;  // 1-based
  int32_t count;   // points used
  PtzTourPoint points[kPtzTourPoints];
};

// A tour as the daemon lists it: the three point fields in columns.
struct PtzTourColumns {
  int32_t presets[kPtzTourPoints];
  int32_t dwells[kPtzTourPoints];
  int32_t speeds[kPtzTourPoints];
};

// 1269: only the addressed tour is filled.
struct FishTourRecord {
  int32_t channel;
  int32_t streamId;
  int32_t tourIndex;  // 0-based
  PtzTourColumns tours[kPtzTours];
};

// 1257, 1260, 1261
struct PtzTourCommand {
  int32_t channel;
  int32_t tourId;
  uint8_t reserved[16];
  int32_t fisheyeType;
  int32_t streamId;
};

struct PtzChannelValue {
  int32_t channel;
  int32_t value;
};

// 1267
struct PtzZoomRequest {
  int32_t channel;
  int32_t zoom;
  int32_t zoomSpeed;
};

// 1271 and 6270
struct PtzBasicSettings {
  int32_t status;  // sent as 0
  int32_t channel;
  int32_t zoomStatus;
  int32_t panTiltStatus;
  int32_t presetStatus;
  int32_t patrolStatus;
  int32_t patternStatus;
  int32_t autoScanStatus;
  int32_t presetFreezing;
  int32_t presetSpeed;
  int32_t manualSpeed;
  int32_t patrolRecovering;
  int32_t patrolRecoveryTime;
  int32_t focusMode;
  int32_t minFocusDistance;
  int32_t resumeTime;
  int32_t fanWorkingMode;
  char channelMask[65];
  uint8_t reserved[3];
};

struct PtzPresetState {
  int32_t enable;
  char name[32];
};

// 6265 and 6268
struct PtzState {
  PtzPresetState presets[kPtzPresets];
  PtzTourColumns tours[kPtzTours];
  int32_t patterns[kPtzPatterns];  // enable
  int32_t tourStatus[kPtzTourStatusGroups][8];
  int32_t autoScanStatus[kPtzAutoScanValues];
};

// 8363
struct LedStatusReply {
  int32_t channel;
  int32_t status;
};
#pragma pack(pop)

static_assert(sizeof(PtzCommand) == 72);
static_assert(offsetof(PtzCommand, action) == 4);
static_assert(offsetof(PtzCommand, id) == 8);
static_assert(offsetof(PtzCommand, panSpeed) == 12);
static_assert(offsetof(PtzCommand, tiltSpeed) == 16);
static_assert(offsetof(PtzCommand, zoomSpeed) == 20);
static_assert(offsetof(PtzCommand, focusSpeed) == 24);
static_assert(offsetof(PtzCommand, presetName) == 28);
static_assert(offsetof(PtzCommand, fisheyeType) == 64);
static_assert(offsetof(PtzCommand, streamId) == 68);
static_assert(sizeof(CameraParamRecord) == 392);
static_assert(offsetof(CameraParamRecord, page) == 68);
static_assert(offsetof(CameraParamRecord, name) == 132);
static_assert(offsetof(CameraParamRecord, value) == 260);
static_assert(sizeof(PtzTourPoint) == 12);
static_assert(sizeof(PtzTourRecord) == 588);
static_assert(offsetof(PtzTourRecord, tourId) == 4);
static_assert(offsetof(PtzTourRecord, count) == 8);
static_assert(offsetof(PtzTourRecord, points) == 12);
static_assert(sizeof(PtzTourColumns) == 576);
static_assert(sizeof(FishTourRecord) == 4620);
static_assert(offsetof(FishTourRecord, streamId) == 4);
static_assert(offsetof(FishTourRecord, tourIndex) == 8);
static_assert(offsetof(FishTourRecord, tours) == 12);
static_assert(sizeof(PtzTourCommand) == 32);
static_assert(offsetof(PtzTourCommand, tourId) == 4);
static_assert(offsetof(PtzTourCommand, fisheyeType) == 24);
static_assert(offsetof(PtzTourCommand, streamId) == 28);
static_assert(sizeof(PtzZoomRequest) == 12);
static_assert(sizeof(PtzBasicSettings) == 136);
static_assert(offsetof(PtzBasicSettings, channel) == 4);
static_assert(offsetof(PtzBasicSettings, zoomStatus) == 8);
static_assert(offsetof(PtzBasicSettings, patrolRecovering) == 44);
static_assert(offsetof(PtzBasicSettings, patrolRecoveryTime) == 48);
static_assert(offsetof(PtzBasicSettings, focusMode) == 52);
static_assert(offsetof(PtzBasicSettings, minFocusDistance) == 56);
static_assert(offsetof(PtzBasicSettings, resumeTime) == 60);
static_assert(offsetof(PtzBasicSettings, fanWorkingMode) == 64);
static_assert(offsetof(PtzBasicSettings, channelMask) == 68);
static_assert(sizeof(PtzPresetState) == 36);
static_assert(sizeof(PtzState) == 3901 * 4);
static_assert(offsetof(PtzState, tours) == 2700 * 4);
static_assert(offsetof(PtzState, patterns) == 3852 * 4);
static_assert(offsetof(PtzState, tourStatus) == 3856 * 4);
static_assert(offsetof(PtzState, autoScanStatus) == 3896 * 4);
static_assert(sizeof(LedStatusReply) == 8);
