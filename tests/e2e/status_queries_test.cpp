// Device status queries ("/8000" to "/8011") and the general settings
// ("/3300" to "/3304") end to end.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "frame/json.h"
#include "modules/cameras/cameras_records.h"
#include "modules/general/general_wire.h"
#include "modules/network/network_records.h"
#include "modules/status/status_wire.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + R"({status:"CGI ERROR"})";

Json body_json(const CgiResult& result) {
  EXPECT_EQ(result.out.rfind(kJsonHeader, 0), 0u) << result.out;
  return json_parse(result.out.substr(std::min(result.out.size(), kJsonHeader.size())));
}

std::string plain(json_object* value) {
  return json_object_to_json_string_ext(value,
                                        JSON_C_TO_STRING_PLAIN | JSON_C_TO_STRING_NOSLASHESCAPE);
}

ChannelStreamStatus stream(int32_t channel) {
  ChannelStreamStatus s{};
  s.main = {1920, 1080, 25, 4096, 1, 0, 2};
  s.sub = {640, 480, 10, 256, 1, 0, 3};
  s.record_on = 1;
  s.alarm_on = 0;
  s.channel = channel;
  return s;
}

TEST(StatusCameras, ListsEveryChannelWithStreamDataWhereTheDaemonHasState) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "max_cameras", 16), 0);
  // The address "/ipc" assigns is the one this page reads back.
  EXPECT_EQ(run_json(root, "/ipc", R"({"startip":"192.168.7.10","chnNum":1,"chnFre":3})").out,
            kTextHeader + "OK");
  sim.reply(kReqCameraStatus, kReplyCameraStatus,
            CoreSim::bytes(stream(2)) + CoreSim::bytes(stream(5)) + "short");
  Json answer = body_json(get(root, "/8002"));
  json_object* list = json_get(answer.get(), "IPC");
  ASSERT_EQ(json_array_size(list), 16u);
  EXPECT_EQ(plain(json_at(list, 2)),
            R"({"id":2,"name":"CAM3","enable":0,"ipAddr":"192.168.7.10","recordOn":1,"alarmOn":0,)"
            R"("main":{"res":{"width":1920,"height":1080},"framerate":25,"bitrate":4096,)"
            R"("connection":1,"connectStatus":2},"sub":{"res":{"width":640,"height":480},)"
            R"("framerate":10,"bitrate":256,"connection":1,"connectStatus":3}})");
  EXPECT_EQ(plain(json_at(list, 3)),
            R"({"id":3,"name":"CAM4","enable":0,"ipAddr":"--","recordOn":"--","alarmOn":"--",)"
            R"("main":{"res":"--","framerate":"--","bitrate":"--","connection":"--"},)"
            R"("sub":{"res":"--","framerate":"--","bitrate":"--","connection":"--"}})");
  EXPECT_EQ(json_int_or(json_get(json_at(list, 5), "main"), "bitrate"), 4096);
  EXPECT_TRUE(json_is(json_get(json_get(json_at(list, 5), "main"), "res"), json_type_object));

  // No records: every channel with "--"; no reply: the JSON error.
  sim.clear(kReqCameraStatus).reply(kReqCameraStatus, kReplyCameraStatus, "");
  answer = body_json(get(root, "/8002"));
  EXPECT_EQ(json_string(json_at(json_get(answer.get(), "IPC"), 2), "recordOn"), std::string("--"));
  sim.clear(kReqCameraStatus).never(kReqCameraStatus);
  EXPECT_EQ(run_json(root, "/8002", "", kFastScale.c_str(), "GET").out, kJsonError);
}

