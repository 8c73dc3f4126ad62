// Network disks, removing disks, SMART, recycle mode, quotas, disk groups,
// the eSATA automatic backup, the export disk and the format progress.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/storage/storage.h"
#include "modules/storage/storage_records.h"
#include "modules/storage/storage_wire.h"
#include "platform/device_path.h"
#include "platform/qvstd.h"

namespace {

const char* protocol_name(int32_t hdd_type, bool empty_for_other) {
  if (hdd_type == kDiskTypeNfs) return "NFS";
  if (hdd_type == kDiskTypeSmb || !empty_for_other) return "SMB/CIFS";
  return "";
}

void log_nas(int64_t sub_type, int32_t detail_kind, const DiskConfig& disk,
             bool empty_for_other = false) {
  NasLogDetail detail{};
  snprintf(detail.protocol, sizeof detail.protocol, "%s",
           protocol_name(disk.hdd_type, empty_for_other));
  memcpy(detail.address, disk.address, strnlen(disk.address, sizeof detail.address - 1));
  memcpy(detail.directory, disk.directory, strnlen(disk.directory, sizeof detail.directory - 1));
  send_storage_log(sub_type, kLogParamNone, disk.port, detail_kind, &detail, sizeof detail);
}

// A configured network disk from the keys of a request, read either from
// element `i` of its arrays or from its plain keys. The port must be one the
// disk list can show (1..36); nothing otherwise.
std::optional<DiskConfig> network_disk(json_object* request, int32_t type,
                                       std::optional<size_t> i) {
  auto value = [&](const char* key) {
    json_object* member = nvr::json_get(request, key);
    return i ? nvr::json_at(member, *i) : member;
  };
  std::optional<int64_t> port = nvr::json_int64(value("port"));
  if (!port || *port < 1 || *port > kMaxDiskPorts) return std::nullopt;
  DiskConfig disk{};
  disk.enable = 1;
  disk.property = 1;
  disk.hdd_type = type;
  disk.port = static_cast<int32_t>(*port);
  nvr::json_copy_text(value("vendor"), disk.vendor, sizeof disk.vendor);
  nvr::json_copy_text(value("address"), disk.address, sizeof disk.address);
  nvr::json_copy_text(value("directory"), disk.directory, sizeof disk.directory);
  nvr::json_copy_text(value("userName"), disk.user_name, sizeof disk.user_name);
  nvr::json_copy_text(value("password"), disk.password, sizeof disk.password);
  get_url_decode(disk.user_name, disk.user_name, sizeof disk.user_name);
  get_url_decode(disk.password, disk.password, sizeof disk.password);
  return disk;
}

int32_t int_at(json_object* array, size_t i) {
  std::optional<int64_t> value = nvr::json_int64(nvr::json_at(array, i));
  return value && *value >= INT32_MIN && *value <= INT32_MAX ? static_cast<int32_t>(*value) : 0;
}

int32_t request_int(json_object* request, const char* key, int32_t fallback = 0) {
  std::optional<int64_t> value = nvr::json_int64(nvr::json_get(request, key));
  return value && *value >= INT32_MIN && *value <= INT32_MAX ? static_cast<int32_t>(*value)
                                                             : fallback;
}

// The number of elements a route takes: the request's count, at most `limit`.
size_t taken(json_object* request, int64_t limit) {
  return static_cast<size_t>(std::clamp<int64_t>(nvr::json_int_or(request, "num", 0), 0, limit));
}

// The disk column of the quota and group pages: for each port 1..36 its
// group + 1 when the disk is configured, else 0.
nvr::Json disk_groups_json() {
  DiskConfig disks[kMaxDiskPorts];
  read_disks(nvr::qvdb_path(), disks);
  nvr::Json list = nvr::json_new_array();
  for (const DiskConfig& disk : disks)
    nvr::json_append(list.get(), nvr::json_new_int(disk.enable != 0 ? int64_t{disk.group} + 1 : 0));
  return list;
}

nvr::Json group_channels_json() {
  DiskGroup groups[kMaxDiskGroups];
  read_groups(nvr::qvdb_path(), groups);
  nvr::Json list = nvr::json_new_array();
  for (const DiskGroup& group : groups)
    nvr::json_append(list.get(), nvr::json_new_string_bounded(group.channel, sizeof group.channel));
  return list;
}

}  // namespace

