// Names and device facts supplied beside the records.
#include "platform/qvdb_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/qvdb.h"
#include "tests/unit/platform/qvdb_test_util.h"

namespace {

TEST(QvdbNames, ExceptionNamesAreFixedAndDistinct) {
  std::set<std::string> names;
  char buffer[32];
  for (int i = 0; i < kExceptionNames; ++i) {
    ASSERT_EQ(get_exception_name(i, buffer, sizeof buffer), 0);
    EXPECT_NE(buffer[0], '\0');
    names.insert(buffer);
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kExceptionNames));
  EXPECT_EQ(get_exception_name(14, buffer, sizeof buffer), -1);
  EXPECT_STREQ(buffer, "");
}

TEST(QvdbNames, SmartEventTablesDifferByKindAndEvent) {
  char a[64], b[64], c[64];
  ASSERT_EQ(get_vca_white_table_name(0, 3, a, sizeof a), 0);
  ASSERT_EQ(get_vca_white_table_name(1, 3, b, sizeof b), 0);
  ASSERT_EQ(get_vca_warning_light_table_name(1, 3, c, sizeof c), 0);
  EXPECT_STRNE(a, b);
  EXPECT_STRNE(b, c);
  ASSERT_EQ(get_vca_http_table_name(1, 4, c, sizeof c), 0);
  EXPECT_STRNE(b, c);
  EXPECT_EQ(get_vca_http_table_name(2, 4, c, sizeof c), -1);
  EXPECT_STREQ(c, "");
}

TEST(QvdbNames, DeviceRecordFromParameters) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("qvdb.db");
  DbDevice device{};
  ASSERT_EQ(db_get_device(path.c_str(), &device), 0);
  EXPECT_EQ(device.device_id, 255);
  EXPECT_EQ(device.max_channels, 32);
  ASSERT_EQ(set_param_int(path.c_str(), "max_cameras", 16), 0);
  ASSERT_EQ(db_get_device(path.c_str(), &device), 0);
  EXPECT_EQ(device.max_channels, 16);
  qvdb_close_all();
}

}  // namespace
