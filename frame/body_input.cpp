#include "frame/body_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "frame/cgic.h"

namespace {

int64_t now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int scaled(double milliseconds) {
  double value = milliseconds * nvr_time_scale();
  return value < 1 ? 1 : value > 3.6e6 ? 3600000 : static_cast<int>(value);
}

// Waits up to `timeout_ms` for input; false when none came.
bool wait_readable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    int rc = poll(&p, 1, timeout_ms);
    if (rc < 0 && errno == EINTR) continue;
    return rc > 0;
  }
}

}  // namespace

double nvr_time_scale() {
  static const double scale = [] {
    const char* text = getenv("NVR_TIME_SCALE");
    if (!text || !*text) return 1.0;
    char* end = nullptr;
    double value = strtod(text, &end);
    return (*end == '\0' && std::isfinite(value) && value > 0) ? value : 1.0;
  }();
  return scale;
}

BodyInput BodyInput::from_fd(int fd, int64_t length) {
  BodyInput body;
  body.fd_ = fd;
  body.remaining_ = length > 0 ? length : -1;
  body.finished_ = false;
  return body;
}

BodyInput BodyInput::from_callback(ReadFn read, int64_t length) {
  BodyInput body;
  body.read_fn_ = std::move(read);
  body.remaining_ = length > 0 ? length : -1;
  body.finished_ = !body.read_fn_;
  return body;
}

ssize_t BodyInput::read_source(void* buffer, size_t size) {
  if (read_fn_) return read_fn_(buffer, size);
  if (!wait_readable(fd_, scaled(kBodyIdleMs))) return 0;
  // read(2), not stdio: nothing past the body is taken from the input.
  ssize_t got;
  do {
    got = ::read(fd_, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

size_t BodyInput::read(void* buffer, size_t size) {
  if (finished_ || size == 0) return 0;
  started_ = true;
  if (remaining_ >= 0 && static_cast<int64_t>(size) > remaining_)
    size = static_cast<size_t>(remaining_);
  ssize_t got = size == 0 ? 0 : read_source(buffer, size);
  // A callback that claims more than it was asked for is cut to the request.
  if (got > static_cast<ssize_t>(size)) got = static_cast<ssize_t>(size);
  if (got <= 0) {
    finished_ = true;
    return 0;
  }
  if (remaining_ >= 0) {
    remaining_ -= got;
    if (remaining_ == 0) finished_ = true;
  }
  return static_cast<size_t>(got);
}

void BodyInput::drain() {
  if (finished_) return;
  const int64_t deadline = now_ms() + scaled(kBodyDrainMs);
  int64_t dropped = 0;
  char piece[8192];
  while (!finished_ && dropped < kBodyDrainMax && now_ms() < deadline) {
    size_t got = read(piece, sizeof piece);
    if (got == 0) break;
    dropped += static_cast<int64_t>(got);
  }
  finished_ = true;
}

BodyInput& cgi_body() {
  static BodyInput body;
  return body;
}

void body_begin(int64_t length) {
  cgi_body() = BodyInput::from_fd(cgiIn ? fileno(cgiIn) : STDIN_FILENO, length);
}
size_t body_read(void* buffer, size_t size) { return cgi_body().read(buffer, size); }
bool body_started() { return cgi_body().started(); }
bool body_finished() { return cgi_body().finished(); }
void body_drain() { cgi_body().drain(); }
