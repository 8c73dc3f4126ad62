// Coordinates between camera space and the 460 x 260 web canvas.
#include "modules/video/vca_coords.h"

#include <gtest/gtest.h>

namespace nvr::vca {
namespace {

TEST(VcaCoords, RoundsToNearestBothWays) {
  EXPECT_EQ(web_position(1920, 1080, {{0, 0}, {1920, 1080}}), "0;0;460;260");
  const Point camera = point_to_camera(1920, 1080, 230, 130);
  EXPECT_EQ(camera.x, 960);
  EXPECT_EQ(camera.y, 540);
  // 1 camera pixel of 1920 is 0.24 web points: rounds down; 3 are 0.72: up.
  EXPECT_EQ(point_to_web(1920, 1080, 1, 3).x, 0);
  EXPECT_EQ(point_to_web(1920, 1080, 3, 3).x, 1);
  // No products wrap for large camera values.
  EXPECT_EQ(point_to_web(8000000, 1, 8000000, 0).x, 460);
}

TEST(VcaCoords, ZeroSpaceAndRaisedValues) {
  EXPECT_EQ(web_position(0, 1080, {{100, 100}, {200, 200}}), "0;0;0;0");
  EXPECT_EQ(at_least_one(point_to_web(0, 0, 5, 5)).x, 1);
  const Segment sent = parse_line_position(1920, 1080, "0;0;230;130");
  EXPECT_EQ(sent.start.x, 1);
  EXPECT_EQ(sent.start.y, 1);
  EXPECT_EQ(sent.stop.x, 960);
}

TEST(VcaCoords, PositionTextWithMissingValues) {
  const Segment half = parse_position("10;20");
  EXPECT_EQ(half.start.x, 10);
  EXPECT_EQ(half.start.y, 20);
  EXPECT_EQ(half.stop.x, 0);
  EXPECT_EQ(half.stop.y, 0);
  const Segment sent = parse_line_position(460, 260, "10;20");
  EXPECT_EQ(sent.start.x, 10);
  EXPECT_EQ(sent.stop.x, 1);
  EXPECT_EQ(sent.stop.y, 1);
  EXPECT_EQ(position_text(parse_position("1;2;3;4;5")), "1;2;3;4");
  EXPECT_EQ(position_text(parse_position("")), "0;0;0;0");
}

}  // namespace
}  // namespace nvr::vca
