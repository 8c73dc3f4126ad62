// Network settings end to end: time, PPPoE, interfaces, ports and the
// network services, against the simulated recorder.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "frame/json.h"
#include "modules/network/network_records.h"
#include "modules/network/network_wire.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

CgiResult post(const DeviceRoot& root, const std::string& route, const std::string& body) {
  return run_json(root, route, body, kFastScale.c_str());
}

std::string body_of(const CgiResult& result, const std::string& header) {
  EXPECT_EQ(result.out.rfind(header, 0), 0u) << result.out;
  return result.out.size() >= header.size() ? result.out.substr(header.size()) : "";
}

Json json_of(const CgiResult& result) { return json_parse(body_of(result, kJsonHeader)); }

std::string area(const std::string& name) {
  NetApplyText text{};
  snprintf(text.text, sizeof text.text, "%s", name.c_str());
  return CoreSim::bytes(text);
}

// A TCP socket listening on a free loopback port: that port is in use.
struct Listener {
  int fd = -1;
  int port = 0;
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 4);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  ~Listener() { close(fd); }
};

// Routes that expect a reply wait with a milder scale (slow sanitizer builds).
constexpr const char* kReplyScale = "0.05";

// ---- time ---------------------------------------------------------------------------

TEST(NetworkTime, ManualTimeIsSentQuotedAfterTheAnswerAndThenConfirmed) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string settings =
      R"("dstEnable":1,"timeZone":"GMT+01:00","timeZoneName":"Europe/Berlin",)"
      R"("syncEnable":1,"syncInterval":60,"syncPc":0,"ntpServer":"pool.ntp.org")";
  CgiResult result = post(
      root, "/7001", R"({"ntpEnable":0,)" + settings + R"(,"manualTime":"2024-01-02 03:04:05"})");
  EXPECT_EQ(result.out, kTextHeader + "OK");
  auto sent = sim.messages(kReqSetSystemTime);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, 0u);
  EXPECT_EQ(std::string(record_of<NetApplyText>(sent[0]).text), "\"2024-01-02 03:04:05\"");
  expect_one_notice(sim, kReqSystemTimeDone, "");
  expect_one_log(sim, 225, 900);

  Json time = json_of(get(root, "/7000"));
  EXPECT_STREQ(json_string(time.get(), "timeZoneName"), "Europe/Berlin");
  EXPECT_STREQ(json_string(time.get(), "ntpServer"), "pool.ntp.org");
  EXPECT_EQ(json_int_or(time.get(), "syncInterval"), 60);
  EXPECT_EQ(strlen(json_string(time.get(), "dateYear")), 4u);
  EXPECT_EQ(strlen(json_string(time.get(), "serverTime")), 19u);

  // Fail-over mode 2 sends no time; so does NTP.
  sim.clear_messages();
  post(
      root, "/7001",
      R"({"ntpEnable":0,"failoverMode":2,)" + settings + R"(,"manualTime":"2024-01-02 03:04:05"})");
  post(root, "/7001", R"({"ntpEnable":1,)" + settings + R"(,"manualTime":"2024-01-02 03:04:05"})");
  sent = sim.messages(kReqSetSystemTime);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].payload, std::string(32, '\0'));
  EXPECT_EQ(sent[1].payload, std::string(32, '\0'));
}

TEST(NetworkTime, RefusedRequestsChangeNothing) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string tail =
      R"("timeZone":"x","timeZoneName":"y","syncEnable":0,"syncInterval":0,"syncPc":0)";
  for (const std::string& body :
       {R"({"ntpEnable":2,"dstEnable":0,)" + tail + "}", R"({"dstEnable":0,)" + tail + "}",
        std::string(R"({"ntpEnable":0,"dstEnable":0,"timeZone":"x"})"),
        R"({"ntpEnable":0,"dstEnable":0,)" + tail + R"(,"manualTime":"2024\"; reboot; \""})",
        R"({"ntpEnable":1,"dstEnable":0,)" + tail + R"(,"ntpServer":"bad host;"})",
        std::string("[1]"), std::string("not json")}) {
    EXPECT_EQ(post(root, "/7001", body).out, kRefused) << body;
  }
  EXPECT_TRUE(sim.messages().empty());
  TimeInfo stored{};
  EXPECT_EQ(read_time(db_of(root).c_str(), &stored), -1);
}

