// Handlers of the users-and-system route table: the areas with headers of
// their own (the log-in, maintenance, system information and upgrades), and
// the others below.
#pragma once

#include <cstdint>

#include "modules/system/login.h"
#include "modules/system/maintenance.h"
#include "modules/system/sysinfo.h"
#include "modules/system/upgrade.h"

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

// Reply dispatcher of this area (replies 9012 to 9016).
void on_audio_ipc_callback(void* context, const void* header, const void* payload);

// ---- device log: the names of its types, page-wise search, one entry's detail,
// and the CSV export.
void on_get_log_type_list(char* data);   // "/1015"
void on_get_log_info(char* data);        // "/1002"
void on_get_log_details(char* data);     // "/1021"
void on_download_logfile(char* data);    // "/1003"
void on_check_download_log(char* data);  // "/1022"

// Reply dispatcher of the device log requests (8495, 8488, 8494).
void on_devlog_ipc_callback(void* context, const void* header, const void* payload);

void on_log_search_info_cb(uint32_t size, const void* payload);
void on_log_web_get_log_detail_cb(uint32_t size, const void* payload);
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

// Reply dispatcher of the account routes (reply 8265 of the PoE-camera password).
void on_users_ipc_callback(void* context, const void* header, const void* payload);
