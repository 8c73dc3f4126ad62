// Settings records of the record module: holidays, per-channel record
// parameters, the record schedules, and the camera fields recording uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "modules/record/record_wire.h"
#include "platform/qvdb.h"
#include "platform/qvdb_schedule.h"

constexpr int kMaxHolidays = 32;

#pragma pack(push, 1)
// A day on which the holiday column of the schedules applies. The date
// fields mean what the daemon makes of them for each type.
struct Holiday {
  int32_t id;  // 0..31
  char name[256];
  int32_t enable;
  int32_t type;
  int32_t startYear;
  int32_t startMon;
  int32_t startMDay;
  int32_t startMWeek;
  int32_t startWDay;
  int32_t endYear;
  int32_t endMon;
  int32_t endMDay;
  int32_t endMWeek;
  int32_t endWDay;
};

// One channel's record parameters.
struct RecordParams {
  int32_t id;    // channel
  int32_t mode;  // record plan mode 0..2
  int32_t audioEnable;
  int32_t prevRecordOn;  // pre-alarm recording
  int32_t prevRecordDuration;
  int32_t postRecordOn;  // post-alarm recording
  int32_t postRecordDuration;
  int32_t recordExpDate;  // days kept
  uint8_t reserved[40];
};

// A channel's weekly record schedule: the slots and, per day, the whole-day
// enable (the day's valid flag) and the whole-day action type (the word after
// it), then one spare word.
struct RecordSchedule {
  ScheduleBlock block;
  int32_t reserved;
};

// The camera record's fields that recording reads and writes (the camera
// settings keep the rest of the record in the same row).
struct CameraRecordFields {
  int32_t id;
  int32_t enable;
  int32_t protocol;      // model/protocol id: 1 is RTSP
  int32_t recordStream;  // "record_stream": the stream that is recorded, 0..2
  int32_t poeChannel;
  int32_t anr;  // "anr"
};
#pragma pack(pop)

static_assert(sizeof(Holiday) == 308);
static_assert(offsetof(Holiday, name) == 4);
static_assert(offsetof(Holiday, enable) == 260);
static_assert(offsetof(Holiday, endWDay) == 304);
static_assert(sizeof(RecordParams) == 72);
static_assert(sizeof(RecordSchedule) == 27716);
static_assert(sizeof(ScheduleDay) == 3464);
static_assert(offsetof(ScheduleDay, valid) == 3456);

// A day's whole-day action type: the word after the day's valid flag.
inline int32_t wholeday_action(const ScheduleDay& day) {
  int32_t value;
  std::memcpy(&value, day.padding, sizeof value);
  return value;
}
inline void set_wholeday_action(ScheduleDay& day, int32_t value) {
  std::memcpy(day.padding, &value, sizeof value);
}

extern const DbRecord kHolidayRecord;
extern const DbRecord kRecordParamsRecord;
extern const DbRecord kRecordWholedayRecord;
extern const DbRecord kCameraRecordFields;

// The schedule table name of the record schedules.
inline constexpr const char* kRecordScheduleTable = "record_schedule";

int read_holidays(const char* db, Holiday* array, int* count);  // up to kMaxHolidays
int write_holiday(const char* db, const Holiday* holiday);

// Channel `channel`'s parameters; unstored channels read as zero with their id.
int read_record(const char* db, RecordParams* record, int channel);
// All 64 channels, element c for channel c.
int read_records(const char* db, RecordParams* array);
int write_record(const char* db, const RecordParams* record);
// Writes the records whose bit is set in `mask`, in one transaction.
int write_records(const char* db, const RecordParams* array, uint64_t mask);

int read_record_schedule(const char* db, RecordSchedule* schedule, int channel);
// Writes one schedule to every channel in the mask, in one transaction.
int copy_record_schedules(const char* db, const RecordSchedule* schedule, uint64_t mask);

int read_camera_record_fields(const char* db, CameraRecordFields* camera, int channel);
int read_camera_records_fields(const char* db, CameraRecordFields* array);  // 64, by channel
