// The settings records the status and general settings pages describe: the
// camera record's connection data. (The OSD, alarm-name and alarm records
// they read belong to those pages' own modules, which list them.)
#include "modules/status/channel_records.h"
#include "platform/qvdb_catalog.h"

namespace {

const DbCatalogEntry kStatusRecords[] = {
    {&kCameraBasicRecord, 64},
};

}  // namespace

std::span<const DbCatalogEntry> status_record_catalog() { return kStatusRecords; }
