// Camera-side functions that are not plain pass-throughs: the month record
// calendar, the service command and chip code, and the camera firmware upgrade.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_wire.h"

namespace {

constexpr int kUpgradeChannels = 16;

// The 16-character '0'/'1' text of a mask's low channels.
std::string mask_text(uint64_t mask) {
  std::string text(kUpgradeChannels, '0');
  for (int i = 0; i < kUpgradeChannels; ++i)
    if ((mask >> i) & 1) text[i] = '1';
  return text;
}

uint64_t mask_of_text(const char* text) {
  uint64_t mask = 0;
  for (int i = 0; text != nullptr && i < kUpgradeChannels && text[i] != '\0'; ++i)
    if (text[i] == '1') mask |= uint64_t{1} << i;
  return mask;
}

// A reply's text from `offset` on, up to its end or first NUL.
std::string reply_text(const void* payload, uint32_t size, uint32_t offset) {
  if (size <= offset) return {};
  const char* text = static_cast<const char*>(payload) + offset;
  return std::string(text, strnlen(text, size - offset));
}

}  // namespace

// ---- month record calendar ---------------------------------------------------------------

void on_month_record_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const MonthRecordReply reply = nvr::record_at<MonthRecordReply>(records, 0);
  nvr::Json days = nvr::json_new_array();
  for (int d = 0; d < 31; ++d)
    nvr::json_append(days.get(), nvr::json_new_int(reply.words[d + 1] ? 1 : 0));
  nvr::answer_json(days);
}

void on_month_flags_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const MonthFlagsReply reply = nvr::record_at<MonthFlagsReply>(records, 0);
  nvr::Json days = nvr::json_new_array();
  for (int d = 0; d < 31; ++d)
    nvr::json_append(days.get(), nvr::json_new_int(reply.days[d] != '0' ? 1 : 0));
  nvr::answer_json(days);
}

void on_get_month_record(char* data) {
  nvr::Json request = nvr::parse_request(data);
  json_object* r = request.get();
  const char* time_text = nvr::json_string(r, "time");
  int32_t channel = -1;
  int32_t stream = 0;
  if (time_text == nullptr || !nvr::json_read_int(r, "chnid", &channel, 0, kCameraChannels - 1) ||
      !nvr::json_read_int(r, "streamType", &stream)) {
    if (request) cgi_error_to_webserver(kRespJson);
    return;
  }
  struct tm when {};
  if (strptime(time_text, "%Y-%m-%d %H:%M:%S", &when) == nullptr) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  MonthRecordQuery query{};
  query.main_stream = stream == 1 ? 1 : 0;
  query.year = when.tm_year + 1900;
  query.month = when.tm_mon + 1;
  memset(query.chans, '0', sizeof query.chans);
  query.chans[channel] = '1';
  nvr::ask_or_answer(on_camera_ipc_callback, kReqMonthRecord, query, nvr::Silence::kJson);
}

// ---- service command, chip code -------------------------------------------------------------

void on_get_qt_cmd_result_cb(uint32_t size, const void* payload) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "result", reply_text(payload, size, 16));
  nvr::answer_json(answer);
}

void on_get_get_chip_code_cb(uint32_t size, const void* payload) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "chip_code", reply_text(payload, size, 0));
  nvr::answer_json(answer);
}

void on_web_sendto_qt_cmd(char* data) {
  nvr::Json request = nvr::parse_request(data);
  ServiceCommand command{};
  if (!nvr::json_copy_string(request.get(), "cmd", command.cmd, sizeof command.cmd)) return;
  nvr::ask_or_answer(on_camera_ipc_callback, kReqServiceCommand, command, nvr::Silence::kText);
}

void on_web_get_chip_code(char*) {
  nvr::ask_or_answer(on_camera_ipc_callback, kReqChipCode, nullptr, 0, nvr::Silence::kText);
}

// ---- camera firmware upgrade -----------------------------------------------------------------

void on_upgrade_by_url_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const UpgradeStatus status = nvr::record_at<UpgradeStatus>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "chnid", static_cast<uint32_t>(status.mask & 0xffffffffu));
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < kUpgradeChannels; ++i)
    if ((status.mask >> i) & 1) nvr::json_append(list.get(), nvr::json_new_int(status.status[i]));
  nvr::json_add(answer.get(), "status", std::move(list));
  nvr::json_add_string(answer.get(), "chnMask", mask_text(status.mask));
  nvr::answer_json(answer);
}

void on_upgrade_status_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_text("CGI ERROR");
    return;
  }
  const UpgradeStatus status = nvr::record_at<UpgradeStatus>(records, 0);
  std::string text = "chnid=" + std::to_string(static_cast<long long>(status.mask)) + "\r\n";
  for (int i = 0; i < kUpgradeChannels; ++i)
    if ((status.mask >> i) & 1)
      text += "status" + std::to_string(i) + "=" + std::to_string(status.status[i]) + "\r\n";
  text += "chnMask=" + mask_text(status.mask) + "\r\n";
  nvr::answer_text(text.c_str());
}

void on_cgi_upgrade_ipc_firmware(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  UpgradeByUrl upgrade{};
  json_object* channels = nvr::json_get(request.get(), "chnAry");
  for (size_t i = 0; i < nvr::json_array_size(channels); ++i) {
    const int64_t channel = nvr::json_int64(nvr::json_at(channels, i)).value_or(-1);
    if (channel >= 0 && channel < kCameraChannels) upgrade.mask |= uint64_t{1} << channel;
  }
  upgrade.reset = nvr::json_int_or(request.get(), "reset", 0);
  nvr::json_copy_string(request.get(), "url", upgrade.url, sizeof upgrade.url);
  snprintf(upgrade.path, sizeof upgrade.path, "%s", kIpcUpgradeFile);
  nvr::ask_or_answer(on_camera_ipc_callback, kReqUpgradeByUrl, upgrade, nvr::Silence::kJson);
}

void on_cgi_upgrade_ipc_by_file(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  UpgradeByFile upgrade{};
  upgrade.mask = mask_of_text(nvr::json_string(request.get(), "chnMask"));
  upgrade.keep_mask = ~mask_of_text(nvr::json_string(request.get(), "resetMask"));
  upgrade.file_size = static_cast<int32_t>(nvr::json_int_or(request.get(), "fileSize", 0));
  nvr::ask_or_answer(on_camera_ipc_callback, kReqUpgradeByFile, upgrade, nvr::Silence::kJson);
}

// The upload route: the daemon reads the firmware itself; the run only asks
// how far the cameras are.
void on_cgi_get_ipc_upgrade_status(char*) {
  nvr::ask_or_answer(on_camera_ipc_callback, kReqUpgradeStatus, nullptr, 0, nvr::Silence::kText);
}

void on_cgi_check_request(char* data) {
  cgi_writeback_webserver(kRespText,
                          data != nullptr && data[0] != '\0' ? "CGI SUCCESS" : "CGI ERROR");
}