// The group page's shared tail: "channel", "disk", "max_chan", "group_enable".
void add_group_page(json_object* answer) {
  nvr::json_add(answer, "channel", group_channels_json());
  nvr::json_add(answer, "disk", disk_groups_json());
  nvr::json_add_int(answer, "max_chan", get_param_int(nvr::qvdb_path(), "max_cameras", 32));
  nvr::json_add_int(answer, "group_enable", get_param_int(nvr::qvdb_path(), "group_mode", 0));
}

// ---- network disks ---------------------------------------------------------------------

void on_update_disk_nas_cb(uint32_t count, const void* records) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "status", 0);
  nvr::json_add_int(answer.get(), "res", count > 0 ? nvr::record_at<int32_t>(records, 0) : -1);
  nvr::answer_json(answer);
}

// "/6200"
void on_del_disk_nas(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* ports = nvr::json_get(request.get(), "port");
  NasList list{};
  std::vector<DiskConfig> disks;
  for (size_t i = 0; i < taken(request.get(), kMaxNasDisks); ++i) {
    const int32_t port = int_at(ports, i);
    list.ports[list.count++] = port;
    DiskConfig disk{};
    read_disk(nvr::qvdb_path(), &disk, port);
    disks.push_back(disk);
  }
  if (nvr::ask_or_answer(on_storage_ipc_callback, kReqDeleteNas, list, nvr::Silence::kText) == 0)
    return;
  for (const DiskConfig& disk : disks)
    if (disk.port != 0) log_nas(kLogSubDeleteNas, kLogDetailNas, disk);
}

// "/6201"
void on_add_disk_nas(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const int32_t type = request_int(request.get(), "type", kDiskTypeNfs);
  const int64_t wanted = nvr::json_int_or(request.get(), "num", 0);

  std::vector<DiskConfig> disks;
  for (int64_t j = 0; j < wanted && disks.size() < kMaxNasDisks; ++j) {
    std::optional<DiskConfig> disk = network_disk(request.get(), type, static_cast<size_t>(j));
    if (!disk) return;  // a port the list cannot show: nothing is stored
    disks.push_back(*disk);
  }
  {
    DbBatch batch(nvr::qvdb_path());
    int stored = 0;
    for (const DiskConfig& disk : disks) stored |= write_disk(nvr::qvdb_path(), &disk);
    if (stored != 0 || batch.commit() != 0) {
      cgi_error_to_webserver(kRespJson);
      return;
    }
  }
  NasList list{};
  for (const DiskConfig& disk : disks) list.ports[list.count++] = disk.port;
  if (nvr::ask_or_answer(on_storage_ipc_callback, kReqAddNas, list, nvr::Silence::kText) == 0)
    return;
  for (const DiskConfig& disk : disks) log_nas(kLogSubAddNas, kLogDetailNas, disk);
}

// "/6203"
void on_update_disk_nas(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const int32_t type = request_int(request.get(), "type", kDiskTypeNfs);
  std::optional<DiskConfig> disk = network_disk(request.get(), type, std::nullopt);
  if (!disk) return;
  if (write_disk(nvr::qvdb_path(), &*disk) != 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  if (nvr::ask_or_answer(on_storage_ipc_callback, kReqUpdateNas, disk->port, nvr::Silence::kText) ==
      0)
    return;
  log_nas(kLogSubEditNas, kLogDetailNasEdit, *disk, true);
}

// "/6202": the payload is read as far as it arrived.
void on_search_disk_nas_cb(uint32_t bytes, const void* payload) {
  const auto* raw = static_cast<const uint8_t*>(payload);
  int32_t count = 0;
  if (bytes >= sizeof count) memcpy(&count, raw, sizeof count);
  const uint32_t arrived = bytes >= sizeof count ? (bytes - sizeof count) / 256 : 0;
  const uint32_t paths = std::min<uint32_t>({count > 0 ? static_cast<uint32_t>(count) : 0u,
                                             static_cast<uint32_t>(kMaxNasPaths), arrived});

  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "resultString", count > 0 ? "OK" : "NO");
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < paths; ++i) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add(item.get(), "filePath",
                  nvr::json_new_string_bounded(
                      reinterpret_cast<const char*>(raw + sizeof count + size_t{i} * 256), 256));
    nvr::json_append(list.get(), std::move(item));
  }
  nvr::json_add(answer.get(), "NAS", std::move(list));
  nvr::answer_json(answer);
}

