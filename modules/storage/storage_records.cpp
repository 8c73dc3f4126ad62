#include "modules/storage/storage_records.h"

#include <cstring>
#include <vector>

namespace {

constexpr DbField kDiskConfigFields[] = {
    DB_FIELD(DiskConfig, port, "portId", DbType::I32),
    DB_FIELD(DiskConfig, enable, "enable", DbType::I32),
    DB_FIELD(DiskConfig, vendor, "vendorName", DbType::Text),
    DB_FIELD(DiskConfig, address, "address", DbType::Text),
    DB_FIELD(DiskConfig, directory, "directory", DbType::Text),
    DB_FIELD(DiskConfig, hdd_type, "hddType", DbType::I32),
    DB_FIELD(DiskConfig, group, "group", DbType::I32),
    DB_FIELD(DiskConfig, property, "property", DbType::I32),
    DB_FIELD(DiskConfig, user_name, "userName", DbType::Text),
    DB_FIELD(DiskConfig, password, "password", DbType::Text),
};

constexpr DbField kDiskGroupFields[] = {
    DB_FIELD(DiskGroup, id, "id", DbType::I32),
    DB_FIELD(DiskGroup, channel, "channel", DbType::Text),
    DB_FIELD(DiskGroup, extra, "extra", DbType::Text),
};

constexpr DbField kEsataBackupFields[] = {
    DB_FIELD(EsataBackup, enable, "enable", DbType::I32),
    DB_FIELD(EsataBackup, stream_type, "streamType", DbType::I32),
    DB_FIELD(EsataBackup, file_type, "fileType", DbType::I32),
    DB_FIELD(EsataBackup, recycle, "recycle", DbType::I32),
    DB_FIELD(EsataBackup, channel, "channel", DbType::Text),
    DB_FIELD(EsataBackup, backup_time, "backupTime", DbType::Text),
    DB_FIELD(EsataBackup, device, "device", DbType::I32),
    DB_FIELD(EsataBackup, port, "port", DbType::I32),
};

}  // namespace

const DbRecord kDiskConfigRecord{"disk", "portId", sizeof(DiskConfig), kDiskConfigFields};
const DbRecord kDiskGroupRecord{"disk_group", "id", sizeof(DiskGroup), kDiskGroupFields};
const DbRecord kEsataBackupRecord{"esata_backup", nullptr, sizeof(EsataBackup), kEsataBackupFields};

int read_disks(const char* path, DiskConfig slots[kMaxDiskPorts]) {
  for (int i = 0; i < kMaxDiskPorts; ++i) slots[i] = DiskConfig{};
  // Rows of other ports (0, or any a caller stored) must not push a listed
  // port out of the read.
  constexpr int kMaxRows = 128;
  std::vector<DiskConfig> rows(kMaxRows);
  int count = 0;
  int result = db_read_all(path, kDiskConfigRecord, rows.data(), kMaxRows, &count);
  for (int i = 0; i < count; ++i)
    if (rows[i].port >= 1 && rows[i].port <= kMaxDiskPorts) slots[rows[i].port - 1] = rows[i];
  return result;
}

int read_disk(const char* path, DiskConfig* disk, int32_t port) {
  return db_read(path, kDiskConfigRecord, disk, port);
}

int write_disk(const char* path, const DiskConfig* disk) {
  return db_write(path, kDiskConfigRecord, disk);
}

int read_groups(const char* path, DiskGroup groups[kMaxDiskGroups]) {
  for (int i = 0; i < kMaxDiskGroups; ++i) {
    groups[i] = DiskGroup{};
    groups[i].id = i;
    db_read(path, kDiskGroupRecord, &groups[i], i);
  }
  return 0;
}

int write_group(const char* path, const DiskGroup* group) {
  return db_write(path, kDiskGroupRecord, group);
}

int read_esata_auto_backup(const char* path, EsataBackup* record) {
  return db_read(path, kEsataBackupRecord, record, 0);
}

int write_esata_auto_backup(const char* path, const EsataBackup* record) {
  return db_write(path, kEsataBackupRecord, record);
}
