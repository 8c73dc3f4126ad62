// The restart poll's repair of channel 0's motion intervals: an interval of 0
// would let motion events and their e-mails fire without pause, so the web
// pages' poll puts such intervals back to 20.
//
// Only the two interval columns of the motion record (table "motion", one row
// per channel keyed by "chnid") are read and written here; the record's other
// columns belong to the video module and are left as they are.
#include <cstddef>
#include <cstdint>

#include "frame/web_utils.h"
#include "modules/system/maintenance_records.h"
#include "modules/system/maintenance_wire.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace {

constexpr int32_t kDefaultInterval = 20;

struct MotionIntervals {
  int32_t chnid;
  int32_t interval;
  int32_t email_interval;
};

constexpr DbField kMotionIntervalFields[] = {
    DB_FIELD(MotionIntervals, chnid, "chnid", DbType::I32),
    DB_FIELD(MotionIntervals, interval, "interval", DbType::I32),
    DB_FIELD(MotionIntervals, email_interval, "email_interval", DbType::I32),
};
}  // namespace

const DbRecord kMotionIntervals{"motion", "chnid", sizeof(MotionIntervals), kMotionIntervalFields};

void normalise_channel0_motion_intervals() {
  MotionIntervals motion{};
  db_read(nvr::qvdb_path(), kMotionIntervals, &motion, 0);
  motion.chnid = 0;
  if (motion.interval == 0) motion.interval = kDefaultInterval;
  if (motion.email_interval == 0) motion.email_interval = kDefaultInterval;
  // The restart poll answers the daemon's state whatever this write gives.
  if (db_write(nvr::qvdb_path(), kMotionIntervals, &motion) != 0)
    CGI_LOG("channel 0 motion intervals not stored");
}
