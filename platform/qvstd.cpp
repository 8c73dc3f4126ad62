#include "platform/qvstd.h"

#include <openssl/evp.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/sendfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

int qv_check_file_exist(const char* path) {
  if (path == nullptr) return -1;
  return access(path, F_OK) == 0 ? 0 : -1;
}

namespace {

int copy_by_read_write(int fd_in, int fd_out) {
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd_in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) return 0;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(fd_out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return -1;
      done += put;
    }
  }
}

}  // namespace

int qv_spliced_copy_ex(int fd_in, int fd_out) {
  if (fd_in < 0 || fd_out < 0) return -1;
  for (bool first = true;; first = false) {
    ssize_t sent = sendfile(fd_out, fd_in, nullptr, 1 << 20);
    if (sent > 0) continue;
    if (sent == 0) return 0;
    if (errno == EINTR) continue;
    // Outputs the kernel cannot splice into: copy through user space.
    if (first && (errno == EINVAL || errno == ENOSYS)) return copy_by_read_write(fd_in, fd_out);
    return -1;
  }
}

int qv_base64_decode(const char* input, int length, unsigned char* output, int size) {
  if (input == nullptr || output == nullptr || length < 0 || size < 0) return -1;
  std::vector<unsigned char> bytes(static_cast<size_t>(length) / 4 * 3 + 3);
  EVP_ENCODE_CTX* context = EVP_ENCODE_CTX_new();
  if (context == nullptr) return -1;
  EVP_DecodeInit(context);
  int written = 0;
  int tail = 0;
  int ok = EVP_DecodeUpdate(context, bytes.data(), &written,
                            reinterpret_cast<const unsigned char*>(input), length) >= 0 &&
           EVP_DecodeFinal(context, bytes.data() + written, &tail) == 1;
  EVP_ENCODE_CTX_free(context);
  written += tail;
  if (!ok || written > size) return -1;
  memcpy(output, bytes.data(), static_cast<size_t>(written));
  return written;
}

namespace {

bool is_unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int get_url_encode(const char* input, char* output, int size) {
  if (input == nullptr || output == nullptr || size <= 0) return -1;
  static const char kHex[] = "0123456789ABCDEF";
  int length = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(input); *p; ++p) {
    if (is_unreserved(*p)) {
      if (length + 1 > size - 1) break;
      output[length++] = static_cast<char>(*p);
    } else {
      if (length + 3 > size - 1) break;
      output[length++] = '%';
      output[length++] = kHex[*p >> 4];
      output[length++] = kHex[*p & 15];
    }
  }
  output[length] = '\0';
  return length;
}

int get_url_decode(const char* input, char* output, int size) {
  if (input == nullptr || output == nullptr || size <= 0) return -1;
  int length = 0;
  for (const char* p = input; *p && length < size - 1; ++p) {
    int high = 0;
    int low = 0;
    if (p[0] == '%' && (high = hex_value(p[1])) >= 0 && (low = hex_value(p[2])) >= 0) {
      output[length++] = static_cast<char>(high * 16 + low);
      p += 2;
    } else {
      output[length++] = *p;
    }
  }
  output[length] = '\0';
  return length;
}

extern char** environ;

int qv_vpopen(const char* const argv[], char* buffer, size_t size) {
  if (argv == nullptr || argv[0] == nullptr || buffer == nullptr || size == 0) return -1;
  buffer[0] = '\0';
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv),
                                   environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (spawned != 0) {
    close(pipe_fds[0]);
    return -1;
  }
  size_t length = 0;
  while (length < size - 1) {
    ssize_t n = read(pipe_fds[0], buffer + length, size - 1 - length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    length += static_cast<size_t>(n);
  }
  buffer[length] = '\0';
  // The rest of the output is not wanted; closing lets the program end.
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return static_cast<int>(length);
}
