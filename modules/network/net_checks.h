// Checks of the addresses, names and numbers a network request carries,
// made before anything is stored or sent.
#pragma once

#include <json-c/json.h>

#include <cstdint>
#include <span>
#include <string_view>

namespace netcheck {

bool is_ipv4(std::string_view text);         // dotted quad "a.b.c.d", each 0..255
bool is_netmask(std::string_view text);      // an IPv4 mask of contiguous ones
bool is_ipv6(std::string_view text);         // any form inet_pton takes, as written
bool is_ipv6_prefix(std::string_view text);  // decimal 0..128
// Labels of letters, digits and '-' (not first or last) joined by '.', each
// 1..63 characters, 253 in all.
bool is_host_name(std::string_view text);
bool is_host_or_address(std::string_view text);  // host name, IPv4 or IPv6
bool is_interface_name(std::string_view text);   // 1..15 of [A-Za-z0-9._-]
bool is_port(int64_t value);                     // 1..65535

// What a key of a request must hold when it is present. Text kinds accept the
// empty text (an unset address); a present value of another JSON type fails.
enum class Kind : uint8_t {
  kIpv4,
  kNetmask,
  kIpv6,
  kIpv6Prefix,
  kHostName,
  kHostOrAddress,
  kMulticast,  // IPv4 in 224.0.0.0/4 or IPv6 in ff00::/8
  kPort,       // integer 1..65535
  kMtu,        // integer 576..9000 (0: the interface's default)
};

struct Rule {
  const char* key;
  Kind kind;
};

// 0 when every present key of `request` passes its rule, else -1.
int check_fields(json_object* request, std::span<const Rule> rules);

}  // namespace netcheck
