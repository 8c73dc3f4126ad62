// Handlers and reply callbacks of the storage route table ("/6100").
#pragma once

#include <cstdint>
#include <optional>

#include "frame/toolkit.h"

// The module's reply dispatcher.
void on_storage_ipc_callback(void* context, const void* header, const void* payload);

// Disks, RAID and formatting.
void on_get_disk_info(char* data);
void on_set_disk_info(char* data);
void on_format_disk(char* data);
void on_get_format_progress(char* data);
void on_create_raid(char* data);
void on_remove_raid(char* data);
void on_set_hot_space(char* data);
void on_rebuild_raid(char* data);
void on_get_raid_mode(char* data);
void on_set_raid_mode(char* data);

// Network disks, quotas, groups, recycle and eSATA backup.
void on_del_disk_nas(char* data);
void on_add_disk_nas(char* data);
void on_search_disk_nas(char* data);
void on_update_disk_nas(char* data);
void on_set_recycle_mode(char* data);
void on_get_recycle_mode(char* data);
void on_get_smart_attr(char* data);
void on_remove_disk(char* data);
void on_get_quota_info(char* data);
void on_set_quota_info(char* data);
void on_set_group_info(char* data);
void on_get_esata_auto_backup_info(char* data);
void on_set_esata_auto_backup_info(char* data);
void on_get_esata_auto_backup_status(char* data);
void on_get_export_disk_info(char* data);
void on_format_esata_disk_web(char* data);
void on_cgi_get_auto_backup_status(char* data);
void on_cgi_set_auto_backup_stop(char* data);
void on_cgi_get_format_info(char* data);

// Reply callbacks (count records of the reply's size).
void on_get_storage_info_cb(uint32_t count, const void* records);
void on_format_disk_cb(uint32_t count, const void* records);
void on_storage_ok_or_error_cb(uint32_t count,
                               const void* records);  // RAID, spare, NAS delete, quota
void on_update_disk_nas_cb(uint32_t count, const void* records);
void on_search_disk_nas_cb(uint32_t bytes, const void* payload);
void on_set_recycle_cb(uint32_t count, const void* records);
void on_get_recycle_mode_cb(uint32_t count, const void* records);
void on_get_smart_attr_cb(uint32_t count, const void* records);
void on_get_quota_info_cb(uint32_t bytes, const void* payload);
void on_get_esata_auto_backup_status_cb(uint32_t count, const void* records);
void on_get_export_disk_info_cb(uint32_t count, const void* records);
void on_cgi_get_format_info_cb(uint32_t count, const void* records);
void on_storage_result_cb(uint32_t count, const void* records);  // {"result": int32}
void on_storage_status_cb(uint32_t count, const void* records);  // {"status": int32}

// A whole decimal number (optional blanks around it), or nothing: request
// texts that name a disk are not guessed at.
using nvr::parse_decimal;

// One operation-log record of the storage module, with an optional detail.
void send_storage_log(int64_t sub_type, int32_t param_type, int32_t chan_no,
                      int32_t detail_kind = 0, const void* detail = nullptr,
                      int32_t detail_size = 0);

// The disk-group keys that the quota page and the status page share:
// "channel" (the 16 groups' channel lists), "disk" (for each port 1..36 its
// group + 1 when configured, else 0), "max_chan", "group_enable".
struct json_object;
void add_group_page(json_object* answer);
