// The camera module's reply table: every reply a camera route waits for.
#include "frame/toolkit.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_wire.h"
#include "modules/cameras/passthrough.h"

namespace {

// A set result answered as {"res": n}.
void on_result_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", nvr::record_at<ResultWord>(records, 0).res);
  nvr::answer_json(answer);
}

using cameras::on_pass_through_cb;

constexpr nvr::ReplyRow kCameraReplies[] = {
    {kReplyWatermarkGet, sizeof(WatermarkReply), on_pass_through_cb},
    {kReplyWatermarkSet, sizeof(ResultWord), on_pass_through_cb},
    {kReplyEventStreamGet, sizeof(EventStream), on_pass_through_cb},
    {kReplyEventStreamSet, sizeof(ResultWord), on_pass_through_cb},
    {kReplyLprNightMode, sizeof(LprNightMode), on_pass_through_cb},
    {kReplyPtzSupport, sizeof(ResultWord), on_pass_through_cb},
    {kReplyPeoplecntDbReset, sizeof(ResultWord), on_pass_through_cb},
    {kReplyPeoplecntLiveReset, sizeof(ResultWord), on_pass_through_cb},
    {kReplyModelType, sizeof(ResultWord), on_pass_through_cb},
    {kReplyChannelsModel, sizeof(ChannelModels), on_web_get_channels_model_cb},
    {kReplyIpcType, sizeof(ChannelModel), on_pass_through_cb},
    {kReplyMonthFlags, sizeof(MonthFlagsReply), on_month_flags_cb},
    {kReplySearch, sizeof(CameraSearchResult), on_search_ipc_cb},
    {kReplyChannelList, sizeof(ChannelStatus), on_get_ipc_list_cb},
    {kReplyTestLogin, sizeof(ResultWord), on_test_ipc_connect_cb},
    {kReplyCheckLogin, sizeof(ResultWord), on_test_ipc_connect_cb},
    {kReplyStreamSet, sizeof(StreamSetResult), on_set_ipc_stream_cb},
    {kReplyStreamGet, sizeof(StreamParams), on_get_ipc_stream_cb},
    {kReplyIpcNetwork, sizeof(ResultWord), on_set_ipc_network_cb},
    {kReplyEnhancementGet, sizeof(EnhancementReply), on_pass_through_cb},
    {kReplyDisplayGet, sizeof(DisplayRecord), on_pass_through_cb},
    {kReplyDisplaySet, sizeof(ResultWord), on_status_ok_or_error_cb},
    {kReplyCommonGet, sizeof(CommonReply), on_pass_through_cb},
    {kReplyCommonSet, sizeof(ResultWord), on_status_ok_or_error_cb},
    {kReplyIpcNetworkBatchResult, sizeof(BatchResult), on_get_ipc_network_batch_cb},
    {kReplyImageArea, sizeof(ImageAreas), on_pass_through_cb},
    {kReplyImageSchedule, sizeof(ImageSchedule), on_pass_through_cb},
    {kReplyImageSchedule3, sizeof(ImageSchedule), on_pass_through_cb},
    {kReplyImageScheduleExp, sizeof(ImageScheduleExp), on_pass_through_cb},
    {kReplyImagePeriod, sizeof(ImagePeriods), on_pass_through_cb},
    {kReplyTrackingGet, sizeof(TrackingRecord), on_pass_through_cb},
    {kReplyMotionStatus, 4, on_web_get_motion_status_cb},
    {kReplyIpcMotion, sizeof(IpcMotion), on_pass_through_cb},
    {kReplyEventInfo, 1, on_pass_through_cb},
    {kReplyIpcMotionSet, sizeof(ResultWord), on_result_cb},
    {kReplyAudioGet, sizeof(AudioInfo), on_pass_through_cb},
    {kReplyAudioSet, sizeof(ResultWord), on_pass_through_cb},
    {kReplyTrackingSet, sizeof(ResultWord), on_pass_through_cb},
    {kReplySystemCaps, sizeof(SystemCaps), on_pass_through_cb},
    {kReplyCustomParam, sizeof(CustomParamReply), on_pass_through_cb},
    {kReplyUpgradeByUrl, sizeof(UpgradeStatus), on_upgrade_by_url_cb},
    {kReplyUpgradeStatus, sizeof(UpgradeStatus), on_upgrade_status_cb},
    {kReplyUpgradeByFile, sizeof(ResultWord), on_result_cb},
    {kReplyMonthRecord, sizeof(MonthRecordReply), on_month_record_cb},
    {kReplyServiceCommand, 1, on_get_qt_cmd_result_cb},
    {kReplyServiceCommand2, 1, on_get_qt_cmd_result_cb},
    {kReplyChipCode, 1, on_get_get_chip_code_cb},
    {kReplyPeoplecntSettings, sizeof(ResultWord), on_result_cb},
    {kReplyPeoplecntAction, sizeof(ResultWord), on_result_cb},
    {kReplyPosChanged, sizeof(ResultWord), on_result_cb},
    {kReplyReportBackup, sizeof(ResultWord), on_cgi_set_report_auto_backup_cb},
    {kReplyFaceConfig, sizeof(int32_t), on_cgi_common_json_cb},
};

}  // namespace

void on_camera_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kCameraReplies, header, payload);
}
