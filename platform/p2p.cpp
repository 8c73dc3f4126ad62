#include "platform/p2p.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/device_path.h"
#include "platform/net.h"

namespace {

constexpr int kLimitMs = 5000;
constexpr int kRsaBlock = 256;
constexpr int kRsaPlainBlock = 245;

bool wait_for(int sock, short events) {
  pollfd fd{sock, events, 0};
  int ready = 0;
  do {
    ready = poll(&fd, 1, p2p_time_limit_ms());
  } while (ready < 0 && errno == EINTR);
  return ready == 1 && (fd.revents & (events | POLLHUP | POLLERR)) != 0;
}

bool send_all(int sock, const uint8_t* data, size_t size) {
  while (size > 0) {
    if (!wait_for(sock, POLLOUT)) return false;
    ssize_t sent = send(sock, data, size, MSG_NOSIGNAL);
    if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

std::string key_file() { return nvr::dev_path("/tmp/p2p_cli.key"); }

}  // namespace

int p2p_time_limit_ms() { return net_scaled_ms(kLimitMs); }

int socket_create() { return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }

int socket_connect(int sock, const char* host, int port) {
  if (sock < 0 || host == nullptr || *host == '\0' || port < 1 || port > 65535) return -1;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host, service.c_str(), &hints, &found) != 0 || found == nullptr) return -1;
  int result = connect(sock, found->ai_addr, found->ai_addrlen);
  freeaddrinfo(found);
  if (result == 0) return 0;
  if (errno != EINPROGRESS || !wait_for(sock, POLLOUT)) return -1;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return -1;
  return 0;
}

void socket_destroy(int sock) {
  if (sock >= 0) close(sock);
}

int p2p_create_keyfile() {
  int fd = open(key_file().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -1;
  close(fd);
  return 0;
}

int p2p_cli_switch_keyfile(int sock) {
  return sock >= 0 && access(key_file().c_str(), F_OK) == 0 ? 0 : -1;
}

int rsa_cal_ensize(int length) {
  if (length <= 0) return 0;
  return (length + kRsaPlainBlock - 1) / kRsaPlainBlock * kRsaBlock;
}

int p2p_send(int sock, const void* data, int length, uint8_t* work, int work_size) {
  const int wire = rsa_cal_ensize(length);
  if (sock < 0 || data == nullptr || work == nullptr || wire > work_size) return -1;
  memset(work, 0, static_cast<size_t>(wire));
  memcpy(work, data, static_cast<size_t>(length));
  return send_all(sock, work, static_cast<size_t>(wire)) ? 0 : -1;
}

int p2p_recv(int sock, void* out, int size, int wire_size) {
  if (sock < 0 || out == nullptr || size < 0 || wire_size < size) return -1;
  std::string message(static_cast<size_t>(wire_size), '\0');
  size_t done = 0;
  while (done < message.size()) {
    if (!wait_for(sock, POLLIN)) return -1;
    ssize_t got = recv(sock, message.data() + done, message.size() - done, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return -1;
    done += static_cast<size_t>(got);
  }
  memcpy(out, message.data(), static_cast<size_t>(size));
  return 0;
}

int p2p_recv_some(int sock, void* out, int size) {
  if (sock < 0 || out == nullptr || size <= 0) return -1;
  for (;;) {
    if (!wait_for(sock, POLLIN)) return -1;
    ssize_t got = recv(sock, out, static_cast<size_t>(size), 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return got > 0 ? static_cast<int>(got) : -1;
  }
}
