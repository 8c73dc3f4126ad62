#include "modules/network/net_checks.h"

#include <arpa/inet.h>

#include <cctype>
#include <string>

#include "frame/json.h"

namespace netcheck {

namespace {

bool text_kind(Kind kind) { return kind != Kind::kPort && kind != Kind::kMtu; }

bool passes(Kind kind, std::string_view text) {
  if (text.empty()) return true;
  switch (kind) {
    case Kind::kIpv4:
      return is_ipv4(text);
    case Kind::kNetmask:
      return is_netmask(text);
    case Kind::kIpv6:
      return is_ipv6(text);
    case Kind::kIpv6Prefix:
      return is_ipv6_prefix(text);
    case Kind::kHostName:
      return is_host_name(text);
    case Kind::kHostOrAddress:
      return is_host_or_address(text);
    case Kind::kMulticast: {
      const std::string copy(text);
      in_addr v4{};
      in6_addr v6{};
      if (is_ipv4(text) && inet_pton(AF_INET, copy.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 28) == 0xE;
      return inet_pton(AF_INET6, copy.c_str(), &v6) == 1 && v6.s6_addr[0] == 0xFF;
    }
    default:
      return false;
  }
}

bool passes_int(Kind kind, int64_t value) {
  if (kind == Kind::kPort) return is_port(value);
  return value == 0 || (value >= 576 && value <= 9000);
}

}  // namespace

bool is_ipv4(std::string_view text) {
  int parts = 0;
  size_t i = 0;
  while (i <= text.size()) {
    size_t digits = 0;
    int value = 0;
    while (i < text.size() && isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
      value = value * 10 + (text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (i == text.size()) break;
    if (text[i] != '.' || parts == 4) return false;
    ++i;
  }
  return parts == 4;
}

bool is_netmask(std::string_view text) {
  if (!is_ipv4(text)) return false;
  in_addr mask{};
  if (inet_pton(AF_INET, std::string(text).c_str(), &mask) != 1) return false;
  const uint32_t bits = ntohl(mask.s_addr);
  return (~bits & (~bits + 1)) == 0;  // the zeros are all at the low end
}

bool is_ipv6(std::string_view text) {
  if (text.size() >= INET6_ADDRSTRLEN) return false;
  in6_addr address{};
  return inet_pton(AF_INET6, std::string(text).c_str(), &address) == 1;
}

bool is_ipv6_prefix(std::string_view text) {
  if (text.empty() || text.size() > 3) return false;
  int value = 0;
  for (char c : text) {
    if (!isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  return value <= 128;
}

bool is_host_name(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('.', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view label = text.substr(start, end - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
      return false;
    for (char c : label)
      if (!isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    if (end == text.size()) break;
    start = end + 1;
  }
  return true;
}

bool is_host_or_address(std::string_view text) {
  return is_ipv4(text) || is_ipv6(text) || is_host_name(text);
}

bool is_interface_name(std::string_view text) {
  if (text.empty() || text.size() > 15 || text == "." || text == "..") return false;
  for (char c : text)
    if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') return false;
  return true;
}

bool is_port(int64_t value) { return value >= 1 && value <= 65535; }

int check_fields(json_object* request, std::span<const Rule> rules) {
  for (const Rule& rule : rules) {
    json_object* value = nvr::json_get(request, rule.key);
    if (value == nullptr) continue;
    if (text_kind(rule.kind)) {
      if (!nvr::json_is(value, json_type_string)) return -1;
      if (!passes(rule.kind, json_object_get_string(value))) return -1;
    } else {
      std::optional<int64_t> number = nvr::json_int64(value);
      if (!number || !passes_int(rule.kind, *number)) return -1;
    }
  }
  return 0;
}

}  // namespace netcheck
