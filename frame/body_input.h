// The request body on standard input: never read past a valid CONTENT_LENGTH,
// and never waited on for longer than a time limit (a client that keeps its
// connection open after the body, or stops sending mid-body, cannot hold the
// run). Every reader of the body (JSON/text posts, the multipart parser) and
// the drain at exit go through here.
#pragma once

#include <cstddef>
#include <cstdint>

// Starts a body: `length` bytes when it is positive, else up to end of input.
void body_begin(int64_t length);
// Reads up to `size` bytes; 0 at the end of the body, at end of input, or
// when no byte arrived within the idle limit (the body then counts as ended).
size_t body_read(void* buffer, size_t size);
// True once a byte was read, or the end was seen.
bool body_started();
bool body_finished();
// Reads what is left of an unfinished body and drops it, bounded by bytes and
// time, so that a web server writing the rest into the pipe is not cut off.
void body_drain();

// Limits, scaled by NVR_TIME_SCALE like every other wait of the program.
constexpr double kBodyIdleMs = 5000;         // no byte for this long: the body ended
constexpr double kBodyDrainMs = 10000;       // the whole drain at exit
constexpr int64_t kBodyDrainMax = 64 << 20;  // bytes dropped at most

// NVR_TIME_SCALE: a positive factor on every wait (1 when absent or invalid).
double nvr_time_scale();
