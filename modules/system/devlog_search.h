// What the log search ("/1002") and the log export ("/1003") share.
#pragma once

#include <json-c/json.h>

#include <cstdint>

#include "modules/system/devlog_codec.h"

constexpr int kLogLanguageSize = 32;
// Exists while an export waits for the daemon ("/1022" reports it).
inline constexpr char kLogExportMarker[] = "/tmp/log/log_web";

// "language" present; "mainType" 1..64; "subTypeArr" with a first element
// above 9; "startTime", "endTime" and "curPageNum" present. 0 or -1.
int32_t check_log_search_info(json_object* request);

// The name of a log code in the language set by trans_init; "" for a code
// without one (a sub type past int32 has none).
std::string log_code_name(int64_t code);

// Times (local time in `time_format`), main type and sub types (at most 100)
// into `out`, the "language" text into language[kLogLanguageSize]. False when
// a time does not parse.
bool read_log_selection(json_object* request, const char* time_format, LogSearchRequest* out,
                        char* language);
