// Device log conversions and the names of its codes.
#include "modules/system/devlog_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qvfs_trans.h"

namespace {

std::string name(int32_t code) {
  char buffer[128];
  trans_get_value(code, buffer, sizeof buffer);
  return buffer;
}

TEST(DevlogIpText, MappedAddressesLoseThePrefixAndZonesAreCut) {
  struct Row {
    const char* stored;
    const char* shown;
  } rows[] = {
      {"::ffff:192.168.1.20", "192.168.1.20"},
      {"::ffff:c0a8:114", "::ffff:c0a8:114"},  // no '.', not a mapped IPv4 text
      {"fe80::1%eth0", "fe80::1"},
      {"fe80::abcd:1%2", "fe80::abcd:1"},
      {"192.168.1.20", "192.168.1.20"},
      {"2001:db8::5", "2001:db8::5"},
      {"", ""},
  };
  for (const Row& row : rows) {
    char ip[46] = {};
    strncpy(ip, row.stored, sizeof ip - 1);
    EXPECT_EQ(log_ip_text(ip, sizeof ip), row.shown) << row.stored;
  }
  // A field without its NUL is read to its end only.
  char full[46];
  memset(full, 'a', sizeof full);
  EXPECT_EQ(log_ip_text(full, sizeof full), std::string(46, 'a'));
}

TEST(DevlogSubTypeExpansion, BitSetsOfTheThreeOperationRanges) {
  int64_t out[90];
  auto expand = [&](std::vector<int64_t> values) {
    int32_t n = expand_operation_sub_types(values, out);
    return std::vector<int64_t>(out, out + n);
  };
  EXPECT_EQ(expand({11}), (std::vector<int64_t>{101}));
  EXPECT_EQ(expand({10 + 0b101, 10 + 1, 10 + (1 << 29)}),
            (std::vector<int64_t>{101, 103, 131, 229}));
  EXPECT_EQ(expand({10, 10, 10 + 2}), (std::vector<int64_t>{201}));
  // Bits above 29 and a fourth value select nothing; a value below 10 neither.
  EXPECT_EQ(expand({10 + (int64_t{1} << 30), 3, 10, 11}), std::vector<int64_t>{});
  EXPECT_EQ(expand({10 + (1 << 30) - 1, 10 + (1 << 30) - 1, 10 + (1 << 30) - 1}).size(), 90u);
}

TEST(DevlogTimes, LocalTimeTextsBothWays) {
  setenv("TZ", "UTC", 1);
  tzset();
  int32_t seconds = 0;
  ASSERT_TRUE(parse_log_time("2024-01-02 03:04:05", "%Y-%m-%d %H:%M:%S", &seconds));
  EXPECT_EQ(seconds, 1704164645);
  ASSERT_TRUE(parse_log_time("2024-01-02T03:04:05", "%Y-%m-%dT%H:%M:%S", &seconds));
  EXPECT_EQ(seconds, 1704164645);
  EXPECT_FALSE(parse_log_time("2024-01-02 03:04:05", "%Y-%m-%dT%H:%M:%S", &seconds));
  EXPECT_FALSE(parse_log_time(nullptr, "%Y", &seconds));
  EXPECT_EQ(log_time_text(1704164645), "2024-01-02 03:04:05");
}

TEST(DevlogNames, EveryOperationAndParameterCodeHasAnEnglishName) {
  trans_init("klingon");
  for (int32_t code = 1; code <= 6; ++code) EXPECT_NE(name(code), "") << code;
  for (int32_t code = 200; code <= 228; ++code) EXPECT_NE(name(code), "") << code;
  for (int32_t code = 900; code <= 925; ++code) EXPECT_NE(name(code), "") << code;
  EXPECT_EQ(name(201), "Remote: login");
  EXPECT_EQ(name(3), "Operation");
  EXPECT_EQ(name(-1), "");
  EXPECT_EQ(name(0), "");
  trans_deinit();
}

TEST(DevlogNames, GermanWithEnglishFallbackPerCode) {
  for (const char* language : {"de", "de-DE", "de_AT", "German", "DEUTSCH"}) {
    trans_init(language);
    EXPECT_EQ(name(3), "Bedienung") << language;
    EXPECT_EQ(name(101), "Local: login") << language;  // no word of its own
    trans_deinit();
  }
  trans_init("den");  // not German
  EXPECT_EQ(name(3), "Operation");
  trans_deinit();
  EXPECT_EQ(name(3), "Operation");
  char small[4];
  EXPECT_EQ(trans_get_value(3, small, sizeof small), 0);
  EXPECT_STREQ(small, "Ope");
}

}  // namespace
