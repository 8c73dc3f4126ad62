// The settings records of the video-and-events module.
#include "modules/video/video_records.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kPerChannel = 64;

const DbCatalogEntry kVideoRecords[] = {
    {&kMotionRecord, kPerChannel},
    {&kVideoLossRecord, kPerChannel},
    {&kSnapshotRecord, kPerChannel},
    {&kRegionalPcntEventRecord, kPerChannel, "regional_pcnt_event"},
    {&kRegionalPcntEventRecord, kPerChannel, "regional_pcnt1_event"},
    {&kRegionalPcntEventRecord, kPerChannel, "regional_pcnt2_event"},
    {&kRegionalPcntEventRecord, kPerChannel, "regional_pcnt3_event"},
    {&kTriggerAlarmsRecord, 1},
    {&kCameraIoRecord, kPerChannel},
    {&kVolumeDetectRecord, kPerChannel},
};

}  // namespace

std::span<const DbCatalogEntry> video_record_catalog() { return kVideoRecords; }
