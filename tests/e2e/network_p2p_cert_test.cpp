// The P2P registration test against a loopback stand-in for the P2P server,
// and the HTTPS certificate routes with the simulated recorder's openssl.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

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

bool read_exact(int fd, void* out, size_t size) {
  auto* p = static_cast<char*>(out);
  while (size > 0) {
    ssize_t got = recv(fd, p, size, 0);
    if (got <= 0) return false;
    p += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

// One registration: the header and block as the server's layer receives
// them, and the answer it sends back.
struct P2pServer {
  int fd = -1;
  int port = 0;
  std::thread thread;
  P2pHeader header{};
  P2pRegistration block{};
  bool got_all = false;

  P2pServer(int64_t status, std::string follow_up) {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 1);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    thread = std::thread([this, status, follow_up] {
      int client = accept(fd, nullptr, nullptr);
      if (client < 0) return;
      char wire_header[256];
      char wire_block[768];
      got_all = read_exact(client, wire_header, sizeof wire_header) &&
                read_exact(client, wire_block, sizeof wire_block);
      memcpy(&header, wire_header, sizeof header);
      memcpy(&block, wire_block, sizeof block);
      char reply[256] = {};
      P2pHeader answer{{2, 0, 0, status, 0, 0, 0, 0}};
      memcpy(reply, &answer, sizeof answer);
      send(client, reply, sizeof reply, MSG_NOSIGNAL);
      if (!follow_up.empty()) send(client, follow_up.data(), follow_up.size(), MSG_NOSIGNAL);
      close(client);
    });
  }
  ~P2pServer() {
    shutdown(fd, SHUT_RDWR);
    close(fd);
    if (thread.joinable()) thread.join();
  }
};

void use_server(const DeviceRoot& root, int port) {
  ASSERT_EQ(set_param_value(db_of(root).c_str(), "p2p_server_host", "127.0.0.1"), 0);
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "p2p_server_port", port), 0);
}

TEST(NetworkP2pTest, RegistersWithTheServerAndHandsItsTextToTheDaemon) {
  DeviceRoot root;
  CoreSim sim(root);
  P2pInfo stored{};
  snprintf(stored.account, sizeof stored.account, "owner@example.com");
  snprintf(stored.model, sizeof stored.model, "VR-3232-4S");
  ASSERT_EQ(write_p2p_info(db_of(root).c_str(), &stored), 0);
  P2pServer server(0, "REGISTERED-7f3a");
  use_server(root, server.port);

  EXPECT_EQ(post(root, "/7062", R"({"sn":"SN123","deviceName":"front door"})").out,
            kTextHeader + "0");
  server.thread.join();
  ASSERT_TRUE(server.got_all);
  EXPECT_EQ(server.header.value[0], 2);
  EXPECT_EQ(server.header.value[2], 768);  // the block's size on the wire
  EXPECT_EQ(server.header.value[4], 1);
  EXPECT_STREQ(server.block.serial, "SN123");
  EXPECT_STREQ(server.block.device_name, "front door");
  EXPECT_STREQ(server.block.account, "owner@example.com");
  EXPECT_STREQ(server.block.model, "VR-3232-4S");
  EXPECT_EQ(strlen(server.block.mac), 17u);
  expect_one_notice(sim, kReqEnableP2p, "REGISTERED-7f3a");
}

TEST(NetworkP2pTest, ResultsOfRefusalAndOfNoServer) {
  DeviceRoot root;
  CoreSim sim(root);
  {
    P2pServer server(2, "");
    use_server(root, server.port);
    EXPECT_EQ(post(root, "/7062", R"({"sn":"x"})").out, kTextHeader + "2");
  }
  {
    P2pServer server(9, "");
    use_server(root, server.port);
    EXPECT_EQ(post(root, "/7062", "{}").out, kTextHeader + "0");
    server.thread.join();
    EXPECT_STREQ(server.block.serial, "(null)");  // absent texts, as ever
  }
  // Nobody listens: a network failure, never "CGI ERROR".
  int port = 0;
  {
    P2pServer gone(0, "");
    port = gone.port;
  }
  use_server(root, port);
  EXPECT_EQ(post(root, "/7062", "{}").out, kTextHeader + "3");
  EXPECT_TRUE(sim.messages(kReqEnableP2p).empty());
}

// ---- HTTPS certificates ---------------------------------------------------------------------

TEST(NetworkCerts, CreationRecordCarriesTheFieldsOfItsKind) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(kReqCreateCert, kReplyCreateCert, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post(root, "/7080",
                 R"({"InstallType":1,"Country":"DEU","CommonName":"nvr.local","Validity":30,)"
                 R"("startTime":"2024-01-01","endTime":"2025-01-01","Email":"a@b.c"})")
                .out,
            kTextHeader + "OK");
  SslCertRecord sent = record_of<SslCertRecord>(sim.messages(kReqCreateCert)[0]);
  EXPECT_STREQ(sent.country, "DE");
  EXPECT_STREQ(sent.common_name, "nvr.local");
  EXPECT_STREQ(sent.email, "a@b.c");
  EXPECT_EQ(sent.validity, 0);
  EXPECT_EQ(sent.start_time[0], '\0');
  EXPECT_EQ(sent.end_time[0], '\0');
  // The signing workspace is ready for the daemon.
  EXPECT_EQ(root.read_file("/mnt/nand/ssl/demoCA/serial"), "01\n");
  EXPECT_TRUE(root.exists("/mnt/nand/ssl/demoCA/index.txt"));
  EXPECT_TRUE(root.exists("/mnt/nand/ssl/demoCA/newcerts"));

  sim.clear_messages();
  EXPECT_EQ(post(root, "/7080", R"({"InstallType":0,"CommonName":"a/CN=evil"})").out, kRefused);
  EXPECT_EQ(post(root, "/7080", R"({"InstallType":0,"Company":"x\"; rm -rf /"})").out, kRefused);
  EXPECT_TRUE(sim.messages(kReqCreateCert).empty());
}

