// The smart-event part of the video module's messages (included by
// video_wire.h): request and reply ids and the camera analytics records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb_schedule.h"

// Camera analytics settings, asked with the int32 channel.
constexpr int32_t kReqVcaRegionEntrance = 3237;  // reply 8237
constexpr int32_t kReqVcaRegionExiting = 3238;   // reply 8238
constexpr int32_t kReqVcaMotion = 3239;          // reply 8239
constexpr int32_t kReqVcaTamper = 3240;          // reply 8240
constexpr int32_t kReqVcaLine = 3241;            // reply 8241
constexpr int32_t kReqVcaLoitering = 3242;       // reply 8242
constexpr int32_t kReqVcaHuman = 3243;           // reply 8243
constexpr int32_t kReqVcaPeople = 3253;          // reply 8253
constexpr int32_t kReqVcaSupport = 3257;         // reply 8257
constexpr int32_t kReqVcaSettings = 3259;        // reply 8259
constexpr int32_t kReqVcaLeftRemove = 3268;      // reply 8268
constexpr int32_t kReqVcaLine2 = 1209;           // reply 6209
constexpr int32_t kReqVcaSettings2 = 1211;       // reply 6211
// Their setters; each reply starts with the int32 result (0: done).
constexpr int32_t kReqSetVcaRegionEntrance = 3244;  // VcaMessage, reply 8244
constexpr int32_t kReqSetVcaRegionExiting = 3245;   // VcaMessage, reply 8245
constexpr int32_t kReqSetVcaMotion = 3246;          // VcaMessage, reply 8246
constexpr int32_t kReqSetVcaTamper = 3247;          // VcaMessage, reply 8247
constexpr int32_t kReqSetVcaLine = 3248;            // VcaLine, reply 8248
constexpr int32_t kReqSetVcaLoitering = 3249;       // VcaMessage, reply 8249
constexpr int32_t kReqSetVcaHuman = 3250;           // VcaMessage, reply 8250
constexpr int32_t kReqSetVcaPeople = 3254;          // VcaPeople, reply 8254
constexpr int32_t kReqSetVcaSettings = 3260;        // VcaSettings, reply 8260
constexpr int32_t kReqClearPeopleCount = 3261;      // VcaClearPeople, reply 8261
constexpr int32_t kReqSetVcaLeftRemove = 3269;      // VcaLeftRemove, reply 8269
constexpr int32_t kReqSetVcaLine2 = 1210;           // VcaLine2, reply 6210
constexpr int32_t kReqSetVcaSettings2 = 1212;       // VcaSettings2, reply 6212
// A smart event's actions changed: uint64 channel mask, no reply.
constexpr int32_t kReqSmartEventChanged = 1412;

// The reply of a request: most analytics replies are the request id + 5000,
// the second-generation ones + 5000 as well (1209 -> 6209).
constexpr int32_t vca_reply_of(int32_t request_id) { return request_id + 5000; }

constexpr int kVcaRegions = 4;
constexpr int kVcaPolygons = 5;
constexpr int kVcaLines = 4;
constexpr int kVcaPolygonChars = 64;
constexpr int kVcaMapChars = 300;
constexpr int kVcaCopyChars = 65;

#pragma pack(push, 1)

struct VcaPolygonPair {  // 128 bytes
  char polygonX[kVcaPolygonChars];
  char polygonY[kVcaPolygonChars];
};
// Polygons 0..3 of a region are 192 bytes apart; the fifth ends the region.
struct VcaPolygon {  // 192 bytes
  VcaPolygonPair pair;
  uint8_t reserved[64];
};
static_assert(sizeof(VcaPolygon) == 192);

struct VcaRegion {  // 976 bytes
  int32_t enable;
  int32_t reserved0;
  int32_t time;
  int32_t objType;
  uint8_t reserved1[64];
  VcaPolygon polygons[kVcaPolygons - 1];
  VcaPolygonPair last;
};
static_assert(sizeof(VcaRegion) == 976);
static_assert(offsetof(VcaRegion, time) == 8);
static_assert(offsetof(VcaRegion, objType) == 12);
static_assert(offsetof(VcaRegion, polygons) == 80);
static_assert(offsetof(VcaRegion, polygons[1].pair.polygonY) == 144 + 192);
static_assert(offsetof(VcaRegion, last.polygonY) == 144 + 4 * 192);