// ---- PPPoE ---------------------------------------------------------------------------

TEST(NetworkPppoe, StoresANewRecordAndShowsTheUnconnectedAddress) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(
      post(root, "/7011", R"({"enable":1,"autoConnect":1,"userName":"isp","password":"pw"})").out,
      kTextHeader + "OK");
  expect_one_notice(sim, kReqSettingsChanged, area("pppoe"));
  expect_one_log(sim, 204, 915);
  EXPECT_EQ(get(root, "/7010").out,
            kJsonHeader +
                R"({ "enable": 1, "autoConnect": 1, "userName": "isp", "password": "pw", )"
                R"("pppoeipaddr": "0.0.0.0" })");
  // Not read first: absent keys clear the stored values.
  post(root, "/7011", R"({"enable":0})");
  EXPECT_STREQ(json_string(json_of(get(root, "/7010")).get(), "userName"), "");
  EXPECT_EQ(post(root, "/7011", R"({"enable":3})").out, kRefused);
}

// ---- interfaces ----------------------------------------------------------------------

TEST(NetworkInterfaces, ModeOfTheBodyChoosesTheKeysAndTheStoredModeStandsInForBadOnes) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(
      post(root, "/7041",
           R"({"mode":0,"hostName":"nvr-1","ipAddr":"192.168.1.10","netmask":"255.255.255.0",)"
           R"("gateway":"192.168.1.1","ipAddr2":"10.0.0.10","ip6networkType":0,)"
           R"("ip6Addr":"2001:db8::10","ip6netmask":"64","ip6gateway":"2001:db8::1",)"
           R"("defaultRoute":1,"slaveClear":1,"Conflict":1})")
          .out,
      kTextHeader + "OK");
  expect_one_notice(sim, kReqSlaveClear, CoreSim::bytes<int32_t>(1));
  expect_one_notice(sim, kReqSettingsChanged, area("network"));
  const auto logs = sim.messages(kReqOperationLog);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(record_of<QvLogInfo>(logs[0]).main_type, 4);
  EXPECT_EQ(record_of<QvLogInfo>(logs[0]).param_type, 914);
  EXPECT_EQ(record_of<QvLogInfo>(logs[1]).main_type, 32);
  EXPECT_EQ(record_of<QvLogInfo>(logs[1]).sub_type, 406);

  Json separate = json_of(get(root, "/7040", "7"));
  EXPECT_EQ(json_object_object_length(separate.get()), 29);
  EXPECT_STREQ(json_string(separate.get(), "ipAddr2"), "10.0.0.10");
  EXPECT_STREQ(json_string(separate.get(), "ip6Addr"), "2001:db8::10");
  EXPECT_EQ(json_int_or(separate.get(), "defaultRoute"), 1);
  EXPECT_EQ(body_of(get(root, "/7042"), kTextHeader), "0");

  Json bonded = json_of(get(root, "/7040", "1"));
  EXPECT_EQ(json_object_object_length(bonded.get()), 17);
  EXPECT_EQ(json_get(bonded.get(), "ipAddr2"), nullptr);
  EXPECT_EQ(json_int_or(bonded.get(), "mode"), 1);
  EXPECT_STREQ(json_string(bonded.get(), "ipAddr"), "192.168.1.10");
  // Keys in the order the page reads them.
  std::string keys;
  json_object_object_foreach(bonded.get(), key, value) {
    (void)value;
    keys += std::string(key) + ",";
  }
  EXPECT_EQ(keys,
            "mode,hostName,primaryNet,enableNetwork1,networkType,ipAddr,netmask,gateway,macAddr,"
            "DNS1,DNS2,mtu,ip6networkType,ip6Addr,ip6netmask,ip6gateway,defaultRoute,");
}

