// The client's pieces that need no daemon: wait limits, the common reply
// callbacks' answers, the operation-log record, details, JSON readers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "frame/cgic.h"
#include "frame/ipc.h"
#include "platform/qvfs_log.h"

namespace {

// Everything `fn` writes to standard output.
std::string capture_stdout(const std::function<void()>& fn) {
  fflush(stdout);
  int pipe_fd[2];
  EXPECT_EQ(pipe(pipe_fd), 0);
  int saved = dup(1);
  dup2(pipe_fd[1], 1);
  close(pipe_fd[1]);
  fn();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipe_fd[0], buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<size_t>(n));
  close(pipe_fd[0]);
  return out;
}

const std::string kText = "Content-type: text/plain\r\n\r\n";
const std::string kJson = "Content-type: application/json\r\n\r\n";

TEST(IpcWaitLimits, PollsPerRequestId) {
  const struct {
    int32_t polls;
    std::vector<int32_t> ids;
  } table[] = {
      {1500, {3700, 3702}},
      {3000, {1153, 1171, 3102, 3104, 3223, 3259, 3263, 3360, 3365, 3401, 3535}},
      {6000,
       {1701, 1713, 1716, 3200, 3201, 3202, 3203, 3204, 3205, 3227, 3402, 3409, 3420, 3440, 3528}},
      {15000, {3230, 3350, 3434, 3494, 3495}},
      {30000, {3379}},
      {1000, {3433, 3485, 3701, 0, -1, 1154}},
  };
  for (const auto& row : table)
    for (int32_t id : row.ids) EXPECT_EQ(cgi_wait_polls(id), row.polls) << id;
}

TEST(IpcCommonCallbacks, TextAnswers) {
  const struct {
    int32_t status;
    const char* data;
    std::string body;
  } cases[] = {
      {0, nullptr, "CGI OK status:[0]"},
      {-3, "abc", "CGI ERROR status:[-3], data:[abc]"},
      {7, "", "CGI OK status:[7], data:[]"},
  };
  for (const auto& c : cases) {
    g_callback_done.store(0);
    EXPECT_EQ(capture_stdout([&] { on_cgi_common_text_cb(1, c.status, c.data); }), kText + c.body);
    EXPECT_EQ(g_callback_done.load(), 1);
  }
  // The whole text stops at 255 characters.
  std::string long_data(400, 'd');
  std::string out = capture_stdout([&] { on_cgi_common_text_cb(1, -1, long_data.c_str()); });
  ASSERT_EQ(out.size(), kText.size() + 255);
  EXPECT_EQ(out.substr(kText.size(), 30), "CGI ERROR status:[-1], data:[d");
}

TEST(IpcCommonCallbacks, JsonStatusOnlyWithARecord) {
  int32_t status = -2;
  g_callback_done.store(0);
  EXPECT_EQ(capture_stdout([&] { on_cgi_common_json_cb(0, &status); }), "");
  EXPECT_EQ(capture_stdout([&] { on_cgi_common_json_cb(1, nullptr); }), "");
  EXPECT_EQ(g_callback_done.load(), 0);
  EXPECT_EQ(capture_stdout([&] { on_cgi_common_json_cb(1, &status); }),
            kJson + "{ \"status\": -2 }");
  EXPECT_EQ(g_callback_done.load(), 1);
}

