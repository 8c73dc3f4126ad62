// Checks of request addresses and names, the IPv4 same-network test, the
// interface-settings validator and the network route table.
#include "modules/network/net_checks.h"

#include <gtest/gtest.h>

#include <string>

#include "frame/dispatchreq.h"
#include "frame/json.h"
#include "modules/network/if_utils.h"

namespace {

using netcheck::Kind;

struct TextCase {
  Kind kind;
  const char* text;
  bool ok;
};

TEST(NetChecks, TextKindsAcceptWhatTheyNameAndNothingElse) {
  const TextCase cases[] = {
      {Kind::kIpv4, "192.168.1.10", true},
      {Kind::kIpv4, "0.0.0.0", true},
      {Kind::kIpv4, "255.255.255.255", true},
      {Kind::kIpv4, "256.1.1.1", false},
      {Kind::kIpv4, "1.2.3", false},
      {Kind::kIpv4, "1.2.3.4.5", false},
      {Kind::kIpv4, "1..3.4", false},
      {Kind::kIpv4, "1.2.3.", false},
      {Kind::kIpv4, "1.2.3.4 ", false},
      {Kind::kIpv4, "1234.1.1.1", false},
      {Kind::kIpv4, "a.b.c.d", false},
      {Kind::kIpv4, "1.2.3.4;x", false},
      {Kind::kNetmask, "255.255.255.0", true},
      {Kind::kNetmask, "255.255.254.0", true},
      {Kind::kNetmask, "0.0.0.0", true},
      {Kind::kNetmask, "255.0.255.0", false},
      {Kind::kNetmask, "255.255.255.1", false},
      {Kind::kIpv6, "2001:db8::1", true},
      {Kind::kIpv6, "::", true},
      {Kind::kIpv6, "fe80::1%eth0", false},
      {Kind::kIpv6, "2001:db8::g", false},
      {Kind::kIpv6Prefix, "64", true},
      {Kind::kIpv6Prefix, "128", true},
      {Kind::kIpv6Prefix, "129", false},
      {Kind::kIpv6Prefix, "6a", false},
      {Kind::kHostName, "nvr-1", true},
      {Kind::kHostName, "a.b.example.com", true},
      {Kind::kHostName, "-nvr", false},
      {Kind::kHostName, "nvr-", false},
      {Kind::kHostName, "a..b", false},
      {Kind::kHostName, "a b", false},
      {Kind::kHostName, "a;reboot", false},
      {Kind::kHostOrAddress, "10.0.0.1", true},
      {Kind::kHostOrAddress, "::1", true},
      {Kind::kHostOrAddress, "smtp.example.com", true},
      {Kind::kHostOrAddress, "x$(id)", false},
      {Kind::kMulticast, "239.1.2.3", true},
      {Kind::kMulticast, "224.0.0.1", true},
      {Kind::kMulticast, "10.0.0.1", false},
      {Kind::kMulticast, "ff02::1", true},
      {Kind::kMulticast, "2001:db8::1", false},
  };
  for (const TextCase& c : cases) {
    const netcheck::Rule rule{"k", c.kind};
    nvr::Json request = nvr::json_new_object();
    nvr::json_add_string(request.get(), "k", c.text);
    EXPECT_EQ(netcheck::check_fields(request.get(), {&rule, 1}) == 0, c.ok) << c.text;
  }
  // A 64-label name and 254 characters are too long.
  EXPECT_FALSE(netcheck::is_host_name(std::string(64, 'a')));
  EXPECT_TRUE(netcheck::is_host_name(std::string(63, 'a')));
  std::string long_name;
  while (long_name.size() < 254) long_name += "abcdefgh.";
  EXPECT_FALSE(netcheck::is_host_name(long_name));
}

TEST(NetChecks, AbsentKeysPassEmptyTextsPassOtherTypesFail) {
  const netcheck::Rule rules[] = {{"ip", Kind::kIpv4}, {"port", Kind::kPort}, {"mtu", Kind::kMtu}};
  auto check = [&](const char* text) {
    nvr::Json request = nvr::json_parse(text);
    return netcheck::check_fields(request.get(), rules);
  };
  EXPECT_EQ(check("{}"), 0);
  EXPECT_EQ(check(R"({"ip":""})"), 0);
  EXPECT_EQ(check(R"({"ip":1})"), -1);
  EXPECT_EQ(check(R"({"port":"80"})"), -1);
  EXPECT_EQ(check(R"({"port":1})"), 0);
  EXPECT_EQ(check(R"({"port":65535})"), 0);
  EXPECT_EQ(check(R"({"port":0})"), -1);
  EXPECT_EQ(check(R"({"port":65536})"), -1);
  EXPECT_EQ(check(R"({"mtu":0})"), 0);
  EXPECT_EQ(check(R"({"mtu":1500})"), 0);
  EXPECT_EQ(check(R"({"mtu":575})"), -1);
  EXPECT_EQ(check(R"({"mtu":9001})"), -1);
  EXPECT_TRUE(netcheck::is_interface_name("eth0"));
  EXPECT_TRUE(netcheck::is_interface_name("bond0.10"));
  EXPECT_FALSE(netcheck::is_interface_name(".."));
  EXPECT_FALSE(netcheck::is_interface_name("eth0/x"));
  EXPECT_FALSE(netcheck::is_interface_name("a234567890123456"));
}

TEST(IfUtils, SameNetworkComparesTheMaskedAddresses) {
  EXPECT_EQ(
      qv_strcmp_two_ip_same_net("192.168.1.10", "255.255.255.0", "192.168.1.200", "255.255.255.0"),
      0);
  EXPECT_EQ(
      qv_strcmp_two_ip_same_net("192.168.1.10", "255.255.255.0", "192.168.2.10", "255.255.255.0"),
      -1);
  EXPECT_EQ(qv_strcmp_two_ip_same_net("10.1.2.3", "255.0.0.0", "10.9.9.9", "255.0.0.0"), 0);
  EXPECT_EQ(qv_strcmp_two_ip_same_net("10.1.2.3", "255.0.0.0", "10.1.2.3", "255.255.0.0"), -1);
  EXPECT_EQ(qv_strcmp_two_ip_same_net("bad", "255.0.0.0", "10.1.2.3", "255.0.0.0"), -1);
  EXPECT_EQ(qv_strcmp_two_ip_same_net(nullptr, "255.0.0.0", "10.1.2.3", "255.0.0.0"), -1);
}

TEST(IfUtils, NetworkSettingsValidatorNeedsModeAndSwitches) {
  auto check = [](const char* text) {
    nvr::Json request = nvr::json_parse(text);
    return check_network_info(request.get());
  };
  const char* all =
      R"({"mode":2,"enableNetwork1":1,"networkType":0,"enableNetwork2":0,"networkType2":1})";
  EXPECT_EQ(check(all), 0);
  EXPECT_EQ(
      check(R"({"mode":3,"enableNetwork1":1,"networkType":0,"enableNetwork2":0,"networkType2":1})"),
      -1);
  EXPECT_EQ(
      check(R"({"mode":0,"enableNetwork1":2,"networkType":0,"enableNetwork2":0,"networkType2":1})"),
      -1);
  EXPECT_EQ(check(R"({"mode":0,"enableNetwork1":1,"networkType":0,"enableNetwork2":0})"), -1);
  EXPECT_EQ(check("{}"), -1);
}

TEST(NetworkRoutes, TableHasItsThirtyNineRoutesInOrderWithTheUploadRow) {
  const auto table = network_route_table();
  ASSERT_EQ(table.size(), 39u);
  const char* order[] = {"/7000", "/7001", "/7010", "/7011", "/7040", "/7041", "/7043", "/7042",
                         "/7050", "/7093", "/7051", "/7070", "/7071", "/7044", "/7096", "/7020",
                         "/7021", "/7030", "/7031", "/7060", "/7061", "/7062", "/7032", "/7090",
                         "/7091", "/7092", "/7094", "/7095", "/7033", "/7034", "/7080", "/7081",
                         "/7082", "/7083", "/7084", "/7085", "/7086", "/7087", "/7089"};
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_STREQ(table[i].entry.code, order[i]);
    EXPECT_NE(table[i].entry.handler, nullptr);
    EXPECT_EQ(table[i].upload == UploadKind::File, std::string(order[i]) == "/7084") << order[i];
  }
}

}  // namespace
