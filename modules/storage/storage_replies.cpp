// The storage module's replies: reply id, record size, callback.
#include "frame/toolkit.h"
#include "modules/storage/storage.h"
#include "modules/storage/storage_wire.h"

namespace {

constexpr uint32_t kStatus = sizeof(int32_t);
constexpr uint32_t kBytes = 1;  // the callback reads the payload as far as it arrived

constexpr nvr::ReplyRow kStorageReplies[] = {
    {kReplyEsataBackupStop, kStatus, on_storage_result_cb},
    {kReplyEsataBackupStatus, sizeof(EsataBackupStatus), on_get_esata_auto_backup_status_cb},
    {kReplyFormatDiskOld, kStatus, on_format_disk_cb},
    {kReplyFormatDisk, kStatus, on_format_disk_cb},
    {kReplySmart, sizeof(SmartReply), on_get_smart_attr_cb},
    {kReplyCreateRaid, kStatus, on_storage_ok_or_error_cb},
    {kReplyRemoveRaid, kStatus, on_storage_ok_or_error_cb},
    {kReplyRemoveDisk, kStatus, on_storage_ok_or_error_cb},
    {kReplySetHotSpare, kStatus, on_storage_ok_or_error_cb},
    {kReplyUnsetHotSpare, kStatus, on_storage_ok_or_error_cb},
    {kReplyRebuildRaid, kStatus, on_storage_ok_or_error_cb},
    {kReplyGetRecycle, sizeof(RecycleMode), on_get_recycle_mode_cb},
    {kReplyDiskList, sizeof(DiskStatus), on_get_storage_info_cb},
    {kReplyUpdateNas, kStatus, on_update_disk_nas_cb},
    {kReplyAddNas, kStatus, on_update_disk_nas_cb},
    {kReplySearchNas, kBytes, on_search_disk_nas_cb},
    {kReplyExportDisks, sizeof(ExportDisk), on_get_export_disk_info_cb},
    {kReplySetRecycle, kStatus, on_set_recycle_cb},
    {kReplyDeleteNas, kStatus, on_storage_ok_or_error_cb},
    {kReplyGetQuota, kBytes, on_get_quota_info_cb},
    {kReplySetQuota, kStatus, on_storage_ok_or_error_cb},
    {kReplyFormatEsata, kStatus, on_storage_result_cb},
    {kReplyAutoBackupStatus, kStatus, on_storage_status_cb},
    {kReplyAutoBackupStop, kStatus, on_storage_result_cb},
    {kReplyFormatInfo, sizeof(FormatInfo), on_cgi_get_format_info_cb},
};

}  // namespace

void on_storage_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kStorageReplies, header, payload);
}
