// Every registered route once with a minimal request, against the simulated
// daemon on one device root: none crashes or hangs, each writes a well-formed
// CGI answer or none. Routes that take a file get a small upload; routes that
// read get a GET without data; the rest get an empty JSON object. With
// NVR_RECORD_EXAMPLES set, these runs are recorded like any other, so every
// route has at least one honest example in the catalogue.
#include <gtest/gtest.h>

#include <string>

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

CgiRequest minimal_request(const Route& row) {
  const std::string code = row.entry.code;
  const std::string handler = row.handler_name ? row.handler_name : "";
  CgiRequest request;
  if (row.upload != UploadKind::None) {
    request = file_post(code, "upload.bin", "sweep");
  } else if (reads_only(handler)) {
    request.path_info = code;
  } else {
    request.method = "POST";
    request.path_info = code;
    request.content_type = "application/json";
    request.body = "{}";
  }
  request.cookie = "userName=admin";
  request.env["NVR_TIME_SCALE"] = "0.001";
  request.timeout_seconds = 20;
  return request;
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
      CgiResult result = run_cgi(root, minimal_request(row));
      EXPECT_EQ(result.exit_status, 0) << code << " " << result.err;
      EXPECT_TRUE(well_formed(result.out)) << code << ": " << result.out.substr(0, 80);
      // The daemon stays up for the routes after this one.
      ASSERT_TRUE(sim.running()) << "the simulator died on " << code;
    }
  }
  EXPECT_GT(routes, 400);
}

}  // namespace
}  // namespace nvr::test
