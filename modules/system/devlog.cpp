// "/1015", "/1002", "/1021", "/1022": the device log's vocabulary, its page-wise
// search, one entry's detail text, and whether an export is running. The
// device log itself is kept by the core daemon.
#include "modules/system/system_module.h"
#include "platform/qvfs_trans.h"

namespace {

constexpr int kNameSize = 128;

// Kept between the search request and its reply callback.
char g_search_language[kLogLanguageSize];
int32_t g_search_page = 0;

// ---- "/1015" ---------------------------------------------------------------------------

void append_range(std::vector<int32_t>* codes, int32_t first, int32_t last,
                  std::initializer_list<int32_t> except = {}) {
  for (int32_t code = first; code <= last; ++code)
    if (std::find(except.begin(), except.end(), code) == except.end()) codes->push_back(code);
}

// The sub types the search pages offer for a main type; each list starts with
// "all". Fire and temperature events exist on recorders of OEM type 90 only.
std::vector<int32_t> offered_sub_types(int32_t main_type, bool oem_90) {
  std::vector<int32_t> codes = {static_cast<int32_t>(kLogSubTypeAll)};
  switch (main_type) {
    case 2:
      if (oem_90)
        append_range(&codes, 11, 36, {31, 32});
      else
        append_range(&codes, 11, 36, {15, 16, 31, 32});
      append_range(&codes, 38, 41);
      codes.insert(codes.end(), {37, 42, 43, 44});
      break;
    case 4:
      append_range(&codes, 101, 144);
      append_range(&codes, 200, 228);
      break;
    case 8:
      append_range(&codes, 500, 521, {507, 508, 509, 510});
      break;
    case 32:
      append_range(&codes, 400, 413, {408});
      break;
    case 64:
      append_range(&codes, 600, 603);
      break;
  }
  return codes;
}

nvr::Json key_name(int32_t key, int32_t name_code) {
  nvr::Json item = nvr::json_new_object();
  nvr::json_add_int(item.get(), "key", key);
  nvr::json_add_string(item.get(), "name", log_code_name(name_code));
  return item;
}

// ---- "/1002" reply ---------------------------------------------------------------------

nvr::Json log_entry_json(const QvLogInfo& entry, int32_t no) {
  nvr::Json item = nvr::json_new_object();
  json_object* o = item.get();
  nvr::json_add_int(o, "no", no);
  nvr::json_add_int(o, "mainTypeValue", entry.main_type);
  nvr::json_add_string(o, "mainType", log_code_name(log_main_type_index(entry.main_type)));
  nvr::json_add_int(o, "subTypeValue", entry.sub_type);
  nvr::json_add_string(o, "subType", log_code_name(entry.sub_type));
  nvr::json_add_int(o, "pts", entry.pts);
  nvr::json_add_string(o, "ptc", log_time_text(entry.pts));
  nvr::json_add_int(o, "parameterValue", entry.param_type);
  nvr::json_add_string(o, "parameter", log_code_name(entry.param_type));
  nvr::json_add_int(o, "remote", entry.remote);
  nvr::json_add_int(o, "chanNo", entry.chan_no);
  nvr::json_add_int(o, "disk", log_channo_is_disk(entry.main_type, entry.sub_type));
  nvr::json_add_int(o, "size", entry.detail_size);
  nvr::json_add(o, "detail",
                nvr::json_new_string_bounded(reinterpret_cast<const char*>(entry.detail),
                                             sizeof entry.detail));
  int32_t words[128];
  log_detail_to_words(entry.detail, words);
  nvr::Json detail2 = nvr::json_new_array();
  for (int32_t word : words) nvr::json_append(detail2.get(), nvr::json_new_int(word));
  nvr::json_add(o, "detail2", std::move(detail2));
  nvr::json_add_string(o, "ip", log_ip_text(entry.ip, sizeof entry.ip));
  nvr::json_add(o, "user", nvr::json_new_string_bounded(entry.user, sizeof entry.user));
  return item;
}

// ---- "/1021" ---------------------------------------------------------------------------

// The entry as the search gave it, back in the record layout.
QvLogInfo log_entry_from_json(json_object* request) {
  QvLogInfo entry{};
  nvr::json_read_int(request, "mainTypeValue", &entry.main_type);
  nvr::json_read_int(request, "subTypeValue", &entry.sub_type);
  nvr::json_read_int(request, "pts", &entry.pts);
  nvr::json_read_int(request, "parameterValue", &entry.param_type);
  nvr::json_read_int(request, "remote", &entry.remote);
  nvr::json_read_int(request, "chanNo", &entry.chan_no);
  nvr::json_read_int(request, "size", &entry.detail_size);
  json_object* detail2 = nvr::json_get(request, "detail2");
  int32_t words[128] = {};
  for (size_t i = 0; i < 128 && i < nvr::json_array_size(detail2); ++i) {
    // The search writes signed words; take either reading of the 32 bits.
    int64_t word = nvr::json_int64(nvr::json_at(detail2, i)).value_or(0);
    words[i] = static_cast<int32_t>(static_cast<uint32_t>(word));
  }
  log_detail_from_words(words, entry.detail);
  nvr::json_copy_string(request, "ip", entry.ip, 46);      // at most 45 characters
  nvr::json_copy_string(request, "user", entry.user, 64);  // at most 63
  return entry;
}

// ---- replies ---------------------------------------------------------------------------

void on_log_search_info_cb(uint32_t size, const void* payload) {
  constexpr size_t kEntries = offsetof(LogSearchBlock, entries);
  if (size < kEntries) {
    cgi_writeback_webserver(kRespJson, "ERROR");
    return cgi_set_callback_done();
  }
  const auto* bytes = static_cast<const uint8_t*>(payload);
  const int32_t count = nvr::record_at<int32_t>(bytes + offsetof(LogSearchBlock, count), 0);
  const int32_t num = nvr::record_at<int32_t>(bytes + offsetof(LogSearchBlock, num), 0);
  // Only the entries that arrived whole are read, whatever the block claims.
  const uint32_t arrived = (size - kEntries) / sizeof(QvLogInfo);
  const int32_t listed = std::clamp<int32_t>(
      num, 0, static_cast<int32_t>(std::min<uint32_t>(arrived, kLogEntriesPerBlock)));

  trans_init(g_search_language);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "count", count);
  nvr::json_add_int(answer.get(), "num", listed);
  nvr::json_add_int(answer.get(), "curPageNum", g_search_page);
  nvr::Json log = nvr::json_new_array();
  for (int32_t i = 0; i < listed; ++i)
    nvr::json_append(log.get(), log_entry_json(nvr::record_at<QvLogInfo>(bytes + kEntries, i), i));
  nvr::json_add(answer.get(), "log", std::move(log));
  trans_deinit();
  nvr::answer_json(answer);
}

