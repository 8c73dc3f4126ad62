// json-c ownership made visible.
//
// nvr::Json owns a reference (what json_tokener_parse and json_object_new_*
// return); a plain json_object* is borrowed (what json_object_object_get_ex
// and json_object_array_get_idx hand out) and is never put. Handing an owned
// value to a container goes through json_add()/json_append(), which release it.
//
// Readers check the JSON type before reading: json-c would turn "12" into 12
// and clamp overflowing numbers, so integers are read wide (int64) and
// range-checked against the destination. The text sent to the browser is
// always json-c's own output (json_text()), in the order keys were added.
#pragma once

#include <json-c/json.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

namespace nvr {

struct JsonPut {
  void operator()(json_object* object) const noexcept {
    if (object != nullptr) json_object_put(object);
  }
};
using Json = std::unique_ptr<json_object, JsonPut>;

// ---- making values -----------------------------------------------------------------

// The parsed value, or null when `text` is not complete JSON (trailing bytes
// after the value are ignored, as json_tokener_parse does).
inline Json json_parse(std::string_view text) {
  json_tokener* tokener = json_tokener_new();
  if (tokener == nullptr) return nullptr;
  json_object* object = json_tokener_parse_ex(tokener, text.data(), static_cast<int>(text.size()));
  // A value that is complete only at the end of the text (a bare number) needs
  // the end signalled with a terminating call.
  if (object == nullptr && json_tokener_get_error(tokener) == json_tokener_continue)
    object = json_tokener_parse_ex(tokener, "", 1);
  json_tokener_free(tokener);
  return Json(object);
}
inline Json json_new_object() { return Json(json_object_new_object()); }
inline Json json_new_array() { return Json(json_object_new_array()); }
inline Json json_new_int(int64_t value) {
  // Small values stay json-c "int" objects so that the text is the same as
  // json_object_new_int's; wider ones keep all 64 bits.
  if (value >= INT32_MIN && value <= INT32_MAX)
    return Json(json_object_new_int(static_cast<int32_t>(value)));
  return Json(json_object_new_int64(value));
}
inline Json json_new_uint64(uint64_t value) { return Json(json_object_new_uint64(value)); }
inline Json json_new_string(std::string_view text) {
  return Json(json_object_new_string_len(text.data(), static_cast<int>(text.size())));
}
// A text field of a record: at most `size` bytes, up to the first NUL.
inline Json json_new_string_bounded(const char* text, size_t size) {
  return json_new_string(std::string_view(text, strnlen(text, size)));
}

// Hands `value` to `object` under `key` (ownership moves into the object).
inline void json_add(json_object* object, const char* key, Json value) {
  json_object_object_add(object, key, value.release());
}
inline void json_add_int(json_object* object, const char* key, int64_t value) {
  json_add(object, key, json_new_int(value));
}
inline void json_add_string(json_object* object, const char* key, std::string_view text) {
  json_add(object, key, json_new_string(text));
}
inline void json_append(json_object* array, Json value) {
  json_object_array_add(array, value.release());
}

// json-c's own text of the value (owned by the value; valid while it lives).
inline const char* json_text(json_object* object) { return json_object_to_json_string(object); }
inline const char* json_text(const Json& object) { return json_text(object.get()); }

// ---- reading values ------------------------------------------------------------------

// The member `key` of an object (borrowed), or null when absent or `object`
// is not an object.
inline json_object* json_get(json_object* object, const char* key) {
  json_object* member = nullptr;
  if (object == nullptr || !json_object_is_type(object, json_type_object)) return nullptr;
  if (!json_object_object_get_ex(object, key, &member)) return nullptr;
  return member;
}

inline bool json_is(json_object* value, json_type type) {
  return value != nullptr && json_object_is_type(value, type);
}

// Request data that must be a JSON object: the object, or null for no data,
// text that does not parse, or another kind of value.
inline Json json_parse_object(const char* data) {
  if (data == nullptr) return nullptr;
  Json value = json_parse(data);
  if (!json_is(value.get(), json_type_object)) return nullptr;
  return value;
}

// The value as int64 when it is a JSON integer that fits; nothing otherwise
// (strings, doubles, booleans and integers past int64 are refused).
inline std::optional<int64_t> json_int64(json_object* value) {
  if (!json_is(value, json_type_int)) return std::nullopt;
  int64_t number = json_object_get_int64(value);
  // json-c clamps values outside int64 to the limits; a clamped value is not
  // what the sender wrote.
  if (number == INT64_MAX && json_object_get_uint64(value) != static_cast<uint64_t>(INT64_MAX))
    return std::nullopt;
  return number;
}

// Reads member `key` into *out when it is an integer within T's range (or
// [min, max] when given). Leaves *out alone and returns false otherwise.
template <typename T>
bool json_read_int(json_object* object, const char* key, T* out,
                   int64_t min = static_cast<int64_t>(std::numeric_limits<T>::min()),
                   int64_t max = std::numeric_limits<T>::max() > static_cast<uint64_t>(INT64_MAX)
                                     ? INT64_MAX
                                     : static_cast<int64_t>(std::numeric_limits<T>::max())) {
  static_assert(std::is_integral_v<T>);
  std::optional<int64_t> number = json_int64(json_get(object, key));
  if (!number || *number < min || *number > max) return false;
  *out = static_cast<T>(*number);
  return true;
}

// Member `key` as an int64, or `fallback` when absent or not an integer.
inline int64_t json_int_or(json_object* object, const char* key, int64_t fallback = 0) {
  return json_int64(json_get(object, key)).value_or(fallback);
}

// Member `key` when it is a string (borrowed text), or null.
inline const char* json_string(json_object* object, const char* key) {
  json_object* member = json_get(object, key);
  return json_is(member, json_type_string) ? json_object_get_string(member) : nullptr;
}

// Copies string member `key` into buffer[size], cut to size - 1 bytes and
// NUL-terminated. Leaves the buffer alone and returns false when the member is
// absent or not a string.
inline bool json_copy_string(json_object* object, const char* key, char* buffer, size_t size) {
  json_object* member = json_get(object, key);
  if (size == 0 || !json_is(member, json_type_string)) return false;
  size_t length = static_cast<size_t>(json_object_get_string_len(member));
  if (length > size - 1) length = size - 1;
  memcpy(buffer, json_object_get_string(member), length);
  buffer[length] = '\0';
  return true;
}

// A JSON value into a text field: a string is copied bounded and
// NUL-terminated, anything else gives the empty text.
inline void json_copy_text(json_object* value, char* field, size_t size) {
  if (size == 0) return;
  memset(field, 0, size);
  if (!json_is(value, json_type_string)) return;
  size_t length = static_cast<size_t>(json_object_get_string_len(value));
  if (length > size - 1) length = size - 1;
  memcpy(field, json_object_get_string(value), length);
}

// Number of elements of an array (0 for anything else).
inline size_t json_array_size(json_object* value) {
  return json_is(value, json_type_array) ? json_object_array_length(value) : 0;
}
// Element i of an array (borrowed), or null.
inline json_object* json_at(json_object* array, size_t i) {
  return i < json_array_size(array) ? json_object_array_get_idx(array, i) : nullptr;
}

}  // namespace nvr