TEST(NetworkInterfaces, OnlySentKeysChangeAndBadAddressesAreRefused) {
  DeviceRoot root;
  CoreSim sim(root);
  post(root, "/7041",
       R"({"mode":0,"ipAddr":"192.168.1.10","DNS1":"8.8.8.8","ipAddr2":"10.0.0.10"})");
  // Mode 1 takes the first interface's keys only.
  post(root, "/7041", R"({"mode":1,"DNS1":"1.1.1.1","ipAddr2":"10.9.9.9","primaryNet":1})");
  NetworkInfo stored{};
  ASSERT_EQ(read_network(db_of(root).c_str(), &stored), 0);
  EXPECT_EQ(stored.mode, 1);
  EXPECT_STREQ(stored.lan1.ip, "192.168.1.10");
  EXPECT_STREQ(stored.lan1.dns1, "1.1.1.1");
  EXPECT_STREQ(stored.lan2.ip, "10.0.0.10");
  EXPECT_EQ(stored.primary_net, 0);

  sim.clear_messages();
  for (const char* body :
       {R"({"ipAddr":"300.1.1.1"})", R"({"netmask":"255.0.255.0"})", R"({"gateway":"1.2.3"})",
        R"({"DNS2":"8.8.8.8; reboot"})", R"({"ip6Addr":"2001:db8::zz"})", R"({"ip6netmask":"129"})",
        R"({"hostName":"-bad-"})", R"({"mtu":70000})", R"({"mode":3})", R"({"ipAddr":5})"}) {
    EXPECT_EQ(post(root, "/7041", body).out, kRefused) << body;
  }
  EXPECT_TRUE(sim.messages().empty());
  NetworkInfo after{};
  read_network(db_of(root).c_str(), &after);
  EXPECT_EQ(memcmp(&after, &stored, sizeof after), 0);
}

TEST(NetworkInterfaces, RestartMacDefaultRouteAndConflictTests) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(get(root, "/7043").out, kTextHeader + "OK");
  expect_one_notice(sim, kReqRestartNetwork, std::string(32, '\0'));

  root.write_file("/mnt/nand2/mac.conf", "0011223344AB\n");
  EXPECT_EQ(get(root, "/7044").out, kJsonHeader + R"({ "mac0": "00:11:22:33:44:AB" })");

  sim.reply(kReqSetDefaultRoute, kReplySetDefaultRoute, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post(root, "/7096", R"({"defaultRoute":1})").out, kJsonHeader + R"({ "res": 0 })");
  NetworkInfo stored{};
  read_network(db_of(root).c_str(), &stored);
  EXPECT_EQ(stored.default_route, 1);
  EXPECT_EQ(sim.messages(kReqSetDefaultRoute)[0].payload, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(post(root, "/7096", "garbage").out, kJsonHeader + R"({status:"CGI ERROR"})");

  sim.reply(kReqIpConflict, kReplyIpConflict, CoreSim::bytes<int32_t>(7));
  EXPECT_EQ(post(root, "/7070", R"({"ip":"192.168.1.20"})").out, kTextHeader + "-1");
  IpConflictQuery query = record_of<IpConflictQuery>(sim.messages(kReqIpConflict)[0]);
  EXPECT_STREQ(query.ip, "192.168.1.20");
  sim.reply(kReqIpConflictByDev, kReplyIpConflictByDev, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post(root, "/7071", R"({"dev":"eth1","ip":"10.0.0.2"})").out, kTextHeader + "0");
  IpConflictByDevQuery by_dev =
      record_of<IpConflictByDevQuery>(sim.messages(kReqIpConflictByDev)[0]);
  EXPECT_STREQ(by_dev.dev, "eth1");
  EXPECT_STREQ(by_dev.ip, "10.0.0.2");
  sim.clear(kReqIpConflict).never(kReqIpConflict);
  EXPECT_EQ(post(root, "/7070", R"({"ip":"192.168.1.20"})").out, kTextHeader + "CGI ERROR");
  // Addresses and interface names are checked before anything is sent.
  sim.clear_messages();
  EXPECT_EQ(post(root, "/7070", R"({"ip":"192.168.1.256"})").out, kRefused);
  EXPECT_EQ(post(root, "/7071", R"({"dev":"../eth0","ip":"10.0.0.2"})").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
}

// ---- ports ----------------------------------------------------------------------------

TEST(NetworkPorts, PoePortsAndPortsInUseAreRefusedAfterThePushSettingsAreStored) {
  DeviceRoot root;
  CoreSim sim(root);
  PortSettings ports{1, 22, 80, 443, 554, 6036, 0, ""};
  ASSERT_EQ(write_port(db_of(root).c_str(), &ports), 0);
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "max_poe_num", 4), 0);
  const std::string tail =
      R"("httpPort":80,"httpsPort":443,"rtspPort":554,"servicePort":6036,"enableSsh":1,)"
      R"("enableMsg":5,"pushType":3,"PushTypeNvrAlarmIn":7,"channel_num":2,"pushTypeArr":[4,5],)"
      R"("enableAccess":1,"pushNvrPos":"lobby","pushVideoStream":1)";
  EXPECT_EQ(post(root, "/7051", R"({"sshPort":23003,)" + tail + "}").out,
            kTextHeader + "POE_Port_Error");
  PortSettings after{};
  read_port(db_of(root).c_str(), &after);
  EXPECT_EQ(after.ssh_port, 22);
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "push_type", -1), 3);
  expect_one_notice(sim, kReqChannelAccess, CoreSim::bytes<int32_t>(1));
  EXPECT_TRUE(sim.messages(kReqPushMessage).empty());

  Listener busy;
  EXPECT_EQ(
      post(root, "/7051", R"({"sshPort":)" + std::to_string(busy.port) + "," + tail + "}").out,
      kTextHeader + "POE_Port_Error");

  // Without PoE ports 23003 is free.
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "max_poe_num", 0), 0);
  sim.clear_messages();
  EXPECT_EQ(post(root, "/7051", R"({"sshPort":23003,"needReboot":1,)" + tail + "}").out,
            kTextHeader + "OK");
  read_port(db_of(root).c_str(), &after);
  EXPECT_EQ(after.ssh_port, 23003);
  char text[16] = "";
  get_param_value(db_of(root).c_str(), "enable_push_msg", text, sizeof text, "");
  EXPECT_STREQ(text, "0");  // 5 is not a switch value
  PushEnableText push = record_of<PushEnableText>(sim.messages(kReqPushMessage)[0]);
  EXPECT_STREQ(push.text, "0");
  expect_one_notice(sim, kReqSettingsChanged, area("more"));
  expect_one_notice(sim, kReqRestart, "");
  EXPECT_EQ(sim.messages(kReqOperationLog).size(), 2u);

  Json shown = json_of(get(root, "/7050"));
  EXPECT_EQ(json_int_or(shown.get(), "sshPort"), 23003);
  EXPECT_EQ(json_int_or(shown.get(), "PushNvrAlarmInType"), 7);
  EXPECT_STREQ(json_string(shown.get(), "pushNvrPos"), "lobby");
  json_object* types = json_get(shown.get(), "PushTypeArr");
  ASSERT_GE(json_array_size(types), 2u);
  EXPECT_EQ(json_object_get_int(json_at(types, 0)), 4);
  EXPECT_EQ(json_object_get_int(json_at(types, 1)), 5);

  // Out-of-range ports never reach the store.
  for (const char* bad : {R"({"sshPort":0,)", R"({"sshPort":65536,)", R"({"sshPort":-1,)"})
    EXPECT_EQ(post(root, "/7051", bad + tail + "}").out, kRefused) << bad;
  EXPECT_EQ(get(root, "/7093").out, kJsonHeader + R"({ "max_poe_num": 0 })");
}

