// Every registered route with a minimal request, against the simulated daemon
// on one device root: none crashes or hangs, each writes a well-formed CGI
// answer or none (the requests are below, minimal_requests). With
// NVR_RECORD_EXAMPLES set, these runs are recorded like any other, so every
// route has at least one honest example in the catalogue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/dispatchreq.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

bool reads_only(const std::string& handler) {
  for (const char* prefix : {"on_get_", "OnGet", "on_cgi_get_", "on_web_get_", "on_check_"})
    if (handler.rfind(prefix, 0) == 0) return true;
  return false;
}

CgiRequest base_request(const std::string& code) {
  CgiRequest request;
  request.path_info = code;
  request.cookie = "userName=admin";
  request.env["NVR_TIME_SCALE"] = "0.001";
  request.timeout_seconds = 20;
  return request;
}

CgiRequest get_with(const std::string& code, const std::string& query) {
  CgiRequest request = base_request(code);
  request.query = query;
  return request;
}

CgiRequest post_with(const std::string& code, const std::string& body) {
  CgiRequest request = base_request(code);
  request.method = "POST";
  request.content_type = "application/json";
  request.body = body;
  return request;
}

// The minimal requests of a route, tried in order until one is not refused:
// a small upload for routes that take a file; for reads no data, then the
// channel number 0 (many reads take it as plain text), then an empty object;
// for changes an empty object, then the number 0.
std::vector<CgiRequest> minimal_requests(const Route& row) {
  const std::string code = row.entry.code;
  if (row.upload != UploadKind::None) {
    CgiRequest upload = file_post(code, "upload.bin", "sweep");
    CgiRequest base = base_request(code);
    upload.cookie = base.cookie;
    upload.env = base.env;
    upload.timeout_seconds = base.timeout_seconds;
    return {upload};
  }
  if (reads_only(row.handler_name ? row.handler_name : ""))
    return {get_with(code, ""), get_with(code, "0"), post_with(code, "{}")};
  return {post_with(code, "{}"), post_with(code, "0")};
}

// A CGI answer starts with a header line, or is empty.
bool well_formed(const std::string& out) {
  if (out.empty()) return true;
  for (const char* start : {"Content-type:", "Content-Type:", "Status:", "Location:", "Set-Cookie:",
                            "Content-Disposition:"})
    if (out.rfind(start, 0) == 0) return true;
  return false;
}

TEST(RouteSweep, EveryRegisteredRouteAnswersAMinimalRequest) {
  DeviceRoot root;
  CoreSim sim(root);
  int routes = 0;
  for (auto table : module_route_tables()) {
    for (const Route& row : table) {
      ++routes;
      const std::string code = row.entry.code;
      ASSERT_NE(row.summary, nullptr) << code << " has no summary";
      for (const CgiRequest& request : minimal_requests(row)) {
        CgiResult result = run_cgi(root, request);
        EXPECT_EQ(result.exit_status, 0) << code << " " << result.err;
        EXPECT_TRUE(well_formed(result.out)) << code << ": " << result.out.substr(0, 80);
        // The daemon stays up for the routes after this one.
        ASSERT_TRUE(sim.running()) << "the simulator died on " << code;
        if (result.out != kRefused) break;
      }
    }
  }
  EXPECT_GT(routes, 400);
}

}  // namespace
}  // namespace nvr::test
