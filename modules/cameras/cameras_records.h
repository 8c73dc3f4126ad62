// Settings records of the camera module kept in the configuration database:
// the camera record (connection settings of a channel), the channel name
// record, the protocol and model catalogue, the recorder-side privacy masks
// that a deleted channel loses, and the exposure list of a channel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb.h"

#pragma pack(push, 1)
// The camera record, one per channel (table "camera", key "id").
struct CameraRecord {
  int32_t id;      // channel 0..63
  int32_t type;    // 1: a channel without a camera (after a delete)
  int32_t enable;  // 0/1
  char userName[64];
  char password[64];
  char ipAddr[64];
  int32_t mainRtspPort;
  char mainSourcePath[256];
  int32_t enableSubStream;
  int32_t subRtspPort;
  char subSourcePath[256];
  int32_t managePort;
  int32_t camProtocol;       // model/protocol id: 0 ONVIF, 1 RTSP, 7 no address, ...
  int32_t transmitProtocol;  // 0 UDP, 3 RTSP over HTTPS, else TCP
  int32_t recordStreamType;  // 0..2
  int32_t syncTime;
  char mainrtspurl[256];
  char subrtspurl[256];
  int32_t poechannel;
  char mac_addr[32];
  int32_t physicalport;
  int32_t anr;
  int32_t minorid;
  char ddns[64];
  int32_t httpsPort;
};

// The channel name and on-screen display record (128 bytes, table "osd", key
// "chnid"): what the recorder draws over the channel's picture.
struct OsdRecord {
  int32_t chnid;
  char name[64];
  int32_t showName;                               // 0/1
  int32_t showDate;                               // 0/1
  int32_t showWeek;                               // 0/1
  int32_t dateFormat;                             // 0..3
  int32_t timeFormat;                             // 0/1
  double datePosX, datePosY, namePosX, namePosY;  // >= 0
  int32_t alpha;                                  // >= 0
  uint8_t reserved[4];
};

// Protocol catalogue entry (table "ipc_protocol", key "id").
struct IpcProtocol {
  int32_t id;
  char name[24];
  int32_t protocolFunction;
  int32_t enable;
  int32_t display_model;
};
// Camera model (table "ipc_model", key "id").
struct IpcModel {
  int32_t id;
  int32_t protocol;
  char name[32];
  int32_t alarm_type;
  int32_t default_model;
};

// Recorder-side privacy masks of a channel (1252 bytes, table "privacy_mask",
// key "chnid"): 24 areas of thirteen int32, of which nine are used.
struct PrivacyArea {
  int32_t area_id, enable, start_x, start_y, area_width, area_height, width, height, fill_color;
  int32_t reserved[4];
};
struct PrivacyMask {
  int32_t chnid;
  PrivacyArea areas[24];
};

// One exposure entry (table "exposure", rows selected by "chnid").
struct ExposureEntry {
  int32_t chnid;
  int32_t exposureTime;
  int32_t gainLevel;
};
#pragma pack(pop)

static_assert(offsetof(CameraRecord, userName) == 12);
static_assert(offsetof(CameraRecord, mainRtspPort) == 204);
static_assert(offsetof(CameraRecord, managePort) == 728);
static_assert(offsetof(CameraRecord, httpsPort) == 1372);
static_assert(sizeof(CameraRecord) == 1376);
static_assert(sizeof(OsdRecord) == 128);
static_assert(offsetof(OsdRecord, showName) == 68);
static_assert(offsetof(OsdRecord, datePosX) == 88);
static_assert(offsetof(OsdRecord, alpha) == 120);
static_assert(sizeof(PrivacyArea) == 52);
static_assert(sizeof(IpcProtocol) == 40);
static_assert(sizeof(IpcModel) == 48);
static_assert(sizeof(PrivacyMask) == 1252);

constexpr int kMaxExposureEntries = 140;

