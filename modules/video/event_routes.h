// Shapes shared by the event routes of the video and alarm tables: schedule
// getters and setters, and the tail of a change.
#pragma once

#include <cstdint>

#include "frame/json.h"

namespace nvr::events {

// A schedule route: the schedule table, the number range of its key, and the
// daemon request told after a change (0: none; payload: the int32 key).
struct ScheduleRoute {
  const char* table;
  int32_t limit;  // keys 0..limit-1
  int32_t notice;
};

// The decimal key as the whole data; answers the stored schedule as JSON.
// Another text, or a key out of range: nothing is answered.
void get_schedule_route(const ScheduleRoute& route, const char* data);
// {"camId", "schedule"}: a key out of range or a request without a schedule
// answers the text error; otherwise the schedule is stored, the daemon told,
// "OK" answered.
void set_schedule_route(const ScheduleRoute& route, const char* data);

// The answer of a change: "OK" when `stored` is 0, else the text error.
void answer_stored(int stored);

// Tells the daemon an int32 or a 64-bit mask.
void tell_index(int32_t request_id, int32_t index);
void tell_mask(int32_t request_id, uint64_t mask);

}  // namespace nvr::events
