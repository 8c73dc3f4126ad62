// The settings records of the camera module.
#include "modules/cameras/cameras_records.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kPerChannel = 64;

const DbCatalogEntry kCameraRecords[] = {
    {&kCameraRecord, kPerChannel},
    {&kOsdRecord, kPerChannel},
    {&kIpcProtocolRecord, 1},
    {&kIpcModelRecord, 1},
    {&kPrivacyMaskRecord, kPerChannel},
    {&kExposureRecord, 1},
    {&kPeoplecntSettingRecord, kPeoplecntGroups},
    {&kPeoplecntEventRecord, kPeoplecntGroups},
    {&kPosSettingRecord, kPosDevices},
    {&kActionEventRecord, kPosDevices},
    {&kActionEventRecord, kPerChannel, "face_event"},
    {&kReportBackupRecord, kReportBackups},
};

}  // namespace

std::span<const DbCatalogEntry> cameras_record_catalog() { return kCameraRecords; }
