// The Ethernet interfaces (two separate ones or one bonded interface), the
// default route, IP-conflict tests and the factory MAC address.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/network/net_checks.h"
#include "modules/network/network_handlers.h"
#include "modules/network/network_records.h"
#include "platform/device_path.h"
#include "platform/mac_conf.h"
#include "platform/net.h"

namespace {

using netcheck::Kind;

// The keys of the answer of "/7040", in order, by mode.
constexpr const char* kBondedKeys[] = {
    "mode",           "hostName", "primaryNet", "enableNetwork1", "networkType",  "ipAddr",
    "netmask",        "gateway",  "macAddr",    "DNS1",           "DNS2",         "mtu",
    "ip6networkType", "ip6Addr",  "ip6netmask", "ip6gateway",     "defaultRoute",
};
constexpr const char* kSeparateKeys[] = {
    "mode",           "hostName",       "enableNetwork1",
    "networkType",    "ipAddr",         "netmask",
    "gateway",        "ip6networkType", "ip6Addr",
    "ip6netmask",     "ip6gateway",     "macAddr",
    "DNS1",           "DNS2",           "mtu",
    "enableNetwork2", "networkType2",   "ipAddr2",
    "netmask2",       "gateway2",       "ip6networkType2",
    "ip6Addr2",       "ip6netmask2",    "ip6gateway2",
    "macAddr2",       "DNS12",          "DNS22",
    "mtu2",           "defaultRoute",
};

// The keys "/7041" takes, by mode (the IPv6 gateways only for a static or
// automatic IPv6 address; "primaryNet" only in mode 2).
constexpr const char* kBondedSetKeys[] = {
    "hostName", "enableNetwork1", "networkType", "ipAddr",         "netmask", "gateway",
    "mtu",      "DNS1",           "DNS2",        "ip6networkType", "ip6Addr", "ip6netmask",
};
constexpr const char* kSecondSetKeys[] = {
    "enableNetwork2", "networkType2", "ipAddr2",         "netmask2", "gateway2",    "mtu2",
    "DNS12",          "DNS22",        "ip6networkType2", "ip6Addr2", "ip6netmask2", "defaultRoute",
};

constexpr netcheck::Rule kNetworkRules[] = {
    {"hostName", Kind::kHostName}, {"ipAddr", Kind::kIpv4},   {"netmask", Kind::kNetmask},
    {"gateway", Kind::kIpv4},      {"DNS1", Kind::kIpv4},     {"DNS2", Kind::kIpv4},
    {"mtu", Kind::kMtu},           {"ip6Addr", Kind::kIpv6},  {"ip6netmask", Kind::kIpv6Prefix},
    {"ip6gateway", Kind::kIpv6},   {"ipAddr2", Kind::kIpv4},  {"netmask2", Kind::kNetmask},
    {"gateway2", Kind::kIpv4},     {"DNS12", Kind::kIpv4},    {"DNS22", Kind::kIpv4},
    {"mtu2", Kind::kMtu},          {"ip6Addr2", Kind::kIpv6}, {"ip6netmask2", Kind::kIpv6Prefix},
    {"ip6gateway2", Kind::kIpv6},
};

// The IPv6 keys of one interface: the stored address when it is static or
// complete, else what the interface has now.
void put_ipv6(json_object* all, const NetInterface& lan, const char* ifname, const char* suffix) {
  const std::string addr_key = std::string("ip6Addr") + suffix;
  const std::string prefix_key = std::string("ip6netmask") + suffix;
  const std::string gateway_key = std::string("ip6gateway") + suffix;
  if (lan.ip6_type == 0 || (lan.ip6_type == 1 && lan.ip6_addr[0] && lan.ip6_prefix[0])) return;
  json_object_object_del(all, addr_key.c_str());
  json_object_object_del(all, prefix_key.c_str());
  json_object_object_del(all, gateway_key.c_str());
  char address[64] = "";
  char prefix[16] = "";
  if (net_get_ipv6_ifaddr(lan.ip6_type == 1, ifname, address, sizeof address, prefix,
                          sizeof prefix) == 0) {
    nvr::json_add_string(all, addr_key.c_str(), address);
    nvr::json_add_string(all, prefix_key.c_str(), prefix);
  }
  char gateway[64] = "";
  if (net_get_ipv6_gateway2(0, ifname, gateway, sizeof gateway) == 0 ||
      net_get_ipv6_gateway2(1, ifname, gateway, sizeof gateway) == 0)
    nvr::json_add_string(all, gateway_key.c_str(), gateway);
}

// The mode of "/7040": the body's number when it is 0..2, else the stored one.
int requested_mode(const char* data) {
  if (data != nullptr && *data) {
    char* end = nullptr;
    long mode = strtol(data, &end, 10);
    while (end && isspace(static_cast<unsigned char>(*end))) ++end;
    if (end != data && end && *end == '\0' && mode >= 0 && mode <= 2) return static_cast<int>(mode);
  }
  const int stored = read_network_mode(nvr::qvdb_path());
  return stored >= 0 && stored <= 2 ? stored : 0;
}

void take_keys(json_object* request, json_object* into, std::initializer_list<const char*> keys) {
  for (const char* key : keys)
    if (json_object* value = nvr::json_get(request, key))
      json_object_object_add(into, key, json_object_get(value));
}
template <size_t N>
void take_keys(json_object* request, json_object* into, const char* const (&keys)[N]) {
  for (const char* key : keys)
    if (json_object* value = nvr::json_get(request, key))
      json_object_object_add(into, key, json_object_get(value));
}

int32_t int_record(uint32_t count, const void* records) {
  return count ? nvr::record_at<int32_t>(records, 0) : 0;
}

}  // namespace

