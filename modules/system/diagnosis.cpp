// Diagnostic package: made by the core daemon in "/tmp", downloaded once.
#include "modules/system/system_module.h"
#include "platform/qvstd.h"

namespace {

constexpr int kMaxPackagePath = 255;

}  // namespace

// "/6310"
void on_export_diagnosis(char*) {
  // One package at a time: the daemon keeps the marker while it works.
  if (access(nvr::dev_path(kDiagnosisMarker).c_str(), F_OK) == 0)
    return nvr::answer_with(kRespText, "Failed");
  DiagnosisRequest request{};
  memcpy(request.directory, kExportFolder.data(), kExportFolder.size());
  if (nvr::ask_daemon(on_maintenance_ipc_callback, kReqDiagnosis, &request, sizeof request) == 0)
    cgi_writeback_webserver(kRespText, "Failed");
}

// Reply 8528: "OK/" and the package's device path, URL-encoded.
void on_export_diagnosis_cb(uint32_t size, const void* payload) {
  DiagnosisReplyHead head{};
  if (size >= sizeof head) memcpy(&head, payload, sizeof head);
  if (size < sizeof head || head.status < 0) return nvr::answer_text("Failed");
  const char* text = static_cast<const char*>(payload) + sizeof head;
  const std::string path(text, strnlen(text, size - sizeof head));
  char encoded[1024];
  get_url_encode(path.c_str(), encoded, sizeof encoded);
  std::string answer = std::string("OK/") + encoded + "\r\n";
  answer.resize(std::min<size_t>(answer.size(), 255));  // the answer's limit
  cgi_writeback_webserver(kRespText, answer.c_str());
  cgi_set_callback_done();
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
  const std::optional<std::string> package = nvr::device_file_in_folder(kExportFolder, path);
  if (!package) return;
  int fd_in = open(package->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd_in < 0) return;
  if (!write_download_headers(path)) {
    close(fd_in);
    return;
  }
  fflush(stdout);
  const int fd_out = fileno(stdout);
  if (qv_spliced_copy_ex(fd_in, fd_out) != 0) {
    struct stat st {};
    fstat(fd_in, &st);
    CGI_LOG("fd_in:%d fd_out:%d filestat.st_size:%d", fd_in, fd_out, static_cast<int>(st.st_size));
    CGI_LOG("Error copying input file [%d] to output file [%d]\n", fd_in, fd_out);
    // Kept for another try: the browser did not get it.
    close(fd_in);
    return;
  }
  close(fd_in);
  qv_system(nvr::ShellCommand("/bin/rm %s", {*package}));
}
