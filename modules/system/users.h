// Account routes.
#pragma once

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
