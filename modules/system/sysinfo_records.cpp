#include "modules/system/sysinfo_records.h"

#include <cstdio>
#include <cstring>

int read_host_name(const char* path, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return -1;
  NetworkHostName record{};
  int result = db_read(path, kNetworkHostName, &record, 0);
  snprintf(buffer, size, "%.*s", static_cast<int>(sizeof record.host_name - 1), record.host_name);
  return result;
}

int write_host_name(const char* path, const char* host_name) {
  NetworkHostName record{};
  db_read(path, kNetworkHostName, &record, 0);
  snprintf(record.host_name, sizeof record.host_name, "%s", host_name ? host_name : "");
  return db_write(path, kNetworkHostName, &record);
}
