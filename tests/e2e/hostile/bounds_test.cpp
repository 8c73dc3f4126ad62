// Every bounded request field (channel ids, alarm ids, counts, indexes) tried
// at its bound, one past it, negative, at the ends of int32, past them, and
// as things that are not numbers: no run crashes or hangs, and no value
// outside the bound is taken as a change ("OK").
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

struct BoundRow {
  const char* route;
  const char* text;  // JSON body; "@" is the bounded field's value
  int64_t low;       // the smallest value taken
  int64_t high;      // the largest value taken
};

// Channels count 0..63 unless the route says otherwise. Routes that hand
// their numbers to the daemon unchecked (the fisheye mode, a camera's alarm
// output state) and lists whose entries past the bound are passed over (the
// copy lists) are not rows here.
const BoundRow kRows[] = {
    {"/3000", R"({"chnid":@})", 0, 63},
    {"/3001", R"({"id":@,"brightness":1,"contrast":1,"saturation":1})", 0, 63},
    {"/4010", R"({"id":@,"streamType":1,"streamFrom":1})", 0, 63},
    {"/5000", R"({"channelId":@,"action":1})", 0, 63},
    {"/5001", R"({"channelId":1,"presetId":@,"action":22})", 1, 255},
    {"/5002", R"({"chn":@,"tourid":1})", 0, 63},
    {"/5004", R"({"chn":1,"tourid":@,"action":2})", 1, 8},
    {"/5009", R"({"chnid":@,"ptzCmd":17})", 0, 63},
    {"/6016", R"({"camId":@,"enable":0,"triAlarms":5,"interval":2})", 0, 63},
    {"/6021", R"({"alarmId":@})", 0, 15},
    {"/6023", R"({"id":@,"enable":1})", 0, 15},
    {"/6024", R"({"chnid":@})", 0, 63},
    {"/6050", R"({"chnid":@})", 0, 63},
    {"/6052", R"({"camId":@})", 0, 63},
    {"/6094", R"({"chnid":@})", 0, 63},
    {"/6098", R"({"id":@})", 0, 63},
    {"/6115", R"({"id":@})", 0, 63},
    {"/6117", R"({"chnid":@,"email_interval":9,"audioId":3})", 0, 63},
    {"/6130", R"({"id":@})", 0, 63},
    {"/6134", R"({"channel":@})", 0, 63},
    {"/6145", R"({"chnid":@,"lineEnable":[0,0]})", 0, 63},
};

struct Probe {
  std::string text;
  bool in_bound;
};

std::vector<Probe> probes(const BoundRow& row) {
  std::vector<Probe> out = {
      {std::to_string(row.low), true},
      {std::to_string(row.high), true},
      {std::to_string(row.high + 1), false},
      {std::to_string(row.low - 1), false},
      {"-1", row.low <= -1},
      {"2147483647", row.high >= 2147483647},
      {"-2147483648", false},
      {"2147483648", false},
      {"-2147483649", false},
      {"4294967296", false},
      {"9223372036854775807", false},
      {"1e30", false},
      {"-1e30", false},
  };
  // Not numbers: a field that is not an integer is not a change either.
  for (const char* other : {"\"x\"", "\"1x\"", "[]", "{}", "true", "1.5"})
    out.push_back({other, false});
  out.push_back({"null", true});  // as if absent: 0 where absent reads as 0
  return out;
}

std::string with_value(std::string text, const std::string& value) {
  text.replace(text.find('@'), 1, value);
  return text;
}

TEST(HostileBounds, EveryBoundedFieldRefusesWhatIsPastItsBound) {
  DeviceRoot root;
  CoreSim sim(root);
  size_t runs = 0;
  for (const BoundRow& row : kRows) {
    for (const Probe& probe : probes(row)) {
      const std::string body = with_value(row.text, probe.text);
      SCOPED_TRACE(std::string(row.route) + " " + body);
      CgiRequest request = json_post(row.route, body, true, "userName=admin");
      request.timeout_seconds = 10;
      const CgiResult result = run_cgi(root, request);
      ++runs;
      EXPECT_EQ(result.exit_status, 0) << result.err.substr(0, 2000);
      if (!probe.in_bound) {
        EXPECT_NE(result.out, kTextHeader + "OK");
      }
    }
  }
  printf("bounded fields: %zu rows, %zu runs\n", std::size(kRows), runs);
}

}  // namespace
}  // namespace nvr::test

namespace nvr::test {
namespace {

// Counts that claim more entries than the list beside them holds (or fewer
// than none): the run reads only what is there. Under the sanitizer a read
// past a list ends the run with an error status.
struct CountRow {
  const char* route;
  const char* text;  // "@" is the count
};

const CountRow kCountRows[] = {
    {"/4003", R"({"close":0,"num":@,"sid":[4]})"},
    {"/4007", R"({"chind":-1,"num":@,"sessionId":[1],"speed":[2]})"},
    {"/4008", R"({"chind":-1,"num":@,"speed":2})"},
    {"/4009", R"({"jumpTime":"2024-01-02T03:04:05","sid":[1],"chnid":[1],"num":@})"},
    {"/6122", R"({"cnt":@,"chnid":[4],"enable":2,"interval":8})"},
    {"/6123", R"({"cnt":@,"chnid":[2,6],"triAlarms":5})"},
};

TEST(HostileBounds, CountsNeverReachPastTheirList) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const CountRow& row : kCountRows) {
    for (const char* count :
         {"0", "1", "2", "64", "65", "1000", "-1", "2147483647", "-2147483648", "4294967297"}) {
      std::string body = row.text;
      body.replace(body.find('@'), 1, count);
      SCOPED_TRACE(std::string(row.route) + " " + body);
      CgiRequest request = json_post(row.route, body, true, "userName=admin");
      request.timeout_seconds = 10;
      const CgiResult result = run_cgi(root, request);
      EXPECT_EQ(result.exit_status, 0) << result.err.substr(0, 2000);
    }
  }
}

}  // namespace
}  // namespace nvr::test
