#include "modules/system/access_records.h"

#include <cstdio>
#include <cstring>

#include "modules/cameras/cameras_records.h"
#include "modules/network/network_records.h"

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

}  // namespace

const DbRecord kAccessFilterRecord{"access_filter", nullptr, sizeof(AccessFilterEntry),
                                   kAccessFilterFields};
const DbRecord kUpnpRecord{"upnp", nullptr, sizeof(UpnpInfo), kUpnpFields};

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
  // The port settings belong to the network settings.
  PortSettings ports{};
  int result = read_port(path, &ports);
  if (http_port) *http_port = ports.http_port;
  if (rtsp_port) *rtsp_port = ports.rtsp_port;
  return result;
}

// The camera record is the cameras module's: only its address changes.
int write_camera_ip(const char* path, int32_t channel, const char* address) {
  if (address == nullptr) return -1;
  CameraRecord camera{};
  camera.id = channel;
  read_camera(path, &camera, channel);
  camera.id = channel;
  snprintf(camera.ipAddr, sizeof camera.ipAddr, "%s", address);
  return write_camera(path, &camera);
}
