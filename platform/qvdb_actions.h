// Settings of the actions an event starts (white LED, warning light, HTTP
// notification, PTZ action) and the alarm audio file table.
//
// One set of functions serves every event source: white-LED, warning-light
// and HTTP-notification settings are kept under a table name per event source
// ("motion_white_led_params", "alarm_chnIn%d_warning_light_params", ...),
// addressed by a query record (event index, table name). In the file each kind
// is one SQLite table ("white_led_params", "warning_light_params",
// "http_notification_params") whose column "name" holds that table name. PTZ
// action entries live in "ptz_action_params" (people counting:
// "peoplecnt_ptz_action_params"), addressed by PTZ event type and source channel.
//
// Lists are stored as rows in the order given, one row per entry:
// - white LED and warning light: the entries of one event index up to the last
//   one in use (an entry whose chnid, mode and time are all 0 is unused);
// - PTZ actions: the entries whose "acto_ptz_channel" is above 0 (0 marks an
//   empty entry), identified by (event type, source channel, PTZ channel).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb.h"

inline constexpr int kActionParamEntries = 16;  // white LED / warning light entries per index
inline constexpr int kPtzActionEntries = 64;
inline constexpr int kPeoplecntPtzEntries = 16;
inline constexpr int kAlarmAudioFiles = 10;
inline constexpr int kPeoplecntPtzEventType = 20;

#pragma pack(push, 1)

// Query record of the named parameter tables.
struct DbTableQuery {
  int32_t index;   // event index (channel, input, group ...)
  char table[64];  // table name, NUL-terminated
};
static_assert(sizeof(DbTableQuery) == 68);
static_assert(offsetof(DbTableQuery, table) == 4);

// White-LED entry (also people-counting white LED).
struct WhiteLedParam {
  int32_t index;  // event index
  int32_t chnid;  // "chnid"
  int32_t mode;   // "mode"
  int32_t time;   // "time"
};
static_assert(sizeof(WhiteLedParam) == 16);
static_assert(offsetof(WhiteLedParam, chnid) == 4);
static_assert(offsetof(WhiteLedParam, mode) == 8);
static_assert(offsetof(WhiteLedParam, time) == 12);

// The entries of one event index (256 bytes).
struct WhiteLedParams {
  WhiteLedParam entries[kActionParamEntries];
};
static_assert(sizeof(WhiteLedParams) == 256);

// Warning-light entry.
struct WarningLightParam {
  int32_t index;  // event index
  int32_t chnid;  // "chnid"
  uint8_t unused[8];
  int32_t time;  // "time"
  uint8_t unused2[4];
};
static_assert(sizeof(WarningLightParam) == 24);
static_assert(offsetof(WarningLightParam, chnid) == 4);
static_assert(offsetof(WarningLightParam, time) == 16);

// The entries of one event index (384 bytes).
struct WarningLightParams {
  WarningLightParam entries[kActionParamEntries];
};
static_assert(sizeof(WarningLightParams) == 384);

// HTTP notification settings of one channel (680 bytes).
struct HttpNotifyParam {
  int32_t chnId;      // "chnId"
  char url[513];      // "url", at most 512 characters
  char username[97];  // "username", at most 96
  char password[65];  // "password", at most 64
  uint8_t padding;
};
static_assert(sizeof(HttpNotifyParam) == 680);
static_assert(offsetof(HttpNotifyParam, url) == 4);
static_assert(offsetof(HttpNotifyParam, username) == 517);
static_assert(offsetof(HttpNotifyParam, password) == 614);

// PTZ action entry (28 bytes; an area holds 64, 1792 bytes).
struct PtzActionParam {
  int32_t chn_id;            // source channel of the event
  int32_t acto_ptz_channel;  // PTZ channel counted from 1; 0 = empty entry
  int32_t reserved;          // left 0
  int32_t acto_ptz_type;     // 1 preset, 2 patrol, 3 pattern
  int32_t acto_ptz_preset;
  int32_t acto_ptz_patrol;
  int32_t acto_ptz_pattern;
};
static_assert(sizeof(PtzActionParam) == 28);
static_assert(offsetof(PtzActionParam, acto_ptz_channel) == 4);
static_assert(offsetof(PtzActionParam, acto_ptz_type) == 12);
static_assert(offsetof(PtzActionParam, acto_ptz_pattern) == 24);
static_assert(sizeof(PtzActionParam) * kPtzActionEntries == 1792);

// Alarm audio file record (136 bytes), as the audio file routes exchange it
// with the core daemon.
struct AlarmAudioFile {
  int32_t id;      // "id", 0 to 9
  int32_t enable;  // "enable": 1 = in use
  char name[128];  // "name": the file name, Base64 (URL alphabet)
};
static_assert(sizeof(AlarmAudioFile) == 136);
static_assert(offsetof(AlarmAudioFile, name) == 8);

#pragma pack(pop)

// A query record for (event index, table name); the name is cut to 63 characters.
DbTableQuery db_table_query(int32_t index, const char* table);

