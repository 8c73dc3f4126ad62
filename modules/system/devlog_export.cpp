// "/1003": exports a selection of the device log as a CSV download. The core
// daemon writes the selected entries to a file and names it in its reply; the
// reply callback turns that file into the CSV rows.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/system/devlog.h"
#include "modules/system/devlog_codec.h"
#include "modules/system/devlog_search.h"
#include "platform/device_path.h"
#include "platform/mac_conf.h"
#include "platform/qvfs_trans.h"

namespace {

// Kept between the export request and its reply callback.
char g_export_language[kLogLanguageSize];
int32_t g_export_main_type = 0;

// "ch": the channel mask as a decimal number text (at most 64 characters).
uint64_t export_channel_mask(json_object* request) {
  json_object* value = nvr::json_get(request, "ch");
  if (nvr::json_is(value, json_type_int)) return json_object_get_uint64(value);
  char text[65] = "";
  if (!nvr::json_copy_string(request, "ch", text, sizeof text)) return 0;
  return strtoull(text, nullptr, 10);
}

void create_export_marker() {
  mkdir(nvr::dev_path("/tmp/log").c_str(), 0755);
  int fd = open(nvr::dev_path(kLogExportMarker).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) close(fd);
}

std::string name_of(int32_t code) {
  char name[128];
  trans_get_value(code, name, sizeof name);
  return name;
}

std::string sub_type_name(int64_t sub_type) {
  return sub_type >= INT32_MIN && sub_type <= INT32_MAX ? name_of(static_cast<int32_t>(sub_type))
                                                        : "";
}

// A cell as it stands, or in double quotes (with its quotes doubled) when it
// holds a separator, a quote or a line break that would split the row.
std::string csv_cell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The detail text is always quoted; quotes inside it are doubled so that it
// stays one cell.
std::string csv_detail_cell(std::string_view text) {
  if (text.empty()) return "N/A";
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string csv_row(int32_t number, const QvLogInfo& entry, const char* detail) {
  std::string parameter = name_of(entry.param_type);
  std::string row = std::to_string(number) + ",";
  row += log_time_text(entry.pts) + ",";
  row += name_of(log_main_type_index(entry.main_type)) + ",";
  row += sub_type_name(entry.sub_type) + ",";
  row += (parameter.empty() ? "N/A" : parameter) + ",";
  row += csv_cell(std::string_view(entry.user, strnlen(entry.user, sizeof entry.user))) + ",";
  row += log_ip_text(entry.ip, sizeof entry.ip) + ",";
  row += std::to_string(entry.chan_no) + ",";
  row += csv_detail_cell(std::string_view(detail, strnlen(detail, kLogExportDetailSize))) + ",";
  return row + "\r\n";
}

// The daemon's export file as a real path: an absolute device path without
// ".." that names a regular file (not a folder, not a link). Anything else is
// neither read nor removed.
std::optional<std::string> export_file_path(const LogExportItem& item) {
  std::string_view device_path(item.path, strnlen(item.path, sizeof item.path));
  if (!device_path.starts_with('/')) return std::nullopt;
  for (size_t start = 0; start < device_path.size();) {
    size_t end = device_path.find('/', start);
    if (end == std::string_view::npos) end = device_path.size();
    if (device_path.substr(start, end - start) == "..") return std::nullopt;
    start = end + 1;
  }
  std::string path = nvr::dev_path(device_path);
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return path;
}

// One row per entry of the file, flushed as it goes; a short read ends it.
void write_export_rows(FILE* file) {
  int32_t count = 0;
  if (fread(&count, sizeof count, 1, file) != 1) return;
  static char detail[kLogExportDetailSize];
  for (int32_t i = 0; i < count; ++i) {
    QvLogInfo entry;
    if (fread(&entry, sizeof entry, 1, file) != 1) return;
    if (fread(detail, sizeof detail, 1, file) != 1) return;
    std::string row = csv_row(i + 1, entry, detail);
    fwrite(row.data(), 1, row.size(), stdout);
    fflush(stdout);
  }
}

std::string now_text() {
  time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char text[32];
  snprintf(text, sizeof text, "%4d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
           local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

}  // namespace

void on_download_logfile(char* data) {
  nvr::Json request = nvr::parse_request(data);
  LogSearchRequest selection{};
  if (!request || check_log_search_info(request.get()) != 0 ||
      !read_log_selection(request.get(), "%Y-%m-%dT%H:%M:%S", &selection, g_export_language))
    return;
  // The export page sends operation sub types as bit sets (see
  // expand_operation_sub_types); "all" (10) stays as it is.
  if (selection.main_type == kLogMainOperation && selection.sub_types[0] != kLogSubTypeAll) {
    int64_t expanded[90];
    int32_t count = expand_operation_sub_types(
        std::span<const int64_t>(selection.sub_types, selection.sub_type_count), expanded);
    memset(selection.sub_types, 0, sizeof selection.sub_types);
    memcpy(selection.sub_types, expanded, count * sizeof expanded[0]);
    selection.sub_type_count = count;
  }
  selection.page = 1;
  selection.channel_mask = export_channel_mask(request.get());
  nvr::json_read_int(request.get(), "na", &selection.no_channel);
  g_export_main_type = selection.main_type;

  create_export_marker();
  nvr::ask_or_answer(on_devlog_ipc_callback, kReqLogExport, selection, nvr::Silence::kJson);
  unlink(nvr::dev_path(kLogExportMarker).c_str());
}

void on_log_web_export_info_cb(uint32_t count, const void* payload) {
  trans_init(g_export_language);
  char mac[32] = "";
  read_mac_conf(mac, sizeof mac);
  printf("Content-Type:application/octet-stream\r\n");
  printf("Content-Disposition: attachment; filename= %s_log_%s_%s.csv\r\n\r\n",
         log_main_type_word(g_export_main_type), mac, now_text().c_str());
  printf("Number,Time,Main,Sub,Parameter,User,Ip,Channel,Log information,\r\n");
  fflush(stdout);

  if (count > 0) {
    LogExportItem item;
    memcpy(&item, payload, sizeof item);
    if (std::optional<std::string> path = export_file_path(item)) {
      if (FILE* file = fopen(path->c_str(), "rbe")) {
        write_export_rows(file);
        fclose(file);
      }
      web_system(nvr::ShellCommand("rm -rf %s", {*path}));
    }
  }
  trans_deinit();
  fflush(stdout);
  cgi_set_callback_done();
}
