#include "modules/system/access_records.h"

#include <cstdio>
#include <cstring>

namespace {

// The filter list is kept one row per entry, in list order.
constexpr DbField kAccessFilterFields[] = {
    DB_FIELD(AccessFilterEntry, address_type, "address_type", DbType::I32),
    DB_FIELD(AccessFilterEntry, address, "address", DbType::Text),
};

constexpr DbField kUpnpFields[] = {
    DB_FIELD(UpnpInfo, enable, "enable", DbType::I32),
    DB_FIELD(UpnpInfo, type, "type", DbType::I32),
    DB_FIELD(UpnpInfo, external_http_port, "external_http_port", DbType::I32),
    DB_FIELD(UpnpInfo, http_status, "http_status", DbType::I32),
    DB_FIELD(UpnpInfo, external_rtsp_port, "external_rtsp_port", DbType::I32),
    DB_FIELD(UpnpInfo, rtsp_status, "rtsp_status", DbType::I32),
};

// The port settings of the network configuration, of which the UPnP page shows
// the web and RTSP ports.
#pragma pack(push, 1)
struct PortInfo {
  int32_t ssh_enable;
  int32_t ssh_port;
  int32_t http_port;
  int32_t https_port;
  int32_t rtsp_port;
  int32_t service_port;
};
#pragma pack(pop)

constexpr DbField kPortFields[] = {
    DB_FIELD(PortInfo, ssh_enable, "enableSsh", DbType::I32),
    DB_FIELD(PortInfo, ssh_port, "sshPort", DbType::I32),
    DB_FIELD(PortInfo, http_port, "httpPort", DbType::I32),
    DB_FIELD(PortInfo, https_port, "httpsPort", DbType::I32),
    DB_FIELD(PortInfo, rtsp_port, "rtspPort", DbType::I32),
    DB_FIELD(PortInfo, service_port, "servicePort", DbType::I32),
};

// The part of a camera channel's record that address assignment touches.
#pragma pack(push, 1)
struct CameraAddress {
  int32_t id;        // channel
  char ip_addr[64];  // camera address
};
#pragma pack(pop)

constexpr DbField kCameraAddressFields[] = {
    DB_FIELD(CameraAddress, id, "id", DbType::I32),
    DB_FIELD(CameraAddress, ip_addr, "ipAddr", DbType::Text),
};
}  // namespace

const DbRecord kAccessFilterRecord{"access_filter", nullptr, sizeof(AccessFilterEntry),
                                   kAccessFilterFields};
const DbRecord kUpnpRecord{"upnp", nullptr, sizeof(UpnpInfo), kUpnpFields};
const DbRecord kPortRecord{"port", nullptr, sizeof(PortInfo), kPortFields};
const DbRecord kCameraAddressRecord{"camera", "id", sizeof(CameraAddress), kCameraAddressFields};

namespace {

int read_port(const char* path, PortInfo* record) { return db_read(path, kPortRecord, record, 0); }

}  // namespace

int read_access_filter(const char* path, AccessFilterEntry* entries, int* count) {
  if (count) *count = 0;
  if (entries == nullptr || count == nullptr) return -1;
  return db_read_rows(path, kAccessFilterRecord, entries, kMaxAccessFilters, count, {});
}

int write_access_filter(const char* path, const AccessFilterEntry* entries, int count) {
  if (count < 0 || count > kMaxAccessFilters) return -1;
  return db_replace_rows(path, kAccessFilterRecord, {}, entries, count);
}

int read_upnp(const char* path, UpnpInfo* record) { return db_read(path, kUpnpRecord, record, 0); }

int write_upnp(const char* path, const UpnpInfo* record) {
  return db_write(path, kUpnpRecord, record);
}

int read_local_ports(const char* path, int32_t* http_port, int32_t* rtsp_port) {
  PortInfo ports{};
  int result = read_port(path, &ports);
  if (http_port) *http_port = ports.http_port;
  if (rtsp_port) *rtsp_port = ports.rtsp_port;
  return result;
}

int write_camera_ip(const char* path, int32_t channel, const char* address) {
  if (address == nullptr) return -1;
  CameraAddress record{};
  record.id = channel;
  snprintf(record.ip_addr, sizeof record.ip_addr, "%s", address);
  return db_write(path, kCameraAddressRecord, &record);
}
