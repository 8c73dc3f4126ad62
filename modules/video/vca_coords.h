// Coordinates between a camera's analytics space (its width x height) and the
// fixed 460 x 260 canvas of the web pages, rounded to nearest in integers.
#pragma once

#include <cstdint>
#include <string>

namespace nvr::vca {

inline constexpr int64_t kWebWidth = 460;
inline constexpr int64_t kWebHeight = 260;

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

// Camera -> web; a camera space with a zero side gives (0, 0).
Point point_to_web(int32_t w, int32_t h, int32_t x, int32_t y);
// Web -> camera.
Point point_to_camera(int32_t w, int32_t h, int32_t x, int32_t y);
// A converted point or size as sent or answered: values below 1 become 1.
Point at_least_one(Point p);
int32_t at_least_one(int32_t v);

// "x1;y1;x2;y2" (four integers, missing ones 0), at most 63 characters read.
struct Segment {
  Point start;
  Point stop;
};
Segment parse_position(const char* text);
// The web position text of a camera line (not raised: a zero space gives 0;0;0;0).
std::string web_position(int32_t w, int32_t h, const Segment& camera);
std::string position_text(const Segment& s);

// parse_position with both points converted to the camera's space, raised to 1.
Segment parse_line_position(int32_t w, int32_t h, const char* text);

}  // namespace nvr::vca