void on_search_disk_nas(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  NasSearchRequest search{};
  search.port = request_int(request.get(), "port");
  nvr::json_copy_string(request.get(), "serverAddr", search.server, sizeof search.server);
  nvr::ask_or_answer(on_storage_ipc_callback, kReqSearchNas, search, nvr::Silence::kJson);
}

// "/6207"
void on_remove_disk(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const int32_t port = request_int(request.get(), "port");
  const int32_t type = request_int(request.get(), "hddType");

  if (type == kDiskTypeNfs || type == kDiskTypeSmb) {
    NasList list{};
    list.count = 1;
    list.ports[0] = port;
    nvr::ask_or_answer(on_storage_ipc_callback, kReqDeleteNas, list, nvr::Silence::kText);
    return;
  }
  if (type == kDiskTypeRaid) {
    RaidRequest raid{};
    raid.id = port;
    nvr::ask_or_answer(on_storage_ipc_callback, kReqRemoveRaid, raid, nvr::Silence::kText);
  } else {
    DiskConfig cleared{};
    cleared.port = port;
    cleared.property = 1;
    if (write_disk(nvr::qvdb_path(), &cleared) != 0) {
      cgi_error_to_webserver(kRespText);
      return;
    }
    nvr::ask_or_answer(on_storage_ipc_callback, kReqRemoveDisk, port, nvr::Silence::kText);
  }
  send_storage_log(kLogSubRemoveDisk, kLogParamNone, port);
}

// ---- SMART and recycle mode ------------------------------------------------------------

void on_get_smart_attr_cb(uint32_t count, const void* records) {
  int32_t passed = 0;
  if (count > 0) {
    SmartReply reply = nvr::record_at<SmartReply>(records, 0);
    char text[sizeof reply.self_test + 1] = {};
    memcpy(text, reply.self_test, sizeof reply.self_test);
    passed = strstr(text, "PASSED") != nullptr ? 1 : 0;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "selfEvaluation", passed);
  nvr::answer_json(answer);
}

// "/6206": the last of the first `num` ports is the one tested.
void on_get_smart_attr(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* ports = nvr::json_get(request.get(), "port");
  const size_t n = std::min(taken(request.get(), INT32_MAX), nvr::json_array_size(ports));
  const int32_t port = n > 0 ? int_at(ports, n - 1) : 0;
  nvr::ask_or_answer(on_storage_ipc_callback, kReqSmart, port, nvr::Silence::kJson);
}

void on_set_recycle_cb(uint32_t, const void*) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "status", "OK");
  nvr::answer_json(answer);
}

void on_get_recycle_mode_cb(uint32_t count, const void* records) {
  if (count == 0) {
    nvr::answer_error(kRespJson);
    return;
  }
  RecycleMode mode = nvr::record_at<RecycleMode>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "mode", mode.mode);
  nvr::json_add_int(answer.get(), "esata", mode.esata);
  nvr::answer_json(answer);
}

// "/6204"
void on_set_recycle_mode(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const RecycleMode mode{request_int(request.get(), "mode"), request_int(request.get(), "esata")};
  nvr::ask_or_answer(on_storage_ipc_callback, kReqSetRecycle, mode, nvr::Silence::kJson);
}

// "/6205"
void on_get_recycle_mode(char*) {
  const int32_t zero = 0;
  nvr::ask_or_answer(on_storage_ipc_callback, kReqGetRecycle, zero, nvr::Silence::kJson);
}

// ---- quotas and groups ---------------------------------------------------------------

