// Packet capture ("/8005" to "/8007") end to end, with the stand-ins of
// tcpdump and the watchdog recording the commands they were given.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/json.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kCalls = "/var/log/platform-calls";
const std::string kFolder = "/media/sda1";

// A root with a mounted storage folder and the watchdog in place.
void lay_out(const DeviceRoot& root) {
  std::filesystem::create_directories(root(kFolder));
  std::ifstream watchdog(source_dir() + "/tools/platform-bin/webmonitor");
  std::stringstream text;
  text << watchdog.rdbuf();
  root.write_file("/www/webmonitor", text.str());
  chmod(root("/www/webmonitor").c_str(), 0755);
}

// The recorded calls once `lines` of them are there (the capture runs in the
// background), or what there is after two seconds.
// The calls recorded so far, once `lines` of them are there (the capture's
// programs run in the background: their lines may come in either order).
std::string calls(const DeviceRoot& root, size_t lines) {
  for (int i = 0; i < 500; ++i) {
    std::string text = root.read_file(kCalls);
    if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return root.read_file(kCalls);
}

std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string start(const DeviceRoot& root, const std::string& body) {
  return run_json(root, "/8005", body, kFastScale.c_str()).out;
}

TEST(PacketCapture, StartBuildsTheFilterFromTheInterfaceAndTheRequest) {
  DeviceRoot root;
  CoreSim sim(root);
  lay_out(root);
  root.write_file(kFolder + "/rvpcap-20200101000000", "old");
  root.write_file(kFolder + "/keep.txt", "mine");

  Json answer = json_parse(
      start(root, R"({"ip":"192.168.1.9","port":"554","nic":"eth0","mntPath":"/media/sda1"})")
          .substr(kJsonHeader.size()));
  ASSERT_TRUE(answer);
  EXPECT_EQ(json_string(answer.get(), "dirPath"), kFolder);
  const std::string name = json_string(answer.get(), "fileName");
  ASSERT_EQ(name.size(), 21u);
  EXPECT_EQ(name.rfind("rvpcap-", 0), 0u);

  const std::string text = calls(root, 4);
  EXPECT_EQ(sorted_lines(text),
            sorted_lines("killall tcpdump\nkillall webmonitor\n"
                         "tcpdump [-i] [eth0] [-s0] [host 192.168.1.100 || host "
                         "fe80::21a:2bff:fe3c:4d5e && host 192.168.1.9 && port 554] [-W] [2] "
                         "[-C] [25] [-w] [" +
                         root(kFolder) + "/" + name +
                         "]\n"
                         "webmonitor [tcpdump] [300]\n"))
      << text;
  EXPECT_FALSE(root.exists(kFolder + "/rvpcap-20200101000000"));
  EXPECT_TRUE(root.exists(kFolder + "/keep.txt"));

  // Empty peer and port: all traffic of the interface's own addresses.
  std::filesystem::remove(root(kCalls));
  start(root, R"({"ip":"","port":"","nic":"eth0","mntPath":"/media/sda1/"})");
  EXPECT_NE(calls(root, 4).find("[host 192.168.1.100 || host fe80::21a:2bff:fe3c:4d5e] [-W]"),
            std::string::npos);
  std::filesystem::remove(root(kCalls));
  EXPECT_EQ(run_json(root, "/8006", "").out, kTextHeader + "OK");
  EXPECT_EQ(calls(root, 1), "killall tcpdump\n");
}

TEST(PacketCapture, RefusesEveryValueThatIsNotTheDevicesOwn) {
  DeviceRoot root;
  CoreSim sim(root);
  lay_out(root);
  std::filesystem::create_directories(root("/tmp/elsewhere"));
  std::filesystem::create_symlink(root("/tmp/elsewhere"), root("/media/link"));
  const std::string good_rest = R"("nic":"eth0","mntPath":"/media/sda1")";
  for (const std::string& body :
       {R"({"ip":"1.2.3.4' -w /tmp/x '",)" + good_rest, R"({"ip":"host",)" + good_rest,
        R"({"port":"0",)" + good_rest, R"({"port":"65536",)" + good_rest,
        R"({"port":"80 or 1",)" + good_rest,
        std::string(R"({"nic":"eth9","mntPath":"/media/sda1"})"),
        std::string(R"({"nic":"","mntPath":"/media/sda1"})"),
        std::string(R"({"nic":"eth0","mntPath":"/tmp"})"),
        std::string(R"({"nic":"eth0","mntPath":"/media/../tmp"})"),
        std::string(R"({"nic":"eth0","mntPath":"/media/sda1/../../tmp"})"),
        std::string(R"({"nic":"eth0","mntPath":"/media/link"})"),
        std::string(R"({"nic":"eth0","mntPath":"/media/missing"})"),
        std::string(R"({"nic":"eth0","mntPath":"/media"})"), std::string("[]")}) {
    EXPECT_EQ(start(root, body), kRefused) << body;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(root.exists(kCalls));
  EXPECT_FALSE(root.exists("/tmp/x"));
}

TEST(PacketCapture, DownloadPacksOnlyTheNamedCaptureAndRemovesIt) {
  DeviceRoot root;
  CoreSim sim(root);
  lay_out(root);
  Json answer = json_parse(
      start(root, R"({"nic":"eth0","mntPath":"/media/sda1"})").substr(kJsonHeader.size()));
  ASSERT_TRUE(answer);
  const std::string name = json_string(answer.get(), "fileName");
  calls(root, 4);
  ASSERT_TRUE(root.exists(kFolder + "/" + name + "0"));  // only the first ring file
  root.write_file(kFolder + "/other.pcap", "not this capture's");
  root.write_file(kFolder + "/rvpcap-20200101000000.pcap", "another capture");

  CgiResult result = run_json(root, "/8007", kFolder + "/" + name);
  const std::string head =
      "Content-Type:application/octet-stream\r\n"
      "Content-Disposition: attachment; filename= packet.tar\r\n\r\n";
  ASSERT_EQ(result.out.rfind(head, 0), 0u) << result.out.substr(0, 200);
  root.write_file("/tmp/got.tar", result.out.substr(head.size()));
  const std::string list_command = "tar -tf " + root("/tmp/got.tar") + " > " + root("/tmp/list");
  ASSERT_EQ(system(list_command.c_str()), 0);
  EXPECT_EQ(root.read_file("/tmp/list"), name + "0.pcap\n");

  EXPECT_EQ(root.list(kFolder),
            (std::vector<std::string>{"other.pcap", "rvpcap-20200101000000.pcap"}));

  // Requests that name no capture of a storage folder.
  for (const std::string& bad :
       {std::string(""), name, "/tmp/" + name, kFolder + "/../" + name, kFolder + "/other",
        kFolder + "/" + name + "/", std::string("/media/sda1/rvpcap-*")}) {
    EXPECT_EQ(run_json(root, "/8007", bad).out, kTextHeader + "CGI ERROR") << bad;
  }
  EXPECT_EQ(root.list(kFolder).size(), 2u);
}

}  // namespace
}  // namespace nvr::test
