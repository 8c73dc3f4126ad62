// The disk list, a disk's group and property, formatting, RAID arrays, hot
// spares, rebuilds and the RAID mode switch.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/storage/storage.h"
#include "modules/storage/storage_records.h"
#include "modules/storage/storage_wire.h"
#include "platform/device_path.h"
#include "platform/qvfs_log.h"
#include "platform/qvstd.h"

namespace {

// Set to 0 before a format request, to 1 by its reply when the disk was
// formatted; read for the log detail afterwards (the reply runs on the
// socket's thread).
std::atomic<int32_t> g_format_success{0};

// A text field of a settings record into a daemon record's field, bounded
// by the smaller of the two.
template <size_t N, size_t M>
void copy_text(char (&to)[N], const char (&from)[M]) {
  constexpr size_t kLimit = (N < M ? N : M) - 1;
  memset(to, 0, N);
  memcpy(to, from, strnlen(from, kLimit));
}

// What the list shows of a configured disk: its own texts replace the
// daemon's for a network disk; a disk the daemon does not report is listed
// from the settings alone.
void merge_configured(DiskStatus* slot, const DiskConfig& config) {
  if (slot->port != 0) {
    if (slot->hdd_type != kDiskTypeNfs && slot->hdd_type != kDiskTypeSmb) return;
  } else {
    *slot = DiskStatus{};
    slot->port = config.port;
    slot->hdd_type = config.hdd_type;
    slot->group = config.group;
    slot->property = config.property;
    slot->state = kDiskStateConfiguredOnly;
  }
  copy_text(slot->vendor, config.vendor);
  copy_text(slot->address, config.address);
  copy_text(slot->directory, config.directory);
  copy_text(slot->user_name, config.user_name);
  copy_text(slot->password, config.password);
}

nvr::Json url_encoded(const char* text, size_t size) {
  char bounded[64] = {};
  memcpy(bounded, text, strnlen(text, std::min(size, sizeof bounded - 1)));
  char encoded[256] = {};
  get_url_encode(bounded, encoded, sizeof encoded);
  return nvr::json_new_string(encoded);
}

// The members as a bit mask: bit p for each member port p that is not 0.
int32_t member_mask(const DiskStatus& disk) {
  int32_t mask = 0;
  const int32_t count = std::clamp(disk.raid_sata_cnt, 0, kMaxRaidMembers);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t port = disk.raid_sata_port[i];
    if (port > 0 && port < kMaxRaidMembers) mask |= 1 << port;
  }
  return mask;
}

void add_text(json_object* object, const char* key, const char* text, size_t size) {
  nvr::json_add(object, key, nvr::json_new_string_bounded(text, size));
}

// Byte counts as whole MiB, kept 64-bit (arrays of many disks pass 2^31 MiB
// only in petabytes, but nothing is cut on the way).
void add_mib(json_object* object, const char* key, uint64_t bytes) {
  nvr::json_add(object, key, nvr::json_new_uint64(bytes >> 20));
}

nvr::Json disk_json(const DiskStatus& disk) {
  nvr::Json item = nvr::json_new_object();
  json_object* o = item.get();
  nvr::json_add_int(o, "portId", disk.port);
  add_text(o, "vendorName", disk.vendor, sizeof disk.vendor);
  add_text(o, "address", disk.address, sizeof disk.address);
  add_text(o, "directory", disk.directory, sizeof disk.directory);
  add_mib(o, "totalSize", disk.total_bytes);
  add_mib(o, "usedSize", disk.used_bytes);
  add_mib(o, "freeSize", disk.free_bytes);
  nvr::json_add_int(o, "hddType", disk.hdd_type);
  nvr::json_add_int(o, "state", disk.state);
  nvr::json_add_int(o, "group", disk.group);
  nvr::json_add_int(o, "property", disk.property);
  nvr::json_add_int(o, "bUsable", disk.usable);
  nvr::json_add_int(o, "raid_id", disk.port);
  nvr::json_add_int(o, "raid_level", disk.raid_level);
  nvr::json_add_int(o, "raid_state", disk.raid_state);
  nvr::json_add_int(o, "raid_progress", disk.raid_progress);
  nvr::json_add_int(o, "raid_sata_cnt", disk.raid_sata_cnt);
  nvr::json_add_int(o, "raid_task", disk.raid_progress);
  nvr::json_add(o, "userName", url_encoded(disk.user_name, sizeof disk.user_name));
  nvr::json_add(o, "password", url_encoded(disk.password, sizeof disk.password));
  nvr::json_add_int(o, "raid_sata_port", member_mask(disk));
  return item;
}

