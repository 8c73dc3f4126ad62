// "/vb.htm": parses the option list, looks each option up in `cmd_hash` and
// runs it.
#include <new>

#include "modules/system/factory_options.h"
#include "modules/system/system_module.h"

namespace {

using factory_option::answer;

// Options given by their bare name (value "1"). "debug" is listed though no
// option of that name exists: it answers "ERROR". An empty text equals an
// empty place and so also ends as an unknown option.
const char kNoArgOptions[kHttpOptionNoArgPlaces][kHttpOptionTextSize] = {"oemclean", "debug",
                                                                         "softversion"};

HttpOptionEntry** cmd_hash = nullptr;

void run_options(const char* text) {
  std::vector<HttpOption> options;
  if (is_httpoption_no_arg(text)) {
    options.resize(1);
    snprintf(options[0].name, sizeof options[0].name, "%s", text);
    snprintf(options[0].value, sizeof options[0].value, "1");
  } else {
    int32_t count = get_httpoption_argnum(text);
    if (count > 0) options.resize(static_cast<size_t>(count));
    if (count == 0 || ui_decodeing(text, options.data(), count) != 0) return answer("PARAM ERROR");
  }
  for (const HttpOption& option : options) {
    const HttpOptionEntry* entry = http_option_search(option);
    if (entry == nullptr) return answer("ERROR");
    entry->handler(option);
  }
}

}  // namespace

int32_t hash_table_init() {
  hash_table_destory();
  cmd_hash = new (std::nothrow) HttpOptionEntry*[kHttpOptionBuckets]();
  if (cmd_hash == nullptr) return -1;
  for (HttpOptionEntry& entry : factory_option::option_table())
    hash_insert_entry(hash_cal_value(entry.name) % kHttpOptionBuckets, &entry);
  return 0;
}

void hash_table_destory() {
  delete[] cmd_hash;
  cmd_hash = nullptr;
  for (HttpOptionEntry& entry : factory_option::option_table()) entry.next = nullptr;
}

uint32_t hash_cal_value(const char* name) {
  uint32_t h = 0;
  for (const char* c = name; *c != '\0'; ++c)
    h = h * 37 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*c)));
  return h;
}

void hash_insert_entry(uint32_t bucket, HttpOptionEntry* entry) {
  if (cmd_hash == nullptr || entry == nullptr || bucket >= kHttpOptionBuckets) return;
  entry->next = cmd_hash[bucket];
  cmd_hash[bucket] = entry;
}

const HttpOptionEntry* http_option_search(const HttpOption& option) {
  if (cmd_hash == nullptr) return nullptr;
  for (const HttpOptionEntry* entry = cmd_hash[hash_cal_value(option.name) % kHttpOptionBuckets];
       entry != nullptr; entry = entry->next) {
    if (strcmp(entry->name, option.name) == 0) return entry;
  }
  return nullptr;
}

int32_t get_httpoption_argnum(const char* text) {
  int32_t count = 0;
  for (int i = 0; text != nullptr && i < kHttpOptionScanLength && text[i] != '\0'; ++i)
    count += text[i] == '=';
  return count;
}

int32_t is_httpoption_no_arg(const char* text) {
  if (text == nullptr) return 0;
  for (const char* place : kNoArgOptions)
    if (strcmp(text, place) == 0) return 1;
  return 0;
}

int32_t ui_decodeing(const char* text, HttpOption* options, int32_t count) {
  if (text == nullptr || options == nullptr || count < 0) return -1;
  const size_t length = strnlen(text, kHttpOptionScanLength);
  size_t pos = 0;
  for (int32_t i = 0; i < count; ++i) {
    HttpOption& option = options[i];
    memset(&option, 0, sizeof option);
    // The name runs to the next '='; a list that ends first is malformed.
    for (size_t n = 0;; ++n, ++pos) {
      if (pos >= length) return -1;
      if (text[pos] == '=') break;
      if (pos >= kHttpOptionSpan) return -1;
      option.name[n] = text[pos];
    }
    ++pos;
    for (size_t n = 0; pos < length && text[pos] != '&'; ++n, ++pos) {
      if (pos >= kHttpOptionSpan) return -1;
      option.value[n] = text[pos];
    }
    ++pos;  // past the '&'
  }
  return 0;
}

void on_http_option(char* data) {
  if (data == nullptr || hash_table_init() != 0) return answer("ERROR");
  run_options(data);
  hash_table_destory();
}
