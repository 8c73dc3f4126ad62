#include "modules/system/maintenance_records.h"

namespace {

constexpr DbField kDiskMaintainFields[] = {
    DB_FIELD(DiskMaintainInfo, logRetention, "logRetention", DbType::I32),
    DB_FIELD(DiskMaintainInfo, photoRetention, "photoRetention", DbType::I32),
};

constexpr DbField kAutoRebootFields[] = {
    DB_FIELD(AutoRebootConf, enable, "enable", DbType::I32),
    DB_FIELD(AutoRebootConf, wday, "wday", DbType::I32),
    DB_FIELD(AutoRebootConf, hour, "hour", DbType::I32),
    DB_FIELD(AutoRebootConf, minutes, "minutes", DbType::I32),
    DB_FIELD(AutoRebootConf, seconds, "seconds", DbType::I32),
};

}  // namespace

const DbRecord kDiskMaintainRecord = {"disk_maintain", nullptr, sizeof(DiskMaintainInfo),
                                      kDiskMaintainFields};
const DbRecord kAutoRebootRecord = {"auto_reboot", nullptr, sizeof(AutoRebootConf),
                                    kAutoRebootFields};

int read_disk_maintain_info(const char* db, DiskMaintainInfo* info) {
  return db_read(db, kDiskMaintainRecord, info, 0);
}
int write_disk_maintain_info(const char* db, const DiskMaintainInfo* info) {
  return db_write(db, kDiskMaintainRecord, info);
}
int read_autoreboot_conf(const char* db, AutoRebootConf* conf) {
  return db_read(db, kAutoRebootRecord, conf, 0);
}
int write_autoreboot_conf(const char* db, const AutoRebootConf* conf) {
  return db_write(db, kAutoRebootRecord, conf);
}