using CT = DbType;
inline constexpr DbField kCameraFields[] = {
    DB_FIELD(CameraRecord, id, "id", CT::I32),
    DB_FIELD(CameraRecord, type, "type", CT::I32),
    DB_FIELD(CameraRecord, enable, "enable", CT::I32),
    DB_FIELD(CameraRecord, userName, "userName", CT::Text),
    DB_FIELD(CameraRecord, password, "password", CT::Text),
    DB_FIELD(CameraRecord, ipAddr, "ipAddr", CT::Text),
    DB_FIELD(CameraRecord, mainRtspPort, "mainRtspPort", CT::I32),
    DB_FIELD(CameraRecord, mainSourcePath, "mainSourcePath", CT::Text),
    DB_FIELD(CameraRecord, enableSubStream, "enableSubStream", CT::I32),
    DB_FIELD(CameraRecord, subRtspPort, "subRtspPort", CT::I32),
    DB_FIELD(CameraRecord, subSourcePath, "subSourcePath", CT::Text),
    DB_FIELD(CameraRecord, managePort, "managePort", CT::I32),
    DB_FIELD(CameraRecord, camProtocol, "camProtocol", CT::I32),
    DB_FIELD(CameraRecord, transmitProtocol, "transmitProtocol", CT::I32),
    // Column "record_stream": the recording settings read it too.
    DB_FIELD_J(CameraRecord, recordStreamType, "record_stream", CT::I32, "recordStreamType"),
    DB_FIELD(CameraRecord, syncTime, "syncTime", CT::I32),
    DB_FIELD(CameraRecord, mainrtspurl, "mainrtspurl", CT::Text),
    DB_FIELD(CameraRecord, subrtspurl, "subrtspurl", CT::Text),
    DB_FIELD(CameraRecord, poechannel, "poechannel", CT::I32),
    DB_FIELD(CameraRecord, mac_addr, "mac_addr", CT::Text),
    DB_FIELD(CameraRecord, physicalport, "physicalport", CT::I32),
    DB_FIELD(CameraRecord, anr, "anr", CT::I32),
    DB_FIELD(CameraRecord, minorid, "minorid", CT::I32),
    DB_FIELD(CameraRecord, ddns, "ddns", CT::Text),
    DB_FIELD(CameraRecord, httpsPort, "httpsPort", CT::I32),
};
inline constexpr DbRecord kCameraRecord{"camera", "id", sizeof(CameraRecord), kCameraFields};

inline constexpr DbField kOsdFields[] = {
    DB_FIELD_J(OsdRecord, chnid, "chnid", CT::I32, "camId"),
    DB_FIELD_J(OsdRecord, name, "name", CT::Text, "camName"),
    DB_FIELD(OsdRecord, showName, "showName", CT::I32),
    DB_FIELD(OsdRecord, showDate, "showDate", CT::I32),
    DB_FIELD(OsdRecord, showWeek, "showWeek", CT::I32),
    DB_FIELD(OsdRecord, dateFormat, "dateFormat", CT::I32),
    DB_FIELD(OsdRecord, timeFormat, "timeFormat", CT::I32),
    DB_FIELD(OsdRecord, datePosX, "datePosX", CT::F64),
    DB_FIELD(OsdRecord, datePosY, "datePosY", CT::F64),
    DB_FIELD(OsdRecord, namePosX, "namePosX", CT::F64),
    DB_FIELD(OsdRecord, namePosY, "namePosY", CT::F64),
    DB_FIELD(OsdRecord, alpha, "alpha", CT::I32),
};
inline constexpr DbRecord kOsdRecord{"osd", "chnid", sizeof(OsdRecord), kOsdFields};

inline constexpr DbField kIpcProtocolFields[] = {
    DB_FIELD(IpcProtocol, id, "id", CT::I32),
    DB_FIELD(IpcProtocol, name, "name", CT::Text),
    DB_FIELD(IpcProtocol, protocolFunction, "protocolFunction", CT::I32),
    DB_FIELD(IpcProtocol, enable, "enable", CT::I32),
    DB_FIELD(IpcProtocol, display_model, "display_model", CT::I32),
};
inline constexpr DbRecord kIpcProtocolRecord{"ipc_protocol", "id", sizeof(IpcProtocol),
                                             kIpcProtocolFields};

