// The request body: never read past a valid CONTENT_LENGTH, and never waited
// on for longer than a time limit (a client that keeps its connection open
// after the body, or stops sending mid-body, cannot hold the run). Every
// reader of the body (JSON/text posts, the multipart parser) and the drain at
// exit go through a BodyInput; the CGI program's one reads standard input.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>

class BodyInput {
 public:
  // A read callback: bytes placed in `buffer` (at most `size`), 0 at the end
  // of input, negative on an error. It answers at once: no idle limit applies.
  using ReadFn = std::function<ssize_t(void* buffer, size_t size)>;

  // An empty body that has ended.
  BodyInput() = default;
  // `length` bytes when it is positive, else up to end of input.
  static BodyInput from_fd(int fd, int64_t length);
  static BodyInput from_callback(ReadFn read, int64_t length);

  // Reads up to `size` bytes; 0 at the end of the body, at end of input, or
  // when no byte arrived within the idle limit (the body then counts as ended).
  size_t read(void* buffer, size_t size);
  // True once a byte was read, or the end was seen.
  bool started() const { return started_; }
  bool finished() const { return finished_; }
  // Reads what is left of an unfinished body and drops it, bounded by bytes
  // and time, so that a web server writing the rest into the pipe is not cut off.
  void drain();

 private:
  ssize_t read_source(void* buffer, size_t size);

  int fd_ = -1;
  ReadFn read_fn_;
  int64_t remaining_ = -1;  // -1: up to end of input
  bool started_ = false;
  bool finished_ = true;
};

// The run's body, on standard input (cgiIn).
BodyInput& cgi_body();
// Starts the run's body on standard input: `length` bytes when it is
// positive, else up to end of input.
void body_begin(int64_t length);
// The same calls on cgi_body().
size_t body_read(void* buffer, size_t size);
bool body_started();
bool body_finished();
void body_drain();

// Limits, scaled by NVR_TIME_SCALE like every other wait of the program.
constexpr double kBodyIdleMs = 5000;         // no byte for this long: the body ended
constexpr double kBodyDrainMs = 10000;       // the whole drain at exit
constexpr int64_t kBodyDrainMax = 64 << 20;  // bytes dropped at most

// NVR_TIME_SCALE: a positive factor on every wait (1 when absent or invalid).
double nvr_time_scale();
