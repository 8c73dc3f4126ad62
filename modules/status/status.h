// Handlers and reply callbacks of the status route table ("/8000").
#pragma once

#include <cstdint>

void on_status_ipc_callback(void* context, const void* header, const void* payload);

void on_get_network_status(char* data);
void on_get_network_speed(char* data);
void on_get_camera_status(char* data);
void on_get_event_status(char* data);
void on_status_nothing(char* data);
void on_start_packet_capture(char* data);
void on_stop_packet_capture(char* data);
void on_download_packet_capture(char* data);
void on_get_usage_totals(char* data);
void on_get_channel_support(char* data);
void on_get_disk_groups(char* data);
void on_cgi_get_online_user_status(char* data);
