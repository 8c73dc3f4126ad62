// Validators and request parsers of the maintenance and upgrade routes.
#include <gtest/gtest.h>

#include <string>

#include "modules/system/system_handlers.h"

namespace {

TEST(Retention, AllowsMinusOneZeroOneAndEvenUpToTwelve) {
  for (int64_t v : {-1, 0, 1, 2, 4, 6, 8, 10, 12}) EXPECT_TRUE(is_allowed_retention(v)) << v;
  for (int64_t v : {int64_t{-2}, int64_t{3}, int64_t{5}, int64_t{11}, int64_t{13}, int64_t{14},
                    int64_t{4294967298}})
    EXPECT_FALSE(is_allowed_retention(v)) << v;
}

TEST(UpgradeChannelMask, StopsAtTheFirstOtherCharacterAndAfter64) {
  EXPECT_EQ(upgrade_channel_mask("1101x111"), 0b1011u);
  EXPECT_EQ(upgrade_channel_mask(""), 0u);
  EXPECT_EQ(upgrade_channel_mask(nullptr), 0u);
  EXPECT_EQ(upgrade_channel_mask("0 1"), 0u);
  EXPECT_EQ(upgrade_channel_mask(std::string(64, '1').c_str()), ~uint64_t{0});
  EXPECT_EQ(upgrade_channel_mask((std::string(63, '0') + "11").c_str()), uint64_t{1} << 63);
}

TEST(UpgradeResetFlag, TakesTheFirstWordOfTheQuery) {
  EXPECT_EQ(upgrade_reset_flag("temp & reset=1"), 1);
  EXPECT_EQ(upgrade_reset_flag("temp & noreset"), 1);
  EXPECT_EQ(upgrade_reset_flag("temp & keep reset"), 0);
  EXPECT_EQ(upgrade_reset_flag("temp & "), 0);
  EXPECT_EQ(upgrade_reset_flag("temp"), 0);
  EXPECT_EQ(upgrade_reset_flag(nullptr), 0);
}

}  // namespace
