// Access filter ("/6300", "/6301"), UPnP ("/1030", "/1031") and camera
// address assignment ("/ipc") end to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "frame/json.h"
#include "modules/system/access_records.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

CgiResult post(const DeviceRoot& root, const std::string& route, const std::string& body) {
  return run_cgi(root, json_post(route, body, true));
}

// The JSON body of an answer, re-serialised by json-c for comparison by meaning
// and key order.
std::string json_body(const CgiResult& result) {
  EXPECT_EQ(result.out.rfind(kJsonHeader, 0), 0u) << result.out;
  Json parsed = json_parse(result.out.substr(std::min(result.out.size(), kJsonHeader.size())));
  return parsed ? json_object_to_json_string_ext(
                      parsed.get(), JSON_C_TO_STRING_PLAIN | JSON_C_TO_STRING_NOSLASHESCAPE)
                : "";
}

// ---- access filter -----------------------------------------------------------------

TEST(AccessFilter, FreshDeviceHasDefaultsAndAnEmptyList) {
  DeviceRoot root;
  CgiResult result = get(root, "/6300");
  EXPECT_EQ(result.out,
            kJsonHeader + R"({ "filterEnable": 0, "filterType": 1, "filterList": [ ] })");
}

TEST(AccessFilter, ReplacingTheListStoresItInOrderAndTellsTheDaemon) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string long_address(40, 'a');
  CgiResult result = post(root, "/6301",
                          R"({"filterEnable":1,"filterType":0,"filterList":[)"
                          R"({"address_type":1,"address":"192.168.1.0/24"},)"
                          R"({"address_type":2,"address":")" +
                              long_address + R"("},{"address":"10.0.0.1"}]})");
  EXPECT_EQ(result.out, kTextHeader + "OK");
  auto sent = sim.messages(kReqAccessFilterChanged);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].payload, "");
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);

  EXPECT_EQ(json_body(get(root, "/6300")), R"({"filterEnable":1,"filterType":0,"filterList":[)"
                                           R"({"address_type":1,"address":"192.168.1.0/24"},)"
                                           R"({"address_type":2,"address":")" +
                                               std::string(31, 'a') +
                                               R"("},{"address_type":0,"address":"10.0.0.1"}]})");

  // A shorter list replaces the whole list; absent keys read as 0.
  EXPECT_EQ(post(root, "/6301", R"({"filterList":[]})").out, kTextHeader + "OK");
  EXPECT_EQ(json_body(get(root, "/6300")), R"({"filterEnable":0,"filterType":0,"filterList":[]})");
  EXPECT_EQ(sim.messages(kReqAccessFilterChanged).size(), 2u);
}

TEST(AccessFilter, KeepsAtMostAHundredEntriesAndIgnoresBadRequests) {
  DeviceRoot root;
  CoreSim sim(root);
  std::string list;
  for (int i = 0; i < 105; ++i)
    list += (i ? "," : "") + std::string(R"({"address_type":1,"address":"10.0.0.)") +
            std::to_string(i) + "\"}";
  EXPECT_EQ(post(root, "/6301", R"({"filterEnable":1,"filterList":[)" + list + "]}").out,
            kTextHeader + "OK");
  AccessFilterEntry entries[kMaxAccessFilters] = {};
  int count = 0;
  read_access_filter(db_of(root).c_str(), entries, &count);
  ASSERT_EQ(count, 100);
  EXPECT_STREQ(entries[99].address, "10.0.0.99");

  // Not a JSON object: no answer, nothing changed, nothing sent.
  EXPECT_EQ(post(root, "/6301", "filterEnable=0").out, "");
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "access_filter_enable", -1), 1);
  EXPECT_EQ(sim.messages(kReqAccessFilterChanged).size(), 1u);
}

// ---- UPnP --------------------------------------------------------------------------

#pragma pack(push, 1)
struct Ports {
  int32_t http_port;
  int32_t rtsp_port;
};
#pragma pack(pop)
constexpr DbField kPortFields[] = {
    DB_FIELD(Ports, http_port, "httpPort", DbType::I32),
    DB_FIELD(Ports, rtsp_port, "rtspPort", DbType::I32),
};
constexpr DbRecord kPorts{"port", nullptr, sizeof(Ports), kPortFields};