// Region entrance and exiting, advanced motion, tampering, loitering, human
// detection (requests 3244 to 3247, 3249, 3250; replies 8237 to 8240, 8242, 8243).
struct VcaMessage {  // 4480 bytes
  int32_t channel;
  int32_t enable;
  uint8_t reserved0[16];
  int32_t sensitivity;
  int32_t time;    // loitering
  int32_t size;    // loitering
  int32_t tracks;  // human detection
  char region[kVcaMapChars];
  int32_t ignore_time;  // advanced motion
  int32_t objtype;
  char polygonX[kVcaPolygonChars];
  char polygonY[kVcaPolygonChars];
  char copyChn[kVcaCopyChars];
  uint8_t reserved1[564 - 541];
  int32_t regionType;
  int32_t regionScene;
  VcaRegion regions[kVcaRegions];
  uint8_t tail[4480 - 572 - 4 * 976];
};
static_assert(sizeof(VcaMessage) == 4480);
static_assert(offsetof(VcaMessage, enable) == 4);
static_assert(offsetof(VcaMessage, sensitivity) == 24);
static_assert(offsetof(VcaMessage, time) == 28);
static_assert(offsetof(VcaMessage, size) == 32);
static_assert(offsetof(VcaMessage, tracks) == 36);
static_assert(offsetof(VcaMessage, region) == 40);
static_assert(offsetof(VcaMessage, ignore_time) == 340);
static_assert(offsetof(VcaMessage, objtype) == 344);
static_assert(offsetof(VcaMessage, polygonX) == 348);
static_assert(offsetof(VcaMessage, polygonY) == 412);
static_assert(offsetof(VcaMessage, copyChn) == 476);
static_assert(offsetof(VcaMessage, regionType) == 564);
static_assert(offsetof(VcaMessage, regionScene) == 568);
static_assert(offsetof(VcaMessage, regions) == 572);
static_assert(offsetof(VcaMessage, regions[1].polygons[2].pair.polygonX) ==
              572 + 976 + 80 + 2 * 192);

struct VcaLeftRemoveRegion {  // 976 bytes
  int32_t leftEnable;
  int32_t removeEnable;
  uint8_t reserved[72];
  VcaPolygon polygons[kVcaPolygons - 1];
  VcaPolygonPair last;
};
static_assert(sizeof(VcaLeftRemoveRegion) == 976);

// Polygon j of a region (j < 5).
template <class Region>
VcaPolygonPair& polygon_of(Region& region, size_t j) {
  return j + 1 < kVcaPolygons ? region.polygons[j].pair : region.last;
}

// Object left/removed (request 3269, reply 8268).
struct VcaLeftRemove {  // 4468 bytes
  int32_t channel;
  int32_t sensitivity;
  int32_t left_enable;
  int32_t remove_enable;
  int32_t min_time;
  uint8_t reserved0[16];
  char region[kVcaMapChars];
  char polygonX[kVcaPolygonChars];
  char polygonY[kVcaPolygonChars];
  char copyChn[kVcaCopyChars];
  uint8_t reserved1[552 - 529];
  int32_t regionType;
  int32_t regionScene;
  VcaLeftRemoveRegion regions[kVcaRegions];
  uint8_t tail[4468 - 560 - 4 * 976];
};
static_assert(sizeof(VcaLeftRemove) == 4468);
static_assert(offsetof(VcaLeftRemove, sensitivity) == 4);
static_assert(offsetof(VcaLeftRemove, left_enable) == 8);
static_assert(offsetof(VcaLeftRemove, remove_enable) == 12);
static_assert(offsetof(VcaLeftRemove, min_time) == 16);
static_assert(offsetof(VcaLeftRemove, region) == 36);
static_assert(offsetof(VcaLeftRemove, polygonX) == 336);
static_assert(offsetof(VcaLeftRemove, polygonY) == 400);
static_assert(offsetof(VcaLeftRemove, regionType) == 552);
static_assert(offsetof(VcaLeftRemove, regionScene) == 556);
static_assert(offsetof(VcaLeftRemove, regions) == 560);
static_assert(offsetof(VcaLeftRemove, regions[1].removeEnable) == 564 + 976);
static_assert(offsetof(VcaLeftRemove, regions[1].polygons[2].pair.polygonX) == 640 + 976 + 2 * 192);
static_assert(offsetof(VcaLeftRemove, regions[1].polygons[2].pair.polygonY) ==
              640 + 976 + 2 * 192 + 64);

