#include "modules/playback/request_lists.h"

#include "frame/json.h"

int32_t session_count(json_object* request, const char* key) {
  const int64_t num = nvr::json_int_or(request, key, 0);
  return num < 0 ? 0 : num > kMaxSessions ? kMaxSessions : static_cast<int32_t>(num);
}

void read_id_array(json_object* request, const char* key, int32_t count, int32_t* out) {
  json_object* array = nvr::json_get(request, key);
  for (int32_t i = 0; i < count && i < kMaxSessions; ++i) {
    const int64_t v = nvr::json_int64(nvr::json_at(array, static_cast<size_t>(i))).value_or(0);
    out[i] = v < INT32_MIN || v > INT32_MAX ? 0 : static_cast<int32_t>(v);
  }
}

int32_t read_whole_id_array(json_object* request, const char* key, int32_t* out) {
  const size_t size = nvr::json_array_size(nvr::json_get(request, key));
  const int32_t count = size > kMaxSessions ? kMaxSessions : static_cast<int32_t>(size);
  read_id_array(request, key, count, out);
  return count;
}