inline constexpr DbField kIpcModelFields[] = {
    DB_FIELD(IpcModel, id, "id", CT::I32),
    DB_FIELD_J(IpcModel, protocol, "protocol", CT::I32, ""),  // not in the model list
    DB_FIELD(IpcModel, name, "name", CT::Text),
    DB_FIELD(IpcModel, alarm_type, "alarm_type", CT::I32),
    DB_FIELD(IpcModel, default_model, "default_model", CT::I32),
};
inline constexpr DbRecord kIpcModelRecord{"ipc_model", "id", sizeof(IpcModel), kIpcModelFields};

inline constexpr DbField kPrivacyMaskFields[] = {
    DB_FIELD(PrivacyMask, chnid, "chnid", CT::I32),
    DB_FIELD(PrivacyMask, areas, "areas", CT::I32),  // 312 integers, 13 per area
};
inline constexpr DbRecord kPrivacyMaskRecord{"privacy_mask", "chnid", sizeof(PrivacyMask),
                                             kPrivacyMaskFields};

inline constexpr DbField kExposureFields[] = {
    DB_FIELD_J(ExposureEntry, chnid, "chnid", CT::I32, ""),
    DB_FIELD(ExposureEntry, exposureTime, "exposureTime", CT::I32),
    DB_FIELD(ExposureEntry, gainLevel, "gainLevel", CT::I32),
};
inline constexpr DbRecord kExposureRecord{"exposure", nullptr, sizeof(ExposureEntry),
                                          kExposureFields};

// ---- named access (path: nvr::qvdb_path()) ----------------------------------------------
int read_camera(const char* path, CameraRecord* record, int32_t channel);
[[nodiscard]] int write_camera(const char* path, const CameraRecord* record);
int read_osd(const char* path, OsdRecord* record, int32_t channel);
[[nodiscard]] int write_osd(const char* path, const OsdRecord* record);
// The channel's name into buffer[size]; "CAM<channel + 1>" when none is stored.
void read_osd_name(const char* path, char* buffer, size_t size, int32_t channel);
// Every protocol in id order (at most `max`); *count gets the number read.
int read_ipc_protocols(const char* path, IpcProtocol* array, int max, int* count);
[[nodiscard]] int write_ipc_protocol(const char* path, const IpcProtocol* record);
int read_ipc_models_by_protocol(const char* path, IpcModel* array, int max, int* count,
                                int32_t protocol);
int read_ipc_model(const char* path, IpcModel* record, int32_t id);
int read_privacy_mask(const char* path, PrivacyMask* record, int32_t channel);
[[nodiscard]] int write_privacy_mask(const char* path, const PrivacyMask* record);
int read_exposure(const char* path, ExposureEntry* list, int32_t channel, int* count);
[[nodiscard]] int write_exposure(const char* path, const ExposureEntry* list, int32_t channel,
                                 int count);

// ---- people counting, POS, report auto backup, face capture ---------------------------------

constexpr int kPeoplecntGroups = 9;
constexpr int kPosDevices = 8;
constexpr int kReportBackups = 4;

#pragma pack(push, 1)
// A people-counting group (480 bytes, table "peoplecnt_settings", key "groupid").
struct PeoplecntSetting {
  int32_t groupid;
  int32_t enable;
  int32_t stays;
  int32_t liveview_auto_reset;
  int32_t auto_day;
  int32_t liveview_font_size;
  char name[64];
  char auto_day_time[64];
  char tri_channels[65];
  char liveview_green_tips[128];
  char liveview_red_tips[128];
  uint8_t reserved[7];
};

