// Configuration export, download and import through the profile tool.
#include "modules/system/system_module.h"
#include "platform/safe_path.h"

namespace {

// The marker's text: the device path of the exported file, without a line end.
std::string read_export_marker(size_t limit) {
  std::string text;
  // The marker is taken only as a regular file in the export folder.
  const int fd = nvr::open_in_device_folder(
      kExportFolder, nvr::name_in_device_folder(kExportFolder, kExportMarker).value_or(""));
  FILE* marker = fd < 0 ? nullptr : fdopen(fd, "r");
  if (marker == nullptr) {
    if (fd >= 0) close(fd);
    return text;
  }
  text.resize(limit);
  text.resize(fread(text.data(), 1, limit, marker));
  fclose(marker);
  text.resize(strnlen(text.c_str(), text.size()));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

// "/1007"
void on_export_config(char*) {
  if (web_system(nvr::ShellCommand("qvprofile -e %s", {nvr::dev_path(kExportFolder)})) != 0)
    return nvr::answer_failure(kRespText);
  const std::string exported = read_export_marker(256);
  cgi_send_operation_log(kLogSubExport, kLogParamNone, 0);
  const size_t slash = exported.rfind('/');
  if (slash == std::string::npos) return nvr::answer_with(kRespText, "OK");
  const std::string answer = "OK filename=" + exported.substr(slash + 1) + "\r\n";
  cgi_writeback_webserver(kRespText, answer.c_str());
}

// "/1013": the exported file, once; it is removed after sending.
void on_download_config(char*) {
  const std::string exported = read_export_marker(1168);
  // Only an export the profile tool left directly in the export folder, as a
  // regular file reached without links, is sent (and then removed).
  const std::optional<std::string> name = nvr::name_in_device_folder(kExportFolder, exported);
  const int fd = name ? nvr::open_in_device_folder(kExportFolder, *name) : -1;
  FILE* file = fd < 0 ? nullptr : fdopen(fd, "rb");
  if (file == nullptr) {
    if (fd >= 0) close(fd);
    return;
  }
  if (!write_download_headers(exported)) {
    fclose(file);
    return;
  }
  char piece[4095];
  size_t got = 0;
  while ((got = fread(piece, 1, sizeof piece, file)) > 0) fwrite(piece, 1, got, stdout);
  fflush(stdout);
  fclose(file);
  nvr::remove_in_device_folder(kExportFolder, *name);
}

// "/1008": request data is the uploaded file's path (and " & " a parameter).
void on_import_config(char* data) {
  if (data == nullptr) return;
  std::string_view request(data);
  request = request.substr(0, request.find(" & "));
  // Only an uploaded file may be imported, and so removed afterwards.
  const std::optional<std::string> upload = uploaded_file(request);
  if (!upload) return nvr::answer_failure(kRespText);
  // The upload is removed whether or not the tool took it: one that could
  // not be imported would otherwise stay in /tmp for good.
  const bool imported = web_system(nvr::ShellCommand("qvprofile -i %s", {*upload})) == 0;
  const bool removed = web_system(nvr::ShellCommand("/bin/rm %s", {*upload})) == 0;
  if (!imported || !removed) return nvr::answer_failure(kRespText);
  cgi_writeback_webserver(kRespText, "OK");
  cgi_send_operation_log(kLogSubImport, kLogParamNone, 0);
}
