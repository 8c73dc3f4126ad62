// Files from outside: opened only inside their folder, never through a link;
// archives moved into place without writing through a link at the target.
#include "platform/safe_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class SafePath : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("nvr-safe-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "in");
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }
  void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  fs::path dir_;
};

TEST_F(SafePath, OpensOnlyRegularFilesDirectlyInTheFolder) {
  write(dir_ / "in/plain.txt", "x");
  write(dir_ / "secret", "s");
  fs::create_symlink(dir_ / "secret", dir_ / "in/link");
  fs::create_directories(dir_ / "in/sub");
  mkfifo((dir_ / "in/fifo").c_str(), 0600);
  const std::string in = (dir_ / "in").string();
  int fd = nvr::open_beneath(in, "plain.txt");
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);
  for (const char* name :
       {"link", "sub", "fifo", "../secret", "sub/../plain.txt", "", ".", "..", "missing"})
    EXPECT_LT(nvr::open_beneath(in, name), 0) << name;
  EXPECT_LT(nvr::open_beneath(in, "plain.txt", O_RDWR | O_CREAT), 0);
}

TEST_F(SafePath, DevicePathsMustLieDirectlyInTheFolder) {
  EXPECT_EQ(nvr::name_in_device_folder("/tmp", "/tmp/a.tar").value_or("-"), "a.tar");
  for (const char* path : {"/tmp", "/tmp/", "/tmpx/a", "/tmp/../x", "/tmp/a/b", "tmp/a", "/tmp//a",
                           "/mnt/nand/app/qvdb.db"})
    EXPECT_FALSE(nvr::name_in_device_folder("/tmp", path).has_value()) << path;
}

TEST_F(SafePath, TreeCheckAndMoveNeverFollowLinks) {
  write(dir_ / "stage/a.txt", "a");
  write(dir_ / "stage/lnk/evil.txt", "e");
  EXPECT_TRUE(nvr::tree_is_plain((dir_ / "stage").string()));
  fs::create_directories(dir_ / "target");
  fs::create_symlink(dir_ / "out", dir_ / "target/lnk");  // planted before
  write(dir_ / "target/a.txt", "old");
  ASSERT_EQ(nvr::move_tree_into((dir_ / "stage").string(), (dir_ / "target").string()), 0);
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
  EXPECT_FALSE(fs::is_symlink(dir_ / "target/lnk"));
  EXPECT_TRUE(fs::exists(dir_ / "target/lnk/evil.txt"));
  std::ifstream replaced(dir_ / "target/a.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(replaced), {}), "a");

  fs::create_symlink(dir_ / "out", dir_ / "stage/link");
  EXPECT_FALSE(nvr::tree_is_plain((dir_ / "stage").string()));
}

}  // namespace
