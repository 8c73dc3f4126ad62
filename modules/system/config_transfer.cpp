// Configuration export, download and import through the profile tool.
#include "modules/system/system_module.h"

// "/1007": the marker names the device path of the exported file.
void on_export_config(char*) {
  if (web_system(nvr::ShellCommand("qvprofile -e %s", {nvr::dev_path(kExportFolder)})) != 0)
    return nvr::answer_failure(kRespText);
  const std::string exported = nvr::read_device_marker(kExportFolder, kExportMarker, 256);
  cgi_send_operation_log(kLogSubExport, kLogParamNone, 0);
  const size_t slash = exported.rfind('/');
  if (slash == std::string::npos) return nvr::answer_with(kRespText, "OK");
  const std::string answer = "OK filename=" + exported.substr(slash + 1) + "\r\n";
  cgi_writeback_webserver(kRespText, answer.c_str());
}

// "/1013": the exported file, once. Only an export the profile tool left
// directly in the export folder, as a regular file reached without links, is
// sent (and then removed).
void on_download_config(char*) {
  nvr::send_device_file_once(kExportFolder,
                             nvr::read_device_marker(kExportFolder, kExportMarker, 1168),
                             nvr::Unsent::kRemove);
}

// "/1008": request data is the uploaded file's path (and " & " a parameter).
void on_import_config(char* data) {
  if (data == nullptr) return;
  // Only an uploaded file may be imported, and so removed afterwards.
  const std::optional<std::string> upload = nvr::uploaded_file_of(data);
  if (!upload) return nvr::answer_failure(kRespText);
  // The upload is removed whether or not the tool took it: one that could
  // not be imported would otherwise stay in /tmp for good.
  const bool imported = web_system(nvr::ShellCommand("qvprofile -i %s", {*upload})) == 0;
  const bool removed = web_system(nvr::ShellCommand("/bin/rm %s", {*upload})) == 0;
  if (!imported || !removed) return nvr::answer_failure(kRespText);
  cgi_writeback_webserver(kRespText, "OK");
  cgi_send_operation_log(kLogSubImport, kLogParamNone, 0);
}