// "/6208": the entries are read as far as they arrived.
void on_get_quota_info_cb(uint32_t bytes, const void* payload) {
  QuotaInfo quota{};
  memcpy(&quota, payload, std::min<size_t>(bytes, sizeof quota));
  const size_t arrived = bytes > 8 ? (bytes - 8) / sizeof(QuotaEntry) : 0;
  const size_t entries = std::min<size_t>(
      {quota.count > 0 ? static_cast<size_t>(quota.count) : 0, kMaxQuotaEntries, arrived});

  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "enable", quota.enable);
  nvr::Json list = nvr::json_new_array();
  for (size_t i = 0; i < entries; ++i) {
    const QuotaEntry& entry = quota.entries[i];
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "channel", entry.channel);
    nvr::json_add_int(item.get(), "video_used", entry.video_used);
    nvr::json_add_int(item.get(), "video_quota", entry.video_quota);
    nvr::json_add_int(item.get(), "picture_used", entry.picture_used);
    nvr::json_add_int(item.get(), "picture_quota", entry.picture_quota);
    nvr::json_append(list.get(), std::move(item));
  }
  nvr::json_add(answer.get(), "quota_array", std::move(list));
  add_group_page(answer.get());
  nvr::answer_json(answer);
}

void on_get_quota_info(char*) {
  nvr::ask_or_answer(on_storage_ipc_callback, kReqGetQuota, nullptr, 0, nvr::Silence::kJson);
}

// "/6209": the count is the page's; at most 16 entries travel.
void on_set_quota_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || nvr::json_get(request.get(), "enable") == nullptr) return;
  json_object* entries = nvr::json_get(request.get(), "quota_array");
  QuotaInfo quota{};
  quota.enable = request_int(request.get(), "enable");
  quota.count = static_cast<int32_t>(std::min<size_t>(nvr::json_array_size(entries), INT32_MAX));
  for (size_t i = 0; i < kMaxQuotaEntries && i < nvr::json_array_size(entries); ++i) {
    json_object* entry = nvr::json_at(entries, i);
    quota.entries[i].channel = request_int(entry, "channel");
    quota.entries[i].video_quota = request_int(entry, "video_quota");
    quota.entries[i].picture_quota = request_int(entry, "picture_quota");
  }
  nvr::ask_or_answer(on_storage_ipc_callback, kReqSetQuota, quota, nvr::Silence::kText);
}

// "/6210": the daemon keeps the groups' channel lists; the mode is stored here.
void on_set_group_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const int32_t group_enable = request_int(request.get(), "group_enable");
  if (group_enable == 0) {
    if (set_param_int(nvr::qvdb_path(), "group_mode", 0) != 0) {
      cgi_error_to_webserver(kRespText);
      return;
    }
    nvr::tell_daemon(kReqGroupMode, group_enable);
    cgi_writeback_webserver(kRespText, "OK");
    return;
  }
  if (get_param_int(nvr::qvdb_path(), "group_mode", 0) == 0) {
    if (set_param_int(nvr::qvdb_path(), "group_mode", group_enable) != 0) {
      cgi_error_to_webserver(kRespText);
      return;
    }
    nvr::tell_daemon(kReqGroupMode, group_enable);
  }
  DiskGroup groups[kMaxDiskGroups];
  read_groups(nvr::qvdb_path(), groups);
  json_object* channels = nvr::json_get(request.get(), "channel");
  for (size_t p = 0; p < kMaxDiskGroups && p < nvr::json_array_size(channels); ++p) {
    DiskGroup group = groups[p];
    memset(group.channel, 0, sizeof group.channel);
    nvr::json_copy_text(nvr::json_at(channels, p), group.channel, sizeof group.channel);
    nvr::tell_daemon(kReqSetGroup, group);
  }
  nvr::tell_daemon(kReqGroupsChanged, nullptr, 0);
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- eSATA backup, export disk, format information ---------------------------------

void on_storage_result_cb(uint32_t count, const void* records) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "result", count > 0 ? nvr::record_at<int32_t>(records, 0) : -1);
  nvr::answer_json(answer);
}

void on_storage_status_cb(uint32_t count, const void* records) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "status", count > 0 ? nvr::record_at<int32_t>(records, 0) : -1);
  nvr::answer_json(answer);
}

