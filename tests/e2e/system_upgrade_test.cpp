// Firmware upgrades, online versions and OEM packages ("/1010", "/1011",
// "/1034", "/6082" to "/6089", "/oem", "/1019", "/dw.cgi") end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "modules/system/upgrade_wire.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";
const std::string kTextError = kTextHeader + "CGI ERROR";

CgiResult get_route(const DeviceRoot& root, const std::string& route, bool fast = false) {
  CgiRequest request;
  request.path_info = route;
  request.cookie = "userName=admin";
  if (fast) request.env["NVR_TIME_SCALE"] = "0.001";
  return run_cgi(root, request);
}

CgiResult post(const DeviceRoot& root, const std::string& route, const std::string& body,
               bool fast = false) {
  return run_cgi(root, json_post(route, body, fast, "userName=admin"));
}

CgiResult upload(const DeviceRoot& root, const std::string& route, const std::string& query,
                 const std::string& content, bool fast = false) {
  CgiRequest request = file_post(route, "pkg.bin", content, query);
  request.cookie = "userName=admin";
  if (fast) request.env["NVR_TIME_SCALE"] = kFastScale;
  return run_cgi(root, request);
}

int64_t log_sub_type(const SimMessage& message) {
  QvLogInfo record{};
  EXPECT_EQ(message.payload.size(), sizeof record);
  memcpy(&record, message.payload.data(), std::min(message.payload.size(), sizeof record));
  EXPECT_EQ(record.param_type, 900);
  EXPECT_EQ(message.flags, CoreSim::kNoReply);
  return record.sub_type;
}

// ---- recorder upgrade ---------------------------------------------------------------

TEST(RecorderUpgrade, SuccessAnswersOKThenLogsAndRestarts) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/dev/shm/updateFM.bin", "image");
  const CgiResult result = upload(root, "/1010", "reset=1", "the image stays unread");
  EXPECT_EQ(result.out, kTextHeader + "OK");
  const auto sent = sim.messages();
  ASSERT_EQ(ids_of(sent), (std::vector<int32_t>{3485, 1713, 3485, 1703}));
  EXPECT_EQ(log_sub_type(sent[0]), 203);
  EXPECT_EQ(sent[1].flags, 0u);
  EXPECT_EQ(sent[1].payload, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(log_sub_type(sent[2]), 200);
  EXPECT_EQ(sent[3].flags, CoreSim::kNoReply);
}

TEST(RecorderUpgrade, ResetFlagComesFromTheQueryFirstWord) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(1713, 6713, CoreSim::bytes<int32_t>(0));
  for (const auto& [query, flag] : std::vector<std::pair<std::string, int32_t>>{{"reset", 1},
                                                                                {"x=1&reset=1", 1},
                                                                                {"x=1", 0},
                                                                                {"", 0},
                                                                                {"keep reset", 0},
                                                                                {"noreset", 1}}) {
    sim.clear_messages();
    EXPECT_EQ(upload(root, "/1010", query, "").out, kTextHeader + "OK") << query;
    const auto sent = sim.messages(1713);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].payload, CoreSim::bytes<int32_t>(flag)) << query;
  }
}

TEST(RecorderUpgrade, ReportedFailureOrSilenceAnswersTheFlagWithoutRestart) {
  DeviceRoot root;
  CoreSim sim(root);
  // No image: the simulated recorder reports -1.
  EXPECT_EQ(upload(root, "/1010", "", "").out, kTextHeader + "-1");
  sim.reply(1713, 6713, CoreSim::bytes<int32_t>(-5));
  EXPECT_EQ(upload(root, "/1010", "", "").out, kTextHeader + "-5");
  sim.clear(1713).reply(1713, 6713, "ab");  // too short: not a status
  EXPECT_EQ(upload(root, "/1010", "", "", true).out, kTextHeader + "0");
  sim.clear(1713).never(1713);
  EXPECT_EQ(upload(root, "/1010", "", "", true).out, kTextHeader + "0");
  EXPECT_TRUE(sim.messages(1703).empty());
  for (const auto& log : sim.messages(3485)) EXPECT_EQ(log_sub_type(log), 203);
}