TEST(StatusEvents, ChannelBitsAlarmInputsAndOutputsWithinTheirLimits) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string db = db_of(root);
  ASSERT_EQ(set_param_int(db.c_str(), "max_cameras", 4), 0);
  ASSERT_EQ(set_param_int(db.c_str(), "alarm_in", 20), 0);
  ASSERT_EQ(set_param_int(db.c_str(), "alarm_out", 2), 0);
  EventStatus events{};
  events.motion = 1u << 3;
  events.smart[5] = 1u << 3;
  events.alarm_in_state = 1 << 15;
  events.alarm_out_state = 2;
  events.counts[3][0] = 7;
  events.counts[3][1] = 4;
  events.cam_alarm_in_state[3] = 1u << 3;
  events.cam_alarm_out_type[1] = 1u << 3;
  std::string block(kEventStatusSize, '\0');
  memcpy(block.data(), &events, sizeof events);
  sim.reply(kReqEventStatus, kReplyEventStatus, block);

  Json answer = body_json(get(root, "/8003"));
  json_object* cameras = json_get(answer.get(), "cameras");
  ASSERT_EQ(json_array_size(cameras), 4u);
  json_object* third = json_at(cameras, 3);
  EXPECT_EQ(json_int_or(third, "motionOn"), 1);
  EXPECT_EQ(json_int_or(third, "objectleftremove"), 1);
  EXPECT_EQ(json_int_or(third, "ioOn"), 1);
  EXPECT_EQ(json_int_or(third, "in"), 7);
  EXPECT_EQ(json_int_or(third, "out"), 4);
  EXPECT_EQ(json_int_or(third, "AlarmInState3"), 1);
  EXPECT_EQ(json_int_or(third, "AlarmOutType1"), 1);
  EXPECT_EQ(json_int_or(json_at(cameras, 2), "motionOn"), 0);
  json_object* inputs = json_get(answer.get(), "alarmIn");
  ASSERT_EQ(json_array_size(inputs), 16u);
  EXPECT_EQ(json_int_or(json_at(inputs, 15), "state"), 1);
  json_object* outputs = json_get(answer.get(), "alarmOut");
  ASSERT_EQ(json_array_size(outputs), 2u);
  EXPECT_EQ(plain(json_at(outputs, 1)), R"({"id":1,"name":"","type":0,"duration":0,"state":1})");

  // A reply shorter than the block's head shows no event.
  sim.clear(kReqEventStatus).reply(kReqEventStatus, kReplyEventStatus, block.substr(0, 100));
  answer = body_json(get(root, "/8003"));
  EXPECT_EQ(json_int_or(json_at(json_get(answer.get(), "cameras"), 3), "motionOn"), 0);
}

TEST(StatusQueries, PassThroughRepliesAndShortOnes) {
  DeviceRoot root;
  CoreSim sim(root);
  Json network = body_json(get(root, "/8000"));
  json_object* eth0 = json_at(json_get(network.get(), "netif"), 0);
  EXPECT_EQ(json_string(eth0, "ifname"), std::string("eth0"));
  EXPECT_EQ(json_string(eth0, "ip6address"), std::string("fe80::21a:2bff:fe3c:4d5e"));
  std::string keys;
  json_object_object_foreach(eth0, key, value) {
    (void)value;
    keys += std::string(key) + ",";
  }
  EXPECT_EQ(keys,
            "ifname,id,state,speedMode,duplex,enable,dhcpEnable,ipAddr,MAC,primaryDNS,secondDNS,"
            "gateway,netmask,mtu,ip6mode,ip6address,ip6prefix,ip6gateway,");
  EXPECT_EQ(get(root, "/8001").out,
            kJsonHeader +
                R"({ "netif": [ { "id": 0, "ifname": "eth0", "RxSpeed": 2048, "TxSpeed": )"
                R"(512 }, { "id": 1, "ifname": "eth1", "RxSpeed": 0, "TxSpeed": 0 } ] })");
  EXPECT_EQ(get(root, "/8004").out, kRefused);
  EXPECT_EQ(get(root, "/8008").out, kJsonHeader + R"({ "total": 42, "free": 30, "used": 12 })");
  EXPECT_EQ(get(root, "/8009").out, kJsonHeader + R"({ "support": "1111)" + std::string(60, '0') +
                                        R"(", "type": "1122)" + std::string(60, '0') + R"(" })");
  EXPECT_EQ(get(root, "/8011").out,
            kJsonHeader + R"([ { "userName": "admin", "userLevel": 0, "ipaddr": "192.168.1.50", )"
                          R"("loginTime": "2026-01-05 08:30:00" } ])");

  // Replies shorter than one record.
  sim.reply(kReqNetworkStatus, kReplyNetworkStatus, std::string(319, 'x'));
  sim.reply(kReqOnlineUsers, kReplyOnlineUsers, std::string(100, 'x'));
  sim.reply(kReqUsageTotals, kReplyUsageTotals, std::string(8, '\0'));
  sim.reply(kReqChannelSupport, kReplyChannelSupport, std::string(40, '\1'));
  EXPECT_EQ(get(root, "/8000").out, kJsonHeader + R"({ "netif": [ ] })");
  EXPECT_EQ(get(root, "/8011").out, kJsonHeader + "[ ]");
  EXPECT_EQ(get(root, "/8008").out, kJsonError);
  EXPECT_EQ(get(root, "/8009").out, kJsonHeader + R"({ "support": ")" + std::string(64, '0') +
                                        R"(", "type": ")" + std::string(64, '0') + R"(" })");
}

