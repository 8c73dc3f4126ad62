// Firmware upgrade of the recorder and its cameras, OEM packages.
#pragma once

#include <cstdint>

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

// Reply dispatcher of the upgrade requests.
void on_upgrade_ipc_callback(void* context, const void* header, const void* payload);

// The channel mask of a "ch" text: bit i for a '1' at position i; reading
// stops at the first character other than '0' and '1', and after 64.
uint64_t upgrade_channel_mask(const char* text);

// The reset flag of "/1010": 1 when the first word of the query (the word
// after "temp & ") holds "reset".
int32_t upgrade_reset_flag(const char* data);
