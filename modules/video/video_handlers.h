// Handlers of the video-and-events table ("/6000").
#pragma once

// Motion detection and its actions.
void on_get_movedetect_info(char* data);
void OnGetMotionSchedule(char* data);
void on_set_movedetect_info(char* data);
void OnSetMotionSchedule(char* data);
void on_get_motion_map(char* data);
void on_set_motion_dialog(char* data);
void on_set_motion_schedule_info(char* data);
void on_set_motion_trigger_info(char* data);
void on_set_move_action(char* data);
void on_set_move_email_sche(char* data);
void on_get_move_email_sche(char* data);
void on_set_move_others(char* data);
void on_set_move_effective_sche(char* data);
void on_get_move_effective_sche(char* data);
void on_get_move_ptz_sche(char* data);
void on_set_move_ptz_sche(char* data);
void on_set_ptz_params(char* data);
void on_get_ptz_params(char* data);
void on_delete_ptz_params(char* data);
void on_update_ptz_params(char* data);
void on_delete_ptz_params_batch(char* data);

// Video loss and the action schedules of alarm inputs.
void on_get_videolost_info(char* data);
void on_get_videolost_schedule(char* data);
void on_set_videolost_info(char* data);
void on_set_videolost_schedule(char* data);
void on_set_videolost_email_sche(char* data);
void on_get_videolost_email_sche(char* data);
void on_set_alarmin_email_sche(char* data);
void on_get_alarmin_email_sche(char* data);
void on_set_videolost_audible_sche(char* data);
void on_set_alarmin_audible_sche(char* data);
void on_get_alarmin_audible_sche(char* data);
void on_set_videolost_others(char* data);
void on_set_alarm_others(char* data);
void on_set_videoloss_ptz_sche(char* data);
void on_get_videoloss_ptz_sche(char* data);
void on_set_alarmin_ptz_sche(char* data);
void on_get_alarmin_ptz_sche(char* data);
void on_set_alarmin_effective_sche(char* data);
void on_get_alarmin_effective_sche(char* data);
void on_get_videoloss_info(char* data);
void on_set_videoloss_info(char* data);

// The reply dispatcher of the table.
void on_video_ipc_callback(void* context, const void* header, const void* payload);

// On-screen display, privacy masks, exceptions and camera-side alarms.
void on_get_osd_info(char* data);
void on_set_osd_info(char* data);
void OnSetOSDName(char* data);
void on_get_privacy_masks(char* data);
void on_set_privacy_mask(char* data);
void on_get_exception(char* data);
void on_set_exception(char* data);
void on_get_osdconfig(char* data);
void on_set_osdconfig(char* data);
void on_get_cameraio_info(char* data);
void on_set_cameraio_info(char* data);
void on_get_volumedetect_info(char* data);
void on_set_volumedetect_info(char* data);
void on_get_privacy_mask_ovf(char* data);
void on_get_ipc_model_type(char* data);
void on_delete_privacy_mask(char* data);
void on_cgi_set_privacy_edit(char* data);

// Timed snapshots and fisheye cameras.
void on_get_fisheye_info(char* data);
void on_get_snapshot_schedule(char* data);
void on_set_snapshot_schedule(char* data);
void on_get_snapshot_setting_params(char* data);
void on_set_snapshot_setting_params(char* data);
void on_set_snapshot_batch_setting(char* data);
void on_cgi_set_fisheye_mode(char* data);
void on_cgi_check_fisheye_info(char* data);
void on_cgi_set_fisheye_info(char* data);

// Regional people counting.
void on_cgi_get_ipc_regional_info(char* data);
void on_cgi_set_ipc_regional_info(char* data);
