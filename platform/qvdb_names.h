// Names and device facts that the configuration database supplies beside its
// records: the display names of the 14 exceptions, the table names of a smart
// event's action settings, and the device record.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kExceptionNames = 14;  // exception ids 0 to 13

// The name of exception `index` (0 to 13) into buffer[size], bounded and
// NUL-terminated; 0, or -1 with the empty text for another index.
int get_exception_name(int index, char* buffer, int size);

// The table of a smart event's white-LED, warning-light or HTTP-notification
// settings: kind 0 its schedule, kind 1 its parameter set. One fixed name per
// (kind, event); 0, or -1 with the empty text for another kind or a negative event.
int get_vca_white_table_name(int kind, int event, char* buffer, int size);
int get_vca_warning_light_table_name(int kind, int event, char* buffer, int size);
int get_vca_http_table_name(int kind, int event, char* buffer, int size);

#pragma pack(push, 1)
// The device record: its id and the most channels it records.
struct DbDevice {
  int32_t device_id;     // parameter "deviceid"
  int32_t max_channels;  // parameter "max_cameras"
};
#pragma pack(pop)
static_assert(offsetof(DbDevice, max_channels) == 4);

// Fills `device` from the parameters (their defaults when not stored); 0, -1
// for a null argument.
int db_get_device(const char* path, DbDevice* device);
