// Handlers and reply callbacks of the camera module ("/2001").
#pragma once

#include <cstdint>

// The module's reply dispatcher: every camera route waits through it.
void on_camera_ipc_callback(void* context, const void* header, const void* payload);

// ---- channels
void on_get_ipc_list(char* data);
void on_edit_ipc(char* data);
void on_add_ipc(char* data);
void on_delete_ipc(char* data);
void on_get_ipc_list2(char* data);
void on_get_ipc_protocols(char* data);
void on_get_ipc_info(char* data);
void on_get_ipc_names(char* data);
void on_get_poe_password(char* data);
void on_set_ipc_user(char* data);
void on_get_max_poe_num(char* data);
void on_web_get_motion_status(char* data);
void on_web_get_channels_model(char* data);
void on_set_ipc_transmit(char* data);
void on_get_ipc_list_cb(uint32_t count, const void* records);
void on_web_get_channels_model_cb(uint32_t count, const void* records);
void on_web_get_motion_status_cb(uint32_t count, const void* records);

// ---- streams and image
void on_get_ipc_stream(char* data);
void on_set_ipc_stream(char* data);
void on_set_ipc_stream_batch(char* data);
void on_set_ipc_ipcimage_enhancement(char* data);
void on_set_ipc_ipcimage_display(char* data);
void on_set_ipc_common_param(char* data);
void on_get_ipc_stream_cb(uint32_t count, const void* records);
void on_set_ipc_stream_cb(uint32_t count, const void* records);
void on_status_ok_or_error_cb(uint32_t count, const void* records);

// ---- camera-side functions
void on_get_month_record(char* data);
void on_web_sendto_qt_cmd(char* data);
void on_web_get_chip_code(char* data);
void on_cgi_upgrade_ipc_by_file(char* data);
void on_cgi_get_ipc_upgrade_status(char* data);
void on_cgi_upgrade_ipc_firmware(char* data);
void on_cgi_stop_ipc_upgrade(char* data);
void on_cgi_check_request(char* data);
void on_month_record_cb(uint32_t count, const void* records);
void on_month_flags_cb(uint32_t count, const void* records);
void on_get_qt_cmd_result_cb(uint32_t size, const void* payload);
void on_get_get_chip_code_cb(uint32_t size, const void* payload);
void on_upgrade_by_url_cb(uint32_t count, const void* records);
void on_upgrade_status_cb(uint32_t count, const void* records);

// ---- camera-side events kept on the recorder
void on_get_effective_schedules(char* data);
void on_set_effective_schedules(char* data);
void on_cgi_get_peoplecnt_settings(char* data);
void on_cgi_set_peoplecnt_settings(char* data);
void on_cgi_get_peoplecnt_action(char* data);
void on_cgi_set_peoplecnt_action(char* data);
void on_cgi_get_pos_info(char* data);
void on_cgi_set_pos_info(char* data);
void on_cgi_get_report_auto_backup(char* data);
void on_cgi_set_report_auto_backup(char* data);
void on_cgi_set_face_config(char* data);
void on_cgi_set_report_auto_backup_cb(uint32_t count, const void* records);

// ---- discovery and camera network
void on_search_ipc(char* data);
void on_set_ipc_network(char* data);
void on_test_ipc_connect(char* data);
void on_check_ipc_connect(char* data);
void on_set_ipc_network_batch(char* data);
void on_get_ipc_network_batch_result(char* data);
void on_get_ipv6_support(char* data);
void on_search_ipc_cb(uint32_t count, const void* records);
void on_set_ipc_network_cb(uint32_t count, const void* records);
void on_test_ipc_connect_cb(uint32_t count, const void* records);
void on_get_ipc_network_batch_cb(uint32_t count, const void* records);

// ---- image periods, schedules, areas, camera motion
void on_set_ipc_image_period(char* data);
void on_set_ipc_image_period_batch(char* data);
void on_set_ipc_image_area(char* data);
void on_set_ipc_image_schedule(char* data);
void on_set_ipc_image_schedule_exp(char* data);
void on_set_ipc_image_schedule3(char* data);
void on_set_exposure(char* data);
void on_get_exposure(char* data);
void on_set_ipc_motion(char* data);
