#include "frame/body_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "frame/cgic.h"

namespace {

int64_t g_remaining = -1;  // -1: up to end of input
bool g_started = false;
bool g_finished = true;

int64_t now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int scaled(double milliseconds) {
  double value = milliseconds * nvr_time_scale();
  return value < 1 ? 1 : value > 3.6e6 ? 3600000 : static_cast<int>(value);
}

int input_fd() { return cgiIn ? fileno(cgiIn) : STDIN_FILENO; }

// Waits up to `timeout_ms` for input; false when none came.
bool wait_readable(int timeout_ms) {
  pollfd p{input_fd(), POLLIN, 0};
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

void body_begin(int64_t length) {
  g_remaining = length > 0 ? length : -1;
  g_started = false;
  g_finished = false;
}

size_t body_read(void* buffer, size_t size) {
  if (g_finished || size == 0) return 0;
  g_started = true;
  if (g_remaining >= 0 && static_cast<int64_t>(size) > g_remaining)
    size = static_cast<size_t>(g_remaining);
  if (size == 0 || !wait_readable(scaled(kBodyIdleMs))) {
    g_finished = true;
    return 0;
  }
  // read(2), not stdio: nothing past the body is taken from the input.
  ssize_t got;
  do {
    got = read(input_fd(), buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    g_finished = true;
    return 0;
  }
  if (g_remaining >= 0) {
    g_remaining -= got;
    if (g_remaining == 0) g_finished = true;
  }
  return static_cast<size_t>(got);
}

bool body_started() { return g_started; }
bool body_finished() { return g_finished; }

void body_drain() {
  if (g_finished) return;
  const int64_t deadline = now_ms() + scaled(kBodyDrainMs);
  int64_t dropped = 0;
  char piece[8192];
  while (!g_finished && dropped < kBodyDrainMax && now_ms() < deadline) {
    size_t got = body_read(piece, sizeof piece);
    if (got == 0) break;
    dropped += static_cast<int64_t>(got);
  }
  g_finished = true;
}
