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

// Smart analytics: the cameras' settings and the smart events' actions.
void on_get_vca_region(char* data);
void on_set_vca_region(char* data);
void on_get_vca_motion(char* data);
void on_set_vca_motion(char* data);
void on_get_vca_tamper(char* data);
void on_set_vca_tamper(char* data);
void on_get_vca_loitering(char* data);
void on_set_vca_loitering(char* data);
void on_get_vca_human(char* data);
void on_set_vca_human(char* data);
void on_get_vca_line(char* data);
void on_set_vca_line(char* data);
void on_get_vca_settings(char* data);
void on_set_vca_settings(char* data);
void on_vca_clear_people_count(char* data);
void on_get_vca_support(char* data);
void on_get_vca_leftremove(char* data);
void on_set_vca_leftremove(char* data);
void on_get_vca_people(char* data);
void on_set_vca_people(char* data);
void on_get_ipc_vca_line2(char* data);
void on_set_ipc_vca_line2(char* data);
void on_get_ipc_vca_settings2(char* data);
void on_set_ipc_vca_settings2(char* data);
void on_get_smart_event_schedule(char* data);
void on_set_smart_event_schedule(char* data);
void on_set_vca_allrtm_others(char* data);
void on_get_vca_common_para(char* data);

// Licence plates: reactions per list, plate lists, the camera's recognition.
void on_set_anpr_mode_params(char* data);
void on_get_anpr_mode_params(char* data);
void on_get_anpr_settings(char* data);
void on_set_anpr_settings(char* data);
void on_set_anpr_del_lpr_plate(char* data);
void on_set_anpr_add_lpr_plate(char* data);
void on_set_anpr_update_lpr_plate(char* data);
void on_get_anpr_support_anpr(char* data);
void on_get_ipc_anpr_state(char* data);
void on_get_ipc_anpr_wildcards(char* data);
void on_set_ipc_anpr_wildcards(char* data);

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
