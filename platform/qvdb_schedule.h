// Week schedules: the 27712-byte schedule block and its storage.
//
// A block holds 8 days (index 0 to 7); a day holds 48 slot places (the JSON
// codecs use the first 12), then its day-valid flag.
//
//   offset  size   field
//   0       32     startTime   slot text, NUL-terminated (at most 31 characters)
//   32      32     endTime
//   64      4      actionType
//   68      4      padding
//   (slot: 72 bytes; day: 48 slots, int32 valid at 3456, padding; 3464 bytes)
//
// Schedules are stored in the table "schedules", one row per schedule table
// name ("motion_effective_schedule", "motion_whiteled_esche", ...) and key
// (channel, input, group ...): columns "name", "id" and "schedule", the block
// as a short JSON text that lists each day's valid flag and its slots up to
// the last one in use, so that the sqlite3 shell shows what is stored. (One
// table for all: every table adds to the schema each run parses.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int kScheduleDays = 8;
inline constexpr int kScheduleSlotPlaces = 48;

#pragma pack(push, 1)
struct ScheduleSlot {
  char startTime[32];  // "startTime", stored as given
  char endTime[32];    // "endTime"
  int32_t actionType;  // "actionType"
  uint8_t padding[4];
};
struct ScheduleDay {
  ScheduleSlot slots[kScheduleSlotPlaces];
  int32_t valid;  // day-valid flag
  uint8_t padding[4];
};
struct ScheduleBlock {
  ScheduleDay days[kScheduleDays];
};
#pragma pack(pop)

static_assert(sizeof(ScheduleSlot) == 72);
static_assert(offsetof(ScheduleSlot, endTime) == 32);
static_assert(offsetof(ScheduleSlot, actionType) == 64);
static_assert(sizeof(ScheduleDay) == 3464);
static_assert(offsetof(ScheduleDay, valid) == 3456);
static_assert(sizeof(ScheduleBlock) == 27712);

// The schedule stored under `key` in `table`; -1 (block unchanged) when not stored.
int db_read_schedule(const char* path, const char* table, int64_t key, ScheduleBlock* block);
[[nodiscard]] int db_write_schedule(const char* path, const char* table, int64_t key,
                                    const ScheduleBlock* block);
// Stores `block` under every key whose bit is set in `channel_mask`, in one transaction.
[[nodiscard]] int db_copy_schedule(const char* path, const char* table, const ScheduleBlock* block,
                                   uint64_t channel_mask);

// The stored text form of a block, and back (false when the text is not one;
// the block is cleared first otherwise).
std::string schedule_to_text(const ScheduleBlock& block);
bool schedule_from_text(const char* text, ScheduleBlock* block);
