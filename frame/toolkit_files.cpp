// File tools of the frame (see toolkit_files.h).
#include "frame/toolkit_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "frame/web_utils.h"
#include "platform/device_path.h"
#include "platform/qvstd.h"
#include "platform/safe_path.h"

namespace nvr {

namespace {

constexpr std::string_view kUploadSeparator = " & ";

std::string_view upload_path_part(const char* data) {
  const std::string_view text(data);
  return text.substr(0, text.find(kUploadSeparator));
}

}  // namespace

std::optional<std::string> uploaded_file(std::string_view path) {
  const std::string& root = device_root();
  if (!root.empty() && path.size() > root.size() && path.substr(0, root.size()) == root &&
      path[root.size()] == '/')
    path.remove_prefix(root.size());
  return device_file_in_folder(devpath::kTmp, path);
}

std::optional<std::string> uploaded_file_of(const char* data) {
  if (data == nullptr) return std::nullopt;
  return uploaded_file(upload_path_part(data));
}

std::string_view upload_query(const char* data) {
  if (data == nullptr) return {};
  const std::string_view text(data);
  const size_t split = text.find(kUploadSeparator);
  return split == std::string_view::npos ? std::string_view()
                                         : text.substr(split + kUploadSeparator.size());
}

std::string local_time_text(int64_t seconds, const char* format) {
  const time_t value = static_cast<time_t>(seconds);
  struct tm local {};
  char text[128];
  if (localtime_r(&value, &local) == nullptr || strftime(text, sizeof text, format, &local) == 0)
    return "";
  return text;
}

bool begin_download(std::string_view file_name) {
  if (!cgi_claim_answer()) return false;
  fputs("Content-Type:application/octet-stream\r\n", stdout);
  fprintf(stdout, "Content-Disposition: attachment; filename= %.*s\r\n\r\n",
          static_cast<int>(file_name.size()), file_name.data());
  fflush(stdout);
  return true;
}

bool send_device_file_once(std::string_view device_folder, std::string_view device_path,
                           Unsent unsent) {
  const std::optional<std::string> name = name_in_device_folder(device_folder, device_path);
  if (!name) return false;
  const int fd = open_in_device_folder(device_folder, *name);
  if (fd < 0) return false;
  if (!begin_download(*name)) {
    close(fd);
    return false;
  }
  const bool sent = qv_spliced_copy_ex(fd, fileno(stdout)) == 0;
  close(fd);
  if (!sent) CGI_LOG("download of %s not sent whole", name->c_str());
  if (sent || unsent == Unsent::kRemove) remove_in_device_folder(device_folder, *name);
  return true;
}

bool device_file_exists(std::string_view device_path) {
  return access(dev_path(device_path).c_str(), F_OK) == 0;
}

std::string read_device_marker(std::string_view device_folder, std::string_view device_path,
                               size_t limit) {
  const int fd = open_in_device_folder(
      device_folder, name_in_device_folder(device_folder, device_path).value_or(""));
  if (fd < 0) return "";
  std::string text(limit, '\0');
  size_t got = 0;
  while (got < limit) {
    const ssize_t n = read(fd, text.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  text.resize(strnlen(text.c_str(), got));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

File read_device_folder_file(std::string_view device_folder, std::string_view name) {
  const int fd = open_in_device_folder(device_folder, name);
  if (fd < 0) return nullptr;
  File file(fdopen(fd, "rb"));
  if (!file) close(fd);
  return file;
}

bool write_new_file(const std::string& path, std::string_view bytes, mode_t mode) {
  unlink(path.c_str());
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && done == bytes.size();
}

}  // namespace nvr
