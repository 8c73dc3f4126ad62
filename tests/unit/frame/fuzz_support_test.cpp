// What the fuzz targets rely on from the program and the test harness: the
// reply-table observer, and seeds written in the targets' input formats.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "frame/toolkit.h"
#include "fuzz/seed_writer.h"
#include "platform/qvsocket.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::vector<const nvr::ReplyRow*> g_seen;
uint32_t g_count = 0;

void on_record(uint32_t count, const void*) { g_count = count; }
void observe(std::span<const nvr::ReplyRow> table) { g_seen.push_back(table.data()); }

constexpr nvr::ReplyRow kTable[] = {{8001, 4, on_record}};

void dispatch(int32_t id, uint32_t size) {
  const qvsock::HeaderBytes header = qvsock::encode_header({1, id, 0, size});
  const uint8_t payload[16] = {};
  nvr::dispatch_reply(kTable, header.data(), payload);
}

TEST(ReplyTableObserver, SeesEveryDispatchOnlyWhileSet) {
  g_callback_done.store(0);
  g_seen.clear();
  dispatch(8001, 8);
  EXPECT_TRUE(g_seen.empty());
  EXPECT_EQ(g_count, 2u);

  nvr::set_reply_table_observer(observe);
  dispatch(9999, 0);  // an id the table does not serve is still seen
  dispatch(8001, 12);
  nvr::set_reply_table_observer(nullptr);
  dispatch(8001, 4);
  EXPECT_EQ(g_seen, (std::vector<const nvr::ReplyRow*>{kTable, kTable}));
  EXPECT_EQ(g_count, 1u);
  g_callback_done.store(0);
}

class SeedWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("nvr-seeds-" + std::to_string(getpid()));
    fs::remove_all(dir_);
  }
  void TearDown() override {
    unsetenv("NVR_FUZZ_SEED_DIR");
    fs::remove_all(dir_);
  }
  std::vector<std::string> seeds(const char* target) const {
    std::vector<std::string> out;
    std::error_code ignored;
    for (const auto& item : fs::directory_iterator(dir_ / target, ignored)) {
      std::ifstream in(item.path(), std::ios::binary);
      out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return out;
  }
  fs::path dir_;
};

TEST_F(SeedWriter, NothingWithoutTheFolder) {
  unsetenv("NVR_FUZZ_SEED_DIR");
  fuzz_seed::write_request("POST", "/2004", "", "application/json", "{}");
  fuzz_seed::write_reply(8001, "ab", 2);
  EXPECT_FALSE(fs::exists(dir_));
}

TEST_F(SeedWriter, RequestsAndRepliesInTheTargetsFormats) {
  setenv("NVR_FUZZ_SEED_DIR", dir_.c_str(), 1);
  fuzz_seed::write_request("GET", "/1001", "a=%22x%22", "", "");
  fuzz_seed::write_request("POST", "/up", "param:1", "multipart/form-data; boundary=B1",
                           "--B1\r\n");
  const std::string payload("\x01\x00\x02", 3);
  fuzz_seed::write_reply(-2, payload.data(), payload.size());
  fuzz_seed::write_reply(1, std::string(70000, 'x').data(), 70000);  // too large: dropped

  auto routes = seeds("routes");
  std::sort(routes.begin(), routes.end());
  EXPECT_EQ(routes, (std::vector<std::string>{"/1001\na=\"x\"", "/up\n--B1\r\n"}));
  auto body = seeds("body");
  std::sort(body.begin(), body.end());
  EXPECT_EQ(body,
            (std::vector<std::string>{"\0\0multipart/form-data; boundary=B1\n6\nparam:1\n--B1\r\n"s,
                                      "\1\0\n0\na=%22x%22\n"s}));
  EXPECT_EQ(seeds("multipart"), (std::vector<std::string>{"\0B1\nparam:1\n--B1\r\n"s}));
  EXPECT_EQ(seeds("replies"), (std::vector<std::string>{"\xfe\xff\xff\xff\x03\x00"s + payload}));
}

}  // namespace
