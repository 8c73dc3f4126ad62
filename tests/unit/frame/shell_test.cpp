#include "platform/shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "frame/web_utils.h"
#include "platform/device_path.h"

namespace {

using nvr::ShellCommand;

TEST(ShellCommand, OrdinaryValuesKeepTheCommandTextAsWritten) {
  ShellCommand cmd("tar -zcf %s -C %s %s", {"/tmp/a.tar.gz", "/mnt/nand2", "logo.jpg"});
  EXPECT_TRUE(cmd.valid());
  EXPECT_EQ(cmd.text(), "tar -zcf /tmp/a.tar.gz -C /mnt/nand2 logo.jpg");
  EXPECT_EQ(ShellCommand("echo %d%%", {42}).text(), "echo 42%");
  EXPECT_EQ(ShellCommand("kill %d", {-1}).valid(), true);
}

TEST(ShellCommand, HostileValuesStayOneWord) {
  const char* hostile[] = {"a'b", "x; rm -rf /", "$(reboot)", "`id`",  "a\nb",  "a b", "*",   "a|b",
                           "a>b", "\"q\"",       "a\\b",      "~root", "$HOME", "!x",  "a&&b"};
  for (const char* value : hostile) {
    ShellCommand cmd("printf %%s %s", {value});
    ASSERT_TRUE(cmd.valid()) << value;
    // The shell must hand the value back byte for byte.
    std::string out;
    FILE* pipe = popen(cmd.text().c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    EXPECT_EQ(out, value) << cmd.text();
  }
}

TEST(ShellCommand, ValuesThatCouldPoseAsOptionsAreRefused) {
  EXPECT_FALSE(ShellCommand("rm -f %s", {"-rf"}).valid());
  EXPECT_FALSE(ShellCommand("rm -f %s", {""}).valid());
  EXPECT_FALSE(ShellCommand("rm -f %s %s", {"a"}).valid());
  EXPECT_FALSE(ShellCommand("rm -f", {"a"}).valid());
  EXPECT_FALSE(ShellCommand("rm -f %s", {std::string("a\0b", 3)}).valid());
  EXPECT_EQ(qv_system(ShellCommand("true %s", {"-x"})), -1);
  EXPECT_EQ(web_system(ShellCommand("true %s", {"-x"})), -1);
}

TEST(WebSystem, ExitStatusAndSignals) {
  EXPECT_EQ(web_system(ShellCommand("true")), 0);
  EXPECT_EQ(web_system(ShellCommand("exit 1")), -1);
  EXPECT_EQ(web_system(ShellCommand("kill -9 $$")), -1);
}

TEST(DevicePath, PlainNamesOnly) {
  EXPECT_TRUE(nvr::is_plain_file_name("diag_2026.tar.gz"));
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "../x", "x..", "a\nb"})
    EXPECT_FALSE(nvr::is_plain_file_name(bad)) << bad;
}

TEST(DevicePath, FileInFolderRefusesOtherFoldersAndLinks) {
  namespace fs = std::filesystem;
  // The root is read once per process: this test works on the real
  // absolute form of a temporary folder through an unset root.
  if (!nvr::device_root().empty()) GTEST_SKIP();
  fs::path dir = fs::temp_directory_path() / ("nvr-dp-" + std::to_string(getpid()));
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "pkg.tar") << "x";
  std::ofstream(dir / "sub" / "other") << "y";
  fs::create_symlink(dir / "pkg.tar", dir / "link");
  std::string folder = dir.string();
  EXPECT_TRUE(nvr::device_file_in_folder(folder, folder + "/pkg.tar"));
  EXPECT_FALSE(nvr::device_file_in_folder(folder, folder + "/link"));
  EXPECT_FALSE(nvr::device_file_in_folder(folder, folder + "/sub/other"));
  EXPECT_FALSE(nvr::device_file_in_folder(folder, folder + "/../pkg.tar"));
  EXPECT_FALSE(nvr::device_file_in_folder(folder, folder + "/missing"));
  EXPECT_FALSE(nvr::device_file_in_folder(folder, folder + "x/pkg.tar"));
  EXPECT_FALSE(nvr::device_file_in_folder(folder, folder));
  fs::remove_all(dir);
}

}  // namespace