// ---- white LED ---------------------------------------------------------------------
// entries: 16; *count gets the number stored (0 when none).
int read_whiteled_params(const char* path, const DbTableQuery* query, WhiteLedParam* entries,
                         int* count);
[[nodiscard]] int write_whiteled_params_all(const char* path, const DbTableQuery* query,
                                            const WhiteLedParam* entries);
// The entries (16) under every event index whose bit is set in the mask.
[[nodiscard]] int copy_whiteled_params(const char* path, const char* table,
                                       const WhiteLedParam* entries, uint64_t mask);
// People-counting white LED, per counting group.
int read_peoplecnt_wled_params(const char* path, int32_t group, WhiteLedParam* entries, int* count);
[[nodiscard]] int write_peoplecnt_wled_params_all(const char* path, int32_t group,
                                                  const WhiteLedParam* entries);

// ---- warning light -------------------------------------------------------------------
int read_warning_light_params(const char* path, const DbTableQuery* query,
                              WarningLightParam* entries, int* count);
[[nodiscard]] int write_warning_light_params_all(const char* path, const DbTableQuery* query,
                                                 const WarningLightParam* entries);
[[nodiscard]] int copy_warning_light_params(const char* path, const char* table,
                                            const WarningLightParam* entries, uint64_t mask);

// ---- HTTP notification -----------------------------------------------------------------
// One record per channel (query->index), stored with "chnId" = that channel.
int read_http_notification_params(const char* path, const DbTableQuery* query,
                                  HttpNotifyParam* record);
[[nodiscard]] int write_http_notification_params(const char* path, const DbTableQuery* query,
                                                 const HttpNotifyParam* record);
[[nodiscard]] int copy_http_notification_params(const char* path, const char* table,
                                                const HttpNotifyParam* record, uint64_t mask);
// A whole list in stored order (entries whose "chnId" may repeat, such as -1
// for "not configured"): read at most `max`, or replace all with `count`.
int read_http_notification_params_init(const char* path, const char* table,
                                       HttpNotifyParam* entries, int max, int* count);
[[nodiscard]] int write_http_notification_params_batch(const char* path, const char* table,
                                                       const HttpNotifyParam* entries, int count);

// ---- PTZ action entries ------------------------------------------------------------------
// area: 64 entries; *count gets the number read.
int read_ptz_params(const char* path, PtzActionParam* area, int32_t event_type, int32_t channel,
                    int* count);
// Replaces the entries of (event type, channel) by the non-empty ones of area[64].
[[nodiscard]] int write_ptz_params_all(const char* path, const PtzActionParam* area,
                                       int32_t event_type, int32_t channel);
// Adds or changes one entry (identified by its source and PTZ channel).
[[nodiscard]] int write_ptz_params(const char* path, const PtzActionParam* entry,
                                   int32_t event_type);
// The entry of PTZ channel `old_ptz_channel` (same source channel) becomes `entry`.
[[nodiscard]] int update_ptz_params(const char* path, const PtzActionParam* entry,
                                    int32_t event_type, int32_t old_ptz_channel);
[[nodiscard]] int delete_ptz_params(const char* path, int32_t event_type, int32_t channel,
                                    int32_t ptz_channel);
// The non-empty entries of area[64] for every source channel whose bit is set.
[[nodiscard]] int copy_ptz_params_all(const char* path, const PtzActionParam* area,
                                      int32_t event_type, uint64_t mask);

// People counting (PTZ event type 20) keeps its own table, 16 entries per group.
int read_peoplecnt_ptz_params(const char* path, PtzActionParam* area, int32_t channel, int* count);
// The non-empty ones of area[64], at most 16.
[[nodiscard]] int write_peoplecnt_ptz_params_ex(const char* path, const PtzActionParam* area,
                                                int32_t channel);
[[nodiscard]] int write_peoplecnt_ptz_params(const char* path, const PtzActionParam* entry);
[[nodiscard]] int update_peoplecnt_ptz_params(const char* path, const PtzActionParam* entry,
                                              int32_t old_ptz_channel);
[[nodiscard]] int delete_peoplecnt_ptz_params(const char* path, int32_t channel,
                                              int32_t ptz_channel);

// ---- alarm audio files ------------------------------------------------------------------
// files: 10, entry n holding the file of id n (untouched when not stored);
// *count gets the number of stored files.
int read_alarm_audio_file(const char* path, AlarmAudioFile* files, int* count);
[[nodiscard]] int write_alarm_audio_file(const char* path, const AlarmAudioFile* file);
[[nodiscard]] int delete_alarm_audio_file(const char* path, int32_t id);

extern const DbRecord kAlarmAudioFileRecord;

// The descriptors of the stored rows (for the record catalogue): each holds
// the table name ("name") or event type beside the entry.
extern const DbRecord kWhiteLedRecord;
extern const DbRecord kWarningLightRecord;
extern const DbRecord kHttpNotifyRecord;
extern const DbRecord kPtzActionRecord;  // kind kPtzActionKind or kPeoplecntPtzActionKind
inline constexpr const char* kPtzActionKind = "ptz_action_params";
inline constexpr const char* kPeoplecntPtzActionKind = "peoplecnt_ptz_action_params";
