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
