// Request and reply ids and records of the storage routes: the disk list,
// formatting, RAID arrays, network disks, quotas, recycle mode, eSATA backup
// and export disks. Shared by the handlers and the simulator.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kMaxDiskPorts = 36;  // ports 1..36 in the disk list
constexpr int kMaxRaidMembers = 16;
constexpr int kMaxNasDisks = 33;
constexpr int kMaxDiskGroups = 16;
constexpr int kMaxQuotaEntries = 16;
constexpr int kMaxNasPaths = 64;

// Disk types the module tells apart; other values are the daemon's own.
constexpr int32_t kDiskTypeNfs = 3;
constexpr int32_t kDiskTypeRaid = 4;
constexpr int32_t kDiskTypeExport = 5;
constexpr int32_t kDiskTypeSmb = 10;
constexpr int32_t kDiskStateConfiguredOnly = 2;  // listed from the settings, not reported

// ---- requests and replies -------------------------------------------------------------
constexpr int32_t kReqDiskList = 3433;  // no payload -> 8433 DiskStatus[]
constexpr int32_t kReplyDiskList = 8433;
constexpr int32_t kReqFormatDisk = 3434;  // int32 port -> 8434 (or 8402) int32 status
constexpr int32_t kReplyFormatDisk = 8434;
constexpr int32_t kReplyFormatDiskOld = 8402;
constexpr int32_t kReqSetDisk = 3435;     // DiskSetRequest, no reply
constexpr int32_t kReqCreateRaid = 3420;  // RaidRequest -> 8420 int32 status
constexpr int32_t kReplyCreateRaid = 8420;
constexpr int32_t kReqRemoveRaid = 3421;  // RaidRequest (id only) -> 8421 int32 status
constexpr int32_t kReplyRemoveRaid = 8421;
constexpr int32_t kReqRemoveDisk = 3496;  // int32 port -> 8496 int32 status
constexpr int32_t kReplyRemoveDisk = 8496;
constexpr int32_t kReqSetHotSpare = 3423;  // int32 port -> 8423 int32 status
constexpr int32_t kReplySetHotSpare = 8423;
constexpr int32_t kReqUnsetHotSpare = 3424;  // int32 port -> 8424 int32 status
constexpr int32_t kReplyUnsetHotSpare = 8424;
constexpr int32_t kReqRebuildRaid = 3425;  // RebuildRequest -> 8425 int32 status
constexpr int32_t kReplyRebuildRaid = 8425;

constexpr int32_t kReqAddNas = 3507;  // NasList -> 8507 int32 result
constexpr int32_t kReplyAddNas = 8507;
constexpr int32_t kReqDeleteNas = 3508;  // NasList -> 8508 int32 status
constexpr int32_t kReplyDeleteNas = 8508;
constexpr int32_t kReqUpdateNas = 3439;  // int32 port -> 8439 int32 result
constexpr int32_t kReplyUpdateNas = 8439;
constexpr int32_t kReqSearchNas = 3440;  // NasSearchRequest -> 8440 NasSearchReply
constexpr int32_t kReplySearchNas = 8440;
constexpr int32_t kReqSetRecycle = 3475;  // RecycleMode -> 8475 int32
constexpr int32_t kReplySetRecycle = 8475;
constexpr int32_t kReqGetRecycle = 3431;  // int32 0 -> 8431 RecycleMode
constexpr int32_t kReplyGetRecycle = 8431;
constexpr int32_t kReqSmart = 3403;  // int32 port -> 8403 SmartReply
constexpr int32_t kReplySmart = 8403;
constexpr int32_t kReqGetQuota = 3529;  // no payload -> 8529 QuotaInfo
constexpr int32_t kReplyGetQuota = 8529;
constexpr int32_t kReqSetQuota = 3530;  // QuotaInfo -> 8530 int32 status
constexpr int32_t kReplySetQuota = 8530;
constexpr int32_t kReqGroupMode = 3442;        // int32 group mode, no reply
constexpr int32_t kReqSetGroup = 3436;         // DiskGroup, no reply
constexpr int32_t kReqGroupsChanged = 1307;    // no payload, no reply
constexpr int32_t kReqEsataBackupStop = 1316;  // int32 stopBackup -> 6316 int32 result
constexpr int32_t kReplyEsataBackupStop = 6316;
constexpr int32_t kReqEsataBackupStatus = 1317;  // no payload -> 6317 EsataBackupStatus
constexpr int32_t kReplyEsataBackupStatus = 6317;
constexpr int32_t kReqExportDisks = 3457;  // no payload -> 8457 ExportDisk[]
constexpr int32_t kReplyExportDisks = 8457;
constexpr int32_t kReqFormatEsata = 3535;  // int32 port -> 8535 int32 result
constexpr int32_t kReplyFormatEsata = 8535;
constexpr int32_t kReqAutoBackupStatus = 3536;  // no payload -> 8536 int32 status
constexpr int32_t kReplyAutoBackupStatus = 8536;
constexpr int32_t kReqAutoBackupStop = 3537;  // no payload -> 8537 int32 result
constexpr int32_t kReplyAutoBackupStop = 8537;
constexpr int32_t kReqFormatInfo = 3540;  // no payload -> 8540 FormatInfo
constexpr int32_t kReplyFormatInfo = 8540;

