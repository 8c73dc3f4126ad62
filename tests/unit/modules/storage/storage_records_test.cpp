// The configured-disk slots and the strict decimal reader of the storage
// routes.
#include "modules/storage/storage_records.h"

#include <gtest/gtest.h>

#include <string>

#include "modules/storage/storage.h"
#include "tests/unit/platform/qvdb_test_util.h"

namespace {

TEST(StorageDecimal, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(parse_decimal("36"), 36);
  EXPECT_EQ(parse_decimal(" -1 "), -1);
  EXPECT_EQ(parse_decimal("0"), 0);
  for (const char* bad : {"", "  ", "abc", "3x", "1.5", "0x10", "99999999999999999999"})
    EXPECT_FALSE(parse_decimal(bad).has_value()) << bad;
  EXPECT_FALSE(parse_decimal(nullptr).has_value());
}

TEST(StorageRecords, DisksSitInTheSlotOfTheirPortWhateverElseIsStored) {
  qvdb_test::TempDir dir;
  const std::string file = dir.file("qvdb.db");
  // Rows of ports the list cannot show come first in key order and must not
  // push a listed port out of the read.
  for (int32_t port : {-5, 0, 40, 99, 100, 101, 102}) {
    DiskConfig other{};
    other.port = port;
    other.enable = 1;
    ASSERT_EQ(write_disk(file.c_str(), &other), 0);
  }
  for (int32_t port = 1; port <= kMaxDiskPorts; ++port) {
    DiskConfig disk{};
    disk.port = port;
    disk.enable = 1;
    disk.group = port * 2;
    snprintf(disk.directory, sizeof disk.directory, "%s", std::string(127, 'x').c_str());
    ASSERT_EQ(write_disk(file.c_str(), &disk), 0);
  }
  DiskConfig slots[kMaxDiskPorts];
  read_disks(file.c_str(), slots);
  for (int32_t port = 1; port <= kMaxDiskPorts; ++port) {
    EXPECT_EQ(slots[port - 1].port, port);
    EXPECT_EQ(slots[port - 1].group, port * 2);
  }
  EXPECT_EQ(std::string(slots[35].directory), std::string(127, 'x'));
}

TEST(StorageRecords, GroupsReadWithTheirIdsWhenNotStored) {
  qvdb_test::TempDir dir;
  const std::string file = dir.file("qvdb.db");
  DiskGroup group{};
  group.id = 3;
  snprintf(group.channel, sizeof group.channel, "0101");
  ASSERT_EQ(write_group(file.c_str(), &group), 0);
  DiskGroup groups[kMaxDiskGroups];
  read_groups(file.c_str(), groups);
  for (int i = 0; i < kMaxDiskGroups; ++i) EXPECT_EQ(groups[i].id, i);
  EXPECT_EQ(std::string(groups[3].channel), "0101");
  EXPECT_EQ(std::string(groups[4].channel), "");
}

}  // namespace
