// The settings records of the PTZ module. Not listed: the basic settings, a
// JSON view of the camera's own record that is never stored here.
#include "modules/ptz/ptz_records.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kPerChannel = 64;

const DbCatalogEntry kPtzRecords[] = {
    {&kPtzPortRecord, kPerChannel},
    {&kPtzSpeedRecord, kPerChannel},
    {&kPtzTourRecord, kPerChannel},
};

}  // namespace

std::span<const DbCatalogEntry> ptz_record_catalog() { return kPtzRecords; }
