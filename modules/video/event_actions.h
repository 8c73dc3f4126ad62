// The action object: how every event source (motion, video loss, alarm
// inputs, smart events, licence plates, people counting, camera alarm inputs)
// names what it triggers, and where it keeps it.
//
// An event source is described once (EventSource): its settings record (a
// descriptor whose fields carry the action keys as JSON keys: "triAlarms",
// "interval", "audioId", "email_interval", ...), the schedule tables of its
// actions and the tables of its action parameters, and its PTZ event type.
// One builder makes the answer object from the stored settings in the order a
// route lists its keys; one reader stores what a request object carries; one
// copier copies a source's action tables to other channels or inputs.
//
// Record conventions the action layer relies on (columns, kept out of JSON):
//   "tri_channel_mask"   U64      mask of the "triChannels" text
//   "tri_chn_alarm0/1"   Text 65  the two texts of "triChnAlarms"
#pragma once

#include <json-c/json.h>

#include <cstdint>
#include <span>

#include "frame/json.h"
#include "platform/qvdb.h"
#include "platform/qvdb_schedule.h"

namespace nvr::events {

inline constexpr int kChannels = 64;
inline constexpr int kMaskTextChars = 64;  // a channel mask text, in 65-byte fields

// Where one event source keeps its settings; a null table: the source has no
// such part (video loss has no effective schedule, for instance).
struct EventSource {
  const DbRecord* record;            // the source's settings record
  const char* record_table;          // table override for the record, or null
  const char* effective;             // schedule "effective": when the source is armed
  const char* audible;               // schedule "audible"
  const char* email;                 // schedule "email"
  const char* ptz;                   // schedule "ptz"
  const char* white;                 // schedule "white" (white LED)
  const char* warning_light;         // schedule "warningLight"
  const char* http;                  // schedule "httpSche"
  const char* white_params;          // "whiteInfo"
  const char* warning_light_params;  // "warningLightInfo"
  const char* http_params;           // "httpParams"
  int32_t ptz_event_type;            // "ptzParams"; -1: none
};

// One key of an answer or request: the JSON key, and the JSON key of the
// record field it stands for when that differs ("alarmId" for field "id").
struct ActionKey {
  const char* key;
  const char* field = nullptr;
};

// The answer object of source `index` (channel, input ...): every key in the
// order given, from the record, the source's tables, or "audioIdMask".
Json build_action_object(const EventSource& source, int32_t index, const void* record,
                         std::span<const ActionKey> keys);

// Stores the schedules and action parameter sets of the source that `object`
// carries (only those present): 0, or -1 when a write failed.
int store_action_tables(const EventSource& source, json_object* object, int32_t index);

// Replaces the record fields whose keys are present in `object` (among
// `keys`; "triChannels" also sets its mask, "triChnAlarms" its two texts).
// True when any was present.
bool apply_action_fields(const EventSource& source, json_object* object, void* record,
                         std::span<const ActionKey> keys);

// The PTZ action entries of a request ("ptzChnId", "ptzType", "ptzParams"):
// true when entries were stored.
bool store_ptz_actions(json_object* object);

// Copies the source's schedules, parameter sets and PTZ action entries of
// `index` to every index whose bit is set in `mask`: 0, or -1 when a write failed.
int copy_action_tables(const EventSource& source, int32_t index, uint64_t mask);

// Copies the record (its key field set per copy) to the masked indexes.
int copy_event_record(const EventSource& source, const void* record, uint64_t mask);

// Record access through the source's descriptor.
int read_event_record(const EventSource& source, void* record, int32_t index);
int write_event_record(const EventSource& source, const void* record);

// records[max] (each record_size bytes) by key: every stored record whose key
// is 0..max-1 lands at its place; places not stored keep what they hold.
int read_event_records(const EventSource& source, void* records, int max);
// The records whose bit is set in `mask` (below max), in one transaction.
int write_event_records(const EventSource& source, const void* records, int max, uint64_t mask);

// A stored schedule (cleared when none is stored).
ScheduleBlock read_schedule(const char* table, int32_t index);

// ---- small shared pieces of the event routes --------------------------------------

// The decimal number that is a route's whole data; nothing for another text.
bool parse_index_text(const char* data, int32_t* index);

// A channel mask text (bounded to 64 characters) into its text field; returns
// its mask (records are packed: the caller assigns it, no pointer to the field).
uint64_t set_channel_text(char* text, size_t size, const char* value);

// The mask of the first `count` elements of array `list` whose value is in
// 0..limit-1 (other elements are skipped; count is bounded by the array).
uint64_t mask_of_list(json_object* list, int64_t count, int32_t limit);

}  // namespace nvr::events
