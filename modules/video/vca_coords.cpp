#include "modules/video/vca_coords.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nvr::vca {
namespace {

int32_t narrow(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

Point point_to_web(int32_t w, int32_t h, int32_t x, int32_t y) {
  if (w == 0 || h == 0) return {};
  // 64-bit products: a camera coordinate times 460 does not wrap.
  return {narrow((int64_t{x} * kWebWidth + w / 2) / w),
          narrow((int64_t{y} * kWebHeight + h / 2) / h)};
}

Point point_to_camera(int32_t w, int32_t h, int32_t x, int32_t y) {
  return {narrow((int64_t{w} * x + kWebWidth / 2) / kWebWidth),
          narrow((int64_t{h} * y + kWebHeight / 2) / kWebHeight)};
}

int32_t at_least_one(int32_t v) { return v < 1 ? 1 : v; }
Point at_least_one(Point p) { return {at_least_one(p.x), at_least_one(p.y)}; }

Segment parse_position(const char* text) {
  char buffer[64] = {};
  snprintf(buffer, sizeof buffer, "%s", text ? text : "");
  int32_t values[4] = {};
  const char* cursor = buffer;
  for (int i = 0; i < 4 && cursor != nullptr; ++i) {
    values[i] = narrow(strtoll(cursor, nullptr, 10));
    cursor = strchr(cursor, ';');
    if (cursor) ++cursor;
  }
  return {{values[0], values[1]}, {values[2], values[3]}};
}

std::string position_text(const Segment& s) {
  char text[64];
  snprintf(text, sizeof text, "%d;%d;%d;%d", s.start.x, s.start.y, s.stop.x, s.stop.y);
  return text;
}

std::string web_position(int32_t w, int32_t h, const Segment& camera) {
  return position_text({point_to_web(w, h, camera.start.x, camera.start.y),
                        point_to_web(w, h, camera.stop.x, camera.stop.y)});
}

Segment parse_line_position(int32_t w, int32_t h, const char* text) {
  const Segment web = parse_position(text);
  return {at_least_one(point_to_camera(w, h, web.start.x, web.start.y)),
          at_least_one(point_to_camera(w, h, web.stop.x, web.stop.y))};
}

}  // namespace nvr::vca
