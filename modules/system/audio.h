// Alarm audio file routes.
#pragma once

void on_get_audio_file_list(char* data);  // "/6320"
void on_upload_audio_file(char* data);    // "/6321"
void on_add_audio_file(char* data);       // "/6322"
void on_del_audio_files(char* data);      // "/6323"
void on_rename_audio_file(char* data);    // "/6324"
void on_send_audio_file_id(char* data);   // "/6325"

// Reply dispatcher of this area (replies 9012 to 9016).
void on_audio_ipc_callback(void* context, const void* header, const void* payload);