// A POS device (368 bytes, table "pos_settings", key "id").
struct PosSetting {
  int32_t id;
  int32_t enable;
  char name[32];
  int32_t protocol;
  int32_t connectionMode;
  char ip[64];
  int32_t liveviewDisplay;
  int32_t displayChannel;
  int32_t startX;
  int32_t startY;
  int32_t areaWidth;
  int32_t areaHeight;
  int32_t characterEncodeing;
  int32_t fontSize;
  int32_t fontColor;
  int32_t overlayMode;
  int32_t displayTime;
  int32_t timeout;
  char privacy1[64];
  char privacy2[64];
  char privacy3[64];
  int32_t port;
  int32_t clearTime;
  int32_t nvrPort;
  uint8_t reserved[4];
};

// A report auto backup (152 bytes, table "peoplecnt_auto_backup", key "reportType").
struct ReportBackup {
  int32_t reportType;
  int32_t enable;
  char triChannels[65];
  char triGroups[19];
  int32_t stayLengthType;
  int32_t stayLengthValue;
  int32_t backupDay;
  char backupTime[32];
  int32_t fileFormat;
  int32_t timeRange;
  int32_t backupTo;
  int32_t lineMask;
};

// What a people-counting group triggers (table "peoplecnt_event", key "chnid" = group).
struct PeoplecntEvent {
  int32_t chnid;
  int32_t triAlarms;
  int32_t interval;
  int32_t email_interval;
  int32_t email_pic_enable;
  char tri_channels_pic[65];
  int32_t ptz_interval;
  int32_t alarmout_interval;
  int32_t white_interval;
  char tri_chn_alarms[2][65];
  int32_t audioId;
};

// What a POS device or a camera's face capture triggers (tables "pos_event"
// by POS id, "face_event" by channel; key "id").
struct ActionEvent {
  int32_t id;
  int32_t triAlarms;
  int32_t interval;
  int32_t audioId;
  int32_t email_interval;
  int32_t email_pic_enable;
  char tri_channels_pic[65];
  int32_t ptz_interval;
  int32_t white_interval;
  int32_t http_notification_interval;
  char tri_chn_alarms[2][65];
  int32_t alarmout_interval;
  char triChannels[65];
  uint64_t tri_channel_mask;
};
#pragma pack(pop)

static_assert(sizeof(PeoplecntSetting) == 480);
static_assert(offsetof(PeoplecntSetting, name) == 24);
static_assert(offsetof(PeoplecntSetting, tri_channels) == 152);
static_assert(offsetof(PeoplecntSetting, liveview_red_tips) == 345);
static_assert(sizeof(PosSetting) == 368);
static_assert(offsetof(PosSetting, ip) == 48);
static_assert(offsetof(PosSetting, privacy1) == 160);
static_assert(offsetof(PosSetting, nvrPort) == 360);
static_assert(sizeof(ReportBackup) == 152);
static_assert(offsetof(ReportBackup, stayLengthType) == 92);
static_assert(offsetof(ReportBackup, lineMask) == 148);

extern const DbRecord kPeoplecntSettingRecord;
extern const DbRecord kPosSettingRecord;
extern const DbRecord kReportBackupRecord;
extern const DbRecord kPeoplecntEventRecord;
extern const DbRecord kActionEventRecord;  // "pos_event"; face: table "face_event"

// records[9] / [8] / [4] by key; places not stored keep what they hold.
int read_peoplecnt_settings(const char* path, PeoplecntSetting* records);
[[nodiscard]] int write_peoplecnt_settings(const char* path, const PeoplecntSetting* records,
                                           int count);
int read_pos_settings(const char* path, PosSetting* records);
int read_pos_setting(const char* path, PosSetting* record, int32_t id);
[[nodiscard]] int write_pos_setting(const char* path, const PosSetting* record);
int read_peoplecnt_auto_backup(const char* path, ReportBackup* records);
[[nodiscard]] int write_peoplecnt_auto_backup(const char* path, const ReportBackup* records,
                                              int count);

// The request layout of the face capture configuration (FaceConfig, request 3381).
extern const DbRecord kFaceConfigLayout;
