// "/1003": exports a selection of the device log as a CSV download. The core
// daemon writes the selected entries to a file and names it in its reply; the
// reply callback turns that file into the CSV rows.
#include "modules/system/system_module.h"
#include "platform/mac_conf.h"
#include "platform/qvfs_trans.h"
#include "platform/safe_path.h"

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

// The daemon writes its export files beside the export marker.
constexpr std::string_view kLogExportFolder = "/tmp/log";

// The text in double quotes, its quotes doubled, so that it stays one cell.
std::string csv_quoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A cell as it stands, or quoted when it holds a separator, a quote or a line
// break that would split the row.
std::string csv_cell(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  return csv_quoted(text);
}

std::string csv_row(int32_t number, const QvLogInfo& entry, const char* detail) {
  std::string parameter = log_code_name(entry.param_type);
  std::string row = std::to_string(number) + ",";
  row += log_time_text(entry.pts) + ",";
  row += log_code_name(log_main_type_index(entry.main_type)) + ",";
  row += log_code_name(entry.sub_type) + ",";
  row += (parameter.empty() ? "N/A" : parameter) + ",";
  row += csv_cell(std::string_view(entry.user, strnlen(entry.user, sizeof entry.user))) + ",";
  row += log_ip_text(entry.ip, sizeof entry.ip) + ",";
  row += std::to_string(entry.chan_no) + ",";
  // The detail text is always quoted.
  const std::string_view detail_text(detail, strnlen(detail, kLogExportDetailSize));
  row += (detail_text.empty() ? "N/A" : csv_quoted(detail_text)) + ",";
  return row + "\r\n";
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

  mkdir(nvr::dev_path(kLogExportFolder).c_str(), 0755);
  qv_wirte_file_data(nvr::dev_path(kLogExportMarker).c_str(), nullptr, 0);  // the empty marker
  nvr::ask_or_answer(on_devlog_ipc_callback, kReqLogExport, selection, nvr::Silence::kJson);
  unlink(nvr::dev_path(kLogExportMarker).c_str());
}

void on_log_web_export_info_cb(uint32_t count, const void* payload) {
  char mac[32] = "";
  read_mac_conf(mac, sizeof mac);
  const std::string file_name = std::string(log_main_type_word(g_export_main_type)) + "_log_" +
                                mac + "_" + nvr::local_time_text(time(nullptr), "%Y%m%d%H%M%S") +
                                ".csv";
  if (!nvr::begin_download(file_name)) return;
  printf("Number,Time,Main,Sub,Parameter,User,Ip,Channel,Log information,\r\n");

  // The daemon's export file: a regular file directly in the export folder.
  // Anything else (another folder, "..", a link) is neither read nor removed.
  const LogExportItem item =
      count > 0 ? nvr::record_at<LogExportItem>(payload, 0) : LogExportItem{};
  const std::string_view path(item.path, strnlen(item.path, sizeof item.path));
  const std::string name = nvr::name_in_device_folder(kLogExportFolder, path).value_or("");
  if (const nvr::File file = nvr::read_device_folder_file(kLogExportFolder, name)) {
    trans_init(g_export_language);
    write_export_rows(file.get());
    trans_deinit();
    nvr::remove_in_device_folder(kLogExportFolder, name);
  }
  fflush(stdout);
  cgi_set_callback_done();
}
