// The recording of example requests for the route catalogue: one JSON line a
// run with the request, the answer and the daemon requests of that run only.
#include "tests/e2e/example_recorder.h"

#include <gtest/gtest.h>
#include <json-c/json.h>
#include <stdlib.h>

#include <sstream>

#include "tests/e2e/core_sim.h"

namespace nvr::test {
namespace {

TEST(ExampleRecorder, SplitsAnswersAndKeepsBodiesPrintable) {
  std::string head, body;
  split_cgi_answer("Content-type: text/plain\r\n\r\nOK", &head, &body);
  EXPECT_EQ(head, "Content-type: text/plain");
  EXPECT_EQ(body, "OK");
  split_cgi_answer("Status: 400 Bad Request\r\n\r\n", &head, &body);
  EXPECT_EQ(head, "Status: 400 Bad Request");
  EXPECT_EQ(body, "");
  split_cgi_answer("", &head, &body);
  EXPECT_EQ(head, "");
  EXPECT_EQ(body, "");

  EXPECT_EQ(printable_body("{\"a\":1}", 400), "{\"a\":1}");
  EXPECT_EQ(printable_body(std::string("ab\0cd", 5), 400), "(5 bytes of binary data)");
  EXPECT_EQ(printable_body("\xff\xfe", 400), "(2 bytes of binary data)");
  EXPECT_EQ(printable_body("abcdef", 3), "abc...");
  // Cut at a character boundary: "é" is two bytes.
  EXPECT_EQ(printable_body("a\xc3\xa9z", 2), "a...");
  EXPECT_EQ(printable_body("a\xc3\xa9z", 400), "a\xc3\xa9z");
  EXPECT_EQ(printable_body("tab\tand\r\nlines", 400), "tab\tand\r\nlines");
}

// Records into `file` while it lives; a recording of the whole suite
// (tools/record-examples.sh) goes on afterwards.
class ScopedRecording {
 public:
  explicit ScopedRecording(const std::string& file) {
    if (const char* outer = getenv("NVR_RECORD_EXAMPLES")) outer_ = outer;
    setenv("NVR_RECORD_EXAMPLES", file.c_str(), 1);
  }
  ~ScopedRecording() {
    if (outer_.empty())
      unsetenv("NVR_RECORD_EXAMPLES");
    else
      setenv("NVR_RECORD_EXAMPLES", outer_.c_str(), 1);
  }

 private:
  std::string outer_;
};

json_object* member(json_object* object, const char* key) {
  json_object* value = nullptr;
  json_object_object_get_ex(object, key, &value);
  return value;
}

TEST(ExampleRecorder, AppendsOneLinePerRunWithTheDaemonRequestsOfThatRun) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string file = root("/recorded.jsonl");
  {
    ScopedRecording recording(file);
    get(root, "/6100");
    post_json(root, "/6101", "not json");
  }
  get(root, "/6100");  // after the scope: not into this file

  std::istringstream lines(root.read_file("/recorded.jsonl"));
  std::string first, second, third;
  ASSERT_TRUE(std::getline(lines, first));
  ASSERT_TRUE(std::getline(lines, second));
  EXPECT_FALSE(std::getline(lines, third));

  json_object* one = json_tokener_parse(first.c_str());
  ASSERT_NE(one, nullptr);
  EXPECT_STREQ(json_object_get_string(member(one, "route")), "/6100");
  EXPECT_STREQ(json_object_get_string(member(one, "method")), "GET");
  EXPECT_STREQ(json_object_get_string(member(one, "test")),
               "ExampleRecorder.AppendsOneLinePerRunWithTheDaemonRequestsOfThatRun");
  EXPECT_STREQ(json_object_get_string(member(one, "answer_head")),
               "Content-type: application/json");
  json_object* ids = member(one, "daemon");
  ASSERT_TRUE(json_object_is_type(ids, json_type_array));
  ASSERT_GE(json_object_array_length(ids), 1u);
  EXPECT_EQ(json_object_get_int(json_object_array_get_idx(ids, 0)), 3433);
  json_object_put(one);

  json_object* two = json_tokener_parse(second.c_str());
  ASSERT_NE(two, nullptr);
  EXPECT_STREQ(json_object_get_string(member(two, "body")), "not json");
  EXPECT_STREQ(json_object_get_string(member(two, "content_type")), "application/json");
  // The second run sent nothing: the first run's requests are not counted again.
  EXPECT_EQ(json_object_array_length(member(two, "daemon")), 0u);
  json_object_put(two);
}

}  // namespace
}  // namespace nvr::test