// Operation-log codes of the storage routes.
constexpr int64_t kLogSubFormatDisk = 207;
constexpr int64_t kLogSubAddNas = 219;
constexpr int64_t kLogSubDeleteNas = 220;
constexpr int64_t kLogSubEditNas = 221;
constexpr int64_t kLogSubRemoveDisk = 224;
constexpr int32_t kLogParamDisk = 919;
constexpr int32_t kLogDetailFormat = 102;
constexpr int32_t kLogDetailNas = 101;
constexpr int32_t kLogDetailNasEdit = 110;

#pragma pack(push, 1)
//  OFFSET  SIZE  DESCRIPTION (one disk as the daemon reports it)
//       0     4  port (1..36; 0 = empty slot)          "portId", "raid_id"
//       4    64  vendor / model                        "vendorName"
//      68    64  network address                       "address"
//     132   128  remote directory                      "directory"
//     260     4  state                                 "state"
//     264     4  usable                                "bUsable"
//     268     4  -
//     272     8  total bytes                           "totalSize" (MiB)
//     280     8  used bytes                            "usedSize" (MiB)
//     288     8  free bytes                            "freeSize" (MiB)
//     296     4  disk type                             "hddType"
//     300     4  group                                 "group"
//     304     4  property                              "property"
//     308     4  -
//     312     4  RAID level                            "raid_level"
//     316     4  RAID state                            "raid_state"
//     320     4  RAID task progress                    "raid_progress", "raid_task"
//     324     4  member count                          "raid_sata_cnt"
//     328    64  member SATA ports                     "raid_sata_port" (as a bit mask)
//     392    33  network-disk user                     "userName"
//     425    33  network-disk password                 "password"
//     458     6  padding
struct DiskStatus {
  int32_t port;
  char vendor[64];
  char address[64];
  char directory[128];
  int32_t state;
  int32_t usable;
  int32_t reserved0;
  uint64_t total_bytes;
  uint64_t used_bytes;
  uint64_t free_bytes;
  int32_t hdd_type;
  int32_t group;
  int32_t property;
  int32_t reserved1;
  int32_t raid_level;
  int32_t raid_state;
  int32_t raid_progress;
  int32_t raid_sata_cnt;
  int32_t raid_sata_port[kMaxRaidMembers];
  char user_name[33];
  char password[33];
  uint8_t pad[6];
};

struct DiskSetRequest {  // 3435
  int32_t port;
  int32_t property;
  int32_t group;
  int32_t is_private;
};

struct RaidRequest {  // 3420 (create), 3421 (remove: id only)
  int32_t id;
  int32_t enable;
  int32_t level;
  int32_t zero[2];
  int32_t member_count;
  int32_t members[kMaxRaidMembers];
  uint8_t reserved[16];
};

struct RebuildRequest {  // 3425
  int32_t disk_port;
  int32_t raid_port;
};

struct NasList {  // 3507, 3508
  int32_t count;
  int32_t ports[kMaxNasDisks];
};

struct NasSearchRequest {  // 3440
  int32_t port;
  char server[64];
};

struct NasSearchReply {  // 8440
  int32_t count;
  char paths[kMaxNasPaths][256];
};

struct RecycleMode {  // 3475, 8431
  int32_t mode;
  int32_t esata;
};

struct SmartReply {  // 8403
  uint8_t reserved[12];
  char self_test[28];
};

struct QuotaEntry {
  int32_t channel;
  int32_t video_quota;
  int32_t picture_quota;
  int32_t video_used;
  int32_t picture_used;
};