TEST(Upnp, ChangeIsSentWholeAndStoredByTheDaemonOnly) {
  DeviceRoot root;
  Ports ports{8080, 554};
  EXPECT_EQ(db_write(db_of(root).c_str(), kPorts, &ports), 0);
  UpnpInfo stored{};
  stored.enable = 0;
  stored.type = 1;
  stored.external_http_port = 80;
  stored.http_status = 3;
  stored.external_rtsp_port = 10554;
  stored.rtsp_status = 4;
  EXPECT_EQ(write_upnp(db_of(root).c_str(), &stored), 0);

  EXPECT_EQ(json_body(get(root, "/1030")),
            R"({"enable":0,"type":1,"external_http_port":80,"http_status":3,)"
            R"("external_rtsp_port":10554,"rtsp_status":4,"http_port":8080,"rtsp_port":554})");

  CoreSim sim(root);
  sim.never(kReqSetUpnp);  // the daemon takes the record but does not store it
  EXPECT_EQ(post(root, "/1031", R"({"enable":1,"external_http_port":8081})").out,
            kTextHeader + "OK");
  auto sent = sim.messages(kReqSetUpnp);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  UpnpInfo expected = stored;
  expected.enable = 1;
  expected.type = 0;  // absent: 0
  expected.external_http_port = 8081;
  expected.external_rtsp_port = 0;
  EXPECT_EQ(sent[0].payload, CoreSim::bytes(expected));
  UpnpInfo after{};
  read_upnp(db_of(root).c_str(), &after);
  EXPECT_EQ(memcmp(&after, &stored, sizeof after), 0);

  // The simulated recorder keeps it and reports the mappings it made.
  sim.clear(kReqSetUpnp);
  post(root, "/1031", R"({"enable":1,"type":2,"external_http_port":8081,"external_rtsp_port":0})");
  // The simulator stores it after recording the message.
  for (int i = 0; i < 200 && after.enable == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    read_upnp(db_of(root).c_str(), &after);
  }
  EXPECT_EQ(json_body(get(root, "/1030")),
            R"({"enable":1,"type":2,"external_http_port":8081,"http_status":1,)"
            R"("external_rtsp_port":0,"rtsp_status":0,"http_port":8080,"rtsp_port":554})");
}

// ---- camera addresses ----------------------------------------------------------------

#pragma pack(push, 1)
struct CameraRow {
  int32_t id;
  int32_t enable;
  char ip[64];
};
#pragma pack(pop)
constexpr DbField kCameraFields[] = {
    DB_FIELD(CameraRow, id, "id", DbType::I32),
    DB_FIELD(CameraRow, enable, "enable", DbType::I32),
    DB_FIELD(CameraRow, ip, "ipAddr", DbType::Text),
};
constexpr DbRecord kCamera{"camera", "id", sizeof(CameraRow), kCameraFields};

std::string camera_ip(const DeviceRoot& root, int channel) {
  CameraRow row{};
  db_read(db_of(root).c_str(), kCamera, &row, channel);
  return row.ip;
}

TEST(CameraIps, ConsecutiveAddressesForGroupsOfChannels) {
  DeviceRoot root;
  CameraRow kept{1, 1, "10.1.1.1"};
  EXPECT_EQ(db_write(db_of(root).c_str(), kCamera, &kept), 0);
  EXPECT_EQ(post(root, "/ipc", R"({"startip":"192.168.1.10","chnNum":2,"chnFre":2})").out,
            kTextHeader + "OK");
  EXPECT_EQ(camera_ip(root, 0), "192.168.1.10");
  EXPECT_EQ(camera_ip(root, 1), "192.168.1.10");
  EXPECT_EQ(camera_ip(root, 2), "192.168.1.11");
  EXPECT_EQ(camera_ip(root, 3), "192.168.1.11");
  EXPECT_EQ(camera_ip(root, 4), "");
  // Only the address changes.
  CameraRow row{};
  db_read(db_of(root).c_str(), kCamera, &row, 1);
  EXPECT_EQ(row.enable, 1);
}

TEST(CameraIps, LastByteWrapsAndTheOtherBytesStay) {
  DeviceRoot root;
  EXPECT_EQ(post(root, "/ipc", R"({"startip":"10.20.30.254","chnNum":3,"chnFre":1})").out,
            kTextHeader + "OK");
  EXPECT_EQ(camera_ip(root, 0), "10.20.30.254");
  EXPECT_EQ(camera_ip(root, 1), "10.20.30.255");
  EXPECT_EQ(camera_ip(root, 2), "10.20.30.0");
}

TEST(CameraIps, StopsAtMaxCameras) {
  DeviceRoot root;
  EXPECT_EQ(add_param_value(db_of(root).c_str(), "max_cameras", "4"), 0);
  EXPECT_EQ(post(root, "/ipc", R"({"startip":"192.168.0.100","chnNum":3,"chnFre":2})").out,
            kTextHeader + "OK");
  EXPECT_EQ(camera_ip(root, 3), "192.168.0.101");
  EXPECT_EQ(camera_ip(root, 4), "");

  // Default 32 channels, even for a count that would run far past them.
  DeviceRoot other;
  EXPECT_EQ(post(other, "/ipc", R"({"startip":"192.168.0.1","chnNum":2147483647,"chnFre":1})").out,
            kTextHeader + "OK");
  EXPECT_EQ(camera_ip(other, 31), "192.168.0.32");
  EXPECT_EQ(camera_ip(other, 32), "");
}

TEST(CameraIps, StartThatIsNotADottedAddressWritesNothingAndGetsNoAnswer) {
  DeviceRoot root;
  for (const char* start : {"192.168.1", "192.168.1.256", "abc", "", "192.168.1.1 ", "::1"}) {
    SCOPED_TRACE(start);
    std::string body = std::string(R"({"startip":")") + start + R"(","chnNum":2,"chnFre":1})";
    EXPECT_EQ(post(root, "/ipc", body).out, "");
  }
  EXPECT_EQ(post(root, "/ipc", R"({"chnNum":2,"chnFre":1})").out, "");
  EXPECT_EQ(camera_ip(root, 0), "");
  EXPECT_EQ(camera_ip(root, 1), "");
}

}  // namespace
}  // namespace nvr::test
