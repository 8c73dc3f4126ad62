// Route table of the storage module ("/6100"): disks, RAID and formatting,
// then network disks, quotas, groups, recycle mode and eSATA backup.
#include "frame/dispatchreq.h"
#include "modules/storage/storage.h"

namespace {

// The order of these rows is the table's order.
constexpr Route kStorageRoutes[] = {
    NVR_ROUTE("/6100", on_get_disk_info,
              "Lists the disks and RAID arrays with their state, size and group"),
    NVR_ROUTE("/6101", on_set_disk_info, "Sets a disk's property, group and private flag"),
    NVR_ROUTE("/6102", on_format_disk,
              "Formats the disk on the given port and answers the recorder's verdict"),
    NVR_ROUTE("/6103", on_get_format_progress, "Answers the progress of a running format"),
    NVR_ROUTE("/6104", on_create_raid,
              "Creates a RAID array from the chosen disks at the given level"),
    NVR_ROUTE("/6105", on_remove_raid, "Removes the RAID array with the given id"),
    NVR_ROUTE("/6106", on_set_hot_space, "Marks or clears a disk as a hot spare"),
    NVR_ROUTE("/6107", on_rebuild_raid, "Rebuilds a RAID array onto the given disk"),
    NVR_ROUTE("/6108", on_get_raid_mode, "Answers whether RAID mode is on, as a number"),
    NVR_ROUTE("/6109", on_set_raid_mode, "Turns RAID mode on or off"),
    NVR_ROUTE("/6200", on_del_disk_nas, "Removes network disks by port"),
    NVR_ROUTE("/6201", on_add_disk_nas,
              "Adds network disks (NFS or SMB) with their address, folder and login"),
    NVR_ROUTE("/6202", on_search_disk_nas,
              "Searches a server for shared folders that can be used as a network disk"),
    NVR_ROUTE("/6203", on_update_disk_nas, "Changes one network disk's address, folder and login"),
    NVR_ROUTE("/6204", on_set_recycle_mode,
              "Sets whether full disks are overwritten, also for eSATA"),
    NVR_ROUTE("/6205", on_get_recycle_mode, "Answers the overwrite mode of the disks and of eSATA"),
    NVR_ROUTE("/6206", on_get_smart_attr, "Answers the health self-evaluation of the chosen disks"),
    NVR_ROUTE("/6207", on_remove_disk, "Takes a disk, network disk or eSATA disk out of use"),
    NVR_ROUTE("/6208", on_get_quota_info, "Lists the recording quota of every channel"),
    NVR_ROUTE("/6209", on_set_quota_info, "Sets the recording quotas of the channels"),
    NVR_ROUTE("/6210", on_set_group_info,
              "Turns disk groups on or off and assigns channels to groups"),
    NVR_ROUTE("/6220", on_get_esata_auto_backup_info,
              "Answers the eSATA automatic backup settings"),
    NVR_ROUTE("/6221", on_set_esata_auto_backup_info,
              "Stores the eSATA automatic backup settings or stops a running backup"),
    NVR_ROUTE("/6222", on_get_esata_auto_backup_status,
              "Answers the state of the eSATA automatic backup"),
    NVR_ROUTE("/6223", on_get_export_disk_info, "Answers which disk is used for exports"),
    NVR_ROUTE("/6224", on_format_esata_disk_web, "Formats the eSATA disk on the given port"),
    NVR_ROUTE("/6225", on_cgi_get_auto_backup_status, "Answers the state of the automatic backup"),
    NVR_ROUTE("/6226", on_cgi_set_auto_backup_stop, "Stops the running automatic backup"),
    NVR_ROUTE("/6227", on_cgi_get_format_info,
              "Answers the recorder's format information of the disks"),
};
static_assert(std::size(kStorageRoutes) == 29);

}  // namespace

std::span<const Route> storage_route_table() { return kStorageRoutes; }