TEST(RecorderUpgrade, OnlineUpgradeAnswersResAndRestartsOnSuccess) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/dev/shm/updateFM.bin", "image");
  EXPECT_EQ(get_route(root, "/6088").out, kJsonHeader + R"({ "res": 0 })");
  ASSERT_EQ(ids_of(sim.messages()), (std::vector<int32_t>{1721, 3485, 1713, 3485, 1703}));
  EXPECT_EQ(sim.messages(1713)[0].payload, CoreSim::bytes<int32_t>(0));

  sim.clear_messages();
  sim.reply(1713, 6713, CoreSim::bytes<int32_t>(-3));
  EXPECT_EQ(get_route(root, "/6088").out, kJsonHeader + R"({ "res": -3 })");
  EXPECT_TRUE(sim.messages(1703).empty());
}

TEST(RecorderImage, PresenceChecksAndPrepare) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(get_route(root, "/1011").out, kTextHeader + "OK");
  EXPECT_EQ(get_route(root, "/6082").out, kTextHeader + "Error");
  root.write_file("/dev/shm/updateFM.bin", "image");
  root.write_file("/dev/shm/updateIPCFM.bin", "image");
  EXPECT_EQ(get_route(root, "/1011").out, kTextHeader + "Error");
  EXPECT_EQ(get_route(root, "/6082").out, kTextHeader + "OK");

  EXPECT_EQ(get_route(root, "/1034").out, kJsonHeader + R"({ "res": 0 })");
  const auto sent = sim.messages(1721);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].flags, CoreSim::kNoReply);
}

// ---- camera upgrade -----------------------------------------------------------------

TEST(CameraUpgrade, SendsChannelResetAndImageAndAnswersTheFirstItem) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/dev/shm/updateIPCFM.bin", "image");
  EXPECT_EQ(post(root, "/6083", R"({"chnid":3,"reset":1})").out,
            kJsonHeader + R"({ "chnid": 3, "status": 0 })");
  const auto sent = sim.messages(3350);
  ASSERT_EQ(sent.size(), 1u);
  CameraUpgradeRequest expected{};
  expected.channel = 3;
  expected.reset = 1;
  strcpy(expected.path, "/dev/shm/updateIPCFM.bin");
  EXPECT_EQ(sent[0].payload, CoreSim::bytes(expected));

  sim.reply(3350, 8350, "");
  EXPECT_EQ(post(root, "/6083", R"({"chnid":3})").out, kJsonError);
  sim.clear(3350).never(3350);
  EXPECT_EQ(post(root, "/6083", R"({"chnid":3})", true).out, kTextError);
  EXPECT_EQ(post(root, "/6083", "{chnid").out, kJsonError);
}

TEST(CameraUpgrade, StopRemovesTheImageAndTellsTheDaemon) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/dev/shm/updateIPCFM.bin", "image");
  EXPECT_EQ(get_route(root, "/6084").out, kTextHeader + "OK");
  EXPECT_FALSE(root.exists("/dev/shm/updateIPCFM.bin"));
  const auto sent = sim.messages(3351);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].flags, CoreSim::kNoReply);
}

// ---- online images and versions -------------------------------------------------------

