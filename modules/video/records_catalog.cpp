// The settings records of the video-and-events module.
#include "modules/video/vca_records.h"
#include "modules/video/video_records.h"
#include "platform/qvdb_catalog.h"

namespace {

constexpr int kPerChannel = 64;

const DbCatalogEntry kVideoRecords[] = {
    {&kMotionRecord, kPerChannel},
    {&kVideoLossRecord, kPerChannel},
    // The smart events' actions, one table per event; the plate modes' per mode.
    {&kSmartEventRecord, kPerChannel, "vca_event0"},
    {&kSmartEventRecord, kPerChannel, "vca_event1"},
    {&kSmartEventRecord, kPerChannel, "vca_event2"},
    {&kSmartEventRecord, kPerChannel, "vca_event3"},
    {&kSmartEventRecord, kPerChannel, "vca_event4"},
    {&kSmartEventRecord, kPerChannel, "vca_event5"},
    {&kSmartEventRecord, kPerChannel, "vca_event6"},
    {&kSmartEventRecord, kPerChannel, "vca_event7"},
    {&kSmartEventRecord, kPerChannel, "vca_event8"},
    {&kSmartEventRecord, kPerChannel, "anpr_event_any"},
    {&kSmartEventRecord, kPerChannel, "anpr_event_black"},
    {&kSmartEventRecord, kPerChannel, "anpr_event_white"},
    {&kSmartEventRecord, kPerChannel, "anpr_event_visitor"},
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