// ---- services ---------------------------------------------------------------------------

TEST(NetworkServices, AbsentTextsAreStoredAsNullTexts) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/7021", R"({"enable":1,"updateFreq":-1})").out, kRefused);
  EXPECT_EQ(post(root, "/7021", R"({"enable":1,"updateFreq":10,"userName":"u","http":8080})").out,
            kTextHeader + "OK");
  expect_one_notice(sim, kReqSettingsChanged, area("ddns"));
  expect_one_log(sim, 204, 916);
  DdnsInfo ddns{};
  read_ddns(db_of(root).c_str(), &ddns);
  EXPECT_STREQ(ddns.domain, "(null)");
  EXPECT_STREQ(ddns.user_name, "u");
  EXPECT_EQ(ddns.http_port, 8080);
  EXPECT_EQ(post(root, "/7021", R"({"enable":1,"updateFreq":1,"domain":"a b"})").out, kRefused);

  const std::string mail =
      R"("smtpPort":25,"enableAttach":1,"captureInterval":5,"smtpServer":"smtp.example.com",)"
      R"("receivers":[{"receiverName":"ops","receiverAddr":"ops@example.com"}],"hostName":"nvr")";
  EXPECT_EQ(post(root, "/7031", R"({"enableTls":3,)" + mail + "}").out, kRefused);
  EXPECT_EQ(post(root, "/7031", R"({"enableTls":2,)" + mail + "}").out, kTextHeader + "OK");
  Json shown = json_of(get(root, "/7030"));
  json_object* receivers = json_get(shown.get(), "receivers");
  ASSERT_EQ(json_array_size(receivers), 3u);
  EXPECT_STREQ(json_string(json_at(receivers, 0), "receiverAddr"), "ops@example.com");
  EXPECT_STREQ(json_string(json_at(receivers, 1), "receiverAddr"), "(null)");
  EXPECT_STREQ(json_string(json_at(receivers, 2), "receiverName"), "(null)");
  EXPECT_STREQ(json_string(shown.get(), "hostName"), "nvr");
  EXPECT_STREQ(json_string(shown.get(), "userName"), "(null)");

  // The simulated recorder sends the test mail with a complete account.
  EXPECT_EQ(get(root, "/7032").out, kTextHeader + "OK");
  EXPECT_STREQ(record_of<NetApplyText>(sim.messages(kReqTestEmail)[0]).text, "testmail");
  sim.reply(kReqTestEmail, kReplyTestEmail, CoreSim::bytes<int32_t>(4));
  EXPECT_EQ(get(root, "/7032").out, kTextHeader + "ERROR");
}

