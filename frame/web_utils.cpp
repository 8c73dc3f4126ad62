#include "frame/web_utils.h"

#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "frame/cgic.h"
#include "frame/route_access.h"
#include "platform/device_path.h"

namespace {

// One answer per run: replies of the daemon arrive on another thread, and a
// handler may give up waiting while a reply is being answered.
std::mutex g_answer_mutex;
bool g_answered = false;        // a headed answer was written
bool g_written = false;         // anything at all went to standard output
std::string g_pending_cookies;  // Set-Cookie lines waiting for the answer's first line

void write_header_start(const char* first_line) {
  fputs(first_line, stdout);
  fputs(g_pending_cookies.c_str(), stdout);
  g_pending_cookies.clear();
}

}  // namespace

int32_t cgi_writeback_webserver(int kind, const char* body) {
  if (!body) return -1;
  std::lock_guard lock(g_answer_mutex);
  if (kind == kRespText || kind == kRespJson) {
    if (g_answered) {
      CGI_LOG("a second answer of %s was dropped", cgiPathInfo ? cgiPathInfo : "");
      return -1;
    }
    g_answered = true;
    write_header_start(kind == kRespText ? "Content-type: text/plain\r\n"
                                         : "Content-type: application/json\r\n");
    fputs("\r\n", stdout);
  }
  g_written = true;
  fputs(body, stdout);
  fflush(stdout);
  return 0;
}

int32_t cgi_error_to_webserver(int kind) {
  if (kind == kRespText) cgi_writeback_webserver(kRespText, "CGI ERROR");
  if (kind == kRespJson) cgi_writeback_webserver(kRespJson, "{status:\"CGI ERROR\"}");
  return 0;
}

bool cgi_claim_answer() {
  std::lock_guard lock(g_answer_mutex);
  if (g_answered) {
    CGI_LOG("a second answer of %s was dropped", cgiPathInfo ? cgiPathInfo : "");
    return false;
  }
  g_answered = true;
  g_written = true;
  return true;
}

bool cgi_output_written() {
  std::lock_guard lock(g_answer_mutex);
  return g_written;
}

void cgi_add_cookie_line(const char* line) {
  std::lock_guard lock(g_answer_mutex);
  if (!g_answered) g_pending_cookies += line;
}

int32_t cgi_redirect(const char* url) {
  std::lock_guard lock(g_answer_mutex);
  if (g_answered) return -1;
  g_answered = true;
  g_written = true;
  write_header_start("Status: 302 Found\r\n");
  fprintf(stdout, "Location: %s\r\n\r\n", url ? url : "");
  fflush(stdout);
  return 0;
}

int32_t cgi_answer_status(const char* status) {
  std::lock_guard lock(g_answer_mutex);
  if (g_written) return -1;
  g_answered = true;
  g_written = true;
  g_pending_cookies.clear();
  fprintf(stdout, "Status: %s\r\n\r\n", status);
  fflush(stdout);
  return 0;
}

void cgi_answer_reset() {
  std::lock_guard lock(g_answer_mutex);
  g_answered = false;
  g_written = false;
  g_pending_cookies.clear();
}

namespace {

// The debug log lives on the flash beside the settings: at 1 MiB it becomes
// the one older file and a new one starts.
constexpr off_t kDebugLogLimit = 1 << 20;

void rotate_debug_log(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || st.st_size < kDebugLogLimit) return;
  rename(path.c_str(), (path + ".1").c_str());
}

}  // namespace

int32_t cgi_log(const char* file, int line, const char* function, const char* format, ...) {
  char message[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);

  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  char stamp[64];
  snprintf(stamp, sizeof stamp, "%4d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
           local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);

  const std::string path = nvr::dev_path(nvr::devpath::kDebugLog);
  rotate_debug_log(path);
  FILE* log = fopen(path.c_str(), "a");
  if (!log) return -1;
  fprintf(log, "[varnek debug] %s  %s:%d in %s: %s\n", stamp, file ? file : "", line,
          function ? function : "", message);
  fflush(log);
  fclose(log);
  return 0;
}