struct VcaLinePoints {  // 124 bytes
  int32_t startX;
  int32_t startY;
  int32_t stopX;
  int32_t stopY;
  int32_t direction;
  uint8_t reserved[104];
};
static_assert(sizeof(VcaLinePoints) == 124);

// Line crossing (request 3248, reply 8241).
struct VcaLine {  // 612 bytes
  int32_t channel;
  int32_t enable;
  int32_t width;  // the camera's coordinate space
  int32_t height;
  VcaLinePoints lines[kVcaLines];
  int32_t objtype;
  char copyChn[kVcaCopyChars];
  uint8_t tail[612 - 581];
};
static_assert(sizeof(VcaLine) == 612);
static_assert(offsetof(VcaLine, lines) == 16);
static_assert(offsetof(VcaLine, lines[1].direction) == 16 + 124 + 16);
static_assert(offsetof(VcaLine, objtype) == 512);
static_assert(offsetof(VcaLine, copyChn) == 516);

struct VcaCountLine {  // 56 bytes
  int8_t lineEnable;
  int8_t autoResetEnable;
  int8_t direction;
  int8_t showCntEnable;
  int32_t startX;
  int32_t startY;
  int32_t stopX;
  int32_t stopY;
  int32_t autoResetWeekday;
  int32_t autoResetHour;
  int32_t autoResetMin;
  int32_t autoResetSec;
  int32_t alarmEnable;
  int32_t alarmThreshold[4];
};
static_assert(sizeof(VcaCountLine) == 56);
static_assert(offsetof(VcaCountLine, startX) == 4);
static_assert(offsetof(VcaCountLine, alarmEnable) == 36);
static_assert(offsetof(VcaCountLine, alarmThreshold) == 40);

// People counting (request 3254, reply 8253).
struct VcaPeople {  // 28072 bytes
  int32_t channel;
  int32_t width;
  int32_t height;
  int32_t osdEnable;
  int32_t osdFontSize;
  int32_t osdTextPos;
  int32_t sensitivity;
  int32_t osdType;
  int32_t lineNum;
  int32_t triggerType;
  int32_t triggerEnable;
  int32_t totalAlarmEnable;
  int32_t totalAlarmThreshold[4];
  VcaCountLine lines[kVcaLines];
  char copyChn[kVcaCopyChars];
  uint8_t reserved[356 - 353];
  ScheduleBlock effective;  // the effective schedule, second generation
  uint8_t tail[4];
};
static_assert(sizeof(VcaPeople) == 28072);
static_assert(offsetof(VcaPeople, osdType) == 28);
static_assert(offsetof(VcaPeople, lineNum) == 32);
static_assert(offsetof(VcaPeople, totalAlarmThreshold) == 48);
static_assert(offsetof(VcaPeople, lines) == 64);
static_assert(offsetof(VcaPeople, copyChn) == 288);
static_assert(offsetof(VcaPeople, effective) == 356);

struct VcaBox {
  int32_t startX;
  int32_t startY;
  int32_t width;
  int32_t height;
};

// Analytics settings (request 3260, reply 8259).
struct VcaSettings {  // 64 bytes
  int32_t channel;
  int32_t vcaType;  // answers only
  int32_t fps;
  int32_t mode;
  int32_t installation;
  int32_t analysis;
  int32_t width;
  int32_t height;
  VcaBox min;
  VcaBox max;
};
static_assert(sizeof(VcaSettings) == 64);
static_assert(offsetof(VcaSettings, width) == 24);
static_assert(offsetof(VcaSettings, min) == 32);
static_assert(offsetof(VcaSettings, max) == 48);

