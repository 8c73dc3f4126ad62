// Response writer, cookie and redirect headers, debug log lines, file helpers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "frame/cgic.h"
#include "frame/web_utils.h"
#include "platform/device_path.h"

namespace {

// Captures what a function writes to standard output.
template <typename F>
std::string stdout_of(F&& write) {
  fflush(stdout);
  char path[] = "/tmp/nvr-out-XXXXXX";
  int fd = mkstemp(path);
  int saved = dup(1);
  dup2(fd, 1);
  FILE* saved_out = cgiOut;
  cgiOut = stdout;
  write();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  cgiOut = saved_out;
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  close(fd);
  unlink(path);
  return ss.str();
}

TEST(Response, KindsAndErrorAnswers) {
  EXPECT_EQ(stdout_of([] { cgi_writeback_webserver(1, "OK"); }),
            "Content-type: application/json\r\n\r\nOK");
  EXPECT_EQ(stdout_of([] { cgi_writeback_webserver(0, "OK"); }),
            "Content-type: text/plain\r\n\r\nOK");
  EXPECT_EQ(stdout_of([] { cgi_writeback_webserver(5, "body"); }), "body");
  EXPECT_EQ(stdout_of([] { EXPECT_EQ(cgi_writeback_webserver(1, nullptr), -1); }), "");
  EXPECT_EQ(stdout_of([] { cgi_error_to_webserver(0); }), "Content-type: text/plain\r\n\r\nCGI ERROR");
  EXPECT_EQ(stdout_of([] { cgi_error_to_webserver(1); }),
            "Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}");
  EXPECT_EQ(stdout_of([] { cgi_error_to_webserver(2); }), "");
}

TEST(Response, CookieAndLocationHeaders) {
  std::string out = stdout_of([] {
    cgiHeaderCookieSetString("userName", "guest", 600, "/", "192.168.1.5");
    cgiHeaderLocation("/index.html");
  });
  std::regex cookie(
      "Set-Cookie: userName=guest; domain=192\\.168\\.1\\.5; expires=(Sun|Mon|Tue|Wed|Thu|Fri|Sat), "
      "\\d\\d-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\\d{4} \\d\\d:\\d\\d:\\d\\d GMT; "
      "path=/\r\nLocation: /index\\.html\r\n\r\n");
  EXPECT_TRUE(std::regex_match(out, cookie)) << out;
}

TEST(FileData, WholeFileReadAndWrite) {
  char path[] = "/tmp/nvr-fd-XXXXXX";
  int fd = mkstemp(path);
  close(fd);
  int32_t length = -1;
  char* data = qv_get_file_data(path, &length);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(length, 0);
  free(data);
  ASSERT_EQ(qv_wirte_file_data(path, "abc\0def", 7), 0);
  data = qv_get_file_data(path, &length);
  ASSERT_EQ(length, 7);
  EXPECT_EQ(std::string(data, 7), std::string("abc\0def", 7));
  free(data);
  EXPECT_EQ(qv_get_file_data("/nonexistent/x", &length), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(qv_get_file_data(nullptr, &length), nullptr);
  EXPECT_EQ(qv_wirte_file_data("/nonexistent/x", "a", 1), -1);
  unlink(path);
}

TEST(FileLock, SerialisesHolders) {
  char path[] = "/tmp/nvr-lock-XXXXXX";
  close(mkstemp(path));
  int fd = file_lock(path);
  ASSERT_GE(fd, 0);
  pid_t child = fork();
  if (child == 0) {
    // F_TLOCK from another process fails while the lock is held.
    int other = open(path, O_RDWR);
    _exit(lockf(other, F_TLOCK, 0) == 0 ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  file_unlock(fd);
  EXPECT_EQ(file_lock(nullptr), -1);
  unlink(path);
}

TEST(MacAddress, FallbackForMissingInterfaces) {
  char eth0[18], eth1[18];
  EXPECT_EQ(get_mac_addr(eth0, eth1), 0);
  std::regex mac("[0-9A-F]{2}(:[0-9A-F]{2}){5}");
  EXPECT_TRUE(std::regex_match(eth0, mac)) << eth0;
  if (access("/sys/class/net/eth1", F_OK) != 0) {
    EXPECT_STREQ(eth1, "02:7F:4D:0A:19:C9");
  }
}

}  // namespace
