// Recorder behaviour for the storage requests. The simulator keeps a small
// model of the recorder's disks in state_path("storage.bin"): four bays
// (the last two joined in RAID array 10), an NFS share on port 17 and an SMB
// share on port 18, with the recycle mode and the quotas. Listing,
// formatting, arrays, spares and network disks all change the same model, so
// the answers agree from one run to the next.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "modules/storage/storage_records.h"
#include "modules/storage/storage_wire.h"
#include "platform/device_path.h"
#include "tools/nvr-cored/sim.h"

namespace {

constexpr uint64_t kTB = 1000ull * 1000 * 1000 * 1000;
constexpr int32_t kStateNormal = 0;
constexpr int32_t kStateHotSpare = 5;
constexpr int32_t kRaidRebuilding = 2;
constexpr int kBays = 4;

struct Slot {
  DiskStatus disk;
  int32_t in_array;  // a bay that is a member of an array is not listed
};

struct Model {
  uint32_t magic;
  Slot slots[kMaxDiskPorts];  // slot p - 1 holds port p (0: empty)
  RecycleMode recycle;
  QuotaInfo quota;
  int32_t last_format_port;
};

constexpr uint32_t kModelMagic = 0x4b534944;  // "DISK"
std::mutex g_model_mutex;

std::string db_path() { return sim::dev_path(nvr::devpath::kQvdb); }

void set_text(char* field, size_t size, const char* text) { snprintf(field, size, "%s", text); }

DiskStatus local_disk(int32_t port, const char* vendor, uint64_t total, uint64_t used) {
  DiskStatus disk{};
  disk.port = port;
  set_text(disk.vendor, sizeof disk.vendor, vendor);
  disk.state = kStateNormal;
  disk.usable = 1;
  disk.total_bytes = total;
  disk.used_bytes = used;
  disk.free_bytes = total - used;
  return disk;
}

DiskStatus network_disk(int32_t port, int32_t type, const char* address, const char* directory) {
  DiskStatus disk = local_disk(port, type == kDiskTypeNfs ? "NFS" : "SMB/CIFS", 2 * kTB, kTB / 4);
  disk.hdd_type = type;
  set_text(disk.address, sizeof disk.address, address);
  set_text(disk.directory, sizeof disk.directory, directory);
  return disk;
}

Model demo_model() {
  Model model{};
  model.magic = kModelMagic;
  model.slots[0].disk = local_disk(1, "ST4000VX016", 4 * kTB, 1200ull * 1000 * 1000 * 1000);
  model.slots[1].disk = local_disk(2, "WD80PURZ", 8 * kTB, 0);
  model.slots[2] = {local_disk(3, "ST10000VE001", 10 * kTB, 0), 1};
  model.slots[3] = {local_disk(4, "ST10000VE001", 10 * kTB, 0), 1};
  DiskStatus raid = local_disk(10, "RAID0", 20 * kTB, 3 * kTB);  // over 16 TiB
  raid.hdd_type = kDiskTypeRaid;
  raid.raid_sata_cnt = 2;
  raid.raid_sata_port[0] = 2;
  raid.raid_sata_port[1] = 3;
  model.slots[9].disk = raid;
  model.slots[16].disk = network_disk(17, kDiskTypeNfs, "192.168.1.20", "/export/nvr");
  model.slots[17].disk = network_disk(18, kDiskTypeSmb, "192.168.1.21", "recordings");
  model.recycle = {1, 0};
  return model;
}

Model load() {
  Model model{};
  if (FILE* file = fopen(sim::state_path("storage.bin").c_str(), "rb")) {
    const bool whole = fread(&model, sizeof model, 1, file) == 1;
    fclose(file);
    if (whole && model.magic == kModelMagic) return model;
  }
  return demo_model();
}

void save(const Model& model) {
  const std::string path = sim::state_path("storage.bin");
  const std::string temporary = path + ".new";
  if (FILE* file = fopen(temporary.c_str(), "wb")) {
    const bool whole = fwrite(&model, sizeof model, 1, file) == 1;
    fclose(file);
    if (whole) rename(temporary.c_str(), path.c_str());
  }
}

template <class T>
bool payload_as(const sim::Message& request, T* out) {
  if (request.payload.size() < sizeof(T)) return false;
  memcpy(out, request.payload.data(), sizeof(T));
  return true;
}

Slot* slot_of(Model& model, int32_t port) {
  if (port < 1 || port > kMaxDiskPorts || model.slots[port - 1].disk.port == 0) return nullptr;
  return &model.slots[port - 1];
}

bool is_bay(int32_t port) { return port >= 1 && port <= kBays; }

void reply_status(sim::Peer& peer, int32_t reply_id, int32_t status) {
  peer.reply(reply_id, &status, sizeof status);
}

// Runs `change` on the model under the lock, stores it, replies its status.
template <class F>
void change_model(sim::Peer& peer, int32_t reply_id, F change) {
  int32_t status;
  {
    std::lock_guard lock(g_model_mutex);
    Model model = load();
    status = change(model);
    if (status == 0) save(model);
  }
  reply_status(peer, reply_id, status);
}

void on_disk_list(const sim::Message&, sim::Peer& peer) {
  std::string payload;
  {
    std::lock_guard lock(g_model_mutex);
    Model model = load();
    for (const Slot& slot : model.slots)
      if (slot.disk.port != 0 && !slot.in_array)
        payload.append(reinterpret_cast<const char*>(&slot.disk), sizeof slot.disk);
  }
  peer.reply(kReplyDiskList, payload);
}

void on_format(const sim::Message& request, sim::Peer& peer) {
  int32_t port = 0;
  payload_as(request, &port);
  change_model(peer, kReplyFormatDisk, [&](Model& model) {
    Slot* slot = slot_of(model, port);
    if (slot == nullptr || slot->in_array) return -1;
    if (slot->disk.state == kStateHotSpare) return 1;  // in use as a spare
    if ((slot->disk.hdd_type == kDiskTypeNfs || slot->disk.hdd_type == kDiskTypeSmb) &&
        slot->disk.total_bytes < 16ull * 1000 * 1000 * 1000)
      return -3;
    slot->disk.used_bytes = 0;
    slot->disk.free_bytes = slot->disk.total_bytes;
    model.last_format_port = port;
    return 0;
  });
}

void on_set_disk(const sim::Message& request, sim::Peer&) {
  DiskSetRequest set{};
  if (!payload_as(request, &set)) return;
  std::lock_guard lock(g_model_mutex);
  Model model = load();
  if (Slot* slot = slot_of(model, set.port)) {
    slot->disk.property = set.property;
    slot->disk.group = set.group;
    save(model);
  }
}

void on_create_raid(const sim::Message& request, sim::Peer& peer) {
  RaidRequest raid{};
  payload_as(request, &raid);
  change_model(peer, kReplyCreateRaid, [&](Model& model) {
    const int members = std::min(raid.member_count, kMaxRaidMembers);
    if (raid.id < 10 || raid.id > 15 || slot_of(model, raid.id) || members < 2) return -1;
    DiskStatus array = local_disk(raid.id, "RAID", 0, 0);
    array.hdd_type = kDiskTypeRaid;
    array.raid_level = raid.level;
    for (int i = 0; i < members; ++i) {
      Slot* bay = slot_of(model, raid.members[i] + 1);  // SATA port p is bay p + 1
      if (bay == nullptr || !is_bay(raid.members[i] + 1) || bay->in_array) return -1;
    }
    for (int i = 0; i < members; ++i) {
      Slot* bay = slot_of(model, raid.members[i] + 1);
      bay->in_array = 1;
      array.total_bytes += bay->disk.total_bytes;
      array.raid_sata_port[array.raid_sata_cnt++] = raid.members[i];
    }
    array.free_bytes = array.total_bytes;
    model.slots[raid.id - 1].disk = array;
    return 0;
  });
}

// Removing an array gives its members back as single disks.
int32_t remove_array(Model& model, int32_t id) {
  Slot* array = slot_of(model, id);
  if (array == nullptr || array->disk.hdd_type != kDiskTypeRaid) return -1;
  for (int i = 0; i < std::min(array->disk.raid_sata_cnt, kMaxRaidMembers); ++i)
    if (Slot* bay = slot_of(model, array->disk.raid_sata_port[i] + 1)) bay->in_array = 0;
  *array = Slot{};
  return 0;
}

void on_remove_raid(const sim::Message& request, sim::Peer& peer) {
  RaidRequest raid{};
  payload_as(request, &raid);
  change_model(peer, kReplyRemoveRaid, [&](Model& model) { return remove_array(model, raid.id); });
}

void on_remove_disk(const sim::Message& request, sim::Peer& peer) {
  int32_t port = 0;
  payload_as(request, &port);
  change_model(peer, kReplyRemoveDisk, [&](Model& model) {
    Slot* slot = slot_of(model, port);
    if (slot == nullptr || slot->in_array) return -1;
    *slot = Slot{};
    return 0;
  });
}

void hot_spare(const sim::Message& request, sim::Peer& peer, int32_t reply_id, int32_t state) {
  int32_t port = 0;
  payload_as(request, &port);
  change_model(peer, reply_id, [&](Model& model) {
    Slot* slot = slot_of(model, port);
    if (slot == nullptr || slot->in_array || !is_bay(port)) return -1;
    slot->disk.state = state;
    return 0;
  });
}
void on_set_spare(const sim::Message& r, sim::Peer& p) {
  hot_spare(r, p, kReplySetHotSpare, kStateHotSpare);
}
void on_unset_spare(const sim::Message& r, sim::Peer& p) {
  hot_spare(r, p, kReplyUnsetHotSpare, kStateNormal);
}

void on_rebuild(const sim::Message& request, sim::Peer& peer) {
  RebuildRequest rebuild{};
  payload_as(request, &rebuild);
  change_model(peer, kReplyRebuildRaid, [&](Model& model) {
    Slot* array = slot_of(model, rebuild.raid_port);
    Slot* disk = slot_of(model, rebuild.disk_port);
    if (array == nullptr || array->disk.hdd_type != kDiskTypeRaid || disk == nullptr ||
        disk->in_array)
      return -1;
    array->disk.raid_state = kRaidRebuilding;
    array->disk.raid_progress = 0;
    return 0;
  });
}

// The network disks of a list, from their configured records.
void on_add_nas(const sim::Message& request, sim::Peer& peer) {
  NasList list{};
  payload_as(request, &list);
  change_model(peer, kReplyAddNas, [&](Model& model) {
    for (int i = 0; i < std::clamp(list.count, 0, kMaxNasDisks); ++i) {
      const int32_t port = list.ports[i];
      if (port < 1 || port > kMaxDiskPorts) continue;
      DiskConfig config{};
      read_disk(db_path().c_str(), &config, port);
      model.slots[port - 1] = {
          network_disk(port, config.hdd_type, config.address, config.directory), 0};
    }
    return 0;
  });
}

void on_update_nas(const sim::Message& request, sim::Peer& peer) {
  int32_t port = 0;
  payload_as(request, &port);
  change_model(peer, kReplyUpdateNas, [&](Model& model) {
    DiskConfig config{};
    read_disk(db_path().c_str(), &config, port);
    if (port < 1 || port > kMaxDiskPorts || config.port != port) return -1;
    model.slots[port - 1] = {network_disk(port, config.hdd_type, config.address, config.directory),
                             0};
    return 0;
  });
}

// The recorder forgets a removed network disk, its configured record too.
void on_delete_nas(const sim::Message& request, sim::Peer& peer) {
  NasList list{};
  payload_as(request, &list);
  change_model(peer, kReplyDeleteNas, [&](Model& model) {
    for (int i = 0; i < std::clamp(list.count, 0, kMaxNasDisks); ++i) {
      Slot* slot = slot_of(model, list.ports[i]);
      if (slot && (slot->disk.hdd_type == kDiskTypeNfs || slot->disk.hdd_type == kDiskTypeSmb))
        *slot = Slot{};
      if (db_delete(db_path().c_str(), kDiskConfigRecord, list.ports[i]) != 0) return -1;
    }
    return 0;
  });
}

void on_search_nas(const sim::Message& request, sim::Peer& peer) {
  NasSearchRequest search{};
  payload_as(request, &search);
  NasSearchReply reply{};
  if (search.server[0] != '\0') {
    reply.count = 2;
    set_text(reply.paths[0], sizeof reply.paths[0], "/export/nvr");
    set_text(reply.paths[1], sizeof reply.paths[1], "/export/backup");
  }
  peer.reply(kReplySearchNas, &reply, sizeof reply);
}

void on_set_recycle(const sim::Message& request, sim::Peer& peer) {
  RecycleMode mode{};
  payload_as(request, &mode);
  change_model(peer, kReplySetRecycle, [&](Model& model) {
    model.recycle = mode;
    return 0;
  });
}

void on_get_recycle(const sim::Message&, sim::Peer& peer) {
  RecycleMode mode;
  {
    std::lock_guard lock(g_model_mutex);
    mode = load().recycle;
  }
  peer.reply(kReplyGetRecycle, &mode, sizeof mode);
}

void on_smart(const sim::Message& request, sim::Peer& peer) {
  int32_t port = 0;
  payload_as(request, &port);
  SmartReply reply{};
  bool present;
  {
    std::lock_guard lock(g_model_mutex);
    Model model = load();
    present = slot_of(model, port) != nullptr && is_bay(port);
  }
  set_text(reply.self_test, sizeof reply.self_test, present ? "PASSED" : "UNKNOWN");
  peer.reply(kReplySmart, &reply, sizeof reply);
}

void on_get_quota(const sim::Message&, sim::Peer& peer) {
  QuotaInfo quota;
  {
    std::lock_guard lock(g_model_mutex);
    quota = load().quota;
  }
  peer.reply(kReplyGetQuota, &quota, sizeof quota);
}

void on_set_quota(const sim::Message& request, sim::Peer& peer) {
  QuotaInfo quota{};
  payload_as(request, &quota);
  change_model(peer, kReplySetQuota, [&](Model& model) {
    model.quota = quota;
    model.quota.count = std::clamp(quota.count, 0, kMaxQuotaEntries);
    return 0;
  });
}

// The recorder keeps the groups' channel lists.
void on_set_group(const sim::Message& request, sim::Peer&) {
  DiskGroup group{};
  if (!payload_as(request, &group) || group.id < 0 || group.id >= kMaxDiskGroups) return;
  if (write_group(db_path().c_str(), &group) != 0) fprintf(stderr, "nvr-cored: group not stored\n");
}

void on_esata_backup_stop(const sim::Message&, sim::Peer& peer) {
  reply_status(peer, kReplyEsataBackupStop, 0);
}

void on_esata_backup_status(const sim::Message&, sim::Peer& peer) {
  EsataBackupStatus status{};
  set_text(status.last_time, sizeof status.last_time, "2026-01-05 02:00:00");
  status.percent = 100.0f;
  status.capacity = 4 * kTB;  // beyond 32 bits
  peer.reply(kReplyEsataBackupStatus, &status, sizeof status);
}

void on_export_disks(const sim::Message&, sim::Peer& peer) {
  ExportDisk disks[2] = {};
  disks[0].port = 1;
  disks[1].port = 5;
  disks[1].type = kDiskTypeExport;
  peer.reply(kReplyExportDisks, disks, sizeof disks);
}

void on_format_esata(const sim::Message&, sim::Peer& peer) {
  reply_status(peer, kReplyFormatEsata, 0);
}
void on_auto_backup_status(const sim::Message&, sim::Peer& peer) {
  reply_status(peer, kReplyAutoBackupStatus, 0);
}
void on_auto_backup_stop(const sim::Message&, sim::Peer& peer) {
  reply_status(peer, kReplyAutoBackupStop, 0);
}

void on_format_info(const sim::Message&, sim::Peer& peer) {
  FormatInfo info{};
  {
    std::lock_guard lock(g_model_mutex);
    info.port = static_cast<uint8_t>(load().last_format_port);
  }
  info.percent = 100;
  peer.reply(kReplyFormatInfo, &info, sizeof info);
}

sim::HandlerReg reg_3433(kReqDiskList, on_disk_list);
sim::HandlerReg reg_3434(kReqFormatDisk, on_format);
sim::HandlerReg reg_3435(kReqSetDisk, on_set_disk);
sim::HandlerReg reg_3420(kReqCreateRaid, on_create_raid);
sim::HandlerReg reg_3421(kReqRemoveRaid, on_remove_raid);
sim::HandlerReg reg_3496(kReqRemoveDisk, on_remove_disk);
sim::HandlerReg reg_3423(kReqSetHotSpare, on_set_spare);
sim::HandlerReg reg_3424(kReqUnsetHotSpare, on_unset_spare);
sim::HandlerReg reg_3425(kReqRebuildRaid, on_rebuild);
sim::HandlerReg reg_3507(kReqAddNas, on_add_nas);
sim::HandlerReg reg_3439(kReqUpdateNas, on_update_nas);
sim::HandlerReg reg_3508(kReqDeleteNas, on_delete_nas);
sim::HandlerReg reg_3440(kReqSearchNas, on_search_nas);
sim::HandlerReg reg_3475(kReqSetRecycle, on_set_recycle);
sim::HandlerReg reg_3431(kReqGetRecycle, on_get_recycle);
sim::HandlerReg reg_3403(kReqSmart, on_smart);
sim::HandlerReg reg_3529(kReqGetQuota, on_get_quota);
sim::HandlerReg reg_3530(kReqSetQuota, on_set_quota);
sim::HandlerReg reg_3436(kReqSetGroup, on_set_group);
sim::HandlerReg reg_1316(kReqEsataBackupStop, on_esata_backup_stop);
sim::HandlerReg reg_1317(kReqEsataBackupStatus, on_esata_backup_status);
sim::HandlerReg reg_3457(kReqExportDisks, on_export_disks);
sim::HandlerReg reg_3535(kReqFormatEsata, on_format_esata);
sim::HandlerReg reg_3536(kReqAutoBackupStatus, on_auto_backup_status);
sim::HandlerReg reg_3537(kReqAutoBackupStop, on_auto_backup_stop);
sim::HandlerReg reg_3540(kReqFormatInfo, on_format_info);

}  // namespace
