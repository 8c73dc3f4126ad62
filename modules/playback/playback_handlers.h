// Handlers of the live view and playback table ("/4000") and its one reply
// dispatcher.
#pragma once

#include <cstdint>

// Sessions and searches.
void on_search_record_section(char* data);
void on_start_playback(char* data);
void on_get_playback_time(char* data);
void on_stop_playback(char* data);
void on_pause_playback(char* data);
void on_resume_playback(char* data);
void on_step_foward_playback(char* data);
void on_fastforward_playback(char* data);
void on_slowforward_playback(char* data);
void on_jump_playback(char* data);
void on_start_playback_by_mask(char* data);
void on_step_playback_batch(char* data);
void on_set_speed_playback(char* data);
void on_get_search_page(char* data);
void on_set_playback_stream(char* data);
void on_get_playback_stream_state(char* data);

// Live view, image parameters, channel logs.
void on_start_live(char* data);
void on_stop_live(char* data);
void on_get_image_param(char* data);
void on_set_image_param(char* data);
void on_reset_image_param(char* data);
void on_stop_all_live(char* data);
void on_log_channel_event(char* data);
void on_check_channel(char* data);
void on_check_channel2(char* data);
void on_log_channel_user_event(char* data);
void on_get_stream_address(char* data);
void on_get_external_port(char* data);
void on_log_start_live(char* data);

// Recording download.
void on_download_playback(char* data);
void on_get_download_state(char* data);
void on_cancel_download(char* data);
void on_get_daemon_busy(char* data);

// The module's reply dispatcher, given to every request it sends.
void on_stream_callback(void* context, const void* header, const void* payload);

// What a start remembers between its first and its second request.
struct PlaybackStart {
  int32_t session = 0;
  char play_time[32] = {};
};
PlaybackStart& playback_start_state();

// Reply callbacks that live beside their routes.
void on_get_download_playtime_cb(uint32_t count, const void* records);
void on_get_daemon_busy_cb(uint32_t count, const void* records);

// The valid channels of this module: 0..15.
constexpr int64_t kPlaybackMaxChannel = 15;
bool playback_channel_valid(int64_t channel);

// Image log detail: v as a percentage of 255, rounded as the log shows it.
int32_t image_percent(int32_t value);
