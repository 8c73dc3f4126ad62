// Factory option interface ("/vb.htm"): a production and service channel.
//
// The request text is a list of options "name=value" joined by '&', or one
// bare option name. Each option names a command of the option table; options
// are found through a small hash table (`cmd_hash`) built for the run.
#pragma once

#include <cstdint>
#include <span>

constexpr int kHttpOptionTextSize = 64;  // characters of a name or a value
constexpr int kHttpOptionSpan = 64;      // options must lie within the first 64 characters
constexpr int kHttpOptionScanLength = 255;
constexpr uint32_t kHttpOptionBuckets = 64;
constexpr int kHttpOptionNoArgPlaces = 10;

struct HttpOption {
  char name[kHttpOptionTextSize + 1];   // NUL-terminated
  char value[kHttpOptionTextSize + 1];  // NUL-terminated
};

using HttpOptionHandler = void (*)(const HttpOption& option);

// A row of the option table, chained into its hash bucket.
struct HttpOptionEntry {
  const char* name;
  HttpOptionHandler handler;
  HttpOptionEntry* next;
};

// Builds `cmd_hash` from the option table: 0, or -1 when it cannot be allocated.
int32_t hash_table_init();
void hash_table_destory();
// h = h * 37 + c over the name's characters (signed bytes, unsigned 32-bit);
// the bucket is h % kHttpOptionBuckets.
uint32_t hash_cal_value(const char* name);
void hash_insert_entry(uint32_t bucket, HttpOptionEntry* entry);
// The entry whose name equals the option's name exactly, or null.
const HttpOptionEntry* http_option_search(const HttpOption& option);

// Number of '=' in the first 255 characters.
int32_t get_httpoption_argnum(const char* text);
// 1 when the whole text equals a place of the no-argument list, else 0.
int32_t is_httpoption_no_arg(const char* text);
// Splits `text` into `count` options; -1 when a name lacks its '=' or a
// character of a name or value lies at position 64 or beyond.
int32_t ui_decodeing(const char* text, HttpOption* options, int32_t count);

namespace factory_option {

// The option table (factory_commands.cpp).
std::span<HttpOptionEntry> option_table();

// Writes one answer of the run. One request may run several options; their
// answers follow one another after a single plain-text header.
void answer(const char* text);

}  // namespace factory_option
