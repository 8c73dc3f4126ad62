// Restart, restore, configuration transfer and maintenance settings.
#pragma once

#include <cstdint>

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

// Reply dispatcher of the maintenance requests.
void on_maintenance_ipc_callback(void* context, const void* header, const void* payload);

// A retention value is -1, 0, 1 or an even number from 2 to 12.
bool is_allowed_retention(int64_t value);

// Orders a restart: the restart entry of the operation log, then request 1703
// (also the end of a successful firmware upgrade).
void send_restart_request();
