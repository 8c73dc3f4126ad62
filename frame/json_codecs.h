// JSON codecs shared by the event sources: week schedules, copy sets, alarm
// outputs and the parameters of the white-LED, warning-light, HTTP-notification
// and PTZ actions.
//
// Each codec is a pair: a builder that makes the JSON value from a record
// (returned owned, ready for nvr::json_add), and a reader that takes the value
// under `key` of a parsed request object into a record. Readers return -1 and
// leave the record unchanged when an argument is null or the key is missing,
// so a handler can call every reader of an event and store what the request
// carries. Elements of the wrong JSON type read as 0 or the empty text.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>

#include "frame/json.h"
#include "platform/qvdb_actions.h"
#include "platform/qvdb_schedule.h"

inline constexpr int kScheduleJsonSlots = 12;  // slots per day in JSON
inline constexpr int kScheduleIpcDays = 7;     // days read by the camera form
inline constexpr int kScheduleIpcSlots = 10;   // slots per day read by the camera form

// ---- schedules -----------------------------------------------------------------------
// Built: an array of 8 day arrays of 12 slot objects {"startTime", "endTime",
// "actionType"}. Read: the same nesting with each slot an array
// [start, end, action type]; the block is cleared first, so slots the request
// omits are empty.
nvr::Json get_schedule_json_object(const ScheduleBlock* block);
int get_schedule_by_json(json_object* object, const char* key, ScheduleBlock* block);
nvr::Json get_schedule_json_object_ex(const ScheduleBlock* block);
int get_schedule_by_json_ex(json_object* object, const char* key, ScheduleBlock* block);
// Camera form: built without "actionType", and with empty texts for a day whose
// valid flag is 0; read as 7 days of 10 slots [start, end], marking those days valid.
nvr::Json get_schedule_json_object_ipc(const ScheduleBlock* block);
int get_schedule_by_json_ipc(json_object* object, const char* key, ScheduleBlock* block);

// ---- copy set ----------------------------------------------------------------------------
// The channel mask of the first `count` (under count_key) elements of the array
// under array_key: integers 0 to 63 set their bit, anything else is skipped.
uint64_t get_copy_flag_by_json(json_object* object, const char* array_key, const char* count_key);

// ---- alarm outputs -------------------------------------------------------------------------
#pragma pack(push, 1)
struct AlarmOutEntry {
  int32_t index;  // event index
  int32_t entry;  // 0 or 1
  char list[65];  // channel mask text, at most 64 characters
  uint8_t padding[3];
};
#pragma pack(pop)
static_assert(sizeof(AlarmOutEntry) == 76);
static_assert(offsetof(AlarmOutEntry, list) == 8);

// ["first", "second"]
nvr::Json get_event_chn_alarmout_object(const char* first, const char* second);
// entries[2]: elements 0 and 1 of the array, those present.
int get_event_chn_alarmout_by_object(int32_t index, json_object* object, const char* key,
                                     AlarmOutEntry* entries);

// ---- white LED, people-counting white LED, warning light ------------------------------------
// Built: [{"chnid", "mode", "time"}, ...] from the stored entries of the event index.
nvr::Json get_white_params_json_object(int32_t index, const char* table);
// Read: an array of at most 16 elements, each an object {"chnid", "mode",
// "time"} or an array [chnid, mode, time]: object form when the array's JSON
// text holds "chnid" anywhere. `params` (the event index's 16 entries) is
// cleared first.
int get_white_params_by_json(int32_t index, WhiteLedParams* params, json_object* object,
                             const char* key);
nvr::Json get_pcnt_white_params_json_object(int32_t index);
// As get_white_params_by_json, into entries[16], which are not cleared first.
int get_pcnt_white_params_by_json(int32_t index, WhiteLedParam* entries, json_object* object,
                                  const char* key);
// Keys "chnid" and "time" (array form [chnid, time]).
nvr::Json get_warning_light_params_json_object(int32_t index, const char* table);
int get_warning_light_params_by_json(int32_t index, WarningLightParams* params, json_object* object,
                                     const char* key);

// ---- HTTP notification ----------------------------------------------------------------------
// {"chnId", "url", "username", "password"}
nvr::Json get_http_params_json_object(int32_t channel, const char* table);
// Clears the record, stores the channel and copies "url" (at most 512
// characters), "username" (96) and "password" (64) verbatim.
int get_http_params_by_json(int32_t channel, HttpNotifyParam* record, json_object* object,
                            const char* key);

// ---- PTZ actions ----------------------------------------------------------------------------
// [{"acto_ptz_channel", "acto_ptz_type", "acto_ptz_preset", "acto_ptz_patrol"}, ...]
// for the stored entries of (event type, channel) whose PTZ channel is above 0.
nvr::Json get_ptz_params_json_object(int32_t event_type, int32_t channel);
// area[64] cleared, then one entry per element of the array (at most 64).
int get_ptz_params_by_json(int32_t channel, int32_t event_type, json_object* array,
                           PtzActionParam* area);
// Reads the array and stores it (people counting, type 20, in its own table).
// 1 when stored, 0 otherwise.
int set_ptz_params_by_json(int32_t channel, int32_t event_type, json_object* array);

// ---- other helpers -----------------------------------------------------------------------------
// The parsed request text, or null for a null text or a parse error.
nvr::Json get_request_tokener_json_object(const char* text);
// Bit n set when alarm audio file n (0 to 9) is in use.
int32_t get_audio_file_id_mask();
// 1 for the licence-plate camera models (camera types 11 to 14), else 0.
int32_t on_cgi_is_qv_lpr(int32_t camera_type);