TEST(NetworkCerts, SelfSignedCertificateLifecycle) {
  if (system("command -v openssl >/dev/null 2>&1") != 0) GTEST_SKIP() << "no openssl program";
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/7086", R"({"httpsenable":1})").out, kTextHeader + "NOFILE");
  EXPECT_TRUE(sim.messages(kReqHttpsSwitch).empty());
  EXPECT_EQ(post(root, "/7086", R"({"httpsenable":0})").out, kTextHeader + "OK");

  ASSERT_EQ(run_json(root, "/7080",
                     R"({"InstallType":0,"Country":"DE","CommonName":"nvr.local",)"
                     R"("Validity":30,"Email":"ops@example.com"})",
                     "0.1")
                .out,
            kTextHeader + "OK");
  ASSERT_TRUE(root.exists("/mnt/nand/ssl/ssl_cert.pem"));
  EXPECT_EQ(post(root, "/7086", R"({"httpsenable":1})").out, kTextHeader + "OK");
  EXPECT_EQ(sim.messages(kReqHttpsSwitch).back().payload, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(get(root, "/7087").out, kJsonHeader + R"({ "enable": 1 })");
  Json info = json_parse(get(root, "/7081").out.substr(kJsonHeader.size()));
  EXPECT_EQ(json_int_or(info.get(), "enable"), 1);
  EXPECT_STREQ(json_string(info.get(), "checkfile"), "OK");
  EXPECT_STREQ(json_string(info.get(), "country"), "DE");
  EXPECT_STREQ(json_string(info.get(), "common_name"), "nvr.local");
  EXPECT_NE(std::string(json_string(info.get(), "dates")).find("notAfter="), std::string::npos);

  // A signing request for download.
  EXPECT_EQ(get(root, "/7082").out, kTextHeader + "NotFile");
  ASSERT_EQ(
      run_json(root, "/7080", R"({"InstallType":1,"Country":"FR","CommonName":"req.local"})", "0.1")
          .out,
      kTextHeader + "OK");
  CgiResult csr = get(root, "/7082");
  EXPECT_EQ(
      csr.out.rfind("Content-Type:application/octet-stream\r\nContent-Disposition: "
                    "attachment; filename= ssl_cert.csr\r\n\r\n-----BEGIN CERTIFICATE REQUEST",
                    0),
      0u);
  EXPECT_EQ(get(root, "/7089").out, kJsonHeader +
                                        R"({ "checkfile": "OK", "country_req": "FR", )"
                                        R"("common_name_req": "req.local", "email_req": "" })");
  EXPECT_EQ(get(root, "/7083").out, kTextHeader + "OK");
  // The daemon removes the request after the notice: wait for it to be gone.
  std::string after_delete;
  for (int i = 0; i < 100; ++i) {
    after_delete = get(root, "/7089").out;
    if (after_delete.find("NOFILE") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(after_delete, kJsonHeader + R"({ "checkfile": "NOFILE" })");

  sim.clear_messages();
  EXPECT_EQ(get(root, "/7085").out, kTextHeader + "OK");
  expect_one_notice(sim, kReqCertDeleted, "");
  expect_one_notice(sim, kReqHttpsSwitch, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(get(root, "/7081").out, kJsonHeader + R"({ "enable": 0, "checkfile": "NOFILE" })");
}

CgiResult upload(const DeviceRoot& root, const std::string& content,
                 const std::string& scale = kFastScale) {
  CgiRequest request;
  request.method = "POST";
  request.path_info = "/7084";
  request.content_type = "multipart/form-data; boundary=XyZ";
  request.body =
      "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"c.pem\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n" +
      content + "\r\n--XyZ--\r\n";
  request.env["NVR_TIME_SCALE"] = scale;
  return run_cgi(root, request);
}

TEST(NetworkCerts, UploadedCertificateIsMovedIntoPlaceAndTheOldOneKept) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/mnt/nand/ssl/ssl_cert.pem", "old certificate");
  sim.reply(kReqCertInstalled, kReplyCertInstalled, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(upload(root, "new certificate").out, kTextHeader + "OK");
  EXPECT_EQ(root.read_file("/mnt/nand/ssl/ssl_cert.pem"), "new certificate");
  EXPECT_EQ(root.read_file("/mnt/nand/ssl/ssl_cert_save.pem"), "old certificate");
  for (const std::string& name : root.list("/tmp"))
    if (name != "qvcore") ADD_FAILURE() << "left in /tmp: " << name;

  sim.clear(kReqCertInstalled)
      .reply(kReqCertInstalled, kReplyCertInstalled, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(upload(root, "rejected").out, kTextHeader + "Error");
  // A path that is not an upload of this run is never moved.
  root.write_file("/mnt/nand/secret", "keep");
  EXPECT_EQ(post(root, "/7084", root("/mnt/nand/secret")).out, kTextHeader + "CGI ERROR");
  EXPECT_EQ(root.read_file("/mnt/nand/secret"), "keep");
}

TEST(NetworkCerts, SimulatedRecorderRefusesAnUploadThatIsNoCertificate) {
  if (system("command -v openssl >/dev/null 2>&1") != 0) GTEST_SKIP() << "no openssl program";
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/mnt/nand/ssl/ssl_cert.pem", "previous");
  EXPECT_EQ(upload(root, "not a certificate", "0.1").out, kTextHeader + "Error");
  EXPECT_EQ(root.read_file("/mnt/nand/ssl/ssl_cert.pem"), "previous");
}

}  // namespace
}  // namespace nvr::test