TEST(NetworkServices, SnmpPortTestAndMulticast) {
  DeviceRoot root;
  CoreSim sim(root);
  Listener busy;
  SnmpInfo snmp{};
  snmp.port = busy.port;
  ASSERT_EQ(write_snmp(db_of(root).c_str(), &snmp), 0);
  // The stored port stays acceptable although it is in use.
  EXPECT_EQ(
      post(root, "/7091",
           R"({"v2c_enable":1,"read_community":"public","port":)" + std::to_string(busy.port) + "}")
          .out,
      kTextHeader + "OK");
  expect_one_notice(sim, kReqSettingsChanged, area("snmp"));
  EXPECT_TRUE(sim.messages(kReqOperationLog).empty());
  read_snmp(db_of(root).c_str(), &snmp);
  EXPECT_STREQ(snmp.write_community, "(null)");
  EXPECT_EQ(snmp.v2c_enable, 1);

  Listener other;
  EXPECT_EQ(post(root, "/7091", R"({"port":)" + std::to_string(other.port) + "}").out,
            kTextHeader + "POE_Port_Error");
  EXPECT_EQ(post(root, "/7091", R"({"port":0})").out, kRefused);
  Json shown = json_of(get(root, "/7090"));
  EXPECT_EQ(json_int_or(shown.get(), "port"), busy.port);
  EXPECT_STREQ(json_string(shown.get(), "read_community"), "public");

  EXPECT_EQ(post(root, "/7034", R"({"enable":1,"ip":"239.1.2.3"})").out,
            kJsonHeader + R"({ "res": 0 })");
  MulticastInfo sent = record_of<MulticastInfo>(sim.messages(kReqSetMulticast)[0]);
  EXPECT_EQ(sent.enable, 1);
  EXPECT_STREQ(sent.ip, "239.1.2.3");
  EXPECT_EQ(get(root, "/7033").out, kJsonHeader + R"({ "enable": 1, "ip": "239.1.2.3" })");
  // Only the key sent changes; a unicast address is not a group.
  post(root, "/7034", R"({"enable":0})");
  EXPECT_EQ(get(root, "/7033").out, kJsonHeader + R"({ "enable": 0, "ip": "239.1.2.3" })");
  EXPECT_EQ(post(root, "/7034", R"({"ip":"10.0.0.1"})").out,
            kJsonHeader + R"({status:"CGI ERROR"})");
  EXPECT_EQ(post(root, "/7034", "").out, kJsonHeader + R"({status:"CGI ERROR"})");

  ASSERT_EQ(set_param_int(db_of(root).c_str(), "ch_access", 1), 0);
  EXPECT_EQ(get(root, "/7092").out, kJsonHeader + R"({ "access": 1 })");
}

