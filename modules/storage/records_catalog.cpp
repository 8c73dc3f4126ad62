// The settings records of the storage module.
#include "modules/storage/storage_records.h"
#include "platform/qvdb_catalog.h"

namespace {

const DbCatalogEntry kStorageRecords[] = {
    {&kDiskConfigRecord, 1},
    {&kDiskGroupRecord, 1},
    {&kEsataBackupRecord, 1},
};

}  // namespace

std::span<const DbCatalogEntry> storage_record_catalog() { return kStorageRecords; }
