// Settings records of the storage module: the configured disks (network
// disks, properties and groups), the disk groups and the eSATA automatic
// backup.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/storage/storage_wire.h"
#include "platform/qvdb.h"

#pragma pack(push, 1)
//  OFFSET  SIZE  DESCRIPTION (a configured disk, one per port)
//       0     4  port                                  "portId"
//       4     4  configured (1)                        "enable"
//       8    64  vendor                                "vendorName"
//      72    64  network address                       "address"
//     136   128  remote directory                      "directory"
//     264     4  disk type                             "hddType"
//     268     4  group                                 "group"
//     272     4  property                              "property"
//     276    33  user name                             "userName"
//     309    33  password                              "password"
//     342     6  padding
struct DiskConfig {
  int32_t port;
  int32_t enable;
  char vendor[64];
  char address[64];
  char directory[128];
  int32_t hdd_type;
  int32_t group;
  int32_t property;
  char user_name[33];
  char password[33];
  uint8_t pad[6];
};

//  eSATA automatic backup settings (one record).
struct EsataBackup {
  int32_t enable;
  char backup_time[32];
  int32_t stream_type;
  int32_t file_type;
  int32_t recycle;
  char channel[65];
  int32_t device;
  int32_t port;
};
#pragma pack(pop)

static_assert(sizeof(DiskConfig) == 348);
static_assert(offsetof(DiskConfig, enable) == 4);
static_assert(offsetof(DiskConfig, hdd_type) == 264);
static_assert(offsetof(DiskConfig, group) == 268);
static_assert(offsetof(DiskConfig, user_name) == 276);

extern const DbRecord kDiskConfigRecord;   // table "disk", key "portId"
extern const DbRecord kDiskGroupRecord;    // table "disk_group", key "id"
extern const DbRecord kEsataBackupRecord;  // table "esata_backup", one row

// The configured disks of ports 1..36, disk of port p in slot p - 1 (a slot
// without a stored disk is zero).
int read_disks(const char* path, DiskConfig slots[kMaxDiskPorts]);
// The disk of `port` (the record is left as it is when none is stored).
int read_disk(const char* path, DiskConfig* disk, int32_t port);
[[nodiscard]] int write_disk(const char* path, const DiskConfig* disk);

// The 16 groups, in group order; a group not stored reads with its id and
// empty texts.
int read_groups(const char* path, DiskGroup groups[kMaxDiskGroups]);
[[nodiscard]] int write_group(const char* path, const DiskGroup* group);

int read_esata_auto_backup(const char* path, EsataBackup* record);
[[nodiscard]] int write_esata_auto_backup(const char* path, const EsataBackup* record);