// "/6220"
void on_get_esata_auto_backup_info(char*) {
  EsataBackup backup{};
  read_esata_auto_backup(nvr::qvdb_path(), &backup);
  nvr::Json answer(db_record_to_json(kEsataBackupRecord, &backup));
  if (!answer) return;
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/6221"
void on_set_esata_auto_backup_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const int32_t stop = request_int(request.get(), "stopBackup");
  if (stop == 0) {
    EsataBackup backup{};
    db_record_from_json(kEsataBackupRecord, request.get(), &backup);
    if (write_esata_auto_backup(nvr::qvdb_path(), &backup) != 0) {
      cgi_error_to_webserver(kRespJson);
      return;
    }
  }
  nvr::ask_or_answer(on_storage_ipc_callback, kReqEsataBackupStop, stop, nvr::Silence::kJson);
}

void on_get_esata_auto_backup_status_cb(uint32_t count, const void* records) {
  if (count == 0) {
    nvr::answer_error(kRespJson);
    return;
  }
  EsataBackupStatus status = nvr::record_at<EsataBackupStatus>(records, 0);
  char percent[32];
  snprintf(percent, sizeof percent, "%.1f", static_cast<double>(status.percent));
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "status", status.status);
  nvr::json_add_string(answer.get(), "percent", percent);
  nvr::json_add(answer.get(), "last_time",
                nvr::json_new_string_bounded(status.last_time, sizeof status.last_time));
  nvr::json_add(answer.get(), "capacity", nvr::json_new_uint64(status.capacity));
  nvr::answer_json(answer);
}

// "/6222"
void on_get_esata_auto_backup_status(char*) {
  nvr::ask_or_answer(on_storage_ipc_callback, kReqEsataBackupStatus, nullptr, 0,
                     nvr::Silence::kJson);
}

void on_get_export_disk_info_cb(uint32_t count, const void* records) {
  nvr::Json answer = nvr::json_new_object();
  for (uint32_t i = 0; i < count; ++i) {
    ExportDisk disk = nvr::record_at<ExportDisk>(records, i);
    if (disk.type != kDiskTypeExport) continue;
    nvr::json_add_int(answer.get(), "port", disk.port);
    nvr::json_add_int(answer.get(), "result", 0);
    nvr::answer_json(answer);
    return;
  }
  nvr::json_add_int(answer.get(), "result", -1);
  nvr::answer_json(answer);
}

// "/6223"
void on_get_export_disk_info(char*) {
  nvr::ask_or_answer(on_storage_ipc_callback, kReqExportDisks, nullptr, 0, nvr::Silence::kJson);
}

// "/6224"
void on_format_esata_disk_web(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t port = -1;
  if (!request || !nvr::json_read_int(request.get(), "port", &port, 0, kMaxDiskPorts)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_storage_ipc_callback, kReqFormatEsata, port, nvr::Silence::kJson);
}

// "/6225"
void on_cgi_get_auto_backup_status(char*) {
  nvr::ask_or_answer(on_storage_ipc_callback, kReqAutoBackupStatus, nullptr, 0,
                     nvr::Silence::kJson);
}

// "/6226"
void on_cgi_set_auto_backup_stop(char*) {
  nvr::ask_or_answer(on_storage_ipc_callback, kReqAutoBackupStop, nullptr, 0, nvr::Silence::kJson);
}

void on_cgi_get_format_info_cb(uint32_t count, const void* records) {
  if (count == 0) {
    nvr::answer_error(kRespJson);
    return;
  }
  FormatInfo info = nvr::record_at<FormatInfo>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "status", info.status);
  nvr::json_add_int(answer.get(), "port", info.port);
  nvr::json_add_int(answer.get(), "type", info.type);
  nvr::json_add_int(answer.get(), "percent", info.percent);
  nvr::answer_json(answer);
}

// "/6227"
void on_cgi_get_format_info(char*) {
  nvr::ask_or_answer(on_storage_ipc_callback, kReqFormatInfo, nullptr, 0, nvr::Silence::kJson);
}
