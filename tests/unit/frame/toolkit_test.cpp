// Reply tables and request policies.
#include "frame/toolkit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- reply tables ------------------------------------------------------------------

std::vector<std::pair<int, uint32_t>> g_calls;  // (which callback, count)

void on_a(uint32_t count, const void*) { g_calls.push_back({1, count}); }
void on_b(uint32_t count, const void*) { g_calls.push_back({2, count}); }

constexpr nvr::ReplyRow kReplies[] = {
    {8433, 464, on_a},
    {8500, 1, on_b},
};

std::string header(int32_t id, uint32_t size) {
  std::string h(24, '\0');
  std::memcpy(h.data() + 12, &id, 4);
  std::memcpy(h.data() + 20, &size, 4);
  return h;
}

TEST(ReplyTable, CountsWholeRecordsAndIgnoresUnknownIdsAndNullPayloads) {
  const char payload[1] = {0};
  struct Case {
    int32_t id;
    uint32_t size;
    const void* payload;
    std::vector<std::pair<int, uint32_t>> expected;
  } cases[] = {
      {8433, 464 * 2, payload, {{1, 2}}},
      {8433, 464 * 2 + 463, payload, {{1, 2}}},  // a partial record is not counted
      {8433, 463, payload, {{1, 0}}},            // shorter than one record: empty list
      {8433, 0, payload, {{1, 0}}},
      {8500, 17, payload, {{2, 17}}},  // byte payloads: the count is the size
      {9999, 464, payload, {}},        // unknown id
      {8433, 464, nullptr, {}},        // null payload
  };
  for (const Case& c : cases) {
    g_calls.clear();
    g_callback_done.store(0);
    nvr::dispatch_reply(kReplies, header(c.id, c.size).data(), c.payload);
    EXPECT_EQ(g_calls, c.expected) << c.id << " size " << c.size;
  }
  // Once the run was answered, later replies are not handed on.
  g_calls.clear();
  g_callback_done.store(1);
  nvr::dispatch_reply(kReplies, header(8433, 464).data(), payload);
  EXPECT_TRUE(g_calls.empty());
  g_callback_done.store(0);
}

// ---- request policies -------------------------------------------------------------------

struct Request {
  int32_t port;
  uint8_t group;
  int64_t size;
  uint16_t mode;
  char name[8];
  char label[8];
};

constexpr nvr::PolicyRow kPolicy[] = {
    NVR_POLICY_INT(Request, port, "port", 1, 36, nvr::Presence::kRequired),
    NVR_POLICY_INT(Request, group, "group", 0, 1000, nvr::Presence::kAbsentIsZero),
    NVR_POLICY_INT(Request, size, "size", INT64_MIN, INT64_MAX, nvr::Presence::kOptional),
    NVR_POLICY_INT(Request, mode, "mode", -5, 70000, nvr::Presence::kOptional),
    NVR_POLICY_NONEMPTY(Request, name, "name", nvr::Presence::kRequired),
    NVR_POLICY_TEXT(Request, label, "label", nvr::Presence::kAbsentIsZero),
};

TEST(RequestPolicy, BoundsTypesAndPresence) {
  struct Case {
    const char* data;
    int32_t result;
  } cases[] = {
      {R"({"port":1,"name":"a"})", 0},
      {R"({"port":36,"name":"a"})", 0},
      {R"({"port":37,"name":"a"})", -1},
      {R"({"port":0,"name":"a"})", -1},
      {R"({"port":"1","name":"a"})", -1},  // a string is not an integer
      {R"({"port":1.5,"name":"a"})", -1},
      {R"({"name":"a"})", -1},  // required
      {R"({"port":1})", -1},
      {R"({"port":1,"name":""})", -1},  // must not be empty
      {R"({"port":1,"name":5})", -1},
      {R"({"port":1,"name":"a","group":255})", 0},
      {R"({"port":1,"name":"a","group":256})", -1},  // past the field's width
      {R"({"port":1,"name":"a","group":-1})", -1},
      {R"({"port":1,"name":"a","mode":65535})", 0},
      {R"({"port":1,"name":"a","mode":65536})", -1},
      {R"({"port":1,"name":"a","mode":-1})", -1},  // unsigned field
      {R"({"port":1,"name":"a","size":9223372036854775807})", 0},
      {R"({"port":1,"name":"a","size":9223372036854775808})", -1},
      {R"({"port":1,"name":"a","label":null})", 0},  // null reads as absent
      {"[1]", -1},
      {"40", -1},
      {"", -1},
      {nullptr, -1},
      {"{", -1},
  };
  for (const Case& c : cases) {
    Request r{};
    EXPECT_EQ(nvr::read_request(c.data, kPolicy, &r), c.result) << (c.data ? c.data : "null");
  }
}

TEST(RequestPolicy, FillsTheRecordCutsTextsAndKeepsOptionalFields) {
  Request r{};
  r.size = 77;
  std::memcpy(r.label, "old", 4);
  ASSERT_EQ(nvr::read_request(R"({"port":5,"group":7,"name":"a long name"})", kPolicy, &r), 0);
  EXPECT_EQ(r.port, 5);
  EXPECT_EQ(r.group, 7);
  EXPECT_EQ(r.size, 77);  // optional and absent: kept
  EXPECT_STREQ(r.name, "a long ");
  EXPECT_STREQ(r.label, "");  // absent reads as the empty text
}

struct Stored {
  int32_t chnid;
  int32_t enable;
  char name[16];
};
constexpr DbField kStoredFields[] = {
    DB_FIELD(Stored, chnid, "chnid", DbType::I32),
    DB_FIELD(Stored, enable, "enable", DbType::I32),
    DB_FIELD(Stored, name, "name", DbType::Text),
};
constexpr DbRecord kStored{"stored", "chnid", sizeof(Stored), kStoredFields};
constexpr nvr::PolicyRow kStoredPolicy[] = {
    nvr::policy_from(kStored, "chnid", 0, 63, nvr::Presence::kRequired),
    nvr::policy_from(kStored, "enable", 0, 1, nvr::Presence::kAbsentIsZero),
    nvr::policy_text_from(kStored, "name", nvr::Presence::kOptional, true),
};

TEST(RequestPolicy, RowsTakenFromASettingsDescriptor) {
  Stored s{};
  s.enable = 1;
  ASSERT_EQ(nvr::read_request(R"({"chnid":63,"name":"lobby"})", kStoredPolicy, &s), 0);
  EXPECT_EQ(s.chnid, 63);
  EXPECT_EQ(s.enable, 0);
  EXPECT_STREQ(s.name, "lobby");
  EXPECT_EQ(nvr::read_request(R"({"chnid":64})", kStoredPolicy, &s), -1);
  EXPECT_EQ(nvr::read_request(R"({"chnid":1,"name":""})", kStoredPolicy, &s), -1);
}

TEST(LogChannel, CountsFromOneAndNeverOverflows) {
  EXPECT_EQ(nvr::log_channel(0), 1);
  EXPECT_EQ(nvr::log_channel(63), 64);
  EXPECT_EQ(nvr::log_channel(64), 0);
  EXPECT_EQ(nvr::log_channel(-1), 0);
  EXPECT_EQ(nvr::log_channel(2147483647), 0);
}

}  // namespace