TEST(IpcLogRecord, InitFillsTypesUserAndAddress) {
  EXPECT_EQ(cgi_init_log_info(nullptr), -1);
  const char* saved_cookie = cgiCookie;
  const char* saved_addr = cgiRemoteAddr;

  QvLogInfo record;
  std::memset(&record, 0x5a, sizeof record);
  cgiCookie = "lang=en; userName=admin; sid=1";
  cgiRemoteAddr = "192.168.1.20";
  ASSERT_EQ(cgi_init_log_info(&record), 0);
  EXPECT_EQ(record.main_type, 4);
  EXPECT_EQ(record.remote, 1);
  EXPECT_EQ(record.sub_type, 0);
  EXPECT_EQ(record.chan_no, 0);
  EXPECT_STREQ(record.user, "admin");
  EXPECT_STREQ(record.ip, "192.168.1.20");
  EXPECT_EQ(record.detail_size, 0);
  EXPECT_EQ(record.detail[511], 0);

  // No user in the cookie; an address longer than the field holds.
  std::string address = "2001:0db8:85a3:0000:0000:8a2e:0370:7334%eth0-extra-long";
  cgiCookie = "lang=en";
  cgiRemoteAddr = address.c_str();
  ASSERT_EQ(cgi_init_log_info(&record), 0);
  EXPECT_STREQ(record.user, "");
  EXPECT_EQ(std::string(record.ip), address.substr(0, 45));

  cgiCookie = saved_cookie;
  cgiRemoteAddr = saved_addr;
}

TEST(IpcLogRecord, DetailPacksKindAndDataAndReadsBack) {
  QvLogInfo record{};
  unsigned char detail[72] = {};
  detail[64] = 3;
  detail[68] = 0xff;
  ASSERT_EQ(qvfs_log_pack_detail(&record, 102, detail, sizeof detail), 0);
  EXPECT_EQ(record.detail_size, 76);
  int32_t kind = 0;
  std::string data;
  ASSERT_EQ(qvfs_log_unpack_detail(record, &kind, &data), 0);
  EXPECT_EQ(kind, 102);
  EXPECT_EQ(data, std::string(reinterpret_cast<char*>(detail), sizeof detail));

  // Bounds: the largest detail fits; one byte more leaves the record as it was.
  std::string largest(kLogDetailDataMax, 'x');
  ASSERT_EQ(qvfs_log_pack_detail(&record, 111, largest.data(), kLogDetailDataMax), 0);
  EXPECT_EQ(record.detail_size, 512);
  EXPECT_EQ(qvfs_log_pack_detail(&record, 107, largest.data(), kLogDetailDataMax + 1), -1);
  EXPECT_EQ(qvfs_log_pack_detail(&record, 107, nullptr, 4), -1);
  EXPECT_EQ(qvfs_log_pack_detail(nullptr, 107, largest.data(), 4), -1);
  ASSERT_EQ(qvfs_log_unpack_detail(record, &kind, &data), 0);
  EXPECT_EQ(kind, 111);

  // Entries that come from elsewhere with an impossible size have no detail.
  for (int32_t size : {0, 3, 513, -1}) {
    record.detail_size = size;
    EXPECT_EQ(qvfs_log_unpack_detail(record, &kind, &data), -1) << size;
  }
}

TEST(IpcJsonReaders, IntAndStringValues) {
  int32_t value = 99;
  EXPECT_EQ(on_cgi_get_value_by_json("{\"id\":12,\"x\":1}", "id", &value), 0);
  EXPECT_EQ(value, 12);
  value = 99;
  EXPECT_EQ(on_cgi_get_value_by_json("{\"x\":1}", "id", &value), -1);
  EXPECT_EQ(on_cgi_get_value_by_json("{not json", "id", &value), -1);
  EXPECT_EQ(on_cgi_get_value_by_json(nullptr, "id", &value), -1);
  EXPECT_EQ(on_cgi_get_value_by_json("{\"id\":1}", nullptr, &value), -1);
  EXPECT_EQ(value, 99);

  json_object* object = json_tokener_parse("{\"name\":\"abcdefgh\",\"n\":-4}");
  char buffer[5];
  EXPECT_EQ(on_cgi_get_string_from_json(object, "name", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(on_cgi_get_string_from_json(object, "none", buffer, sizeof buffer), -1);
  EXPECT_EQ(on_cgi_get_int_from_json(object, "n", &value), 0);
  EXPECT_EQ(value, -4);
  EXPECT_EQ(on_cgi_get_int_from_json(object, "none", &value), -1);
  json_object_put(object);
}

}  // namespace