TEST(GeneralSettings, SwitchesAreStoredAndTheDaemonTold) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string db = db_of(root);
  EXPECT_EQ(run_json(root, "/3300", R"({"sshEnable":1})").out, kTextHeader + "OK");
  PortSettings ports{};
  ASSERT_EQ(read_port(db.c_str(), &ports), 0);
  EXPECT_EQ(ports.ssh_enable, 1);
  std::string more(32, '\0');
  memcpy(more.data(), "more", 4);
  expect_one_notice(sim, kReqSettingsChanged, more);

  EXPECT_EQ(run_json(root, "/3301", R"({"autoLoginEnable":1})").out, kTextHeader + "OK");
  EXPECT_EQ(get_param_int(db.c_str(), "local_auth_enable", -1), 1);
  EXPECT_EQ(run_json(root, "/3303", R"({"wizardEnable":0})").out, kTextHeader + "OK");
  EXPECT_EQ(get_param_int(db.c_str(), "wizard_enable", -1), 0);
  EXPECT_EQ(run_json(root, "/3303", "not json").out, kRefused);

  sim.clear_messages();
  EXPECT_EQ(run_json(root, "/3302", R"({"recordMode":2})").out, kTextHeader + "OK");
  auto sent = sim.messages(kReqRecordModeChanged);
  ASSERT_EQ(sent.size(), 64u);
  std::set<uint32_t> sequence_numbers;
  for (int32_t channel = 0; channel < 64; ++channel) {
    EXPECT_EQ(record_of<int32_t>(sent[channel]), channel);
    sequence_numbers.insert(sent[channel].seq);
  }
  EXPECT_EQ(sequence_numbers, std::set<uint32_t>{1});  // one connection each
}

TEST(GeneralSettings, CameraBasicsChecksTheIdAndNamesTheRequestByTheSwitch) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const char* refused : {R"({"id":65,"enable":1,"ipAddr":"1.2.3.4","managePort":80})",
                              R"({"id":1,"enable":2,"ipAddr":"1.2.3.4","managePort":80})",
                              R"({"id":1,"enable":1,"ipAddr":"","managePort":80})",
                              R"({"id":1,"enable":1,"ipAddr":"1.2.3.4","managePort":-1})",
                              R"({"id":1,"enable":1,"ipAddr":"1.2.3.4"})"}) {
    EXPECT_EQ(run_json(root, "/3304", refused).out, kRefused) << refused;
  }
  EXPECT_TRUE(sim.messages().empty());

  EXPECT_EQ(run_json(root, "/3304",
                     R"({"id":64,"enable":1,"ipAddr":"1.2.3.4","managePort":80,"userName":"u"})")
                .out,
            kTextHeader + "OK");
  expect_one_notice(sim, kReqCameraEnabled, CoreSim::bytes<int32_t>(64));
  EXPECT_EQ(run_json(root, "/3304",
                     R"({"id":3,"enable":0,"ipAddr":"10.1.1.3","managePort":8000,)"
                     R"("userName":"admin","password":"pw"})")
                .out,
            kTextHeader + "OK");
  expect_one_notice(sim, kReqCameraDisabled, CoreSim::bytes<int32_t>(3));
  CameraRecord camera{};
  ASSERT_EQ(read_camera(db_of(root).c_str(), &camera, 3), 0);
  EXPECT_EQ(std::string(camera.ipAddr), "10.1.1.3");
  EXPECT_EQ(camera.managePort, 8000);
  EXPECT_EQ(std::string(camera.password), "pw");
  // The status page shows what was set.
  sim.reply(kReqCameraStatus, kReplyCameraStatus, "");
  Json answer = body_json(get(root, "/8002"));
  EXPECT_EQ(json_string(json_at(json_get(answer.get(), "IPC"), 3), "ipAddr"),
            std::string("10.1.1.3"));
}

}  // namespace
}  // namespace nvr::test
