// Web languages: the language list file ("/1001") and the translated text
// sections of the pages ("/json").
#include "frame/cgic.h"
#include "modules/system/system_module.h"

namespace {

constexpr std::string_view kLanguageList = "/opt/app/www/webfile/json/languages.json";
constexpr std::string_view kLanguageListBackup = "/opt/app/www/webfile/json/languages_bak.json";
constexpr size_t kMinLanguages = 19;
constexpr size_t kSectionLimit = 307200;  // bytes of the answer, its NUL included
constexpr size_t kLineSize = 1024;
constexpr int kQueryValueSize = 128;

// {"defaultLan": non-empty text, "list": [at least 19 x {"value": text,
// "name": text, "isDefault": boolean}]} and nothing else.
int check_language_list(json_object* request) {
  const char* default_language = nvr::json_string(request, "defaultLan");
  json_object* list = nvr::json_get(request, "list");
  if (!nvr::json_is(request, json_type_object) || json_object_object_length(request) != 2 ||
      default_language == nullptr || default_language[0] == '\0' ||
      !nvr::json_is(list, json_type_array) || nvr::json_array_size(list) < kMinLanguages)
    return -1;
  for (size_t i = 0; i < nvr::json_array_size(list); ++i) {
    json_object* language = nvr::json_at(list, i);
    if (nvr::json_string(language, "value") == nullptr ||
        nvr::json_string(language, "name") == nullptr ||
        !nvr::json_is(nvr::json_get(language, "isDefault"), json_type_boolean))
      return -1;
  }
  return 0;
}

// Writes the list to the backup file and moves it over the list file, so a
// reader never sees a half-written list. False when either step failed. A
// link left under the backup's name is replaced, never written through.
bool replace_language_list(const char* text) {
  const std::string backup = nvr::dev_path(kLanguageListBackup);
  if (!nvr::write_new_file(backup, std::string(text) + "\n", 0644)) {
    // A cut list must not replace the good one.
    remove(backup.c_str());
    return false;
  }
  return qv_system(nvr::ShellCommand("mv %s %s", {backup, nvr::dev_path(kLanguageList)})) == 0;
}

// The value after `key` up to the next '&'; empty when absent.
std::string query_value(const char* query, const char* key) {
  char value[kQueryValueSize] = "";
  if (cgi_get_query_param(query, key, value, sizeof value) != 0) return {};
  return value;
}

// A value that would reach outside the language folder, were it a file name
// (an empty one stays where it is).
bool leaves_folder(const std::string& value) {
  return !value.empty() && !nvr::is_plain_file_name(value);
}

// The lines between the section's start and end marker lines, in braces, cut
// to the answer's limit.
std::string read_section(FILE* file, const std::string& start, const std::string& end) {
  std::string answer;
  char line[kLineSize];
  bool begun = false;
  while (answer.size() < kSectionLimit && fgets(line, sizeof line, file) != nullptr) {
    if (!begun) {
      begun = strstr(line, start.c_str()) != nullptr;
      if (begun) answer = "{\n";
    } else if (strstr(line, end.c_str()) != nullptr) {
      answer += "\n}";
      break;
    } else {
      answer += line;
    }
  }
  answer.resize(std::min(answer.size(), kSectionLimit - 1));
  return answer;
}

}  // namespace

void on_change_language(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (check_language_list(request.get()) != 0) return;

  nvr::CgiLock lock;  // held to the end of the run's change
  const bool replaced = replace_language_list(data);
  if (!replaced) CGI_LOG("language list not replaced");
  nvr::finish_change(replaced ? 0 : -1, {}, {});
}

void on_get_lang_section(char* data) {
  const char* query = data ? data : "";
  const std::string language = query_value(query, "lang=");
  const std::string page = query_value(query, "page=");
  const std::string sub = query_value(query, "sub=");
  if (page.empty() || leaves_folder(page) || leaves_folder(sub))
    return nvr::answer_with(kRespJson, "ERROR PAGE.");
  if (leaves_folder(language)) return nvr::answer_with(kRespJson, "ERROR LANG.");

  const std::string marker = sub.empty() ? page + ".json" : page + "=" + sub + ".json";
  // A link planted in the folder is not followed out of it.
  const nvr::File file = nvr::read_device_folder_file(nvr::devpath::kLangDir, language + ".json");
  if (!file) return nvr::answer_with(kRespJson, "ERROR LANG.");
  const std::string answer = read_section(file.get(), "{//" + marker, "}//" + marker);
  cgi_writeback_webserver(kRespJson, answer.c_str());
}
