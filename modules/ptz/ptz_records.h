// Settings records of the PTZ module: serial port and speeds per channel,
// and each channel's tour table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/ptz/ptz_wire.h"
#include "platform/qvdb.h"

#pragma pack(push, 1)
// The serial (RS-485) line of an analogue PTZ head.
struct PtzPort {
  int32_t channel;
  int32_t baudRate;
  int32_t dataBits;
  int32_t stopBits;
  int32_t parityType;
  int32_t protocol;
  int32_t address;
  int32_t spare;
  int32_t connectType;
};

struct PtzSpeed {
  int32_t channel;
  int32_t pan;
  int32_t tilt;
  int32_t zoom;
  int32_t focus;
};

// 8 tours of 48 points; a point with preset id 0 is empty.
struct PtzTourTable {
  int32_t channel;
  PtzTourPoint tours[kPtzTours][kPtzTourPoints];
};
#pragma pack(pop)
static_assert(sizeof(PtzPort) == 36);
static_assert(offsetof(PtzPort, connectType) == 32);
static_assert(sizeof(PtzSpeed) == 20);
static_assert(sizeof(PtzTourTable) == 4 + 8 * 48 * 12);

extern const DbRecord kPtzPortRecord;
extern const DbRecord kPtzSpeedRecord;
extern const DbRecord kPtzTourRecord;

int read_ptz_port(const char* db, PtzPort* port, int channel);
int write_ptz_port(const char* db, const PtzPort* port);
int read_ptz_speed(const char* db, PtzSpeed* speed, int channel);
int write_ptz_speed(const char* db, const PtzSpeed* speed);
int read_ptz_tour(const char* db, PtzTourTable* table, int channel);
int write_ptz_tour(const char* db, const PtzTourTable* table, int channel);
