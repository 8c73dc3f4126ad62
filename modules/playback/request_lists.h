// Reading the session lists of playback requests: JSON arrays of ids bounded
// by the 64 slots of the records.
#pragma once

#include <json-c/json.h>

#include <cstdint>

#include "modules/playback/playback_wire.h"

// "num" as a slot count: negative reads as 0, more than 64 as 64.
int32_t session_count(json_object* request, const char* key = "num");
// Element i of array `key` for i below `count` (a missing or non-integer
// element reads as 0) into out[0..count).
void read_id_array(json_object* request, const char* key, int32_t count, int32_t* out);
// Every element of array `key`, at most 64; returns how many.
int32_t read_whole_id_array(json_object* request, const char* key, int32_t* out);
