// The route catalogue: what every route row carries, the fixture check, and
// the OpenAPI document and page built from rows and recordings.
#include "tools/nvr-routes/catalog.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace nvr::catalog {
namespace {

Json parse(const std::string& text) {
  Json value = json_parse(text);
  EXPECT_TRUE(value) << text;
  return value;
}

json_object* at(json_object* object, const char* key) {
  json_object* value = nullptr;
  return json_object_object_get_ex(object, key, &value) ? value : nullptr;
}

RouteInfo route(const std::string& code, const std::string& handler) {
  RouteInfo info;
  info.code = code;
  info.module = "storage";
  info.handler = handler;
  info.summary = "Does " + code;
  return info;
}

bool is_identifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

TEST(RouteRows, EveryRowNamesItsHandlerAndSaysWhatItDoesInOneLine) {
  std::set<std::string> codes;
  auto routes = registered_routes();
  size_t rows = 0;
  for (auto table : module_route_tables()) rows += table.size();
  ASSERT_EQ(routes.size(), rows);
  for (const auto& r : routes) {
    EXPECT_TRUE(codes.insert(r.code).second) << r.code << " is registered twice";
    EXPECT_TRUE(is_identifier(r.handler)) << r.code << " handler '" << r.handler << "'";
    ASSERT_FALSE(r.summary.empty()) << r.code;
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(r.summary[0]))) << r.code;
    EXPECT_LE(r.summary.size(), 90u) << r.code;
    EXPECT_EQ(r.summary.find('\n'), std::string::npos) << r.code;
    EXPECT_NE(r.summary.back(), '.') << r.code << ": one line, no full stop";
    EXPECT_FALSE(r.module.empty()) << r.code;
  }
}

TEST(FixtureCheck, FindsUnknownAndUnaccountedRoutes) {
  std::vector<RouteInfo> routes = {route("/1", "on_a"), route("/2", "on_b"), route("/3", "on_c")};
  Json fixture =
      parse(R"({"routes":{"/1":{"methods":["GET"]},"/9":{}},"not_exercised":["/2","/8"]})");
  FixtureCheck check = check_fixture(routes, fixture.get());
  EXPECT_EQ(check.unknown, (std::vector<std::string>{"/9", "/8"}));
  EXPECT_EQ(check.unaccounted, (std::vector<std::string>{"/3"}));
  EXPECT_EQ(check.not_exercised, (std::vector<std::string>{"/2", "/8"}));
  EXPECT_FALSE(check.ok());

  Json current = parse(R"({"routes":{"/1":{},"/3":{}},"not_exercised":["/2"]})");
  EXPECT_TRUE(check_fixture(routes, current.get()).ok());
  // A fixture of another shape accounts for nothing, and crashes nothing.
  Json odd = parse(R"({"routes":[1,2],"not_exercised":"all"})");
  EXPECT_EQ(check_fixture(routes, odd.get()).unaccounted.size(), 3u);
}

TEST(OperationId, SharedHandlersGetTheCodeAppended) {
  std::vector<std::string> used;
  EXPECT_EQ(operation_id(route("/1009", "on_get_system_info"), &used), "on_get_system_info");
  EXPECT_EQ(operation_id(route("/1020", "on_get_system_info"), &used), "on_get_system_info_1020");
  EXPECT_EQ(operation_id(route("/vb.htm", "on_get_system_info"), &used),
            "on_get_system_info_vbhtm");
}

TEST(ExampleCommand, QuotesEveryPartForTheShell) {
  Json post = parse(R"({"method":"POST","content_type":"application/json","query":"",)"
                    R"("body":"{\"name\":\"it's\"}"})");
  EXPECT_EQ(example_command(post.get(), "/6072"),
            "curl -g -H 'Content-Type: application/json' --data-binary '{\"name\":\"it'\\''s\"}' "
            "'http://127.0.0.1:8080/cgi-bin/nvr.cgi/6072'");
  Json get = parse(R"({"method":"GET","content_type":"","query":"{\"chnid\":0}","body":""})");
  EXPECT_EQ(example_command(get.get(), "/2009"),
            "curl -g 'http://127.0.0.1:8080/cgi-bin/nvr.cgi/2009?{\"chnid\":0}'");
  Json upload = parse(R"j({"method":"POST","content_type":"multipart/form-data; boundary=B",)j"
                      R"j("query":"","body":"(multipart upload)"})j");
  EXPECT_EQ(example_command(upload.get(), "/1008"),
            "curl -g -F 'file=@upload.bin' 'http://127.0.0.1:8080/cgi-bin/nvr.cgi/1008'");
  EXPECT_EQ(example_command(nullptr, "/1"), "");
}

