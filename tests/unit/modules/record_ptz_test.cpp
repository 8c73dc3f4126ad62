// Route tables of the record and PTZ modules, and their small validators.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/dispatchreq.h"
#include "modules/ptz/ptz_handlers.h"
#include "modules/record/record_handlers.h"

namespace {

std::vector<std::string> codes(std::span<const Route> table) {
  std::vector<std::string> out;
  for (const Route& route : table) {
    EXPECT_NE(route.entry.handler, nullptr) << route.entry.code;
    EXPECT_EQ(route.upload, UploadKind::None) << route.entry.code;
    out.emplace_back(route.entry.code);
  }
  return out;
}

TEST(RecordPtzRoutes, TablesInTheirOrder) {
  EXPECT_EQ(codes(record_route_table()),
            (std::vector<std::string>{"/6030", "/6031", "/6040", "/6041", "/6042", "/6043", "/6044",
                                      "/6045", "/6046", "/6047"}));
  EXPECT_EQ(
      codes(ptz_route_table()),
      (std::vector<std::string>{"/5000", "/5001", "/6050", "/6051", "/6052", "/6053", "/6054",
                                "/6056", "/6055", "/6057", "/5002", "/5003", "/5004", "/5005",
                                "/5006", "/5007", "/5008", "/5009", "/5010", "/5011", "/5012"}));
}

TEST(RecordChannelText, ReadsLikeAtoiWithinTheChannels) {
  const struct {
    const char* text;
    int32_t channel;  // -1: none
  } cases[] = {{"0", 0},
               {"63", 63},
               {" 7", 7},
               {"+5", 5},
               {"12abc", 12},
               {"-0", 0},
               {"64", -1},
               {"-1", -1},
               {"", -1},
               {"abc", -1},
               {"99999999999999999999999", -1}};
  for (const auto& c : cases) {
    const std::optional<int32_t> channel = record_channel_from_text(c.text);
    EXPECT_EQ(channel.value_or(-1), c.channel) << c.text;
  }
  EXPECT_FALSE(record_channel_from_text(nullptr));
}

TEST(PtzRules, CameraSpeedAndPatternCodes) {
  EXPECT_EQ(camera_ptz_speed(INT32_MIN), 1);
  EXPECT_EQ(camera_ptz_speed(0), 1);
  EXPECT_EQ(camera_ptz_speed(1), 0);
  EXPECT_EQ(camera_ptz_speed(2), 1);
  EXPECT_EQ(camera_ptz_speed(8), 7);
  const int32_t expected[] = {26, 21, 25, 27, 40};
  for (int action = 0; action < 5; ++action)
    EXPECT_EQ(pattern_action_code(action), expected[action]);
  for (int64_t action : {int64_t{-1}, int64_t{5}, int64_t{7}, int64_t{1} << 40})
    EXPECT_EQ(pattern_action_code(action), 0);
}

}  // namespace