struct QuotaInfo {  // 8529, 3530
  int32_t enable;
  int32_t count;
  QuotaEntry entries[kMaxQuotaEntries];
};

//  OFFSET  SIZE  DESCRIPTION (a disk group; the settings record and request 3436)
//       0     4  group id                              "id"
//       4    65  channel list text                     "channel"
//      69    65  second text                           "extra"
//     134     2  padding
struct DiskGroup {
  int32_t id;
  char channel[65];
  char extra[65];
  uint8_t pad[2];
};

struct EsataBackupStatus {  // 6317
  int32_t status;
  char last_time[32];
  float percent;
  uint64_t capacity;
};

struct ExportDisk {  // 8457, one per disk
  int32_t port;
  uint8_t reserved0[148];
  int32_t type;
  uint8_t reserved1[28];
};

struct FormatInfo {  // 8540
  int32_t status;
  uint8_t percent;
  uint8_t port;
  uint8_t pad[2];
  int32_t type;
};

// Operation-log details.
struct FormatLogDetail {  // detail type 102
  uint8_t zero[64];
  int32_t port;
  int32_t result;  // 1 formatted, -1 not
};

struct NasLogDetail {  // detail types 101, 110
  char protocol[16];
  char address[64];
  char directory[128];
};
#pragma pack(pop)

static_assert(sizeof(DiskStatus) == 464);
static_assert(offsetof(DiskStatus, vendor) == 4);
static_assert(offsetof(DiskStatus, address) == 68);
static_assert(offsetof(DiskStatus, directory) == 132);
static_assert(offsetof(DiskStatus, state) == 260);
static_assert(offsetof(DiskStatus, usable) == 264);
static_assert(offsetof(DiskStatus, total_bytes) == 272);
static_assert(offsetof(DiskStatus, used_bytes) == 280);
static_assert(offsetof(DiskStatus, free_bytes) == 288);
static_assert(offsetof(DiskStatus, hdd_type) == 296);
static_assert(offsetof(DiskStatus, group) == 300);
static_assert(offsetof(DiskStatus, property) == 304);
static_assert(offsetof(DiskStatus, raid_level) == 312);
static_assert(offsetof(DiskStatus, raid_state) == 316);
static_assert(offsetof(DiskStatus, raid_progress) == 320);
static_assert(offsetof(DiskStatus, raid_sata_cnt) == 324);
static_assert(offsetof(DiskStatus, raid_sata_port) == 328);
static_assert(offsetof(DiskStatus, user_name) == 392);
static_assert(offsetof(DiskStatus, password) == 425);
static_assert(offsetof(DiskStatus, pad) == 458);
static_assert(sizeof(DiskSetRequest) == 16);
static_assert(sizeof(RaidRequest) == 104);
static_assert(offsetof(RaidRequest, member_count) == 20);
static_assert(offsetof(RaidRequest, members) == 24);
static_assert(offsetof(RaidRequest, reserved) == 88);
static_assert(sizeof(RebuildRequest) == 8);
static_assert(sizeof(NasList) == 136);
static_assert(sizeof(NasSearchRequest) == 68);
static_assert(sizeof(NasSearchReply) == 16388);
static_assert(sizeof(RecycleMode) == 8);
static_assert(sizeof(SmartReply) == 40);
static_assert(offsetof(SmartReply, self_test) == 12);
static_assert(sizeof(QuotaEntry) == 20);
static_assert(sizeof(QuotaInfo) == 328);
static_assert(sizeof(DiskGroup) == 136);
static_assert(offsetof(DiskGroup, channel) == 4);
static_assert(offsetof(DiskGroup, extra) == 69);
static_assert(sizeof(EsataBackupStatus) == 48);
static_assert(offsetof(EsataBackupStatus, percent) == 36);
static_assert(offsetof(EsataBackupStatus, capacity) == 40);
static_assert(sizeof(ExportDisk) == 184);
static_assert(offsetof(ExportDisk, type) == 152);
static_assert(sizeof(FormatInfo) == 12);
static_assert(offsetof(FormatInfo, percent) == 4);
static_assert(offsetof(FormatInfo, port) == 5);
static_assert(offsetof(FormatInfo, type) == 8);
static_assert(sizeof(FormatLogDetail) == 72);
static_assert(offsetof(FormatLogDetail, port) == 64);
static_assert(sizeof(NasLogDetail) == 208);
