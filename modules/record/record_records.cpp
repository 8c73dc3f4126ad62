#include "modules/record/record_records.h"

#include <cstring>
#include <vector>

namespace {

// In the order of the holiday list's JSON keys.
constexpr DbField kHolidayFields[] = {
    DB_FIELD(Holiday, id, "id", DbType::I32),
    DB_FIELD(Holiday, enable, "enable", DbType::I32),
    DB_FIELD(Holiday, name, "name", DbType::Text),
    DB_FIELD(Holiday, type, "type", DbType::I32),
    DB_FIELD(Holiday, startYear, "startYear", DbType::I32),
    DB_FIELD(Holiday, startMon, "startMon", DbType::I32),
    DB_FIELD(Holiday, startMDay, "startMDay", DbType::I32),
    DB_FIELD(Holiday, startMWeek, "startMWeek", DbType::I32),
    DB_FIELD(Holiday, startWDay, "startWDay", DbType::I32),
    DB_FIELD(Holiday, endYear, "endYear", DbType::I32),
    DB_FIELD(Holiday, endMon, "endMon", DbType::I32),
    DB_FIELD(Holiday, endMDay, "endMDay", DbType::I32),
    DB_FIELD(Holiday, endMWeek, "endMWeek", DbType::I32),
    DB_FIELD(Holiday, endWDay, "endWDay", DbType::I32),
};

constexpr DbField kRecordParamsFields[] = {
    DB_FIELD(RecordParams, id, "id", DbType::I32),
    DB_FIELD(RecordParams, mode, "mode", DbType::I32),
    DB_FIELD(RecordParams, audioEnable, "audioEnable", DbType::I32),
    DB_FIELD(RecordParams, prevRecordOn, "prevRecordOn", DbType::I32),
    DB_FIELD(RecordParams, prevRecordDuration, "prevRecordDuration", DbType::I32),
    DB_FIELD(RecordParams, postRecordOn, "postRecordOn", DbType::I32),
    DB_FIELD(RecordParams, postRecordDuration, "postRecordDuration", DbType::I32),
    DB_FIELD(RecordParams, recordExpDate, "recordExpDate", DbType::I32),
};

// The whole-day action types of a channel's schedule (the schedule store
// keeps the slots and the day flags).
struct RecordWholeday {
  int32_t id;
  int32_t actionType[kScheduleDays];
};
constexpr DbField kRecordWholedayFields[] = {
    DB_FIELD(RecordWholeday, id, "id", DbType::I32),
    DB_FIELD(RecordWholeday, actionType, "wholedayActionType", DbType::I32),
};

constexpr DbField kCameraFields[] = {
    DB_FIELD(CameraRecordFields, id, "id", DbType::I32),
    DB_FIELD(CameraRecordFields, enable, "enable", DbType::I32),
    DB_FIELD(CameraRecordFields, protocol, "camProtocol", DbType::I32),
    DB_FIELD(CameraRecordFields, recordStream, "record_stream", DbType::I32),
    DB_FIELD(CameraRecordFields, poeChannel, "poechannel", DbType::I32),
    DB_FIELD(CameraRecordFields, anr, "anr", DbType::I32),
};

// Rows keyed by channel into array[64], element c for channel c; channels
// not stored are zero with their id set.
template <class T>
int read_by_channel(const char* db, const DbRecord& desc, T* array) {
  std::vector<T> rows(kRecordChannels);
  int count = 0;
  const int rc = db_read_all(db, desc, rows.data(), kRecordChannels, &count);
  for (int c = 0; c < kRecordChannels; ++c) {
    array[c] = T{};
    array[c].id = c;
  }
  for (int i = 0; i < count; ++i)
    if (rows[i].id >= 0 && rows[i].id < kRecordChannels) array[rows[i].id] = rows[i];
  return rc;
}

}  // namespace

const DbRecord kHolidayRecord = {"holiday", "id", sizeof(Holiday), kHolidayFields};
const DbRecord kRecordParamsRecord = {"record", "id", sizeof(RecordParams), kRecordParamsFields};
const DbRecord kRecordWholedayRecord = {"record_wholeday", "id", sizeof(RecordWholeday),
                                        kRecordWholedayFields};
const DbRecord kCameraRecordFields = {"camera", "id", sizeof(CameraRecordFields), kCameraFields};

int read_holidays(const char* db, Holiday* array, int* count) {
  return db_read_all(db, kHolidayRecord, array, kMaxHolidays, count);
}
int write_holiday(const char* db, const Holiday* holiday) {
  return db_write(db, kHolidayRecord, holiday);
}

int read_record(const char* db, RecordParams* record, int channel) {
  record->id = channel;
  return db_read(db, kRecordParamsRecord, record, channel);
}
int read_records(const char* db, RecordParams* array) {
  return read_by_channel(db, kRecordParamsRecord, array);
}
int write_record(const char* db, const RecordParams* record) {
  return db_write(db, kRecordParamsRecord, record);
}
int write_records(const char* db, const RecordParams* array, uint64_t mask) {
  DbBatch batch(db);
  int rc = 0;
  for (int c = 0; c < kRecordChannels && rc == 0; ++c)
    if (mask & (uint64_t{1} << c)) rc = db_write(db, kRecordParamsRecord, &array[c]);
  return rc == 0 ? batch.commit() : -1;  // a batch not committed is rolled back
}

int read_record_schedule(const char* db, RecordSchedule* schedule, int channel) {
  const int rc = db_read_schedule(db, kRecordScheduleTable, channel, &schedule->block);
  RecordWholeday wholeday{};
  if (db_read(db, kRecordWholedayRecord, &wholeday, channel) == 0)
    for (int d = 0; d < kScheduleDays; ++d)
      set_wholeday_action(schedule->block.days[d], wholeday.actionType[d]);
  return rc;
}

int copy_record_schedules(const char* db, const RecordSchedule* schedule, uint64_t mask) {
  RecordWholeday wholeday{};
  for (int d = 0; d < kScheduleDays; ++d)
    wholeday.actionType[d] = wholeday_action(schedule->block.days[d]);
  DbBatch batch(db);
  if (db_copy_schedule(db, kRecordScheduleTable, &schedule->block, mask) != 0 ||
      db_copy_masked(db, kRecordWholedayRecord, &wholeday, mask) != 0)
    return -1;  // rolled back
  return batch.commit();
}

int read_camera_record_fields(const char* db, CameraRecordFields* camera, int channel) {
  camera->id = channel;
  return db_read(db, kCameraRecordFields, camera, channel);
}
int read_camera_records_fields(const char* db, CameraRecordFields* array) {
  return read_by_channel(db, kCameraRecordFields, array);
}