struct DiskSet {
  int32_t port;
  int32_t property;
  int32_t group;
  int32_t is_private;
};
constexpr nvr::PolicyRow kDiskSetPolicy[] = {
    NVR_POLICY_INT(DiskSet, port, "portId", 0, kMaxDiskPorts - 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(DiskSet, property, "property", 0, 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(DiskSet, group, "group", INT32_MIN, INT32_MAX, nvr::Presence::kLenient),
    NVR_POLICY_INT(DiskSet, is_private, "private", INT32_MIN, INT32_MAX, nvr::Presence::kLenient),
};

struct RaidCreate {
  int32_t id;
  int32_t enable;
  int32_t level;
  int32_t sata_cnt;
  int64_t sata_port;
};
constexpr nvr::PolicyRow kRaidPolicy[] = {
    NVR_POLICY_INT(RaidCreate, id, "id", 10, 15, nvr::Presence::kRequired),
    NVR_POLICY_INT(RaidCreate, enable, "enable", INT32_MIN, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(RaidCreate, sata_port, "sata_port", 0, INT64_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(RaidCreate, sata_cnt, "sata_cnt", 0, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(RaidCreate, level, "level", 0, INT32_MAX, nvr::Presence::kRequired),
};

struct HotSpare {
  int32_t port;
  int32_t hotflag;
};
constexpr nvr::PolicyRow kHotSparePolicy[] = {
    NVR_POLICY_INT(HotSpare, port, "port", INT32_MIN, INT32_MAX, nvr::Presence::kLenient),
    NVR_POLICY_INT(HotSpare, hotflag, "hotflag", INT32_MIN, INT32_MAX, nvr::Presence::kLenient),
};
constexpr nvr::PolicyRow kRebuildPolicy[] = {
    NVR_POLICY_INT(RebuildRequest, disk_port, "diskport", INT32_MIN, INT32_MAX,
                   nvr::Presence::kLenient),
    NVR_POLICY_INT(RebuildRequest, raid_port, "raidport", INT32_MIN, INT32_MAX,
                   nvr::Presence::kLenient),
};

}  // namespace

void send_storage_log(int64_t sub_type, int32_t param_type, int32_t chan_no, int32_t detail_kind,
                      const void* detail, int32_t detail_size) {
  QvLogInfo record;
  cgi_init_log_info(&record);
  record.sub_type = sub_type;
  record.param_type = param_type;
  record.chan_no = chan_no;
  if (detail != nullptr) qvfs_log_pack_detail(&record, detail_kind, detail, detail_size);
  cgi_send_log(nullptr, record);
}

// ---- "/6100" -----------------------------------------------------------------------

void on_get_storage_info_cb(uint32_t count, const void* records) {
  DiskStatus slots[kMaxDiskPorts] = {};
  for (uint32_t i = 0; i < count; ++i) {
    DiskStatus disk = nvr::record_at<DiskStatus>(records, i);
    if (disk.port >= 1 && disk.port <= kMaxDiskPorts) slots[disk.port - 1] = disk;
  }
  DiskConfig configured[kMaxDiskPorts];
  read_disks(nvr::qvdb_path(), configured);
  for (const DiskConfig& config : configured)
    if (config.enable == 1 && config.port >= 1 && config.port <= kMaxDiskPorts)
      merge_configured(&slots[config.port - 1], config);

  nvr::Json list = nvr::json_new_array();
  for (const DiskStatus& disk : slots)
    if (disk.port != 0) nvr::json_append(list.get(), disk_json(disk));

  nvr::Json answer = nvr::json_new_object();
  const bool none = count == 0 && nvr::json_array_size(list.get()) == 0;
  nvr::json_add_string(answer.get(), "resultString", none ? "NO" : "OK");
  nvr::json_add_int(answer.get(), "esataType", get_param_int(nvr::qvdb_path(), "esata_type", 0));
  nvr::json_add(answer.get(), "HDD", std::move(list));
  nvr::json_add_int(answer.get(), "maxDiskNum", kMaxDiskPorts);
  nvr::answer_json(answer);
}

void on_get_disk_info(char*) {
  nvr::ask_or_answer(on_storage_ipc_callback, kReqDiskList, nullptr, 0, nvr::Silence::kJson);
}

// ---- "/6101" -----------------------------------------------------------------------

void on_set_disk_info(char* data) {
  DiskSet set{};
  if (nvr::read_request(data, kDiskSetPolicy, &set) != 0) return;

  DiskConfig disk{};
  disk.port = set.port;
  read_disk(nvr::qvdb_path(), &disk, set.port);
  disk.port = set.port;
  disk.property = set.property;
  disk.group = set.group;
  const int stored = write_disk(nvr::qvdb_path(), &disk);

  const DiskSetRequest request{set.port, set.property, set.group, set.is_private};
  nvr::finish_change(stored, {kReqSetDisk, &request, sizeof request},
                     {kLogSubChangeSettings, kLogParamDisk, set.port});
}

// ---- "/6102", "/6103" ----------------------------------------------------------------

void on_format_disk_cb(uint32_t count, const void* records) {
  // A reply without its status counts as a failed format.
  const int32_t status = count > 0 ? nvr::record_at<int32_t>(records, 0) : -1;
  const char* answer = nullptr;
  switch (status) {
    case 0:
      g_format_success.store(1);
      answer = "OK";
      break;
    case 1:
      answer = "USING";
      break;
    case -1:
      answer = "ERROR FORMAT";
      break;
    case -3:
      answer = "NAS LOW CAP";
      break;
    default:
      break;
  }
  if (answer != nullptr) cgi_writeback_webserver(kRespText, answer);
  cgi_set_callback_done();
}

void on_format_disk(char* data) {
  std::optional<int64_t> port = parse_decimal(data);
  if (!port || *port < 0 || *port > kMaxDiskPorts) return;
  const int32_t disk = static_cast<int32_t>(*port);

  g_format_success.store(0);
  nvr::ask_or_answer(on_storage_ipc_callback, kReqFormatDisk, disk, nvr::Silence::kJson);

  FormatLogDetail detail{};
  detail.port = disk;
  detail.result = g_format_success.load() == 1 ? 1 : -1;
  send_storage_log(kLogSubFormatDisk, kLogParamNone, disk, kLogDetailFormat, &detail,
                   sizeof detail);
}

void on_get_format_progress(char* data) {
  std::optional<int64_t> value = parse_decimal(data);
  if (value && *value >= 0 && *value <= 16) cgi_writeback_webserver(kRespText, "OK");
}

// ---- "/6104" to "/6107" --------------------------------------------------------------

void on_storage_ok_or_error_cb(uint32_t count, const void* records) {
  const bool ok = count > 0 && nvr::record_at<int32_t>(records, 0) == 0;
  nvr::answer_text(ok ? "OK" : "Error");
}

void on_create_raid(char* data) {
  RaidCreate raid{};
  if (nvr::read_request(data, kRaidPolicy, &raid) != 0) return;

  RaidRequest request{};
  request.id = raid.id;
  request.enable = raid.enable;
  request.level = raid.level;
  request.member_count = raid.sata_cnt;  // as the page sent it
  int members = 0;
  for (int bit = 0; bit < kMaxRaidMembers; ++bit)
    if (raid.sata_port & (int64_t{1} << bit)) request.members[members++] = bit;
  nvr::ask_or_answer(on_storage_ipc_callback, kReqCreateRaid, request, nvr::Silence::kText);
}

void on_remove_raid(char* data) {
  std::optional<int64_t> id = parse_decimal(data);
  if (!id || *id < 10 || *id > 16) return;
  RaidRequest request{};
  request.id = static_cast<int32_t>(*id);
  nvr::ask_or_answer(on_storage_ipc_callback, kReqRemoveRaid, request, nvr::Silence::kText);
}

void on_set_hot_space(char* data) {
  HotSpare spare{};
  if (nvr::read_request(data, kHotSparePolicy, &spare) != 0) return;
  const int32_t request_id = spare.hotflag != 0 ? kReqSetHotSpare : kReqUnsetHotSpare;
  nvr::ask_or_answer(on_storage_ipc_callback, request_id, spare.port, nvr::Silence::kText);
}

void on_rebuild_raid(char* data) {
  RebuildRequest request{};
  if (nvr::read_request(data, kRebuildPolicy, &request) != 0) return;
  nvr::ask_or_answer(on_storage_ipc_callback, kReqRebuildRaid, request, nvr::Silence::kText);
}

// ---- "/6108", "/6109" ----------------------------------------------------------------

void on_get_raid_mode(char*) {
  char text[16];
  snprintf(text, sizeof text, "%d", get_param_int(nvr::qvdb_path(), "raidmode", 0));
  cgi_writeback_webserver(kRespText, text);
}

void on_set_raid_mode(char* data) {
  int mode = data ? atoi(data) : 0;
  if (mode != 0 && mode != 1) mode = 0;
  if (set_param_int(nvr::qvdb_path(), "raidmode", mode) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  cgi_writeback_webserver(kRespText, "OK");
}
