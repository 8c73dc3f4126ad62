#include "tools/nvr-routes/catalog.h"

#include <algorithm>
#include <array>

namespace nvr::catalog {

namespace {

constexpr std::array<const char*, kModuleCount> kModuleNames = {
    "storage",  "status", "video",  "cameras", "record", "network",
    "playback", "ptz",    "system", "general", "alarm",
};

constexpr const char* kBaseUrl = "http://127.0.0.1:8080/cgi-bin/nvr.cgi";

json_object* member(json_object* object, const char* key) {
  json_object* value = nullptr;
  if (object == nullptr || !json_object_object_get_ex(object, key, &value)) return nullptr;
  return value;
}

std::string text_of(json_object* object, const char* key) {
  json_object* value = member(object, key);
  return json_object_is_type(value, json_type_string) ? json_object_get_string(value) : "";
}

std::vector<std::string> texts_of(json_object* object, const char* key) {
  std::vector<std::string> out;
  json_object* array = member(object, key);
  if (!json_object_is_type(array, json_type_array)) return out;
  for (size_t i = 0; i < json_object_array_length(array); ++i) {
    json_object* item = json_object_array_get_idx(array, i);
    if (json_object_is_type(item, json_type_string)) out.emplace_back(json_object_get_string(item));
  }
  return out;
}

std::vector<int> ints_of(json_object* object, const char* key) {
  std::vector<int> out;
  json_object* array = member(object, key);
  if (!json_object_is_type(array, json_type_array)) return out;
  for (size_t i = 0; i < json_object_array_length(array); ++i) {
    json_object* item = json_object_array_get_idx(array, i);
    if (json_object_is_type(item, json_type_int)) out.push_back(json_object_get_int(item));
  }
  return out;
}

Json string_array(const std::vector<std::string>& items) {
  Json array = json_new_array();
  for (const auto& item : items) json_append(array.get(), json_new_string(item));
  return array;
}

Json int_array(const std::vector<int>& items) {
  Json array = json_new_array();
  for (int item : items) json_append(array.get(), json_new_int(item));
  return array;
}

bool contains(const std::vector<std::string>& items, const std::string& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// A copy of a borrowed value (a fixture part placed into the document).
Json copy_of(json_object* value) {
  json_object* copy = nullptr;
  if (value == nullptr || json_object_deep_copy(value, &copy, nullptr) != 0) return nullptr;
  return Json(copy);
}

// Single quotes for a POSIX shell: 'it'\''s'.
std::string shell_quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The methods a route is documented with: those the recordings saw, else POST
// (the frame hands GET query and POST body to the handler alike).
std::vector<std::string> methods_of(const Recorded& recorded) {
  std::vector<std::string> methods;
  for (const char* method : {"GET", "POST"})
    if (contains(recorded.methods, method)) methods.emplace_back(method);
  if (methods.empty()) methods.emplace_back("POST");
  return methods;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

Json request_body(const RouteInfo& route, const Recorded& recorded) {
  Json content = json_new_object();
  bool upload = route.upload != UploadKind::None || contains(recorded.body_kinds, "upload");
  if (upload) {
    Json schema = json_parse(R"({"type":"object","properties":{"file":{"type":"string",)"
                             R"("contentMediaType":"application/octet-stream"}}})");
    Json media = json_new_object();
    json_add(media.get(), "schema", std::move(schema));
    json_add(content.get(), "multipart/form-data", std::move(media));
  }
  if (contains(recorded.body_kinds, "json-object") || contains(recorded.body_kinds, "json-array") ||
      (!upload && recorded.body_kinds.empty())) {
    Json media = json_new_object();
    json_add(media.get(), "schema",
             json_parse(contains(recorded.body_kinds, "json-array") ? R"({"type":"array"})"
                                                                    : R"({"type":"object"})"));
    json_object* example = recorded.example;
    if (text_of(example, "method") == "POST") {
      if (Json body = json_parse(text_of(example, "body")); body)
        json_add(media.get(), "example", std::move(body));
    }
    json_add(content.get(), "application/json", std::move(media));
  }
  if (contains(recorded.body_kinds, "number") || contains(recorded.body_kinds, "text")) {
    Json media = json_new_object();
    json_add(media.get(), "schema",
             json_parse(contains(recorded.body_kinds, "text")
                            ? R"({"type":"string"})"
                            : R"({"type":"string","pattern":"^-?[0-9]+$"})"));
    json_add(content.get(), "text/plain", std::move(media));
  }
  Json body = json_new_object();
  json_add(body.get(), "content", std::move(content));
  return body;
}

// One response per answer kind the recordings saw.
Json responses(const Recorded& recorded) {
  Json out = json_new_object();
  Json ok_content = json_new_object();
  json_object* example = recorded.example;
  std::string answer = text_of(example, "answer");
  auto media = [&](const char* type, const char* schema, bool with_example) {
    Json m = json_new_object();
    json_add(m.get(), "schema", json_parse(schema));
    if (with_example) {
      if (std::string(type) == "application/json") {
        if (Json parsed = json_parse(answer); parsed)
          json_add(m.get(), "example", std::move(parsed));
      } else {
        json_add_string(m.get(), "example", answer);
      }
    }
    json_add(ok_content.get(), type, std::move(m));
  };
  std::string example_kind = text_of(example, "answer_kind");
  if (contains(recorded.answer_kinds, "json"))
    media("application/json", "{}", example_kind == "json");
  if (contains(recorded.answer_kinds, "text"))
    media("text/plain", R"({"type":"string"})", example_kind == "text");
  if (contains(recorded.answer_kinds, "download"))
    media("application/octet-stream",
          R"({"type":"string","contentMediaType":"application/octet-stream"})", false);
  bool ok = json_object_object_length(ok_content.get()) > 0 || recorded.answer_kinds.empty() ||
            contains(recorded.answer_kinds, "empty");
  if (ok) {
    Json response = json_new_object();
    json_add_string(response.get(), "description",
                    recorded.answer_kinds.empty() ? "The answer (not recorded)" : "The answer");
    if (json_object_object_length(ok_content.get()) > 0)
      json_add(response.get(), "content", std::move(ok_content));
    json_add(out.get(), "200", std::move(response));
  }
  if (contains(recorded.answer_kinds, "redirect")) {
    Json response = json_new_object();
    json_add_string(response.get(), "description", "A redirect of the browser");
    json_add(out.get(), "302", std::move(response));
  }
  if (contains(recorded.answer_kinds, "refused")) {
    Json response = json_new_object();
    json_add_string(response.get(), "description",
                    "The request was refused: missing data, bad JSON or a failed check");
    json_add(out.get(), "400", std::move(response));
  }
  return out;
}

std::string kinds_text(const std::vector<std::string>& kinds) {
  if (kinds.empty()) return "not recorded";
  std::string out;
  for (const auto& kind : kinds) out += (out.empty() ? "" : ", ") + kind;
  return out;
}

std::string ids_text(const std::vector<int>& ids) {
  if (ids.empty()) return "none";
  std::string out;
  for (int id : ids) out += (out.empty() ? "" : ", ") + std::to_string(id);
  return out;
}

}  // namespace

const char* module_name(std::size_t index) {
  return index < kModuleNames.size() ? kModuleNames[index] : "";
}

const char* upload_kind_name(UploadKind kind) {
  switch (kind) {
    case UploadKind::None:
      return "none";
    case UploadKind::File:
      return "file";
    case UploadKind::Raw:
      return "raw";
    case UploadKind::Temp:
      return "temp";
    case UploadKind::RawUnread:
      return "raw-unread";
  }
  return "none";
}

std::vector<RouteInfo> registered_routes() {
  std::vector<RouteInfo> routes;
  auto tables = module_route_tables();
  for (std::size_t m = 0; m < tables.size(); ++m) {
    for (const Route& row : tables[m]) {
      RouteInfo info;
      info.code = std::string(row.entry.code, strnlen(row.entry.code, sizeof row.entry.code));
      info.module = module_name(m);
      info.handler = row.handler_name ? row.handler_name : "";
      info.summary = row.summary ? row.summary : "";
      info.upload = row.upload;
      routes.push_back(std::move(info));
    }
  }
  return routes;
}

Recorded recorded_of(json_object* fixture, const std::string& code) {
  Recorded recorded;
  json_object* entry = member(member(fixture, "routes"), code.c_str());
  if (!json_object_is_type(entry, json_type_object)) return recorded;
  recorded.exercised = true;
  recorded.methods = texts_of(entry, "methods");
  recorded.body_kinds = texts_of(entry, "body_kinds");
  recorded.answer_kinds = texts_of(entry, "answer_kinds");
  recorded.daemon = ints_of(entry, "daemon");
  std::sort(recorded.daemon.begin(), recorded.daemon.end());
  recorded.example = member(entry, "example");
  if (!json_object_is_type(recorded.example, json_type_object)) recorded.example = nullptr;
  return recorded;
}

FixtureCheck check_fixture(const std::vector<RouteInfo>& routes, json_object* fixture) {
  FixtureCheck check;
  std::vector<std::string> codes;
  for (const auto& route : routes) codes.push_back(route.code);
  check.not_exercised = texts_of(fixture, "not_exercised");
  json_object* recorded = member(fixture, "routes");
  if (json_object_is_type(recorded, json_type_object)) {
    json_object_object_foreach(recorded, code, entry) {
      (void)entry;
      if (!contains(codes, code)) check.unknown.emplace_back(code);
    }
  }
  for (const auto& code : check.not_exercised)
    if (!contains(codes, code)) check.unknown.push_back(code);
  for (const auto& code : codes)
    if (!recorded_of(fixture, code).exercised && !contains(check.not_exercised, code))
      check.unaccounted.push_back(code);
  return check;
}

std::string operation_id(const RouteInfo& route, std::vector<std::string>* used) {
  std::string id = route.handler.empty() ? "route" : route.handler;
  if (contains(*used, id)) {
    std::string suffix;
    for (char c : route.code)
      if (std::isalnum(static_cast<unsigned char>(c))) suffix += c;
    id += "_" + suffix;
  }
  used->push_back(id);
  return id;
}

std::string example_command(json_object* example, const std::string& code) {
  if (example == nullptr) return "";
  std::string method = text_of(example, "method");
  std::string query = text_of(example, "query");
  std::string body = text_of(example, "body");
  std::string type = text_of(example, "content_type");
  std::string url = kBaseUrl + code + (query.empty() ? "" : "?" + query);
  std::string command = "curl -g";
  if (method == "POST") {
    if (type.rfind("multipart/", 0) == 0) {
      command += " -F " + shell_quote("file=@upload.bin");
    } else {
      if (!type.empty()) command += " -H " + shell_quote("Content-Type: " + type);
      command += " --data-binary " + shell_quote(body);
    }
  }
  return command + " " + shell_quote(url);
}

std::string openapi_document(const std::vector<RouteInfo>& routes, json_object* fixture) {
  Json doc = json_new_object();
  json_add_string(doc.get(), "openapi", "3.1.0");
  json_add(doc.get(), "info",
           json_parse(R"({"title":"Recorder web back end routes",)"
                      R"("version":"1.0.0","description":"Every route the )"
                      R"(program registers, from its route tables; request )"
                      R"(and answer kinds and examples as the end-to-end )"
                      R"(tests recorded them."})"));
  json_add(doc.get(), "servers",
           json_parse(R"([{"url":"/cgi-bin/nvr.cgi","description":"The CGI program"}])"));
  Json tags = json_new_array();
  for (const char* name : kModuleNames) {
    Json tag = json_new_object();
    json_add_string(tag.get(), "name", name);
    json_append(tags.get(), std::move(tag));
  }
  json_add(doc.get(), "tags", std::move(tags));

  Json paths = json_new_object();
  std::vector<std::string> used_ids;
  for (const auto& route : routes) {
    Recorded recorded = recorded_of(fixture, route.code);
    Json path = json_new_object();
    std::vector<std::string> methods = methods_of(recorded);
    std::string base_id = operation_id(route, &used_ids);
    for (const auto& method : methods) {
      Json op = json_new_object();
      std::string id = methods.size() > 1 ? base_id + "_" + lower(method) : base_id;
      json_add_string(op.get(), "operationId", id);
      json_add_string(op.get(), "summary", route.summary);
      json_add_string(
          op.get(), "description",
          "Handler " + route.handler + " of the " + route.module + " module. Request data: " +
              kinds_text(recorded.body_kinds) + ". Answers: " + kinds_text(recorded.answer_kinds) +
              ". Daemon requests sent: " + ids_text(recorded.daemon) + "." +
              (method == "GET" ? " With GET the whole query string is the request data." : "") +
              (recorded.exercised ? "" : " Not exercised by the end-to-end tests."));
      Json op_tags = json_new_array();
      json_append(op_tags.get(), json_new_string(route.module));
      json_add(op.get(), "tags", std::move(op_tags));
      if (method == "POST") json_add(op.get(), "requestBody", request_body(route, recorded));
      json_add(op.get(), "responses", responses(recorded));
      Json extra = json_new_object();
      json_add_string(extra.get(), "code", route.code);
      json_add_string(extra.get(), "module", route.module);
      json_add_string(extra.get(), "handler", route.handler);
      json_add_string(extra.get(), "upload", upload_kind_name(route.upload));
      json_add(extra.get(), "bodyKinds", string_array(recorded.body_kinds));
      json_add(extra.get(), "answerKinds", string_array(recorded.answer_kinds));
      json_add(extra.get(), "daemonRequests", int_array(recorded.daemon));
      json_add(extra.get(), "exercised", Json(json_object_new_boolean(recorded.exercised)));
      if (recorded.example != nullptr) {
        json_add(extra.get(), "example", copy_of(recorded.example));
        json_add_string(extra.get(), "exampleCommand",
                        example_command(recorded.example, route.code));
      }
      json_add(op.get(), "x-nvr-route", std::move(extra));
      json_add(path.get(), lower(method).c_str(), std::move(op));
    }
    json_add(paths.get(), route.code.c_str(), std::move(path));
  }
  json_add(doc.get(), "paths", std::move(paths));
  return json_object_to_json_string_ext(doc.get(),
                                        JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_NOSLASHESCAPE);
}

Json page_routes(const std::vector<RouteInfo>& routes, json_object* fixture) {
  Json list = json_new_array();
  for (const auto& route : routes) {
    Recorded recorded = recorded_of(fixture, route.code);
    Json item = json_new_object();
    json_add_string(item.get(), "code", route.code);
    json_add_string(item.get(), "module", route.module);
    json_add_string(item.get(), "handler", route.handler);
    json_add_string(item.get(), "summary", route.summary);
    json_add_string(item.get(), "upload", upload_kind_name(route.upload));
    json_add(item.get(), "methods", string_array(methods_of(recorded)));
    json_add(item.get(), "bodyKinds", string_array(recorded.body_kinds));
    json_add(item.get(), "answerKinds", string_array(recorded.answer_kinds));
    json_add(item.get(), "daemon", int_array(recorded.daemon));
    json_add(item.get(), "exercised", Json(json_object_new_boolean(recorded.exercised)));
    if (recorded.example != nullptr) {
      json_add_string(item.get(), "command", example_command(recorded.example, route.code));
      json_add_string(item.get(), "answer", text_of(recorded.example, "answer"));
      json_add_string(item.get(), "test", text_of(recorded.example, "test"));
    }
    json_append(list.get(), std::move(item));
  }
  return list;
}

std::string catalogue_page(const std::string& page_template, const std::vector<RouteInfo>& routes,
                           json_object* fixture) {
  Json list = page_routes(routes, fixture);
  std::string data = json_object_to_json_string_ext(list.get(), JSON_C_TO_STRING_PLAIN);
  // Inside a script element "</" would end it early; "\/" means the same in JSON.
  std::string safe;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '<' && i + 1 < data.size() && data[i + 1] == '/') {
      safe += "<\\/";
      ++i;
    } else {
      safe += data[i];
    }
  }
  const std::string mark = "/*ROUTES*/";
  std::string page = page_template;
  size_t at = page.find(mark);
  if (at == std::string::npos) return page;
  return page.replace(at, mark.size(), safe);
}

}  // namespace nvr::catalog
