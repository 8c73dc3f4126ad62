// Every pass-through row: its route is registered, its record sizes are those
// the daemon expects, and each request layout carries its JSON keys into the
// record and back unchanged.
#include "modules/cameras/passthrough.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "frame/dispatchreq.h"
#include "frame/json.h"

namespace {

struct Sizes {
  size_t request;
  size_t reply;  // 0: no reply record
};

// The sizes of the daemon's records, by route.
const std::map<std::string, Sizes> kSizes = {
    {"/2025", {4, 4}},     {"/2019", {4, 236}},   {"/2021", {4, 356}},   {"/2023", {392, 396}},
    {"/2054", {4, 28056}}, {"/2055", {28064, 4}}, {"/2056", {4, 4}},     {"/2057", {4, 164}},
    {"/2058", {4, 44}},    {"/2059", {112, 4}},   {"/2060", {8, 24}},    {"/2061", {24, 4}},
    {"/2062", {4, 8}},     {"/2063", {4, 5996}},  {"/2064", {64, 4}},    {"/2065", {4, 912}},
    {"/2068", {260, 520}}, {"/2071", {4, 4}},     {"/2072", {4, 4}},     {"/2081", {4, 0}},
    {"/2037", {4, 1128}},  {"/2039", {4, 364}},   {"/2050", {8, 0}},     {"/2041", {4, 27716}},
    {"/2043", {4, 29188}}, {"/2045", {4, 27716}}, {"/2051", {4, 28040}}, {"/2053", {76, 0}},
};

TEST(CameraPassThrough, EveryRowHasItsSizesAndIsRegistered) {
  std::set<std::string> routes;
  for (const Route& route : cameras_route_table()) routes.insert(route.entry.code);
  std::set<std::string> seen;
  for (const cameras::PassThrough& row : cameras::pass_through_table()) {
    SCOPED_TRACE(row.route);
    EXPECT_TRUE(seen.insert(row.route).second) << "route twice";
    EXPECT_TRUE(routes.count(row.route)) << "not in the route table";
    EXPECT_EQ(cameras::find_pass_through(row.route), &row);
    ASSERT_TRUE(kSizes.count(row.route));
    EXPECT_EQ(row.request->size, kSizes.at(row.route).request);
    EXPECT_EQ(row.reply ? row.reply->size : 0u, kSizes.at(row.route).reply);
    EXPECT_EQ(row.reply_id == 0, row.reply == nullptr && row.answer == nullptr);
    if (row.reply == nullptr && row.reply_id != 0) {
      EXPECT_NE(row.answer, nullptr);
    }
  }
  EXPECT_EQ(seen.size(), kSizes.size());
}

TEST(CameraPassThrough, RequestLayoutsRoundTripTheirKeys) {
  for (const cameras::PassThrough& row : cameras::pass_through_table()) {
    SCOPED_TRACE(row.route);
    const DbRecord& layout = *row.request;
    nvr::Json request = nvr::json_new_object();
    int value = 7;
    for (const DbField& field : layout.fields) {
      const std::string key = field.json_key();
      if (key.empty() || field.type == DbType::Blob) continue;
      ASSERT_LE(field.offset + field.size, layout.size) << key;
      if (field.type == DbType::Text)
        nvr::json_add_string(request.get(), key.c_str(), "t" + std::to_string(value++));
      else
        nvr::json_add_int(request.get(), key.c_str(), value++);
    }
    std::vector<uint8_t> record(layout.size, 0);
    db_record_from_json(layout, request.get(), record.data());
    nvr::Json back(db_record_to_json(layout, record.data()));
    EXPECT_STREQ(nvr::json_text(back), nvr::json_text(request));
  }
}

TEST(CameraPassThrough, LayoutFieldsDoNotOverlap) {
  for (const cameras::PassThrough& row : cameras::pass_through_table()) {
    for (const DbRecord* layout : {row.request, row.reply}) {
      if (layout == nullptr) continue;
      std::vector<int> used(layout->size, 0);
      for (const DbField& field : layout->fields)
        for (uint32_t i = field.offset; i < field.offset + field.size && i < layout->size; ++i)
          EXPECT_EQ(used[i]++, 0) << row.route << " " << field.column;
    }
  }
}

TEST(CameraRoutes, TableHasEveryRouteOnceInItsRange) {
  std::set<std::string> codes;
  for (const Route& route : cameras_route_table()) {
    EXPECT_TRUE(codes.insert(route.entry.code).second) << route.entry.code;
    EXPECT_NE(route.entry.handler, nullptr);
    const int code = std::stoi(route.entry.code + 1);
    EXPECT_GE(code, 2000);
    EXPECT_LE(code, 2082);
  }
  EXPECT_EQ(codes.size(), 82u);  // the whole table
}

}  // namespace
