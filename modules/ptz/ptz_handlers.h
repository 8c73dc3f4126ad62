// Handlers of the PTZ module ("/5000" table).
#pragma once

#include <cstdint>

void on_ptz_ipc_callback(void* context, const void* header, const void* payload);

void on_send_ptz_cmd(char* data);
void on_preset_op(char* data);
void on_get_ptzport_info(char* data);
void on_set_ptzport_info(char* data);
void on_get_ptzsupport_info(char* data);
void on_get_ptz_speed(char* data);
void on_set_ptz_speed(char* data);
void on_set_fish_ptz_tour_set(char* data);
void on_set_ptz_tour_set(char* data);
void on_set_ptz_tour_clear(char* data);
void on_set_ptz_tour_run(char* data);
void on_set_ptz_tour_stop(char* data);
void on_set_ptz_pattern(char* data);
void on_get_ptz_info(char* data);
void on_set_ptz_preset_call(char* data);
void on_set_ptz_zomm(char* data);
void on_set_ipc_speed(char* data);
void on_cgi_set_ptz_control(char* data);
void on_cgi_get_led_status(char* data);
void on_cgi_get_ptz_basic(char* data);
void on_cgi_set_ptz_basic(char* data);

// The speed the camera takes for a pan speed of the pages: 1 for 0 or less,
// else one less.
int32_t camera_ptz_speed(int32_t pan_speed);
// The daemon's action code of a pattern action of the pages (0 for unknown).
int32_t pattern_action_code(int64_t action);
