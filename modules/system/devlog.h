// Device log: the names of its types, page-wise search, one entry's detail,
// and the CSV export.
#pragma once

#include <cstdint>

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