// Clearing the people count (request 3261, reply 8261).
struct VcaClearPeople {  // 20 bytes
  int32_t channel;
  int32_t zero[2];
  int32_t line;
  int32_t resetdb;
};
static_assert(sizeof(VcaClearPeople) == 20);

struct VcaLine2Entry {  // 128 bytes
  int32_t enable;
  int32_t startX;
  int32_t startY;
  int32_t stopX;
  int32_t stopY;
  int32_t direction;
  int32_t objtype;
  uint8_t reserved[100];
};
static_assert(sizeof(VcaLine2Entry) == 128);

// Second-generation camera lines (request 1210, reply 6209). lineType,
// lineScene and the copy text sit after the four lines.
struct VcaLine2 {  // 628 bytes
  int32_t channel;
  int32_t sensitivity;
  int32_t width;
  int32_t height;
  VcaLine2Entry lines[kVcaLines];
  int32_t lineType;
  int32_t lineScene;
  char copyChn[kVcaCopyChars];
  uint8_t tail[628 - 601];
};
static_assert(sizeof(VcaLine2) == 628);
static_assert(offsetof(VcaLine2, lines) == 16);
static_assert(offsetof(VcaLine2, lines[1].startX) == 20 + 128);
static_assert(offsetof(VcaLine2, lines[1].stopY) == 32 + 128);
static_assert(offsetof(VcaLine2, lines[1].direction) == 36 + 128);
static_assert(offsetof(VcaLine2, lines[1].objtype) == 40 + 128);
static_assert(offsetof(VcaLine2, lineType) == 528);

constexpr int kVcaBoxKeys = 8;
constexpr int kVcaBoxEntries = 8;

// Second-generation camera analytics settings (request 1212, reply 6211):
// boxes[j][i] is box key j of entry i; the copy text follows them.
struct VcaSettings2 {  // 356 bytes
  int32_t channel;
  int32_t reserved0;
  int32_t fps;
  int32_t mode;
  int32_t installation;
  int32_t analysis;
  int32_t width;
  int32_t height;
  int32_t boxes[kVcaBoxKeys][kVcaBoxEntries];
  char copyChn[kVcaCopyChars];
  uint8_t tail[356 - 353];
};
static_assert(sizeof(VcaSettings2) == 356);
static_assert(offsetof(VcaSettings2, fps) == 8);
static_assert(offsetof(VcaSettings2, height) == 28);
static_assert(offsetof(VcaSettings2, boxes) == 32);
static_assert(offsetof(VcaSettings2, boxes[2][3]) == 32 + 32 * 2 + 4 * 3);

// ---- licence plates --------------------------------------------------------------------

constexpr int32_t kReqAnprModeChanged = 1416;   // AnprModeNotice, no reply
constexpr int32_t kReqAnprSettings = 3289;      // int32 channel, reply 8289
constexpr int32_t kReqSetAnprSettings = 3290;   // 5496 bytes, reply 8290
constexpr int32_t kReqAnprSupport = 3293;       // int32 channel, reply 8293
constexpr int32_t kReqAnprState = 1215;         // int32 channel, reply 6215
constexpr int32_t kReqAnprWildcards = 1207;     // int32 channel, reply 6207
constexpr int32_t kReqSetAnprWildcards = 1208;  // AnprWildcards, reply 6208

constexpr int kAnprWildcards = 9;
constexpr int kAnprFormatChars = 16;

struct AnprModeNotice {  // 8 bytes
  int32_t channel;
  int32_t mode;
};
static_assert(sizeof(AnprModeNotice) == 8);

// Three int32: {chnid, vca_support, vca_version} or {chnid, state, zoomNumber}.
struct AnprTriple {
  int32_t values[3];
};
static_assert(sizeof(AnprTriple) == 12);

struct AnprWildcards {  // 228 bytes
  int32_t channel;
  int32_t filter;
  int32_t enable[kAnprWildcards];
  int32_t cr_count[kAnprWildcards];
  char format[kAnprWildcards][kAnprFormatChars];
  int32_t maxPlateCharNum;
};
static_assert(sizeof(AnprWildcards) == 228);
static_assert(offsetof(AnprWildcards, enable) == 8);
static_assert(offsetof(AnprWildcards, cr_count) == 44);
static_assert(offsetof(AnprWildcards, format) == 80);
static_assert(offsetof(AnprWildcards, maxPlateCharNum) == 224);

