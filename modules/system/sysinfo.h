// System information, display and language routes.
#pragma once

#include <cstddef>
#include <cstdint>

void on_get_system_info(char* data);   // "/1009", "/1020"
void on_set_system_info(char* data);   // "/1012"
void on_get_general_info(char* data);  // "/6080"
void on_set_general_info(char* data);  // "/6081"
void on_change_language(char* data);   // "/1001"
void on_get_lang_section(char* data);  // "/json"
void on_clear_qvfs_dbup(char* data);   // "/1023"

// Reply dispatcher of this area (reply 8400); also the callback of its
// requests sent without waiting.
void on_sysinfo_ipc_callback(void* context, const void* header, const void* payload);

// Tells the core daemon the device id (1705) and that the host name changed
// (1702), both without waiting.
void send_device_id_and_host_name(int32_t device_id);

// Shortens the output of "uptime" in place to the time and how long the
// recorder has been up: cut five characters before "users", else two before
// the first 'l'; unchanged when there is no such place.
void cut_uptime_text(char* text);
