#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/dispatchreq.h"

namespace {

std::string g_called;

void record_handler(char* data) { g_called = data; }
void other_handler(char*) { g_called = "other"; }

std::vector<WebRes> make_routes(int count, int first) {
  std::vector<WebRes> routes(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    snprintf(routes[static_cast<size_t>(i)].code, sizeof(WebRes::code), "/%d", first + i);
    routes[static_cast<size_t>(i)].handler = record_handler;
  }
  return routes;
}

class Registry : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& table : registered_) WebResUnregister(table.data(), static_cast<int>(table.size()));
    ASSERT_EQ(WebResUsedCount(), 0);
    g_called.clear();
  }
  int add(std::vector<WebRes> table) {
    registered_.push_back(std::move(table));
    auto& t = registered_.back();
    return WebResRegister(t.data(), static_cast<int>(t.size()));
  }
  std::vector<std::vector<WebRes>> registered_;
};

TEST_F(Registry, RefusesEmptyAndNullTables) {
  WebRes one[] = {{"/a", record_handler}};
  EXPECT_EQ(WebResRegister(nullptr, 3), -1);
  EXPECT_EQ(WebResRegister(one, 0), -1);
  EXPECT_EQ(WebResRegister(one, -1), -1);
  EXPECT_EQ(WebResUnregister(nullptr, 1), -1);
  EXPECT_EQ(WebResUnregister(one, 0), -1);
  EXPECT_EQ(WebResUsedCount(), 0);
}

TEST_F(Registry, HoldsAtMost511Entries) {
  ASSERT_EQ(add(make_routes(500, 10000)), 0);
  EXPECT_EQ(add(make_routes(12, 20000)), -1);
  EXPECT_EQ(WebResUsedCount(), 500);
  EXPECT_EQ(FindWebRes("/20000"), nullptr);
  EXPECT_EQ(add(make_routes(11, 30000)), 0);
  EXPECT_EQ(WebResUsedCount(), 511);
  EXPECT_NE(FindWebRes("/30010"), nullptr);
}

TEST_F(Registry, DispatchesToTheRegisteredHandler) {
  ASSERT_EQ(add({{"/json", record_handler}, {"/6100", other_handler}}), 0);
  char data[] = "{\"a\":1}";
  DispatchWebReq("/json", data);
  EXPECT_EQ(g_called, "{\"a\":1}");
  DispatchWebReq("/6100", data);
  EXPECT_EQ(g_called, "other");
}

TEST_F(Registry, CodesCompareExactly) {
  ASSERT_EQ(add({{"/json", record_handler}, {"/123456", record_handler}}), 0);
  char data[] = "x";
  DispatchWebReq("/JSON", data);
  DispatchWebReq("/1234567", data);
  DispatchWebReq("/123456789", data);
  DispatchWebReq("/js", data);
  DispatchWebReq(nullptr, data);
  EXPECT_EQ(g_called, "");
  EXPECT_EQ(FindWebRes(nullptr), nullptr);
  EXPECT_NE(FindWebRes("/123456"), nullptr);
  // A stored code is cut to 7 characters, so longer codes never match.
  WebRes long_code{};
  memcpy(long_code.code, "/abcdefg", 8);
  long_code.handler = record_handler;
  ASSERT_EQ(add({long_code}), 0);
  EXPECT_EQ(FindWebRes("/abcdefg"), nullptr);
  EXPECT_NE(FindWebRes("/abcdef"), nullptr);
}

TEST_F(Registry, RemovedCodesFindNothingAndSlotsAreReusedLowestFirst) {
  auto first = make_routes(3, 100);
  ASSERT_EQ(add(first), 0);
  ASSERT_EQ(add(make_routes(2, 200)), 0);
  const WebRes* slot0 = FindWebRes("/100");
  ASSERT_EQ(WebResUnregister(first.data(), 3), 0);
  EXPECT_EQ(FindWebRes("/101"), nullptr);
  EXPECT_EQ(WebResUsedCount(), 2);
  ASSERT_EQ(add({{"/300", record_handler}}), 0);
  EXPECT_EQ(FindWebRes("/300"), slot0);
}

}  // namespace

namespace {

TEST(SystemTable, SixtyThreeRoutesInTheirOrder) {
  auto table = system_route_table();
  ASSERT_EQ(table.size(), 63u);
  std::string codes;
  for (const Route& route : table) {
    ASSERT_NE(route.entry.handler, nullptr) << route.entry.code;
    codes += std::string(route.entry.code) + " ";
  }
  EXPECT_EQ(codes.rfind("/1000 /1014 /1018 /6070 ", 0), 0u) << codes;
  EXPECT_NE(codes.find(" /oem /1019 /dw.cgi /1009 "), std::string::npos) << codes;
  EXPECT_NE(codes.find(" /1031 /ipc /vb.htm "), std::string::npos) << codes;
  // Registered alone it takes the first 63 slots.
  ASSERT_EQ(RouteRegister(table.data(), 63), 0);
  ASSERT_NE(FindWebRes("/1000"), nullptr);
  EXPECT_EQ(FindWebRes("/vb.htm") - FindWebRes("/1000"), 62);
  // The upload kinds travel with the rows.
  EXPECT_EQ(route_upload_kind("/1010"), UploadKind::RawUnread);
  EXPECT_EQ(route_upload_kind("/6082"), UploadKind::Raw);
  EXPECT_EQ(route_upload_kind("/oem"), UploadKind::Temp);
  EXPECT_EQ(route_upload_kind("/1019"), UploadKind::Temp);
  EXPECT_EQ(route_upload_kind("/1008"), UploadKind::File);
  EXPECT_EQ(route_upload_kind("/6321"), UploadKind::File);
  EXPECT_EQ(route_upload_kind("/6070"), UploadKind::None);
  EXPECT_EQ(route_upload_kind("/nope"), UploadKind::None);
  RouteUnregister(table.data(), 63);
  EXPECT_EQ(route_upload_kind("/1010"), UploadKind::None);
  EXPECT_EQ(WebResUsedCount(), 0);
}

}  // namespace
