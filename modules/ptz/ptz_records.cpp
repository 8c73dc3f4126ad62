#include "modules/ptz/ptz_records.h"

namespace {

// In the order of the port answer's keys ("camId" first).
constexpr DbField kPtzPortFields[] = {
    DB_FIELD_J(PtzPort, channel, "camId", DbType::I32, "camId"),
    DB_FIELD(PtzPort, connectType, "connectType", DbType::I32),
    DB_FIELD(PtzPort, baudRate, "baudRate", DbType::I32),
    DB_FIELD(PtzPort, dataBits, "dataBits", DbType::I32),
    DB_FIELD(PtzPort, stopBits, "stopBits", DbType::I32),
    DB_FIELD(PtzPort, parityType, "parityType", DbType::I32),
    DB_FIELD(PtzPort, protocol, "protocol", DbType::I32),
    DB_FIELD(PtzPort, address, "address", DbType::I32),
    DB_FIELD_J(PtzPort, spare, "spare", DbType::I32, ""),
};

// The speed answer's keys, spelling included.
constexpr DbField kPtzSpeedFields[] = {
    DB_FIELD_J(PtzSpeed, channel, "camId", DbType::I32, ""),
    DB_FIELD(PtzSpeed, pan, "pan_speed", DbType::I32),
    DB_FIELD(PtzSpeed, tilt, "tilt_speed", DbType::I32),
    DB_FIELD(PtzSpeed, zoom, "zoom_speed", DbType::I32),
    DB_FIELD(PtzSpeed, focus, "foucs_speed", DbType::I32),
};

// One column per tour: its 48 points as preset, dwell, speed triples.
#define TOUR_FIELD(i, name) DB_FIELD_AT(PtzTourTable, tours, i, name, DbType::I32)
constexpr DbField kPtzTourFields[] = {
    DB_FIELD(PtzTourTable, channel, "channel", DbType::I32),
    TOUR_FIELD(0, "tour1"),
    TOUR_FIELD(1, "tour2"),
    TOUR_FIELD(2, "tour3"),
    TOUR_FIELD(3, "tour4"),
    TOUR_FIELD(4, "tour5"),
    TOUR_FIELD(5, "tour6"),
    TOUR_FIELD(6, "tour7"),
    TOUR_FIELD(7, "tour8"),
};
#undef TOUR_FIELD

}  // namespace

const DbRecord kPtzPortRecord = {"ptz_port", "camId", sizeof(PtzPort), kPtzPortFields};
const DbRecord kPtzSpeedRecord = {"ptz_speed", "camId", sizeof(PtzSpeed), kPtzSpeedFields};
const DbRecord kPtzTourRecord = {"ptz_tour", "channel", sizeof(PtzTourTable), kPtzTourFields};

int read_ptz_port(const char* db, PtzPort* port, int channel) {
  port->channel = channel;
  return db_read(db, kPtzPortRecord, port, channel);
}
int write_ptz_port(const char* db, const PtzPort* port) {
  return db_write(db, kPtzPortRecord, port);
}
int read_ptz_speed(const char* db, PtzSpeed* speed, int channel) {
  speed->channel = channel;
  return db_read(db, kPtzSpeedRecord, speed, channel);
}
int write_ptz_speed(const char* db, const PtzSpeed* speed) {
  return db_write(db, kPtzSpeedRecord, speed);
}
int read_ptz_tour(const char* db, PtzTourTable* table, int channel) {
  table->channel = channel;
  return db_read(db, kPtzTourRecord, table, channel);
}
int write_ptz_tour(const char* db, const PtzTourTable* table, int channel) {
  PtzTourTable copy = *table;
  copy.channel = channel;
  return db_write(db, kPtzTourRecord, &copy);
}
