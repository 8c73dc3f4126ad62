// Firmware upgrade routes: the recorder's image "/dev/shm/updateFM.bin", the
// cameras' image "/dev/shm/updateIPCFM.bin", online versions and downloads.
// The upgrades themselves are the core daemon's work.
#include "modules/system/system_module.h"

namespace {

constexpr int32_t kTypeRecorder = 0;
constexpr int32_t kTypeCamera = 1;

// The image type of "/6085" and "/6086": 0 recorder, 1 camera, -1 otherwise.
// An absent "type" reads as 0, as every absent integer of a request does.
constexpr nvr::PolicyRow kImageTypePolicy[] = {{"type", nvr::PolicyType::kInt,
                                                nvr::Presence::kOptional, kTypeRecorder,
                                                kTypeCamera, 0, sizeof(int32_t), true}};
int32_t image_type(json_object* request) {
  int32_t type = kTypeRecorder;
  return nvr::read_policy(request, kImageTypePolicy, &type) == 0 ? type : -1;
}

constexpr DbField kFirmwareVersionFields[] = {
    DB_FIELD(FirmwareVersion, state, "state", DbType::I32),
    DB_FIELD(FirmwareVersion, fileSize, "fileSize", DbType::I32),
    DB_FIELD(FirmwareVersion, softversion, "softversion", DbType::Text),
    DB_FIELD(FirmwareVersion, url, "url", DbType::Text),
    DB_FIELD(FirmwareVersion, description, "description", DbType::Text),
};
constexpr DbRecord kFirmwareVersion{"", nullptr, sizeof(FirmwareVersion), kFirmwareVersionFields};

// ---- reply callbacks --------------------------------------------------------------

// Reply 6713 answers nothing: the handler does, from the flag.
void on_upgrade_system_cb(uint32_t count, const void* payload) {
  if (count == 0) return;
  const int32_t status = nvr::record_at<int32_t>(payload, 0);
  cgi_set_callback_done(status == 0 ? 1 : status);
}

constexpr nvr::AnswerRow kCameraUpgradeAnswer[] = {
    NVR_ANSWER_FIELD(CameraUpgradeResult, channel, "chnid"),
    NVR_ANSWER_FIELD(CameraUpgradeResult, status, "status"),
};
constexpr nvr::AnswerRow kResultAnswer[] = {
    nvr::answer_field("res", db_make_field("res", DbType::I32, 0, sizeof(int32_t), nullptr))};
constexpr nvr::AnswerRow kVersionAnswer[] = {nvr::answer_record(kFirmwareVersion)};

void on_check_ipc_online_upgrade_cb(uint32_t count, const void* payload) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "check",
                nvr::record_list_json(kFirmwareVersion, payload,
                                      static_cast<int>(std::min<uint32_t>(count, kMaxChannels))));
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kUpgradeReplies[] = {
    {kReplyUpgradeRecorder, sizeof(int32_t), on_upgrade_system_cb},
    {kReplyUpgradeCamera, sizeof(CameraUpgradeResult),
     nvr::answer_first_record<CameraUpgradeResult, kCameraUpgradeAnswer, kRespJson>},
    {kReplyDownloadImage, sizeof(int32_t),
     nvr::answer_first_record<int32_t, kResultAnswer, kRespText>},
    {kReplyDeleteCameraImage, sizeof(int32_t),
     nvr::answer_first_record<int32_t, kResultAnswer, kRespText>},
    {kReplyCheckRecorderOnline, sizeof(FirmwareVersion),
     nvr::answer_first_record<FirmwareVersion, kVersionAnswer, kRespText>},
    {kReplyCheckCamerasOnline, sizeof(FirmwareVersion), on_check_ipc_online_upgrade_cb},
};

constexpr IpcCallback on_upgrade_ipc_callback = nvr::reply_dispatcher<kUpgradeReplies>;

// Request 1713. The flag is 1 for success, another number for a failure the
// daemon reported, 0 when nothing answered.
int32_t upgrade_recorder(int32_t reset) {
  return nvr::ask_daemon(on_upgrade_ipc_callback, kReqUpgradeRecorder, &reset, sizeof reset);
}

void query_daemon(int32_t request_id, const void* payload, int32_t length) {
  nvr::ask_or_answer(on_upgrade_ipc_callback, request_id, payload, length, nvr::Silence::kText);
}

}  // namespace

int32_t upgrade_reset_flag(const char* data) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  std::string_view query = nvr::upload_query(data);
  query.remove_prefix(std::min(query.find_first_not_of(kBlanks), query.size()));
  return query.substr(0, query.find_first_of(kBlanks)).find("reset") != std::string_view::npos;
}

