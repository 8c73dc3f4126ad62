// Device log records and their conversions (see devlog_codec.h).
#include "modules/system/devlog_codec.h"

#include <endian.h>

#include "modules/system/system_module.h"

int32_t log_main_type_index(int32_t main_type) {
  for (int32_t i = 0; i < 6; ++i)
    if (kLogMainTypes[i] == main_type) return i + 1;
  return -1;
}

const char* log_main_type_word(int32_t main_type) {
  static constexpr const char* kWords[] = {"All",         "Event",     "Operation",
                                           "Information", "Exception", "Debug"};
  int32_t index = log_main_type_index(main_type);
  return index < 0 ? "" : kWords[index - 1];
}

std::string log_ip_text(const char* ip, size_t size) {
  std::string text(ip, strnlen(ip, size));
  constexpr std::string_view kMapped = "::ffff:";
  if (text.starts_with(kMapped) && text.find('.') != std::string::npos)
    return text.substr(kMapped.size());
  if (size_t zone = text.find('%'); zone != std::string::npos) text.resize(zone);
  return text;
}

void log_detail_to_words(const uint8_t* detail, int32_t words[128]) {
  for (int i = 0; i < 128; ++i) {
    uint32_t word;
    memcpy(&word, detail + 4 * i, sizeof word);
    words[i] = static_cast<int32_t>(be32toh(word));
  }
}

void log_detail_from_words(const int32_t words[128], uint8_t* detail) {
  for (int i = 0; i < 128; ++i) {
    const uint32_t word = htobe32(static_cast<uint32_t>(words[i]));
    memcpy(detail + 4 * i, &word, sizeof word);
  }
}

int32_t expand_operation_sub_types(std::span<const int64_t> values, int64_t* out) {
  static constexpr int64_t kBases[3] = {101, 131, 200};
  int32_t count = 0;
  for (size_t w = 0; w < 3 && w < values.size(); ++w) {
    // A value below 10 selects nothing (it is not a bit set of any sub type).
    if (values[w] < kLogSubTypeAll) continue;
    uint64_t bits = static_cast<uint64_t>(values[w] - kLogSubTypeAll);
    for (int b = 0; b < 30; ++b)
      if (bits & (uint64_t{1} << b)) out[count++] = kBases[w] + b;
  }
  return count;
}

bool parse_log_time(const char* text, const char* format, int32_t* seconds) {
  struct tm local {};
  if (text == nullptr || strptime(text, format, &local) == nullptr) return false;
  local.tm_isdst = -1;
  *seconds = static_cast<int32_t>(std::clamp<time_t>(mktime(&local), INT32_MIN, INT32_MAX));
  return true;
}

std::string log_time_text(int64_t seconds) {
  return nvr::local_time_text(seconds, "%Y-%m-%d %H:%M:%S");
}
