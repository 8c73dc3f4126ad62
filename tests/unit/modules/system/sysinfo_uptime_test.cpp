#include <gtest/gtest.h>

#include <string>

#include "modules/system/system_handlers.h"

namespace {

std::string cut(std::string text) {
  text.push_back('\0');
  cut_uptime_text(text.data());
  return text.c_str();
}

TEST(UptimeText, CutsBeforeTheUserCountOrTheLoad) {
  // Several users: cut five characters before "users".
  EXPECT_EQ(cut(" 10:15:01 up 3 days,  2:03,  2 users,  load average: 0.00, 0.01, 0.05\n"),
            " 10:15:01 up 3 days,  2:03");
  // One user: no "users", cut two before the first 'l' ("load").
  EXPECT_EQ(cut(" 10:15:01 up 12 min,  1 user,  load average: 0.00, 0.01, 0.05\n"),
            " 10:15:01 up 12 min,  1 user,");
  // Without a user count.
  EXPECT_EQ(cut(" 10:15:01 up 1:02,  load average: 0.10, 0.20, 0.30\n"), " 10:15:01 up 1:02,");
  // No place to cut at: the text stays as read.
  EXPECT_EQ(cut("up 5 min\n"), "up 5 min\n");
  EXPECT_EQ(cut("lx"), "lx");
  EXPECT_EQ(cut("2users"), "2users");
  EXPECT_EQ(cut(""), "");
}

}  // namespace
