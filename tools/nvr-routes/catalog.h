// The route catalogue: every registered route with what its row says (code,
// module, handler, summary, upload kind) merged with what the end-to-end
// recordings saw (methods, body and answer kinds, daemon requests, one
// example), written as an OpenAPI document and as a searchable page.
#pragma once

#include <string>
#include <vector>

#include "frame/dispatchreq.h"
#include "frame/json.h"

namespace nvr::catalog {

struct RouteInfo {
  std::string code;
  std::string module;
  std::string handler;
  std::string summary;
  UploadKind upload = UploadKind::None;
};

// The module names in registration order (index as in module_route_tables()).
const char* module_name(std::size_t index);
const char* upload_kind_name(UploadKind kind);

// Every row of every module table, in registration order.
std::vector<RouteInfo> registered_routes();

// The fixture's record of one route; absent routes read as not exercised.
struct Recorded {
  bool exercised = false;
  std::vector<std::string> methods;       // "GET", "POST"
  std::vector<std::string> body_kinds;    // "none", "json-object", "number", "upload", ...
  std::vector<std::string> answer_kinds;  // "json", "text", "download", "redirect", "refused", ...
  std::vector<int> daemon;                // request ids sent, sorted
  json_object* example = nullptr;         // borrowed from the fixture
};
Recorded recorded_of(json_object* fixture, const std::string& code);

// What a check of the fixture against the route tables finds.
struct FixtureCheck {
  std::vector<std::string> unknown;        // named by the fixture, registered by nobody
  std::vector<std::string> unaccounted;    // registered, neither exercised nor listed as not
  std::vector<std::string> not_exercised;  // listed as not exercised
  bool ok() const { return unknown.empty() && unaccounted.empty(); }
};
FixtureCheck check_fixture(const std::vector<RouteInfo>& routes, json_object* fixture);

// The OpenAPI 3.1 document (JSON text).
std::string openapi_document(const std::vector<RouteInfo>& routes, json_object* fixture);

// The catalogue as JSON for the page: one object per route.
Json page_routes(const std::vector<RouteInfo>& routes, json_object* fixture);
// The page: the template with its "/*ROUTES*/" mark replaced by the routes'
// JSON, made safe inside a script element.
std::string catalogue_page(const std::string& page_template, const std::vector<RouteInfo>& routes,
                           json_object* fixture);

// The operationId of a route: the handler's name, made unique with the code
// when another route already uses it (two codes may share one handler).
std::string operation_id(const RouteInfo& route, std::vector<std::string>* used);

// An example request as a command line against the demo's address.
std::string example_command(json_object* example, const std::string& code);

}  // namespace nvr::catalog
