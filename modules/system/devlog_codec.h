// Device log search and export: the daemon's records and the small
// conversions between them and what the web pages see.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "frame/ipc.h"

constexpr int32_t kReqLogExport = 3494;
constexpr int32_t kReqLogSearch = 3495;
constexpr int32_t kReqLogDetail = 3488;
constexpr int32_t kRplLogExport = 8494;
constexpr int32_t kRplLogSearch = 8495;
constexpr int32_t kRplLogDetail = 8488;

constexpr int kLogMaxSubTypes = 100;
constexpr int kLogEntriesPerBlock = 100;
constexpr int64_t kLogSubTypeAll = 10;  // every sub type of a main type
constexpr int32_t kLogMainOperation = 4;

// Search (3495) and export (3494) request: 840 bytes.
//   OFFSET  SIZE  DESCRIPTION
//        0     4  start time, seconds since the epoch
//        4     4  end time
//        8     4  main type value
//       16   800  sub type codes, int64 each
//      816     4  number of sub type codes
//      820     4  page number (search, from 1); 1 (export)
//      824     8  channel mask, bit n for channel n
//      832     4  "searchNoChn" (search) or "na" (export)
#pragma pack(push, 1)
struct LogSearchRequest {
  int32_t start_time;
  int32_t end_time;
  int32_t main_type;
  uint8_t pad0[4];
  int64_t sub_types[kLogMaxSubTypes];
  int32_t sub_type_count;
  int32_t page;
  uint64_t channel_mask;
  int32_t no_channel;  // "searchNoChn" / "na"
  uint8_t pad1[4];
};

// Search reply (8495): one block of up to 100 entries.
struct LogSearchBlock {
  int32_t count;  // entries of the whole search ("count")
  int32_t num;    // entries in this block
  QvLogInfo entries[kLogEntriesPerBlock];
};

// Export reply (8494) item: the file the daemon wrote. The file holds an
// int32 entry count, then per entry the 680-byte record and 4096 bytes of
// detail text.
struct LogExportItem {
  int32_t value;
  char path[64];
};
#pragma pack(pop)
static_assert(sizeof(LogSearchRequest) == 840);
static_assert(offsetof(LogSearchRequest, start_time) == 0);
static_assert(offsetof(LogSearchRequest, end_time) == 4);
static_assert(offsetof(LogSearchRequest, main_type) == 8);
static_assert(offsetof(LogSearchRequest, sub_types) == 16);
static_assert(offsetof(LogSearchRequest, sub_type_count) == 816);
static_assert(offsetof(LogSearchRequest, page) == 820);
static_assert(offsetof(LogSearchRequest, channel_mask) == 824);
static_assert(offsetof(LogSearchRequest, no_channel) == 832);
static_assert(offsetof(LogSearchBlock, count) == 0);
static_assert(offsetof(LogSearchBlock, num) == 4);
static_assert(offsetof(LogSearchBlock, entries) == 8);
static_assert(sizeof(LogSearchBlock) == 68008);
static_assert(sizeof(LogExportItem) == 68);
static_assert(offsetof(LogExportItem, path) == 4);

constexpr size_t kLogExportDetailSize = 4096;

// The main type values, in the order of their names.
inline constexpr int32_t kLogMainTypes[] = {1, 2, 4, 8, 32, 64};

// Index of a main type value for the names (1 -> 1, 2 -> 2, 4 -> 3, 8 -> 4,
// 32 -> 5, 64 -> 6), -1 for any other value.
int32_t log_main_type_index(int32_t main_type);
// The word for a main type in export file names ("Operation"), "" for others.
const char* log_main_type_word(int32_t main_type);

// The client address as the pages show it: an IPv4 address in its IPv6-mapped
// form loses "::ffff:", a zone suffix ("%eth0") is cut off.
std::string log_ip_text(const char* ip, size_t size);

// The 512 detail bytes as 128 integers of four big-endian bytes, and back.
void log_detail_to_words(const uint8_t* detail, int32_t words[128]);
void log_detail_from_words(const int32_t words[128], uint8_t* detail);

// Export selection of operation entries: unless the first value is 10
// ("all"), the first three values are bit sets over the sub types from 101,
// 131 and 200: bit b of (value - 10) selects base + b (b < 30). Writes the
// selected sub types to `out` (room for 90) and returns their number.
int32_t expand_operation_sub_types(std::span<const int64_t> values, int64_t* out);

// Local time text of `format` ("%Y-%m-%d %H:%M:%S") as seconds since the
// epoch (daylight saving decided by the C library); false when it does not parse.
bool parse_log_time(const char* text, const char* format, int32_t* seconds);
// "%Y-%m-%d %H:%M:%S" of a time in local time.
std::string log_time_text(int64_t seconds);

// ---- what the log search ("/1002") and the log export ("/1003") share

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
