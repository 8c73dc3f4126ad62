// Handlers of the record module ("/6030" table).
#pragma once

#include <cstdint>
#include <optional>

void on_record_ipc_callback(void* context, const void* header, const void* payload);

void on_get_holiday_info(char* data);
void on_set_holiday_info(char* data);
void on_get_record_info(char* data);
void on_set_record_info(char* data);
void on_get_record_mode(char* data);
void on_set_record_mode(char* data);
void on_get_record_param(char* data);
void on_set_record_param(char* data);
void on_get_anr_support(char* data);
void on_get_record_stream_info(char* data);

// The channel of a route whose data is a decimal number as text (leading
// blanks and a sign allowed, the first non-digit ends it, as atoi reads it):
// nothing for data without a number or a value outside 0..63.
std::optional<int32_t> record_channel_from_text(const char* data);
