// The recorder's clock and time settings, and PPPoE.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/network/net_checks.h"
#include "modules/network/network_handlers.h"
#include "modules/network/network_records.h"
#include "platform/device_path.h"
#include "platform/net.h"

namespace {

using nvr::Presence;
constexpr nvr::PolicyRow kTimePolicy[] = {
    NVR_POLICY_INT(TimeInfo, ntp_enable, "ntpEnable", 0, 1, Presence::kRequired),
    NVR_POLICY_INT(TimeInfo, dst_enable, "dstEnable", 0, 1, Presence::kRequired),
    NVR_POLICY_TEXT(TimeInfo, time_zone, "timeZone", Presence::kRequired),
    NVR_POLICY_TEXT(TimeInfo, time_zone_name, "timeZoneName", Presence::kRequired),
    NVR_POLICY_INT(TimeInfo, sync_enable, "syncEnable", INT32_MIN, INT32_MAX, Presence::kRequired),
    NVR_POLICY_INT(TimeInfo, sync_interval, "syncInterval", INT32_MIN, INT32_MAX,
                   Presence::kRequired),
    NVR_POLICY_INT(TimeInfo, sync_pc, "syncPc", INT32_MIN, INT32_MAX, Presence::kRequired),
    NVR_POLICY_TEXT(TimeInfo, ntp_server, "ntpServer", Presence::kAbsentIsZero),
};
constexpr netcheck::Rule kTimeRules[] = {{"ntpServer", netcheck::Kind::kHostOrAddress}};

constexpr nvr::PolicyRow kPppoePolicy[] = {
    NVR_POLICY_INT(PppoeInfo, enable, "enable", 0, 1, Presence::kRequired),
    NVR_POLICY_INT(PppoeInfo, auto_connect, "autoConnect", INT32_MIN, INT32_MAX,
                   Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(PppoeInfo, user_name, "userName", Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(PppoeInfo, password, "password", Presence::kAbsentIsZero),
};

// The manual time reaches the daemon's clock setting inside quotes: only the
// characters of a date and time may be in it.
bool is_time_text(const char* text) {
  for (; *text; ++text)
    if (!isdigit(static_cast<unsigned char>(*text)) && !strchr("-:/ T", *text)) return false;
  return true;
}

void add_two_digits(json_object* answer, const char* key, int value) {
  char text[16];
  snprintf(text, sizeof text, "%.2d", value);
  nvr::json_add_string(answer, key, text);
}

// Appends every member of `from` to `to`, in its order.
void append_members(json_object* to, json_object* from) {
  json_object_object_foreach(from, key, value) {
    json_object_object_add(to, key, json_object_get(value));
  }
}

}  // namespace

// "/7000"
void on_get_time_info(char*) {
  TimeInfo info{};
  read_time(nvr::qvdb_path(), &info);
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);

  nvr::Json answer = nvr::json_new_object();
  char year[16];
  snprintf(year, sizeof year, "%.4d", local.tm_year + 1900);
  nvr::json_add_string(answer.get(), "dateYear", year);
  add_two_digits(answer.get(), "dateMon", local.tm_mon + 1);
  add_two_digits(answer.get(), "dateDay", local.tm_mday);
  add_two_digits(answer.get(), "dateHour", local.tm_hour);
  add_two_digits(answer.get(), "dateMin", local.tm_min);
  add_two_digits(answer.get(), "dateSec", local.tm_sec);
  char server_time[64];
  strftime(server_time, sizeof server_time, "%Y-%m-%d %H:%M:%S", &local);
  nvr::json_add_string(answer.get(), "serverTime", server_time);
  nvr::Json settings(db_record_to_json(kTimeRecord, &info));
  append_members(answer.get(), settings.get());
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_set_systime_cb(uint32_t, const void*) { cgi_set_callback_done(1); }

// "/7001": the settings are stored and "OK" answered before the daemon sets
// the clock; it may take its time (NTP).
void on_set_time_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  TimeInfo info{};
  if (!request || nvr::read_policy(request.get(), kTimePolicy, &info) != 0) return;
  if (netcheck::check_fields(request.get(), kTimeRules) != 0) return;
  char manual_time[128] = "";
  nvr::json_copy_string(request.get(), "manualTime", manual_time, sizeof manual_time);
  if (!is_time_text(manual_time)) return;
  const int32_t failover_mode = netmod::int_or(request.get(), "failoverMode");

  if (write_time(nvr::qvdb_path(), &info) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  NetApplyText apply{};
  if (info.ntp_enable == 0 && failover_mode != 2)
    snprintf(apply.text, sizeof apply.text, "\"%s\"", manual_time);
  cgi_writeback_webserver(kRespText, "OK");
  // The reply callback runs on the client's thread; the follow-up goes out
  // here once the client is closed again.
  if (nvr::ask_daemon(on_network_ipc_callback, kReqSetSystemTime, &apply, sizeof apply) != 0)
    nvr::tell_daemon(kReqSystemTimeDone, nullptr, 0);
  cgi_send_operation_log(netmod::kLogSubNetTime, kLogParamNone, 0);
}

// "/7010"
void on_get_pppoe_info(char*) {
  PppoeInfo info{};
  read_pppoe(nvr::qvdb_path(), &info);
  char address[32] = "0.0.0.0";
  net_get_ifaddr("ppp0", address, sizeof address);
  nvr::Json answer(db_record_to_json(kPppoeRecord, &info));
  if (!answer) return;
  nvr::json_add_string(answer.get(), "pppoeipaddr", address);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7011"
void on_set_pppoe_info(char* data) {
  PppoeInfo info{};
  if (nvr::read_request(data, kPppoePolicy, &info) != 0) return;
  netmod::finish_area_change(write_pppoe(nvr::qvdb_path(), &info), "pppoe", netmod::kLogParamPppoe);
}