// Every route that waits for the daemon gives its own answer when none comes.
TEST(NetworkServices, SilentDaemonGivesEachRouteItsErrorAnswer) {
  DeviceRoot root;
  CoreSim sim(root);
  struct Row {
    const char* route;
    int32_t request;
    const char* body;
    std::string answer;
  };
  const Row rows[] = {
      {"/7094", kReqDdnsStatus, "", kJsonHeader + R"({status:"CGI ERROR"})"},
      {"/7032", kReqTestEmail, "", kTextHeader + "CGI ERROR"},
      {"/7060", kReqP2pStatus, "", kJsonHeader + R"({status:"CGI ERROR"})"},
      {"/7061", kReqEnableP2p, R"({"enableP2P":1})", kTextHeader + "CGI ERROR"},
      {"/7061", kReqDisableP2p, R"({"enableP2P":0})", kTextHeader + "CGI ERROR"},
      {"/7095", kReqP2pUnbind, "", kJsonHeader + R"({status:"CGI ERROR"})"},
      {"/7034", kReqSetMulticast, R"({"enable":1})", kJsonHeader + R"({status:"CGI ERROR"})"},
      {"/7096", kReqSetDefaultRoute, R"({"defaultRoute":0})",
       kJsonHeader + R"({status:"CGI ERROR"})"},
      {"/7071", kReqIpConflictByDev, R"({"dev":"eth0","ip":"10.0.0.1"})",
       kTextHeader + "CGI ERROR"},
      {"/7080", kReqCreateCert, R"({"InstallType":1})", kTextHeader + "CGI ERROR"},
      {"/7084", kReqCertInstalled, "", ""},  // no upload: refused before asking
  };
  for (const Row& row : rows) {
    sim.never(row.request);
    EXPECT_EQ(post(root, row.route, row.body).out,
              row.answer.empty() ? kTextHeader + "CGI ERROR" : row.answer)
        << row.route;
  }
  // An empty reply is no record: the error answer without waiting.
  sim.clear(kReqDdnsStatus).reply(kReqDdnsStatus, kReplyDdnsStatus, "");
  EXPECT_EQ(get(root, "/7094").out, kJsonHeader + R"({status:"CGI ERROR"})");
}

// ---- P2P --------------------------------------------------------------------------------

TEST(NetworkP2p, EnableAnswersTheDaemonsResultAndDisableStoresTheRecord) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::pair<int32_t, const char*> results[] = {
      {0, "ERR_OK"},          {2, "ERR_NOTFOUND"}, {3, "ERR_NETWORK"}, {5, "ERR_MAC_FORMAT"},
      {6, "ERR_AUTH_FAILED"}, {7, "ERR_NO_UUID"},  {1, "ERR_UNKNOWN"}};
  for (const auto& [code, text] : results) {
    sim.reply(kReqEnableP2p, kReplyEnableP2p, CoreSim::bytes(code));
    EXPECT_EQ(run_json(root, "/7061", R"({"enableP2P":1,"region":2})", kReplyScale).out,
              kTextHeader + text);
    sim.clear(kReqEnableP2p);
  }
  P2pInfo sent = record_of<P2pInfo>(sim.messages(kReqEnableP2p)[0]);
  EXPECT_EQ(sent.enable, 1);
  EXPECT_EQ(sent.region, 2);
  EXPECT_EQ(sent.account[0], '\0');

  // The simulated recorder registers and keeps the record; status reads it.
  EXPECT_EQ(run_json(root, "/7061", R"({"enableP2P":1,"region":2})", kReplyScale).out,
            kTextHeader + "ERR_OK");
  Json status = json_of(get(root, "/7060"));
  EXPECT_EQ(json_int_or(status.get(), "enable"), 1);
  EXPECT_EQ(json_int_or(status.get(), "region"), 2);
  EXPECT_STREQ(json_string(status.get(), "cloudAccount"), "demo@nvr-cloud.net");

  EXPECT_EQ(run_json(root, "/7061", R"({"enableP2P":0,"region":3})", kReplyScale).out,
            kTextHeader + "OK");
  P2pInfo stored{};
  read_p2p_info(db_of(root).c_str(), &stored);
  EXPECT_EQ(stored.enable, 0);
  EXPECT_EQ(stored.region, 3);
  EXPECT_STREQ(stored.account, "demo@nvr-cloud.net");
  EXPECT_EQ(record_of<P2pInfo>(sim.messages(kReqDisableP2p)[0]).region, 3);
  EXPECT_EQ(run_json(root, "/7095", "", kReplyScale, "GET").out, kJsonHeader + R"({ "res": 0 })");
}

}  // namespace
}  // namespace nvr::test
