#include "modules/video/event_routes.h"

#include "frame/json_codecs.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/video/event_actions.h"
#include "platform/device_path.h"

namespace nvr::events {

void get_schedule_route(const ScheduleRoute& route, const char* data) {
  int32_t key = -1;
  if (!parse_index_text(data, &key) || key >= route.limit) return;
  const ScheduleBlock block = read_schedule(route.table, key);
  cgi_writeback_webserver(kRespJson, json_text(get_schedule_json_object(&block)));
}

void set_schedule_route(const ScheduleRoute& route, const char* data) {
  Json request = parse_request(data);
  if (!request) return;
  int32_t key = -1;
  ScheduleBlock block{};
  if (!json_read_int(request.get(), "camId", &key, 0, route.limit - 1) ||
      get_schedule_by_json(request.get(), "schedule", &block) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  const int stored = db_write_schedule(qvdb_path(), route.table, key, &block);
  if (stored == 0 && route.notice != 0) tell_index(route.notice, key);
  answer_stored(stored);
}

void answer_stored(int stored) {
  if (stored == 0)
    cgi_writeback_webserver(kRespText, "OK");
  else
    cgi_error_to_webserver(kRespText);
}

void tell_index(int32_t request_id, int32_t index) { tell_daemon(request_id, index); }
void tell_mask(int32_t request_id, uint64_t mask) { tell_daemon(request_id, mask); }

}  // namespace nvr::events
