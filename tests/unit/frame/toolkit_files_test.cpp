// The frame's file tools that need no device root: the parts of upload
// request data and files written fresh. The download and marker tools are
// exercised end to end by the routes that send files.
#include "frame/toolkit_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

TEST(UploadData, QueryIsWhatFollowsTheFirstSeparator) {
  EXPECT_EQ(nvr::upload_query("/tmp/cgicAB12 & aes=k&x=1"), "aes=k&x=1");
  EXPECT_EQ(nvr::upload_query("/tmp/cgicAB12 & a & b"), "a & b");
  EXPECT_EQ(nvr::upload_query("/tmp/cgicAB12"), "");
  EXPECT_EQ(nvr::upload_query("/tmp/cgicAB12&aes=k"), "");
  EXPECT_EQ(nvr::upload_query(nullptr), "");
}

TEST(UploadData, OnlyPlainFilesDirectlyInTmpAreUploads) {
  EXPECT_EQ(nvr::uploaded_file_of(nullptr), std::nullopt);
  for (const char* data : {"", " & aes=k", "/etc/passwd & aes=k", "/tmp/../etc/passwd",
                           "/tmp/a/b & x", "/tmp/ & x", "relative & x"})
    EXPECT_EQ(nvr::uploaded_file_of(data), std::nullopt) << data;
}

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(WriteNewFile, ReplacesAFileAndNeverWritesThroughALink) {
  char dir_template[] = "/tmp/nvr-files-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::filesystem::path dir(dir_template);
  const std::string target = dir / "oem.zip";
  const std::string bystander = dir / "kept.txt";
  std::ofstream(bystander) << "untouched";

  ASSERT_TRUE(nvr::write_new_file(target, std::string("a\0b", 3)));
  EXPECT_EQ(read_all(target), std::string("a\0b", 3));
  EXPECT_TRUE(nvr::write_new_file(target, "second"));
  EXPECT_EQ(read_all(target), "second");

  std::filesystem::remove(target);
  std::filesystem::create_symlink(bystander, target);
  EXPECT_TRUE(nvr::write_new_file(target, "fresh"));
  EXPECT_FALSE(std::filesystem::is_symlink(target));
  EXPECT_EQ(read_all(target), "fresh");
  EXPECT_EQ(read_all(bystander), "untouched");

  EXPECT_FALSE(nvr::write_new_file((dir / "missing" / "x").string(), "x"));
  std::filesystem::remove_all(dir);
}

TEST(DownloadNames, LocalTimeStampInTheGivenFormat) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(nvr::local_time_text(1704164645, "%Y%m%d%H%M%S"), "20240102030405");
  EXPECT_EQ(nvr::local_time_text(0, "rvpcap-%Y%m%d"), "rvpcap-19700101");
  // A time past what the C library converts, and an empty result, give "".
  EXPECT_EQ(nvr::local_time_text(INT64_MAX, "%Y"), "");
  EXPECT_EQ(nvr::local_time_text(0, ""), "");
}

}  // namespace
