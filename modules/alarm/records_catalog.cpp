// The settings records of the alarm inputs and outputs.
#include "modules/alarm/alarm_records.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kAlarmInputs = 16;
constexpr int kAlarmOutputs = 4;

// The name lists (rows per channel and alarm, no key) are left out: they are
// lists, not keyed records.
const DbCatalogEntry kAlarmRecords[] = {
    {&kAlarmInRecord, kAlarmInputs},
    {&kAlarmOutRecord, kAlarmOutputs},
    {&kAlarmChnInEventRecord, 64, "alarm_chnIn0_event"},
    {&kDisarmingRecord, 1},
};

}  // namespace

std::span<const DbCatalogEntry> alarm_record_catalog() { return kAlarmRecords; }
