// The settings records of the system module and of the platform layer.
#include "modules/system/access_records.h"
#include "modules/system/maintenance_records.h"
#include "modules/system/sysinfo_records.h"
#include "modules/system/users_records.h"
#include "platform/qvdb_actions.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kPerChannel = 64;

// Not listed: kUserChangeRecord, the fields a request may change in a user
// record; it reads JSON only and is never stored by itself (it has no key).
const DbCatalogEntry kSystemRecords[] = {
    {&kUpnpRecord, 1},
    {&kAccessFilterRecord, 1},
    {&kPortRecord, 1},
    {&kCameraAddressRecord, kPerChannel},
    {&kDisplayRecord, 1},
    {&kNetworkHostName, 1},
    {&kDiskMaintainRecord, 1},
    {&kAutoRebootRecord, 1},
    {&kMotionIntervals, kPerChannel},
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
