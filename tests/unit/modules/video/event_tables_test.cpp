// The video-and-events and alarm tables: every row in its order, and no code
// shared with another module's table.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "frame/dispatchreq.h"

namespace {

std::string codes_of(std::span<const Route> table) {
  std::string codes;
  for (const Route& route : table) {
    EXPECT_NE(route.entry.handler, nullptr) << route.entry.code;
    codes += std::string(route.entry.code) + " ";
  }
  return codes;
}

TEST(EventTables, RowsInTheirOrder) {
  EXPECT_EQ(codes_of(video_route_table()),
            "/6010 /6011 /6012 /6013 /6098 /6112 /6113 /6114 /6117 /6118 /6120 /6119 /6152 "
            "/6153 /6158 /6159 /6160 /6161 /6162 /6163 /6164 "
            "/6014 /6015 /6016 /6017 /6122 /6124 /6126 /6128 /6121 /6125 /6129 /6123 /6127 "
            "/6165 /6166 /6167 /6168 /6170 /6169 /6094 /6095 "
            // smart events
            "/6132 /6133 /6134 /6135 /6136 /6137 /6138 /6139 /6140 /6141 /6142 /6143 /6144 "
            "/6145 /6146 /6147 /6148 /6149 /6150 /6151 /6154 /6157 /6172 /6171 /6192 /6193 "
            "/6194 /6195 "
            // licence plates
            "/6180 /6179 /6181 /6182 /6183 /6184 /6185 /6186 /6189 /6190 /6191 "
            // snapshots, fisheye and counting; on-screen display, masks, exceptions

            "/6130 /6174 /6175 /6176 /6177 /6178 /6131 /6196 /6197 /6096 /6097 "
            "/6000 /6001 /6002 /6018 /6019 /6999 /6998 /6997 /6996 /6090 /6091 /6092 /6093 "
            "/6115 /6116 /6173 /6198 ");
  EXPECT_EQ(codes_of(alarm_route_table()),
            "/6020 /6021 /6022 /6060 /6061 /6062 /6063 /6064 /6023 /6032 /6024 /6025 /6026 "
            "/6027 /6028 /6029 /6033 /6034 ");
}

TEST(EventTables, NoCodeInTwoTables) {
  std::set<std::string> seen;
  for (auto table : {video_route_table(), system_route_table(), alarm_route_table()})
    for (const Route& route : table)
      EXPECT_TRUE(seen.insert(route.entry.code).second) << route.entry.code;
}

}  // namespace