TEST(OnlineImage, DownloadSendsUrlAndImagePathOfTheType) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/6085", R"({"type":1,"url":"http://10.0.0.9/ipc.bin"})").out,
            kJsonHeader + R"({ "res": 0 })");
  ASSERT_EQ(ids_of(sim.messages()), (std::vector<int32_t>{1721, 1716}));
  DownloadImageRequest expected{};
  strcpy(expected.url, "http://10.0.0.9/ipc.bin");
  strcpy(expected.path, "/dev/shm/updateIPCFM.bin");
  EXPECT_EQ(sim.messages(1716)[0].payload, CoreSim::bytes(expected));
  EXPECT_TRUE(root.exists("/dev/shm/updateIPCFM.bin"));

  // A URL longer than its field is cut to 127 characters.
  sim.clear_messages();
  const std::string long_url = "http://h/" + std::string(200, 'a');
  post(root, "/6085", R"({"type":0,"url":")" + long_url + "\"}");
  DownloadImageRequest cut{};
  memcpy(cut.url, long_url.data(), 127);
  strcpy(cut.path, "/dev/shm/updateFM.bin");
  EXPECT_EQ(sim.messages(1716)[0].payload, CoreSim::bytes(cut));

  // An absent type reads as 0: the recorder's image.
  sim.clear_messages();
  post(root, "/6085", R"({"url":"http://h/nvr.bin"})");
  DownloadImageRequest untyped{};
  strcpy(untyped.url, "http://h/nvr.bin");
  strcpy(untyped.path, "/dev/shm/updateFM.bin");
  ASSERT_EQ(sim.messages(1716).size(), 1u);
  EXPECT_EQ(sim.messages(1716)[0].payload, CoreSim::bytes(untyped));

  sim.clear_messages();
  EXPECT_EQ(post(root, "/6085", R"({"type":2,"url":"x"})").out, kJsonError);
  EXPECT_EQ(post(root, "/6085", "nope").out, kJsonError);
  EXPECT_TRUE(sim.messages().empty());
  sim.never(1716);
  EXPECT_EQ(post(root, "/6085", R"({"type":0,"url":"x"})", true).out, kTextError);
}

TEST(OnlineImage, DeleteRecorderImageAlwaysAnswersZero) {
  DeviceRoot root;
  CoreSim sim(root);
  // Type 0 without an image.
  EXPECT_EQ(post(root, "/6086", R"({"type":0})").out, kJsonHeader + R"({ "res": 0 })");
  root.write_file("/dev/shm/updateFM.bin", "image");
  EXPECT_EQ(post(root, "/6086", R"({"type":0})").out, kJsonHeader + R"({ "res": 0 })");
  EXPECT_FALSE(root.exists("/dev/shm/updateFM.bin"));
  root.write_file("/dev/shm/updateFM.bin", "image");
  EXPECT_EQ(post(root, "/6086", "{}").out, kJsonHeader + R"({ "res": 0 })");  // type 0
  EXPECT_FALSE(root.exists("/dev/shm/updateFM.bin"));
  EXPECT_TRUE(sim.messages().empty());

  root.write_file("/dev/shm/updateIPCFM.bin", "image");
  EXPECT_EQ(post(root, "/6086", R"({"type":1})").out, kJsonHeader + R"({ "res": 0 })");
  EXPECT_FALSE(root.exists("/dev/shm/updateIPCFM.bin"));
  EXPECT_EQ(sim.messages(1717).size(), 1u);
  sim.reply(1717, 6717, CoreSim::bytes<int32_t>(-2));
  EXPECT_EQ(post(root, "/6086", R"({"type":1})").out, kJsonHeader + R"({ "res": -2 })");
  sim.clear(1717).never(1717);
  EXPECT_EQ(post(root, "/6086", R"({"type":1})", true).out, kTextError);
  EXPECT_EQ(post(root, "/6086", R"({"type":7})").out, kJsonError);
}

FirmwareVersion version(int32_t state, const char* soft) {
  FirmwareVersion v{};
  v.state = state;
  v.fileSize = 1234;
  strcpy(v.softversion, soft);
  strcpy(v.url, "http://u/f.bin");
  strcpy(v.description, "fixes");
  return v;
}

TEST(OnlineVersion, RecorderVersionRecordAsJson) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(1715, 6715, CoreSim::bytes(version(1, "V9.9")));
  EXPECT_EQ(get_route(root, "/6087").out,
            kJsonHeader + R"({ "state": 1, "fileSize": 1234, "softversion": "V9.9", )"
                          R"("url": "http:\/\/u\/f.bin", "description": "fixes" })");
  sim.clear(1715).reply(1715, 6715, std::string(327, '\0'));
  EXPECT_EQ(get_route(root, "/6087").out, kTextError);
  sim.clear(1715).never(1715);
  EXPECT_EQ(get_route(root, "/6087", true).out, kTextError);
}

