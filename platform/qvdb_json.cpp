// Record <-> JSON through a record's descriptor, and channel mask texts.
#include <cmath>
#include <cstring>
#include <limits>

#include "frame/json.h"
#include "platform/qvdb.h"
#include "platform/qvdb_internal.h"

using namespace qvdb_internal;

namespace {

nvr::Json int_json(DbType type, const unsigned char* p) {
  int64_t v = load_int(type, p);
  if (type == DbType::U64 && v < 0) return nvr::json_new_uint64(static_cast<uint64_t>(v));
  return nvr::json_new_int(v);
}

// The range of values a field of `type` holds.
void range_of(DbType type, int64_t* min, int64_t* max) {
  switch (type) {
    case DbType::I8:
      *min = INT8_MIN, *max = INT8_MAX;
      break;
    case DbType::U8:
      *min = 0, *max = UINT8_MAX;
      break;
    case DbType::I16:
      *min = INT16_MIN, *max = INT16_MAX;
      break;
    case DbType::U16:
      *min = 0, *max = UINT16_MAX;
      break;
    case DbType::I32:
      *min = INT32_MIN, *max = INT32_MAX;
      break;
    case DbType::U32:
      *min = 0, *max = UINT32_MAX;
      break;
    case DbType::U64:
      *min = 0, *max = INT64_MAX;
      break;
    default:
      *min = INT64_MIN, *max = INT64_MAX;
      break;
  }
}

// A JSON number read wide and clamped to the field; 0 for other JSON types.
void store_json_int(DbType type, unsigned char* p, json_object* value) {
  int64_t min, max, v = 0;
  range_of(type, &min, &max);
  if (json_object_is_type(value, json_type_int)) {
    if (type == DbType::U64 && json_object_get_int64(value) == INT64_MAX) {
      uint64_t u = json_object_get_uint64(value);
      memcpy(p, &u, 8);
      return;
    }
    v = json_object_get_int64(value);
  } else if (json_object_is_type(value, json_type_double)) {
    double d = json_object_get_double(value);
    v = std::isnan(d)  ? 0
        : d <= -9.2e18 ? INT64_MIN
        : d >= 9.2e18  ? INT64_MAX
                       : static_cast<int64_t>(d);
  } else if (json_object_is_type(value, json_type_boolean)) {
    v = json_object_get_boolean(value) ? 1 : 0;
  }
  v = v < min ? min : v > max ? max : v;
  switch (db_type_width(type)) {
    case 1: {
      uint8_t b = static_cast<uint8_t>(v);
      memcpy(p, &b, 1);
      break;
    }
    case 2: {
      uint16_t b = static_cast<uint16_t>(v);
      memcpy(p, &b, 2);
      break;
    }
    case 4: {
      uint32_t b = static_cast<uint32_t>(v);
      memcpy(p, &b, 4);
      break;
    }
    default:
      memcpy(p, &v, 8);
      break;
  }
}

}  // namespace

json_object* db_record_to_json(const DbRecord& desc, const void* record) {
  nvr::Json object = nvr::json_new_object();
  if (record == nullptr) return object.release();
  const unsigned char* base = static_cast<const unsigned char*>(record);
  for (const DbField& f : desc.fields) {
    const char* key = f.json_key();
    if (key == nullptr || key[0] == '\0' || f.type == DbType::Blob) continue;
    const unsigned char* p = base + f.offset;
    uint32_t width = db_type_width(f.type);
    if (is_integer(f.type) && f.size > width) {
      nvr::Json array = nvr::json_new_array();
      for (uint32_t i = 0; i < f.size / width; ++i)
        nvr::json_append(array.get(), int_json(f.type, p + i * width));
      nvr::json_add(object.get(), key, std::move(array));
    } else if (is_integer(f.type)) {
      nvr::json_add(object.get(), key, int_json(f.type, p));
    } else if (f.type == DbType::F64) {
      double d;
      memcpy(&d, p, 8);
      nvr::json_add(object.get(), key, nvr::Json(json_object_new_double(d)));
    } else {
      nvr::json_add(object.get(), key,
                    nvr::json_new_string_bounded(reinterpret_cast<const char*>(p), f.size));
    }
  }
  return object.release();
}

void db_record_from_json(const DbRecord& desc, json_object* object, void* record) {
  if (record == nullptr || !nvr::json_is(object, json_type_object)) return;
  unsigned char* base = static_cast<unsigned char*>(record);
  for (const DbField& f : desc.fields) {
    const char* key = f.json_key();
    if (key == nullptr || key[0] == '\0' || f.type == DbType::Blob) continue;
    json_object* value = nullptr;
    if (!json_object_object_get_ex(object, key, &value)) continue;
    unsigned char* p = base + f.offset;
    uint32_t width = db_type_width(f.type);
    if (is_integer(f.type) && f.size > width) {
      // Elements the array does not hold are left as they are.
      size_t n = nvr::json_array_size(value);
      for (uint32_t i = 0; i < f.size / width && i < n; ++i)
        store_json_int(f.type, p + i * width, nvr::json_at(value, i));
    } else if (is_integer(f.type)) {
      store_json_int(f.type, p, value);
    } else if (f.type == DbType::F64) {
      double d = nvr::json_is(value, json_type_double) || nvr::json_is(value, json_type_int)
                     ? json_object_get_double(value)
                     : 0.0;
      memcpy(p, &d, 8);
    } else {
      char* text = reinterpret_cast<char*>(p);
      memset(text, 0, f.size);
      if (nvr::json_is(value, json_type_string)) {
        size_t length = static_cast<size_t>(json_object_get_string_len(value));
        if (length > f.size - 1) length = f.size - 1;
        memcpy(text, json_object_get_string(value), length);
      }
    }
  }
}

uint64_t get_channel_mask(const char* text) {
  uint64_t mask = 0;
  if (text == nullptr) return 0;
  for (int n = 0; n < 64 && text[n] != '\0'; ++n)
    if (text[n] == '1') mask |= uint64_t{1} << n;
  return mask;
}
