#include "modules/system/factory_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

HttpOption make_option(const char* name) {
  HttpOption option{};
  strncpy(option.name, name, sizeof option.name - 1);
  return option;
}

struct NamedBucket {
  const char* name;
  uint32_t hash;
  uint32_t bucket;
};

// Worked out by hand from h = h * 37 + c.
const NamedBucket kOptionBuckets[] = {
    {"setlang", 1637576138u, 10},     {"setdefault", 651998581u, 53},
    {"decode", 2833889072u, 48},      {"hotplug", 4173014211u, 3},
    {"oemclean", 2483625376u, 32},    {"paratest", 1596628312u, 24},
    {"chipupdate", 2919104027u, 27},  {"modelupdate", 569926336u, 0},
    {"softversion", 3382880786u, 18},
};

TEST(FactoryOptionHash, EveryOptionHasItsBucketAndIsFound) {
  ASSERT_EQ(hash_table_init(), 0);
  for (const NamedBucket& row : kOptionBuckets) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(hash_cal_value(row.name), row.hash);
    EXPECT_EQ(hash_cal_value(row.name) % kHttpOptionBuckets, row.bucket);
    const HttpOptionEntry* entry = http_option_search(make_option(row.name));
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->name, row.name);
  }
  hash_table_destory();
}

TEST(FactoryOptionHash, CharactersCountAsSignedBytes) {
  // 0xE9 is -23 as a signed byte: h = 2^32 - 23.
  EXPECT_EQ(hash_cal_value("\xE9"), 4294967273u);
  EXPECT_EQ(hash_cal_value(""), 0u);
}

TEST(FactoryOptionHash, NamesMatchExactlyOnly) {
  ASSERT_EQ(hash_table_init(), 0);
  for (const char* name : {"debug", "SETLANG", "setlan", "setlangx", ""})
    EXPECT_EQ(http_option_search(make_option(name)), nullptr) << name;
  hash_table_destory();
  // Without a table nothing is found.
  EXPECT_EQ(http_option_search(make_option("setlang")), nullptr);
}

TEST(FactoryOptionList, NoArgumentNamesAndArgumentCount) {
  EXPECT_EQ(is_httpoption_no_arg("softversion"), 1);
  EXPECT_EQ(is_httpoption_no_arg("oemclean"), 1);
  EXPECT_EQ(is_httpoption_no_arg("debug"), 1);
  EXPECT_EQ(is_httpoption_no_arg("softversion=1"), 0);
  EXPECT_EQ(is_httpoption_no_arg("setlang"), 0);

  EXPECT_EQ(get_httpoption_argnum("a=1&b=2&c=3"), 3);
  EXPECT_EQ(get_httpoption_argnum("softversion"), 0);
  // Only the first 255 characters count.
  std::string text(254, 'x');
  text += "==";
  EXPECT_EQ(get_httpoption_argnum(text.c_str()), 1);
}

struct DecodeCase {
  const char* text;
  int count;
  int result;
  std::vector<std::pair<std::string, std::string>> options;
};

TEST(FactoryOptionList, UiDecodeingSplitsWithinTheFirst64Characters) {
  const std::string at64 = "setlang=2&" + std::string(54, 'v') + "&softversion=1";
  const std::string value_to_63 = "decode=" + std::string(57, '1');  // last value char at 63
  const std::string value_to_64 = "decode=" + std::string(58, '1');  // one at position 64
  const std::string name_to_64 = std::string(64, 'n') + "=";         // '=' at 64, empty value
  const std::string value_past_64 = std::string(64, 'n') + "=1";     // value at 65
  const DecodeCase cases[] = {
      {"setlang=2&softversion=1", 2, 0, {{"setlang", "2"}, {"softversion", "1"}}},
      {"softversion=1", 1, 0, {{"softversion", "1"}}},
      {"decode=", 1, 0, {{"decode", ""}}},
      {"=5", 1, 0, {{"", "5"}}},
      {"a=b=c", 2, -1, {}},  // the value takes "b=c"; no name is left
      {at64.c_str(), 2, -1, {}},
      {value_to_63.c_str(), 1, 0, {{"decode", std::string(57, '1')}}},
      {value_to_64.c_str(), 1, -1, {}},
      {name_to_64.c_str(), 1, 0, {{std::string(64, 'n'), ""}}},
      {value_past_64.c_str(), 1, -1, {}},
  };
  for (const DecodeCase& row : cases) {
    SCOPED_TRACE(row.text);
    std::vector<HttpOption> options(static_cast<size_t>(row.count));
    ASSERT_EQ(ui_decodeing(row.text, options.data(), row.count), row.result);
    if (row.result != 0) continue;
    for (size_t i = 0; i < row.options.size(); ++i) {
      EXPECT_EQ(options[i].name, row.options[i].first);
      EXPECT_EQ(options[i].value, row.options[i].second);
    }
  }
}

}  // namespace
