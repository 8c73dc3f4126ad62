// The access table against the route registry, and the small parsers of the
// session layer.
#include "frame/route_access.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "frame/dispatchreq.h"
#include "frame/session.h"
#include "modules/system/system_handlers.h"

namespace nvr::auth {
namespace {

using Table = std::span<const Route> (*)();
constexpr Table kTables[] = {system_route_table,  status_route_table,  general_route_table,
                             storage_route_table, cameras_route_table, video_route_table,
                             record_route_table,  network_route_table, playback_route_table,
                             ptz_route_table,     alarm_route_table};

TEST(RouteAccess, EveryRegisteredRouteHasExactlyOneRuleAndEveryRowARoute) {
  std::map<std::string, int> modules_of;
  for (Table table : kTables)
    for (const Route& route : table()) ++modules_of[route.entry.code];
  EXPECT_GT(modules_of.size(), 400u);
  for (const auto& [code, modules] : modules_of) {
    EXPECT_EQ(modules, 1) << code << " is registered by more than one module";
    EXPECT_TRUE(route_access_rule(code.c_str()).has_value()) << code;
  }

  std::set<std::string> listed;
  for (const AccessRow& row : route_access_exceptions()) {
    EXPECT_TRUE(listed.insert(row.code).second) << row.code << " is listed twice";
    EXPECT_TRUE(modules_of.count(row.code)) << row.code << " is not a registered route";
    // A channel is checked against the live-view or the playback selection.
    if (row.channel_key) {
      EXPECT_TRUE(row.need == Need::kLiveView || row.need == Need::kPlayback ||
                  row.need == Need::kRetrieve)
          << row.code;
    }
  }
  EXPECT_FALSE(route_access_rule("/9999").has_value());
  EXPECT_FALSE(route_access_rule("/10000").has_value());
  EXPECT_FALSE(route_access_rule(nullptr).has_value());
}

TEST(RouteAccess, WhatTheLoginPageAndTheDangerousRoutesNeed) {
  struct Case {
    const char* code;
    Need need;
  } cases[] = {
      {"/1000", Need::kNothing},  {"/1018", Need::kNothing},       {"/json", Need::kNothing},
      {"/1014", Need::kSession},  {"/6071", Need::kAdmin},         {"/6072", Need::kAdmin},
      {"/6073", Need::kAdmin},    {"/1006", Need::kAdmin},         {"/1010", Need::kAdmin},
      {"/oem", Need::kAdmin},     {"/vb.htm", Need::kAdmin},       {"/2080", Need::kAdmin},
      {"/1004", Need::kShutdown}, {"/6101", Need::kStorage},       {"/7041", Need::kSettings},
      {"/4013", Need::kRetrieve}, {"/6133", Need::kSmartAnalysis}, {"/6012", Need::kEvent},
      {"/2004", Need::kCamera},   {"/8000", Need::kStatus},        {"/4010", Need::kLiveView},
      {"/4000", Need::kPlayback},
  };
  for (const Case& c : cases) {
    const std::optional<AccessRule> rule = route_access_rule(c.code);
    ASSERT_TRUE(rule) << c.code;
    EXPECT_EQ(need_name(rule->need), std::string(need_name(c.need))) << c.code;
  }
  EXPECT_STREQ(route_access_rule("/4010")->channel_key, "id");
  EXPECT_STREQ(route_access_rule("/4015")->channel_key, kChannelIsBody);
  EXPECT_EQ(route_access_rule("/4003")->channel_key, nullptr);
}

TEST(RouteAccess, AdmitsEverythingWhileTheSwitchIsOff) {
  reset_server_auth_cache();
  reset_caller();
  // No settings database: the factory default, off.
  EXPECT_TRUE(route_access_admit("/6071"));
  EXPECT_TRUE(route_access_admit_channel("/4015", "9"));
  EXPECT_EQ(current_caller(), nullptr);
}

TEST(SessionIds, AreThirtyTwoFreshDecimalDigits) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    const std::optional<std::string> id = random_session_id();
    ASSERT_TRUE(id);
    ASSERT_EQ(id->size(), 32u);
    EXPECT_EQ(id->find_first_not_of("0123456789"), std::string::npos) << *id;
    EXPECT_TRUE(seen.insert(*id).second);
  }
}

TEST(SessionIds, OnlyTheCookieEntryNamedSessionIdCounts) {
  struct Case {
    const char* cookie;
    const char* id;
  } cases[] = {
      {"sessionId=123", "123"},
      {"language=en-US; sessionId=456; userName=admin", "456"},
      {"userName=admin;sessionId=789 ", "789"},
      {"oldsessionId=1; sessionId=2", "2"},
      {"xsessionId=1", ""},
      {"sessionId", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(cookie_session_id(c.cookie), c.id) << c.cookie;
}

TEST(LoginDigests, CompareWholeTextsIgnoringCase) {
  EXPECT_TRUE(
      digests_equal("e10adc3949ba59abbe56e057f20f883e", "E10ADC3949BA59ABBE56E057F20F883E"));
  EXPECT_FALSE(
      digests_equal("e10adc3949ba59abbe56e057f20f883e", "e10adc3949ba59abbe56e057f20f883"));
  EXPECT_FALSE(digests_equal("e10adc", "e10adc3949ba59abbe56e057f20f883e"));
  EXPECT_FALSE(
      digests_equal("e10adc3949ba59abbe56e057f20f883e", "f10adc3949ba59abbe56e057f20f883e"));
  EXPECT_TRUE(digests_equal("", ""));
}

}  // namespace
}  // namespace nvr::auth