void on_log_web_get_log_detail_cb(uint32_t size, const void* payload) {
  const char* text = static_cast<const char*>(payload);
  nvr::answer_text(std::string(text, strnlen(text, size)).c_str());
}

}  // namespace

// ---- shared by the search and the export -----------------------------------------------

std::string log_code_name(int64_t code) {
  char name[kNameSize] = "";
  if (code >= INT32_MIN && code <= INT32_MAX)
    trans_get_value(static_cast<int32_t>(code), name, sizeof name);
  return name;
}

int32_t check_log_search_info(json_object* request) {
  int32_t main_type = 0;
  json_object* sub_types = nvr::json_get(request, "subTypeArr");
  std::optional<int64_t> first = nvr::json_int64(nvr::json_at(sub_types, 0));
  if (!nvr::json_read_int(request, "mainType", &main_type, 1, 64)) return -1;
  if (!first || *first <= 9) return -1;
  for (const char* key : {"language", "startTime", "endTime", "curPageNum"})
    if (nvr::json_get(request, key) == nullptr) return -1;
  return 0;
}

bool read_log_selection(json_object* request, const char* time_format, LogSearchRequest* out,
                        char* language) {
  if (!parse_log_time(nvr::json_string(request, "startTime"), time_format, &out->start_time) ||
      !parse_log_time(nvr::json_string(request, "endTime"), time_format, &out->end_time))
    return false;
  nvr::json_read_int(request, "mainType", &out->main_type);
  json_object* sub_types = nvr::json_get(request, "subTypeArr");
  size_t count = std::min<size_t>(nvr::json_array_size(sub_types), kLogMaxSubTypes);
  for (size_t i = 0; i < count; ++i)
    out->sub_types[i] = nvr::json_int64(nvr::json_at(sub_types, i)).value_or(0);
  out->sub_type_count = static_cast<int32_t>(count);
  language[0] = '\0';
  nvr::json_copy_string(request, "language", language, kLogLanguageSize);
  return true;
}

// ---- handlers --------------------------------------------------------------------------

void on_get_log_type_list(char* data) {
  nvr::Json request = nvr::parse_request_or_error(data, kRespJson);
  if (!request) return;
  char language[16] = "";
  nvr::json_copy_string(request.get(), "lan", language, sizeof language);
  bool oem_90 = get_param_int(nvr::qvdb_path(), "oem_type", 0) == 90;

  trans_init(language);
  nvr::Json answer = nvr::json_new_object();
  nvr::Json main_types = nvr::json_new_array();
  nvr::Json sub_types = nvr::json_new_array();
  for (int32_t main_type : kLogMainTypes) {
    nvr::json_append(main_types.get(), key_name(main_type, log_main_type_index(main_type)));
    nvr::Json list = nvr::json_new_array();
    for (int32_t code : offered_sub_types(main_type, oem_90))
      nvr::json_append(list.get(), key_name(code, code));
    nvr::json_append(sub_types.get(), std::move(list));
  }
  trans_deinit();
  nvr::json_add(answer.get(), "mainType", std::move(main_types));
  nvr::json_add(answer.get(), "subType", std::move(sub_types));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_get_log_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  LogSearchRequest search{};
  if (!request || check_log_search_info(request.get()) != 0 ||
      !read_log_selection(request.get(), "%Y-%m-%d %H:%M:%S", &search, g_search_language))
    return nvr::answer_failure(kRespJson);
  nvr::json_read_int(request.get(), "curPageNum", &search.page);
  g_search_page = search.page;
  if (const char* mask = nvr::json_string(request.get(), "chnMask"))
    search.channel_mask = get_channel_mask(mask);
  nvr::json_read_int(request.get(), "searchNoChn", &search.no_channel);

  nvr::ask_or_answer(on_devlog_ipc_callback, kReqLogSearch, search, nvr::Silence::kJson);
}

void on_get_log_details(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  QvLogInfo entry = log_entry_from_json(request.get());
  nvr::ask_or_answer(on_devlog_ipc_callback, kReqLogDetail, entry, nvr::Silence::kText);
}

void on_check_download_log(char*) {
  cgi_writeback_webserver(kRespText, nvr::device_file_exists(kLogExportMarker) ? "OK" : "NO");
}

void on_devlog_ipc_callback(void*, const void* header, const void* payload) {
  static constexpr nvr::ReplyRow kReplies[] = {
      {kRplLogSearch, 1, on_log_search_info_cb},
      {kRplLogDetail, 1, on_log_web_get_log_detail_cb},
      {kRplLogExport, sizeof(LogExportItem), on_log_web_export_info_cb},
  };
  nvr::dispatch_reply(kReplies, header, payload);
}
