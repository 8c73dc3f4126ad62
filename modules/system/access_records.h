// Access filter and UPnP records of the configuration database, and the UPnP
// record the core daemon takes (request 3720).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qvdb.h"

constexpr int kMaxAccessFilters = 100;
constexpr int32_t kReqAccessFilterChanged = 1722;  // no payload
constexpr int32_t kReqSetUpnp = 3720;              // UpnpInfo, stored by the core daemon

#pragma pack(push, 1)
//  OFFSET  SIZE  DESCRIPTION (one address filter entry)
//       0     4  address kind                          "address_type"
//       4    32  address, NUL-terminated               "address"
struct AccessFilterEntry {
  int32_t address_type;
  char address[32];
};

//  OFFSET  SIZE  DESCRIPTION (UPnP port mapping)
//       0     4  mapping on (0/1)                      "enable"
//       4     4  mapping kind                          "type"
//       8   128  kept by the core daemon
//     136     4  external port of the web server       "external_http_port"
//     140     4  state of the web port's mapping       "http_status"
//     144     4  external port of the RTSP server      "external_rtsp_port"
//     148     4  state of the RTSP port's mapping      "rtsp_status"
struct UpnpInfo {
  int32_t enable;
  int32_t type;
  uint8_t reserved[128];
  int32_t external_http_port;
  int32_t http_status;
  int32_t external_rtsp_port;
  int32_t rtsp_status;
};
#pragma pack(pop)

static_assert(sizeof(AccessFilterEntry) == 36);
static_assert(offsetof(AccessFilterEntry, address) == 4);
static_assert(sizeof(UpnpInfo) == 152);
static_assert(offsetof(UpnpInfo, type) == 4);
static_assert(offsetof(UpnpInfo, external_http_port) == 136);
static_assert(offsetof(UpnpInfo, http_status) == 140);
static_assert(offsetof(UpnpInfo, external_rtsp_port) == 144);
static_assert(offsetof(UpnpInfo, rtsp_status) == 148);

// The filter list is kept one row per entry, in list order.
inline constexpr DbField kAccessFilterFields[] = {
    DB_FIELD(AccessFilterEntry, address_type, "address_type", DbType::I32),
    DB_FIELD(AccessFilterEntry, address, "address", DbType::Text),
};
inline constexpr DbRecord kAccessFilterRecord{"access_filter", nullptr, sizeof(AccessFilterEntry),
                                              kAccessFilterFields};

inline constexpr DbField kUpnpFields[] = {
    DB_FIELD(UpnpInfo, enable, "enable", DbType::I32),
    DB_FIELD(UpnpInfo, type, "type", DbType::I32),
    DB_FIELD(UpnpInfo, external_http_port, "external_http_port", DbType::I32),
    DB_FIELD(UpnpInfo, http_status, "http_status", DbType::I32),
    DB_FIELD(UpnpInfo, external_rtsp_port, "external_rtsp_port", DbType::I32),
    DB_FIELD(UpnpInfo, rtsp_status, "rtsp_status", DbType::I32),
};
inline constexpr DbRecord kUpnpRecord{"upnp", nullptr, sizeof(UpnpInfo), kUpnpFields};

// The stored list in its order (at most kMaxAccessFilters entries).
inline int read_access_filter(const char* path, AccessFilterEntry* entries, int* count) {
  if (count) *count = 0;
  if (entries == nullptr || count == nullptr) return -1;
  return db_read_rows(path, kAccessFilterRecord, entries, kMaxAccessFilters, count, {});
}
// Replaces the stored list with `count` entries.
[[nodiscard]] inline int write_access_filter(const char* path, const AccessFilterEntry* entries,
                                             int count) {
  if (count < 0 || count > kMaxAccessFilters) return -1;
  return db_replace_rows(path, kAccessFilterRecord, {}, entries, count);
}

inline int read_upnp(const char* path, UpnpInfo* record) {
  return db_read(path, kUpnpRecord, record, 0);
}
// The core daemon's side.
[[nodiscard]] inline int write_upnp(const char* path, const UpnpInfo* record) {
  return db_write(path, kUpnpRecord, record);
}
