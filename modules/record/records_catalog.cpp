// The settings records of the record module. Not listed: the parameter
// answer, a JSON-only view that is never stored; the record schedules are kept
// in the schedule store (platform/qvdb_schedule.h).
#include "modules/record/record_records.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kPerChannel = 64;

const DbCatalogEntry kRecordRecords[] = {
    {&kHolidayRecord, 1},
    {&kRecordParamsRecord, kPerChannel},
    {&kRecordWholedayRecord, kPerChannel},
};

}  // namespace

std::span<const DbCatalogEntry> record_record_catalog() { return kRecordRecords; }