TEST(OnlineVersion, CameraVersionsForTheMaskOfTheChText) {
  DeviceRoot root;
  CoreSim sim(root);
  const CgiResult result = post(root, "/6089", R"({"ch":"1101x1111"})");
  const auto sent = sim.messages(3365);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].payload, CoreSim::bytes<uint64_t>(0b1011));
  // The simulated recorder has news for the channels asked about.
  std::string expected = kJsonHeader + R"({ "check": [ )";
  for (int i = 0; i < 64; ++i) {
    const bool asked = i == 0 || i == 1 || i == 3;
    if (i) expected += ", ";
    expected +=
        asked ? R"({ "state": 1, "fileSize": 50331648, "softversion": "V5.1.4 build 20250210", )"
                R"("url": "http:\/\/update.invalid\/ipc\/V5.1.4.bin", )"
                R"("description": "Stability and security fixes." })"
              : R"({ "state": 0, "fileSize": 0, "softversion": "", "url": "", "description": "" })";
  }
  expected += " ] }";
  EXPECT_EQ(result.out, expected);

  sim.never(3365);
  EXPECT_EQ(post(root, "/6089", R"({"ch":"1"})", true).out, kTextError);
}

// ---- OEM packages and the two fixed routes ------------------------------------------------

constexpr const char* kOemKey = "6d1f0a9c3b7e4d2a8c5f1e0b9a7d3c21";

// A package made by the tool that the demo uses.
std::string oem_package(const DeviceRoot& root, const std::string& key) {
  root.write_file("/build/oem/logo/logo.png", "PNG logo");
  root.write_file("/build/oem/oem.ini", "[brand]\nname=Example\n");
  const std::string command = source_dir() + "/tools/oem/make-oem-package '" + key + "' '" +
                              root("/build/oem") + "' '" + root("/build/pkg.txt") + "'";
  EXPECT_EQ(system(command.c_str()), 0);
  return root.read_file("/build/pkg.txt");
}

TEST(OemPackage, RightKeyInstallsIntoNand2) {
  DeviceRoot root;
  const std::string package = oem_package(root, kOemKey);
  EXPECT_EQ(upload(root, "/oem", std::string("aes=") + kOemKey + "&lang=en", package).out,
            kTextHeader + "OK");
  EXPECT_EQ(root.read_file("/mnt/nand2/logo/logo.png"), "PNG logo");
  EXPECT_EQ(root.read_file("/mnt/nand2/oem.ini"), "[brand]\nname=Example\n");
  EXPECT_TRUE(root.exists("/mnt/nand2/oem_upload"));
  EXPECT_FALSE(root.exists("/tmp/oem.zip"));
  EXPECT_TRUE(root.list("/tmp").empty());
}

TEST(OemPackage, WrongKeyMissingKeyOrDamagedPackageLeaveNand2Unchanged) {
  DeviceRoot root;
  root.write_file("/mnt/nand2/oem.db", "kept");
  const std::string package = oem_package(root, kOemKey);
  std::string damaged = package;
  // A byte of the last cipher block: its padding no longer checks out.
  const size_t at = damaged.size() - 8;
  damaged[at] = damaged[at] == 'A' ? 'B' : 'A';
  for (const auto& [query, content] : std::vector<std::pair<std::string, std::string>>{
           {"aes=ffffffffffffffffffffffffffffffff", package},
           {"key=" + std::string(kOemKey), package},
           {std::string("aes=") + kOemKey, "not base64 ***"},
           {std::string("aes=") + kOemKey, ""},
           {std::string("aes=") + kOemKey, damaged},
       }) {
    EXPECT_EQ(upload(root, "/oem", query, content).out, kTextHeader + "ERROR") << query;
    EXPECT_EQ(root.list("/mnt/nand2"), std::vector<std::string>{"oem.db"});
    EXPECT_FALSE(root.exists("/tmp/oem.zip"));
  }
}

TEST(FixedRoutes, UploadNothingAndRefusedDownload) {
  DeviceRoot root;
  EXPECT_EQ(upload(root, "/1019", "", "data").out, "");
  EXPECT_TRUE(root.list("/tmp").empty());
  EXPECT_EQ(get_route(root, "/dw.cgi").out, kTextHeader + "NG download");
}

}  // namespace
}  // namespace nvr::test
