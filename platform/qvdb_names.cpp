// Names and device facts beside the records (see qvdb_names.h).
#include "platform/qvdb_names.h"

#include <cstdio>
#include <cstdlib>

#include "platform/qvdb.h"

namespace {

constexpr const char* kExceptionNameTexts[kExceptionNames] = {
    "diskFull",      "diskError",       "noDisk",       "networkDisconnected", "ipConflict",
    "illegalAccess", "recordFailed",    "raidDegraded", "raidBroken",          "diskSmartWarning",
    "fanError",      "highTemperature", "poeOverload",  "cameraOffline",
};

int put_text(char* buffer, int size, const char* text) {
  if (buffer == nullptr || size <= 0) return -1;
  snprintf(buffer, static_cast<size_t>(size), "%s", text);
  return 0;
}

// "vca_event<event>_<what>_sche" (kind 0) or "..._params" (kind 1).
int vca_table_name(const char* what, int kind, int event, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return -1;
  if ((kind != 0 && kind != 1) || event < 0) {
    buffer[0] = '\0';
    return -1;
  }
  snprintf(buffer, static_cast<size_t>(size), "vca_event%d_%s_%s", event, what,
           kind == 0 ? "sche" : "params");
  return 0;
}

}  // namespace

int get_exception_name(int index, char* buffer, int size) {
  if (index < 0 || index >= kExceptionNames) {
    put_text(buffer, size, "");
    return -1;
  }
  return put_text(buffer, size, kExceptionNameTexts[index]);
}

int get_vca_white_table_name(int kind, int event, char* buffer, int size) {
  return vca_table_name("white_led", kind, event, buffer, size);
}

int get_vca_warning_light_table_name(int kind, int event, char* buffer, int size) {
  return vca_table_name("warning_light", kind, event, buffer, size);
}

int get_vca_http_table_name(int kind, int event, char* buffer, int size) {
  return vca_table_name("http_notification", kind, event, buffer, size);
}

int db_get_device(const char* path, DbDevice* device) {
  if (path == nullptr || device == nullptr) return -1;
  char id[16];
  get_param_value(path, "deviceid", id, sizeof id, param_default_text("deviceid", "255"));
  device->device_id = atoi(id);
  device->max_channels = get_param_int(path, "max_cameras", param_default_int("max_cameras", 32));
  return 0;
}