const char* kFixture = R"j({"routes":{
  "/1":{"methods":["GET","POST"],"body_kinds":["json-object","none"],
        "answer_kinds":["json","refused"],"daemon":[3433,1200],
        "example":{"test":"T.a","method":"POST","content_type":"application/json","query":"",
                   "body":"{\"id\":1}","answer_head":"Content-type: application/json",
                   "answer":"{\"ok\":true}","answer_kind":"json","daemon":[3433]}},
  "/2":{"methods":["POST"],"body_kinds":["upload"],"answer_kinds":["text"],"daemon":[],
        "example":{"test":"T.b","method":"POST","content_type":"multipart/form-data; boundary=B",
                   "query":"","body":"(multipart upload)","answer_head":"Content-type: text/plain",
                   "answer":"</script><b>OK","answer_kind":"text","daemon":[]}}},
  "not_exercised":["/3"]})j";

TEST(OpenApiDocument, CarriesRowsAndRecordingsPerOperation) {
  std::vector<RouteInfo> routes = {route("/1", "on_get_x"), route("/2", "on_up"),
                                   route("/3", "on_get_x")};
  routes[1].upload = UploadKind::File;
  Json fixture = parse(kFixture);
  Json doc = parse(openapi_document(routes, fixture.get()));
  EXPECT_STREQ(json_object_get_string(at(doc.get(), "openapi")), "3.1.0");
  json_object* paths = at(doc.get(), "paths");
  ASSERT_EQ(json_object_object_length(paths), 3);

  // Both methods the recordings saw, each with its own operation id.
  json_object* one = at(paths, "/1");
  EXPECT_STREQ(json_object_get_string(at(at(one, "get"), "operationId")), "on_get_x_get");
  EXPECT_STREQ(json_object_get_string(at(at(one, "post"), "operationId")), "on_get_x_post");
  EXPECT_EQ(at(at(one, "get"), "requestBody"), nullptr);
  json_object* post = at(one, "post");
  json_object* json_body = at(at(at(post, "requestBody"), "content"), "application/json");
  EXPECT_STREQ(json_object_to_json_string(at(json_body, "example")), "{ \"id\": 1 }");
  json_object* responses = at(post, "responses");
  EXPECT_NE(at(at(at(responses, "200"), "content"), "application/json"), nullptr);
  EXPECT_NE(at(responses, "400"), nullptr);
  json_object* extra = at(post, "x-nvr-route");
  EXPECT_STREQ(json_object_to_json_string(at(extra, "daemonRequests")), "[ 1200, 3433 ]");
  EXPECT_STREQ(json_object_get_string(at(extra, "handler")), "on_get_x");

  // An upload route takes multipart form data.
  json_object* two = at(at(paths, "/2"), "post");
  EXPECT_NE(at(at(at(two, "requestBody"), "content"), "multipart/form-data"), nullptr);
  EXPECT_STREQ(json_object_get_string(at(at(two, "x-nvr-route"), "upload")), "file");

  // Not exercised: one POST operation that says so; the shared handler's id is unique.
  json_object* three = at(at(paths, "/3"), "post");
  ASSERT_NE(three, nullptr);
  EXPECT_STREQ(json_object_get_string(at(three, "operationId")), "on_get_x_3");
  EXPECT_NE(std::string(json_object_get_string(at(three, "description"))).find("Not exercised"),
            std::string::npos);
  EXPECT_FALSE(json_object_get_boolean(at(at(three, "x-nvr-route"), "exercised")));
}

TEST(CataloguePage, EmbedsTheRoutesSafelyInsideTheScript) {
  std::vector<RouteInfo> routes = {route("/1", "on_get_x"), route("/2", "on_up")};
  Json fixture = parse(kFixture);
  std::string page =
      catalogue_page("<script>const R = /*ROUTES*/;</script>", routes, fixture.get());
  EXPECT_EQ(page.find("/*ROUTES*/"), std::string::npos);
  // The recorded answer "</script>..." cannot close the element early.
  EXPECT_EQ(page.find("</script>"), page.rfind("</script>"));
  std::string data = page.substr(page.find("= ") + 2);
  data = data.substr(0, data.rfind(";</script>"));
  Json list = parse(data);
  ASSERT_EQ(json_object_array_length(list.get()), 2u);
  json_object* second = json_object_array_get_idx(list.get(), 1);
  EXPECT_STREQ(json_object_get_string(at(second, "answer")), "</script><b>OK");
  EXPECT_STREQ(json_object_get_string(at(second, "code")), "/2");
  // A template without the mark comes back unchanged.
  EXPECT_EQ(catalogue_page("<p>no mark</p>", routes, fixture.get()), "<p>no mark</p>");
}

}  // namespace
}  // namespace nvr::catalog