// "/7040"
void on_get_network_info(char* data) {
  const int mode = requested_mode(data);
  char mac1[18] = "";
  char mac2[18] = "";
  get_mac_addr(mac1, mac2);
  NetworkInfo network{};
  read_network(nvr::qvdb_path(), &network);

  nvr::Json all(db_record_to_json(kNetworkRecord, &network));
  if (!all) return;
  nvr::json_add_int(all.get(), "mode", mode);
  nvr::json_add_string(all.get(), "macAddr", mac1);
  nvr::json_add_string(all.get(), "macAddr2", mac2);
  const bool bonded = mode == 1 || mode == 2;
  put_ipv6(all.get(), network.lan1, bonded ? "bond0" : "eth0", "");
  if (!bonded) put_ipv6(all.get(), network.lan2, "eth1", "2");

  nvr::Json answer = nvr::json_new_object();
  auto pick = [&](const char* const* keys, size_t n) {
    for (size_t i = 0; i < n; ++i)
      if (json_object* value = nvr::json_get(all.get(), keys[i]))
        json_object_object_add(answer.get(), keys[i], json_object_get(value));
  };
  if (bonded)
    pick(kBondedKeys, std::size(kBondedKeys));
  else
    pick(kSeparateKeys, std::size(kSeparateKeys));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7041": only the keys sent change; addresses are checked first.
void on_set_network_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || netcheck::check_fields(request.get(), kNetworkRules) != 0) return;
  NetworkInfo network{};
  read_network(nvr::qvdb_path(), &network);
  int32_t mode = network.mode;
  if (!nvr::json_read_int(request.get(), "mode", &mode, 0, 2) &&
      nvr::json_get(request.get(), "mode") != nullptr)
    return;
  if (mode < 0 || mode > 2) mode = 0;
  const int32_t conflict = netmod::int_or(request.get(), "Conflict");
  const int32_t slave_clear = netmod::int_or(request.get(), "slaveClear");

  nvr::Json changes = nvr::json_new_object();
  if (mode == 2) take_keys(request.get(), changes.get(), {"primaryNet"});
  take_keys(request.get(), changes.get(), kBondedSetKeys);
  if (mode == 0) take_keys(request.get(), changes.get(), kSecondSetKeys);
  db_record_from_json(kNetworkRecord, changes.get(), &network);
  network.mode = mode;
  // A router-advertised gateway is the interface's, not the page's.
  if (network.lan1.ip6_type != 2) take_keys(request.get(), changes.get(), {"ip6gateway"});
  if (mode == 0 && network.lan2.ip6_type != 2)
    take_keys(request.get(), changes.get(), {"ip6gateway2"});
  db_record_from_json(kNetworkRecord, changes.get(), &network);
  network.mode = mode;

  if (write_network(nvr::qvdb_path(), &network) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::tell_daemon(kReqSlaveClear, slave_clear);
  netmod::notify_area("network");
  cgi_send_operation_log(kLogSubChangeSettings, netmod::kLogParamNetwork, 0);
  if (conflict == 1) {
    QvLogInfo record;
    cgi_init_log_info(&record);
    record.main_type = netmod::kLogMainException;
    record.sub_type = netmod::kLogSubIpConflict;
    record.param_type = netmod::kLogParamNetwork;
    cgi_send_log(nullptr, record);
  }
  cgi_writeback_webserver(kRespText, "OK");
}

