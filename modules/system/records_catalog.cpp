// The settings records of the system module and of the platform layer.
#include "modules/system/system_module.h"
#include "platform/qvdb_catalog.h"

namespace {

// Not listed: kUserChangeRecord, the fields a request may change in a user
// record, and kLoginPermissionRecord, the log-in answer's part of it; they
// read and write JSON only and are never stored by themselves.
const DbCatalogEntry kSystemRecords[] = {
    {&kUpnpRecord, 1},
    {&kAccessFilterRecord, 1},
    {&kDisplayRecord, 1},
    {&kNetworkHostName, 1},
    {&kDiskMaintainRecord, 1},
    {&kAutoRebootRecord, 1},
    {&kUserRecord, 1},
    {&kUserListRecord, 1},
    {&kOemUserRecord, 1},
    {&kAlarmAudioFileRecord, 1},
    {&kWhiteLedRecord, 1},
    {&kWarningLightRecord, 1},
    {&kHttpNotifyRecord, 1},
    {&kPtzActionRecord, 1},
    {&kPtzActionRecord, 1, kPeoplecntPtzActionKind},
};

}  // namespace

std::span<const DbCatalogEntry> system_record_catalog() { return kSystemRecords; }
