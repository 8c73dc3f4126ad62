// Shared checks of end-to-end tests: the device root's settings file, JSON
// posts with a fast time scale, operation-log records and notices the
// program sent.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/harness.h"

namespace nvr::test {

inline std::string db_of(const DeviceRoot& root) { return root("/mnt/nand/app/qvdb.db"); }

// Waits of the program shrink by this factor in tests that expect silence.
inline const std::string kFastScale = "0.001";

// A request of `method` with JSON data (GET: in the query string).
inline CgiRequest json_request(const std::string& method, const std::string& route,
                               const std::string& json) {
  CgiRequest request;
  request.method = method;
  request.path_info = route;
  if (method == "GET") {
    request.query = json;
  } else {
    request.content_type = "application/json";
    request.body = json;
  }
  return request;
}

// json_request run at once, with NVR_TIME_SCALE set when `time_scale` is given.
inline CgiResult run_json(const DeviceRoot& root, const std::string& route, const std::string& json,
                          const char* time_scale = nullptr, const std::string& method = "POST") {
  CgiRequest request = json_request(method, route, json);
  if (time_scale) request.env["NVR_TIME_SCALE"] = time_scale;
  return run_cgi(root, request);
}

// A JSON POST of `body` to `route` (request fields may be changed before
// run_cgi); `fast` shrinks the program's waits for replies that never come.
inline CgiRequest json_post(const std::string& route, const std::string& body, bool fast = false,
                            const std::string& cookie = "") {
  CgiRequest request;
  request.method = "POST";
  request.path_info = route;
  request.content_type = "application/json";
  request.body = body;
  request.cookie = cookie;
  if (fast) request.env["NVR_TIME_SCALE"] = kFastScale;
  return request;
}

// A multipart POST with one file part named "file".
inline CgiRequest file_post(const std::string& route, const std::string& file_name,
                            const std::string& content, const std::string& query = "",
                            const std::string& media_type = "application/octet-stream") {
  CgiRequest request;
  request.method = "POST";
  request.path_info = route;
  request.query = query;
  request.content_type = "multipart/form-data; boundary=Bnd42";
  request.body = "--Bnd42\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" +
                 file_name + "\"\r\nContent-Type: " + media_type + "\r\n\r\n" + content +
                 "\r\n--Bnd42--\r\n";
  return request;
}

// The request ids of messages, in order.
inline std::vector<int32_t> ids_of(const std::vector<SimMessage>& messages) {
  std::vector<int32_t> ids;
  for (const auto& m : messages) ids.push_back(m.id);
  return ids;
}

// A payload as the record it is (the size is checked first).
template <class T>
T record_of(const SimMessage& message) {
  T record{};
  EXPECT_EQ(message.payload.size(), sizeof record) << "request " << message.id;
  std::memcpy(&record, message.payload.data(), std::min(message.payload.size(), sizeof record));
  return record;
}

// Exactly one operation-log record (request 3485, sent without waiting) with
// these types and channel; the record, for further checks.
inline QvLogInfo expect_one_log(CoreSim& sim, int64_t sub_type, int32_t param_type,
                                int32_t chan_no = 0) {
  const auto logs = sim.messages(kReqOperationLog);
  EXPECT_EQ(logs.size(), 1u);
  if (logs.empty()) return {};
  EXPECT_EQ(logs[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  const QvLogInfo record = record_of<QvLogInfo>(logs[0]);
  EXPECT_EQ(record.main_type, 4);
  EXPECT_EQ(record.sub_type, sub_type);
  EXPECT_EQ(record.param_type, param_type);
  EXPECT_EQ(record.chan_no, chan_no);
  EXPECT_EQ(record.remote, 1);
  return record;
}

// Exactly one notice of `request_id` (sent without waiting) with `payload`.
inline void expect_one_notice(CoreSim& sim, int32_t request_id, const std::string& payload) {
  const auto sent = sim.messages(request_id);
  ASSERT_EQ(sent.size(), 1u) << "request " << request_id;
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  EXPECT_EQ(sent[0].payload, payload);
}

}  // namespace nvr::test