// "/7043"
void on_restart_network(char*) {
  const NetApplyText nothing{};
  nvr::tell_daemon(kReqRestartNetwork, nothing);
  cgi_writeback_webserver(kRespText, "OK");
}

// "/7042"
void on_get_network_mode(char*) {
  char text[16];
  snprintf(text, sizeof text, "%d", read_network_mode(nvr::qvdb_path()));
  cgi_writeback_webserver(kRespText, text);
}

// "/7044": "001122AABBCC" is shown as "00:11:22:AA:BB:CC".
void on_get_mac0(char*) {
  char mac[32] = "";
  read_mac_conf(mac, sizeof mac);
  std::string shown;
  for (size_t i = 0; mac[i]; ++i) {
    shown += mac[i];
    if (i % 2 == 1 && isalnum(static_cast<unsigned char>(mac[i + 1]))) shown += ':';
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "mac0", shown);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_ip_conflict_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespText);
  nvr::answer_text(int_record(count, records) != 0 ? "-1" : "0");
}

// "/7070"
void on_ip_conflict(char* data) {
  nvr::Json request = nvr::parse_request(data);
  IpConflictQuery query{};
  if (!request || !nvr::json_copy_string(request.get(), "ip", query.ip, sizeof query.ip)) return;
  if (!netcheck::is_ipv4(query.ip)) return;
  nvr::ask_or_answer(on_network_ipc_callback, kReqIpConflict, query, nvr::Silence::kText);
}

// "/7071"
void on_ip_conflict_by_dev(char* data) {
  nvr::Json request = nvr::parse_request(data);
  IpConflictByDevQuery query{};
  if (!request || !nvr::json_copy_string(request.get(), "dev", query.dev, sizeof query.dev) ||
      !nvr::json_copy_string(request.get(), "ip", query.ip, sizeof query.ip))
    return;
  if (!netcheck::is_interface_name(query.dev) || !netcheck::is_ipv4(query.ip)) return;
  nvr::ask_or_answer(on_network_ipc_callback, kReqIpConflictByDev, query, nvr::Silence::kText);
}

void on_cgi_set_default_route_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespJson);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", int_record(count, records));
  nvr::answer_json(answer);
}

// "/7096"
void on_cgi_set_default_route(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  NetworkInfo network{};
  read_network(nvr::qvdb_path(), &network);
  network.default_route = netmod::int_or(request.get(), "defaultRoute");
  if (write_network(nvr::qvdb_path(), &network) != 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_network_ipc_callback, kReqSetDefaultRoute, network.default_route,
                     nvr::Silence::kJson);
}
