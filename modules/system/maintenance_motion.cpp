// The restart poll's repair of channel 0's motion intervals: an interval of 0
// would let motion events and their e-mails fire without pause, so the web
// pages' poll puts such intervals back to 20.
//
// The motion record belongs to the video settings (table "motion", one row
// per channel keyed by "chnid").
#include "modules/system/system_module.h"
#include "modules/video/video_records.h"

namespace {

constexpr int32_t kDefaultInterval = 20;

}  // namespace

void normalise_channel0_motion_intervals() {
  MotionInfo motion{};
  db_read(nvr::qvdb_path(), kMotionRecord, &motion, 0);
  motion.chnid = 0;
  if (motion.interval == 0) motion.interval = kDefaultInterval;
  if (motion.email_interval == 0) motion.email_interval = kDefaultInterval;
  // The restart poll answers the daemon's state whatever this write gives.
  if (db_write(nvr::qvdb_path(), kMotionRecord, &motion) != 0)
    CGI_LOG("channel 0 motion intervals not stored");
}