struct AnprArea {  // 80 bytes: a named box
  char name[64];
  int32_t startX;
  int32_t startY;
  int32_t endX;
  int32_t endY;
};
static_assert(sizeof(AnprArea) == 80);

struct AnprPolygon {  // 192 bytes
  char name[64];
  char polygonX[64];
  char polygonY[64];
};
static_assert(sizeof(AnprPolygon) == 192);

constexpr int kAnprRegions = 64;
constexpr int kAnprAreas = 4;
constexpr int kAnprPresets = 4;

// The camera's recognition settings (reply 8289, request 3290).
struct AnprSettings {  // 5496 bytes
  int32_t chnid;
  int32_t enable;
  int32_t resolution_width;
  int32_t resolution_height;
  int32_t area_x;
  int32_t area_y;
  int32_t area_width;
  int32_t area_height;
  int32_t day_night_mode_enable;
  int32_t scene;
  int32_t direction_enable;
  int32_t region_enable;
  int32_t roiid_enable;
  int32_t process_mode;
  int32_t repeat_check_time_value;
  int32_t repeat_check_time_unit;
  int32_t post_enable;
  int32_t post_type;
  int32_t post_tcp_port;
  char post_http_user[64];
  char post_http_password[64];
  char post_http_url[512];
  int32_t confidence;
  char region[kAnprRegions][32];
  char cur_area[32];
  int32_t in_night_mode;
  int32_t platecolorEnable;
  int32_t vehicletypeEnable;
  int32_t vehiclecolorEnable;
  AnprArea roi[kAnprAreas];
  AnprArea preset[kAnprPresets][kAnprAreas];
  uint8_t reserved[4680 - 4416];  // left 0, never answered
  int32_t night_mode_enable;
  int32_t night_mode_level;
  int32_t night_mode_starthour;
  int32_t night_mode_startminute;
  int32_t night_mode_stophour;
  int32_t night_mode_stopminute;
  int32_t night_mode_effective_mode;
  int32_t jsonSupport;
  int32_t irLedExternalSupport;
  int32_t vehicleEnhancement;
  int32_t vehicleBrandEnable;
  AnprPolygon normalPolygons[kAnprAreas];
  int32_t aitype;
};
static_assert(sizeof(AnprSettings) == 5496);
static_assert(offsetof(AnprSettings, post_tcp_port) == 72);
static_assert(offsetof(AnprSettings, post_http_user) == 76);
static_assert(offsetof(AnprSettings, post_http_password) == 140);
static_assert(offsetof(AnprSettings, post_http_url) == 204);
static_assert(offsetof(AnprSettings, confidence) == 716);
static_assert(offsetof(AnprSettings, region) == 720);
static_assert(offsetof(AnprSettings, cur_area) == 2768);
static_assert(offsetof(AnprSettings, in_night_mode) == 2800);
static_assert(offsetof(AnprSettings, vehiclecolorEnable) == 2812);
static_assert(offsetof(AnprSettings, roi) == 2816);
static_assert(offsetof(AnprSettings, preset) == 3136);
static_assert(offsetof(AnprSettings, preset[1]) == 3456);
static_assert(offsetof(AnprSettings, preset[3]) == 4096);
static_assert(offsetof(AnprSettings, reserved) == 4416);
static_assert(offsetof(AnprSettings, night_mode_enable) == 4680);
static_assert(offsetof(AnprSettings, night_mode_effective_mode) == 4704);
static_assert(offsetof(AnprSettings, jsonSupport) == 4708);
static_assert(offsetof(AnprSettings, irLedExternalSupport) == 4712);
static_assert(offsetof(AnprSettings, vehicleEnhancement) == 4716);
static_assert(offsetof(AnprSettings, vehicleBrandEnable) == 4720);
static_assert(offsetof(AnprSettings, normalPolygons) == 4724);
static_assert(offsetof(AnprSettings, aitype) == 5492);

#pragma pack(pop)
