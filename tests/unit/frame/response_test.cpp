// Response writer, cookie and redirect headers, debug log lines, file helpers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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
  cgi_answer_reset();  // each capture stands for a run of its own
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
  EXPECT_EQ(stdout_of([] { cgi_error_to_webserver(0); }),
            "Content-type: text/plain\r\n\r\nCGI ERROR");
  EXPECT_EQ(stdout_of([] { cgi_error_to_webserver(1); }),
            "Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}");
  EXPECT_EQ(stdout_of([] { cgi_error_to_webserver(2); }), "");
}

TEST(Response, OneAnswerPerRun) {
  EXPECT_EQ(stdout_of([] {
              EXPECT_EQ(cgi_writeback_webserver(0, "Failed"), 0);
              EXPECT_EQ(cgi_writeback_webserver(0, "Failed"), -1);
              EXPECT_EQ(cgi_error_to_webserver(1), 0);
              EXPECT_FALSE(cgi_claim_answer());
              EXPECT_EQ(cgi_redirect("/x"), -1);
              EXPECT_EQ(cgi_writeback_webserver(-1, " more"), 0);  // body after the answer
            }),
            "Content-type: text/plain\r\n\r\nFailed more");
  EXPECT_EQ(stdout_of([] {
              EXPECT_TRUE(cgi_claim_answer());
              EXPECT_EQ(cgi_writeback_webserver(1, "{}"), -1);
            }),
            "");
  EXPECT_EQ(stdout_of([] { EXPECT_EQ(cgi_answer_status("404 Not Found"), 0); }),
            "Status: 404 Not Found\r\n\r\n");
  EXPECT_EQ(stdout_of([] {
              cgi_writeback_webserver(0, "OK");
              EXPECT_EQ(cgi_answer_status("400 Bad Request"), -1);
            }),
            "Content-type: text/plain\r\n\r\nOK");
}

TEST(Response, CookieAndLocationHeaders) {
  std::string out = stdout_of([] {
    cgiHeaderCookieSetString("userName", "guest", 600, "/", "192.168.1.5");
    cgiHeaderLocation("/index.html");
  });
  // "Set-Cookie: userName=guest; domain=192.168.1.5; expires=Mon, 07-Dec-2026 23:10:00 GMT; ..."
  // The status line first (some web servers only look for it there).
  const std::string status = "Status: 302 Found\r\n";
  ASSERT_EQ(out.rfind(status, 0), 0u) << out;
  out = out.substr(status.size());
  const std::string head = "Set-Cookie: userName=guest; domain=192.168.1.5; expires=";
  ASSERT_EQ(out.rfind(head, 0), 0u) << out;
  std::string expires = out.substr(head.size(), 29);
  char day[4], month[4];
  int mday, year, hour, minute, second;
  ASSERT_EQ(sscanf(expires.c_str(), "%3s, %2d-%3s-%4d %2d:%2d:%2d GMT", day, &mday, month, &year,
                   &hour, &minute, &second),
            7)
      << expires;
  EXPECT_NE(std::string("SunMonTueWedThuFriSat").find(std::string(day, 3)), std::string::npos);
  EXPECT_EQ(expires[3], ',');
  EXPECT_EQ(out.substr(head.size() + 29), "; path=/\r\nLocation: /index.html\r\n\r\n");
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
  unsigned bytes[6];
  EXPECT_EQ(sscanf(eth0, "%2X:%2X:%2X:%2X:%2X:%2X", &bytes[0], &bytes[1], &bytes[2], &bytes[3],
                   &bytes[4], &bytes[5]),
            6)
      << eth0;
  EXPECT_EQ(strlen(eth0), 17u);
  if (access("/sys/class/net/eth1", F_OK) != 0) {
    EXPECT_STREQ(eth1, "02:7F:4D:0A:19:C9");
  }
}

}  // namespace