uint64_t upgrade_channel_mask(const char* text) {
  uint64_t mask = 0;
  for (int i = 0; text != nullptr && i < kMaxChannels; ++i) {
    if (text[i] == '1')
      mask |= uint64_t{1} << i;
    else if (text[i] != '0')
      break;
  }
  return mask;
}

// "/1010": the request data is "temp & " and the query string; the image is
// already in shared memory.
void on_upgrade_system(char* data) {
  const int32_t reset = upgrade_reset_flag(data);
  cgi_send_operation_log(kLogSubUpgrade, kLogParamNone, 0);
  const int32_t flag = upgrade_recorder(reset);
  if (flag != 1) return nvr::answer_with(kRespText, std::to_string(flag).c_str());
  cgi_writeback_webserver(kRespText, "OK");
  nvr::order_restart();
}

// "/1011"
void on_clean_upgrade_files(char*) {
  cgi_writeback_webserver(kRespText, nvr::device_file_exists(kRecorderImage) ? "Error" : "OK");
}

// "/1034"
void on_cgi_upgrade_system_init(char*) {
  nvr::tell_daemon(kReqPrepareUpgrade, nullptr, 0);
  nvr::scaled_pause_ms(500);  // the daemon frees memory for the image
  nvr::answer_one_key(kRespJson, "res", 0);
}

// "/6082"
void on_upgrade_camera(char*) {
  cgi_writeback_webserver(kRespText, nvr::device_file_exists(kCameraImage) ? "OK" : "Error");
}

// "/6083"
void on_start_upgrade_camera(char* data) {
  nvr::Json request = nvr::parse_request_or_error(data, kRespJson);
  if (!request) return;
  CameraUpgradeRequest payload{};
  nvr::json_read_int(request.get(), "chnid", &payload.channel);
  nvr::json_read_int(request.get(), "reset", &payload.reset);
  memcpy(payload.path, kCameraImage.data(), kCameraImage.size());
  query_daemon(kReqUpgradeCamera, &payload, sizeof payload);
}

// "/6084"
void on_stop_upgrade_camera(char*) {
  qv_system(nvr::ShellCommand("rm %s", {nvr::dev_path(kCameraImage)}));
  nvr::finish_change(0, {kReqStopCameraUpgrade}, {});
}

// "/6085": the daemon downloads the image of the type from the URL.
void on_get_online_upgrade(char* data) {
  nvr::Json request = nvr::parse_request(data);
  const int32_t type = image_type(request.get());
  if (type < 0) return nvr::answer_failure(kRespJson);
  DownloadImageRequest payload{};
  nvr::json_copy_string(request.get(), "url", payload.url, sizeof payload.url);
  const std::string_view image = type == kTypeRecorder ? kRecorderImage : kCameraImage;
  memcpy(payload.path, image.data(), image.size());
  nvr::tell_daemon(kReqPrepareUpgrade, nullptr, 0);
  query_daemon(kReqDownloadImage, &payload, sizeof payload);
}

// "/6086"
void on_del_online_upgrade(char* data) {
  nvr::Json request = nvr::parse_request(data);
  const int32_t type = image_type(request.get());
  if (type < 0) return nvr::answer_failure(kRespJson);
  if (type == kTypeCamera) return query_daemon(kReqDeleteCameraImage, nullptr, 0);
  unlink(nvr::dev_path(kRecorderImage).c_str());  // nothing to do when there is none
  nvr::answer_one_key(kRespJson, "res", 0);
}

// "/6087"
void on_check_nvr_online_upgrade(char*) { query_daemon(kReqCheckRecorderOnline, nullptr, 0); }

// "/6088": the recorder image that "/6085" had downloaded.
void on_nvr_online_upgrade(char*) {
  nvr::tell_daemon(kReqPrepareUpgrade, nullptr, 0);
  cgi_send_operation_log(kLogSubUpgrade, kLogParamNone, 0);
  const int32_t flag = upgrade_recorder(0);
  nvr::answer_one_key(kRespJson, "res", flag == 1 ? 0 : flag);
  if (flag == 1) nvr::order_restart();
}

// "/6089"
void on_check_ipc_online_upgrade(char* data) {
  nvr::Json request = nvr::parse_request_or_error(data, kRespJson);
  if (!request) return;
  const uint64_t mask = upgrade_channel_mask(nvr::json_string(request.get(), "ch"));
  query_daemon(kReqCheckCamerasOnline, &mask, sizeof mask);
}

// "/1019": an upload whose file the frame removes at the end of the run.
void on_upload_nothing(char*) {}

// "/dw.cgi": downloads through this path are refused.
void on_download_refused(char*) { cgi_writeback_webserver(kRespText, "NG download"); }
