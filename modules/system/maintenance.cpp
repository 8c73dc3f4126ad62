// Restart, restore, the restart-state poll and the maintenance settings
// (retention, automatic reboot).
#include "modules/system/system_module.h"
#include "modules/video/video_records.h"

namespace {

constexpr nvr::PolicyRow kRestorePolicy[] = {
    NVR_POLICY_LENIENT(RestorePayload, keepIp, "keepIp"),
    NVR_POLICY_LENIENT(RestorePayload, keepUser, "keepUser"),
};
constexpr nvr::PolicyRow kAutoRebootPolicy[] = {
    NVR_POLICY_LENIENT(AutoRebootConf, enable, "enable"),
    NVR_POLICY_LENIENT(AutoRebootConf, wday, "wday"),
    NVR_POLICY_LENIENT(AutoRebootConf, hour, "hour"),
    NVR_POLICY_LENIENT(AutoRebootConf, minutes, "minutes"),
    NVR_POLICY_LENIENT(AutoRebootConf, seconds, "seconds"),
};

constexpr int32_t kDefaultMotionInterval = 20;
// Both retention values, as whole numbers (each then one of the allowed values).
constexpr nvr::PolicyRow kRetentionPolicy[] = {
    nvr::policy_from(kDiskMaintainRecord, "logRetention", -1, 12, nvr::Presence::kRequired),
    nvr::policy_from(kDiskMaintainRecord, "photoRetention", -1, 12, nvr::Presence::kRequired),
};

// The restart poll's repair of channel 0's motion intervals: an interval of 0
// would let motion events and their e-mails fire without pause, so the web
// pages' poll puts such intervals back to 20.
//
// The motion record belongs to the video settings (table "motion", one row
// per channel keyed by "chnid").
void normalise_channel0_motion_intervals() {
  MotionInfo motion{};
  db_read(nvr::qvdb_path(), kMotionRecord, &motion, 0);
  motion.chnid = 0;
  if (motion.interval == 0) motion.interval = kDefaultMotionInterval;
  if (motion.email_interval == 0) motion.email_interval = kDefaultMotionInterval;
  // The restart poll answers the daemon's state whatever this write gives.
  if (db_write(nvr::qvdb_path(), kMotionRecord, &motion) != 0)
    CGI_LOG("channel 0 motion intervals not stored");
}

}  // namespace

bool is_allowed_retention(int64_t value) {
  if (value >= -1 && value <= 1) return true;
  return value >= 2 && value <= 12 && value % 2 == 0;
}

// "/1004"
void on_restart_device(char*) {
  nvr::order_restart();
  cgi_writeback_webserver(kRespText, "OK");
}

// "/1005": the web pages poll this while the device restarts.
void on_get_restart_state(char*) {
  normalise_channel0_motion_intervals();
  const bool core_up = access(nvr::dev_path(kCoreReadyFile).c_str(), R_OK) == 0;
  cgi_writeback_webserver(kRespText, core_up ? "OK" : "NO OK");
}

// "/1006"
void on_restore_device(char* data) {
  RestorePayload payload{};
  if (nvr::read_request(data, kRestorePolicy, &payload) != 0) return;

  // The restart at the end takes the web service down: answer first.
  cgi_writeback_webserver(kRespText, "OK");
  nvr::tell_daemon(kReqRestore, payload);
  nvr::tell_daemon(kReqRestoreDone, nullptr, 0);
  cgi_send_operation_log(kLogSubRestore, kLogParamNone, 0);
  nvr::tell_daemon(kReqRestart, nullptr, 0);
}

// "/1016"
void on_get_auto_maintenance(char*) { nvr::write_stored_record(kDiskMaintainRecord); }

// "/1017"
void on_set_auto_maintenance(char* data) {
  DiskMaintainInfo info{};
  if (nvr::read_request(data, kRetentionPolicy, &info) != 0 ||
      !is_allowed_retention(info.logRetention) || !is_allowed_retention(info.photoRetention))
    return;
  nvr::finish_change(db_write(nvr::qvdb_path(), kDiskMaintainRecord, &info), {kReqRetentionChanged},
                     {});
}

// "/1032"
void on_get_auto_reboot(char*) { nvr::write_stored_record(kAutoRebootRecord); }

// "/1033": the five fields are replaced whole; the daemon checks the times.
void on_set_auto_reboot(char* data) {
  nvr::change_stored_record(data, kAutoRebootRecord, kAutoRebootPolicy, {kReqAutoRebootChanged});
}
