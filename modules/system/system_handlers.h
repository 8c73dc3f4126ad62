// Handlers of the users-and-system route table and what the areas share.
#pragma once

#include <cstdint>
#include <ctime>

// ---- log-in, log-out and the log-in link.
void on_user_login(char* data);
void on_user_logout(char* data);
void on_user_login_from_mail(char* data);

// A session id: kSessionIdDigits decimal digits from the C library's generator
// seeded with `seed` (the log-in time in seconds), NUL-terminated.
constexpr int kSessionIdDigits = 32;
void make_session_id(char* out, time_t seed);

// Digests compared without letting the time tell where they differ; letter
// case ignored, as the log-in always has.
bool digests_equal(const char* stored, const char* given);

// ---- system information, display and language routes.
void on_get_system_info(char* data);   // "/1009", "/1020"
void on_set_system_info(char* data);   // "/1012"
void on_get_general_info(char* data);  // "/6080"
void on_set_general_info(char* data);  // "/6081"
void on_change_language(char* data);   // "/1001"
void on_get_lang_section(char* data);  // "/json"
void on_clear_qvfs_dbup(char* data);   // "/1023"

// Tells the core daemon the device id (1705) and that the host name changed
// (1702), both without waiting.
void send_device_id_and_host_name(int32_t device_id);

// Shortens the output of "uptime" in place to the time and how long the
// recorder has been up: cut five characters before "users", else two before
// the first 'l'; unchanged when there is no such place.
void cut_uptime_text(char* text);

// ---- access filter, UPnP port mapping and camera address assignment.
void on_get_access_filter(char* data);
void on_set_access_filter(char* data);
void on_get_upnp_info(char* data);
void on_set_upnp_info(char* data);
void on_set_camera_ips(char* data);

// ---- alarm audio file routes
void on_get_audio_file_list(char* data);  // "/6320"
void on_upload_audio_file(char* data);    // "/6321"
void on_add_audio_file(char* data);       // "/6322"
void on_del_audio_files(char* data);      // "/6323"
void on_rename_audio_file(char* data);    // "/6324"
void on_send_audio_file_id(char* data);   // "/6325"

// ---- device log: the names of its types, page-wise search, one entry's detail,
// and the CSV export.
void on_get_log_type_list(char* data);   // "/1015"
void on_get_log_info(char* data);        // "/1002"
void on_get_log_details(char* data);     // "/1021"
void on_download_logfile(char* data);    // "/1003"
void on_check_download_log(char* data);  // "/1022"

// Reply dispatcher of the device log requests (8495, 8488, 8494).
void on_devlog_ipc_callback(void* context, const void* header, const void* payload);

// Reply 8494 of the export (devlog_export.cpp).
void on_log_web_export_info_cb(uint32_t count, const void* payload);

// ---- factory option route "/vb.htm".
void on_http_option(char* data);

// ---- account routes
void on_get_user_list(char* data);
void on_add_new_user(char* data);
void on_set_user_info(char* data);
void on_del_user_info(char* data);
void on_get_oem_user_list(char* data);
void on_modify_poe_camera_pwd(char* data);
void on_cgi_notify_daemon(char* data);
void on_cgi_set_user_info(char* data);
void on_clear_permission_update(char* data);

// ---- restart, restore, configuration transfer and maintenance settings
void on_restart_device(char* data);
void on_get_restart_state(char* data);
void on_restore_device(char* data);
void on_export_config(char* data);
void on_download_config(char* data);
void on_import_config(char* data);
void on_get_auto_maintenance(char* data);
void on_set_auto_maintenance(char* data);
void on_get_auto_reboot(char* data);
void on_set_auto_reboot(char* data);
void on_export_diagnosis(char* data);
void on_download_diagnosis(char* data);

// A retention value is -1, 0, 1 or an even number from 2 to 12.
bool is_allowed_retention(int64_t value);

// ---- firmware upgrade of the recorder and its cameras, OEM packages
void on_upgrade_system(char* data);
void on_clean_upgrade_files(char* data);
void on_cgi_upgrade_system_init(char* data);
void on_upgrade_camera(char* data);
void on_start_upgrade_camera(char* data);
void on_stop_upgrade_camera(char* data);
void on_get_online_upgrade(char* data);
void on_del_online_upgrade(char* data);
void on_check_nvr_online_upgrade(char* data);
void on_nvr_online_upgrade(char* data);
void on_check_ipc_online_upgrade(char* data);
void on_upload_oem(char* data);
void on_upload_nothing(char* data);
void on_download_refused(char* data);

// The channel mask of a "ch" text: bit i for a '1' at position i; reading
// stops at the first character other than '0' and '1', and after 64.
uint64_t upgrade_channel_mask(const char* text);

// The reset flag of "/1010": 1 when the first word of the query (the word
// after "temp & ") holds "reset".
int32_t upgrade_reset_flag(const char* data);
