// Handlers of the alarm table ("/6020").
#pragma once

void on_get_alarm_outs(char* data);
void on_get_alarm_out(char* data);
void on_set_alarm_out(char* data);
void on_get_alarm_ins(char* data);
void on_get_alarm_in(char* data);
void on_set_alarm_in(char* data);
void on_set_alarm_in_basic(char* data);
void on_set_alarm_in_info(char* data);
void on_set_alarm_in_enable(char* data);
void on_get_all_alarmout_names(char* data);
void on_get_camera_alarm_input(char* data);
void on_set_camera_alarm_input(char* data);
void on_get_nvr_alarm_input(char* data);
void on_set_nvr_alarm_input(char* data);
void on_get_camera_alarm_output(char* data);
void on_set_camera_alarm_output(char* data);
void on_set_camera_alarm_output_state(char* data);
void on_get_all_alarmin_names(char* data);

void on_alarm_ipc_callback(void* context, const void* header, const void* payload);