int32_t web_system(const nvr::ShellCommand& command) {
  if (!command.valid()) {
    CGI_LOG("refused command: %s", command.text().c_str());
    return -1;
  }
  fflush(stdout);
  int status = system(command.text().c_str());
  if (status == -1 || WIFSIGNALED(status) || !WIFEXITED(status)) return -1;
  // 127: the shell could not run the command.
  return WEXITSTATUS(status) == 0 ? 0 : -1;
}

int32_t file_lock(const char* path) {
  if (!path) return -1;
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  while (lockf(fd, F_LOCK, 0) != 0) {
    if (errno != EINTR) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

void file_unlock(int32_t descriptor) {
  if (descriptor < 0) return;
  lockf(descriptor, F_ULOCK, 0);
  close(descriptor);
}

int32_t get_current_username(char* buffer, size_t size) {
  if (!buffer || size == 0) return -1;
  // With server-side sessions the name is the session's, not the cookie's.
  if (const nvr::auth::Caller* caller = nvr::auth::current_caller()) {
    snprintf(buffer, size, "%s", caller->name.c_str());
    return 0;
  }
  const char* found = strstr(cgiCookie ? cgiCookie : "", "userName");
  if (!found) return -1;
  // "userName=" is nine characters; a cookie that ends right after the name
  // gives an empty user rather than a read past its end.
  const char* start = found + strnlen(found, 9);
  size_t length = strcspn(start, ";");
  if (length >= size) length = size - 1;
  memcpy(buffer, start, length);
  buffer[length] = '\0';
  if (char* eq = strchr(buffer, '=')) memmove(buffer, eq + 1, strlen(eq + 1) + 1);
  return 0;
}

namespace {

void mac_of_interface(const char* name, char* out, const char* fallback) {
  snprintf(out, 18, "%s", fallback);
  int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock < 0) {
    perror("create socket fail\n");
    return;
  }
  struct ifreq request;
  memset(&request, 0, sizeof request);
  snprintf(request.ifr_name, sizeof request.ifr_name, "%.15s", name);
  if (ioctl(sock, SIOCGIFHWADDR, &request) == 0) {
    const unsigned char* hw = reinterpret_cast<unsigned char*>(request.ifr_hwaddr.sa_data);
    snprintf(out, 18, "%02X:%02X:%02X:%02X:%02X:%02X", hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]);
  }
  close(sock);
}

}  // namespace

int32_t get_mac_addr(char* eth0, char* eth1) {
  if (eth0) mac_of_interface("eth0", eth0, "02:7F:4D:0A:19:C8");
  if (eth1) mac_of_interface("eth1", eth1, "02:7F:4D:0A:19:C9");
  return 0;
}

char* qv_get_file_data(const char* path, int32_t* length) {
  if (length) *length = 0;
  if (!path) return nullptr;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > INT32_MAX) {
    close(fd);
    return nullptr;
  }
  size_t size = static_cast<size_t>(st.st_size);
  // One spare byte so that a zero-length file still gets a buffer to free.
  char* data = static_cast<char*>(malloc(size + 1));
  if (!data) {
    close(fd);
    return nullptr;
  }
  size_t done = 0;
  while (done < size) {
    ssize_t n = read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  if (length) *length = static_cast<int32_t>(done);
  return data;
}

int32_t qv_wirte_file_data(const char* path, const void* data, int32_t length) {
  if (!path || length < 0 || (!data && length > 0)) return -1;
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  const char* bytes = static_cast<const char*>(data);
  int32_t done = 0;
  while (done < length) {
    ssize_t n = write(fd, bytes + done, static_cast<size_t>(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  close(fd);
  return done == length ? 0 : -1;
}

int32_t get_chip_info(char* buffer, int32_t size) {
  if (!buffer || size <= 0) return -1;
  const std::string path = nvr::dev_path("/tmp/chipinfo.txt");
  qv_system(nvr::ShellCommand("qvchip_update -r 32 > %s", {path}));
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return -1;
  int32_t result = -1;
  char line[128];
  while (fgets(line, sizeof line, file)) {
    if (!strstr(line, "Read old:")) continue;
    snprintf(buffer, static_cast<size_t>(size), "%s", strlen(line) > 9 ? line + 9 : "");
    result = 0;
    break;
  }
  fclose(file);
  qv_system(nvr::ShellCommand("rm -f %s", {path}));
  return result;
}
