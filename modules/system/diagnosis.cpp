// Diagnostic package: made by the core daemon in "/tmp", downloaded once.
#include "modules/system/system_module.h"
#include "platform/qvstd.h"

namespace {

constexpr int kMaxPackagePath = 255;

// Reply 8528: "OK/" and the package's device path, URL-encoded.
void on_export_diagnosis_cb(uint32_t size, const void* payload) {
  constexpr size_t kHead = sizeof(DiagnosisReplyHead);
  if (size < kHead || nvr::record_at<DiagnosisReplyHead>(payload, 0).status < 0)
    return nvr::answer_text("Failed");
  const char* text = static_cast<const char*>(payload) + kHead;
  const std::string path(text, strnlen(text, size - kHead));
  char encoded[1024];
  get_url_encode(path.c_str(), encoded, sizeof encoded);
  std::string answer = std::string("OK/") + encoded + "\r\n";
  answer.resize(std::min<size_t>(answer.size(), 255));  // the answer's limit
  nvr::answer_text(answer.c_str());
}

// The maintenance requests' only reply.
constexpr nvr::ReplyRow kMaintenanceReplies[] = {{kReplyDiagnosis, 1, on_export_diagnosis_cb}};
constexpr IpcCallback on_maintenance_ipc_callback = nvr::reply_dispatcher<kMaintenanceReplies>;

}  // namespace

// "/6310"
void on_export_diagnosis(char*) {
  // One package at a time: the daemon keeps the marker while it works.
  if (nvr::device_file_exists(kDiagnosisMarker)) return nvr::answer_with(kRespText, "Failed");
  DiagnosisRequest request{};
  memcpy(request.directory, kExportFolder.data(), kExportFolder.size());
  if (nvr::ask_daemon(on_maintenance_ipc_callback, kReqDiagnosis, &request, sizeof request) == 0)
    cgi_writeback_webserver(kRespText, "Failed");
}

// "/6311": the URL-encoded device path that "/6310" answered. The package is
// sent and then removed, so only a regular file directly in the folder the
// daemon writes packages to is taken; any other path is not answered.
void on_download_diagnosis(char* data) {
  if (data == nullptr) return;
  // A path that does not fit whole is not cut into another file's name.
  std::string path(strlen(data) + 1, '\0');
  const int length = get_url_decode(data, path.data(), static_cast<int>(path.size()));
  if (length <= 0 || length > kMaxPackagePath) return;
  path.resize(static_cast<size_t>(length));
  nvr::send_device_file_once(kExportFolder, path, nvr::Unsent::kKeep);
}
