// System information, display settings and languages ("/1009", "/1020",
// "/1012", "/6080", "/6081", "/1001", "/json", "/1023") end to end.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame/ipc.h"
#include "modules/system/sysinfo_records.h"
#include "platform/qvdb.h"
#include "platform/qvsocket.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

template <class T>
std::string ints(std::initializer_list<T> values) {
  std::string out;
  for (T v : values) out += CoreSim::bytes(v);
  return out;
}

std::string padded(const std::string& text, size_t size) {
  std::string out = text;
  out.resize(size, '\0');
  return out;
}

// ---- device information ----------------------------------------------------------

class SystemInfoTest : public ::testing::Test {
 protected:
  // "uptime" as a recorder with two users logged in prints it.
  // Scripted replies come at once: the wait limit is cut short.
  CgiRequest request(const std::string& route, bool fast = true) {
    root.write_file(
        "/fakebin/uptime",
        "#!/bin/sh\necho ' 10:15:01 up 3 days,  2:03,  2 users,  load average: 0.00'\n");
    chmod(root("/fakebin/uptime").c_str(), 0755);
    CgiRequest r;
    r.path_info = route;
    r.env["PATH"] = root("/fakebin") + ":" + build_dir() + "/platform-bin:/usr/bin:/bin";
    if (fast) r.env["NVR_TIME_SCALE"] = kFastScale;
    return r;
  }
  DeviceRoot root;
};

TEST_F(SystemInfoTest, BothRoutesAnswerTheRecordInKeyOrderWithParameters) {
  DeviceInfo info{};
  info.device_id = 7;
  info.max_cameras = 16;
  info.max_sensors = 8;
  info.max_alarms = 2;
  info.max_audio_out = 1;
  info.display_count = 2;
  info.rs485_count = 1;
  info.network_ports = 2;
  info.oem_version = 3;
  info.ddns = 1;
  memset(info.serial, 'S', sizeof info.serial);  // fills its field, no NUL
  strcpy(info.prefix, "PX");
  strcpy(info.model, "VR-16");
  strcpy(info.software, "7x.7.1.0");
  strcpy(info.hardware, "V2.0");
  strcpy(info.mac, "02:00:00:00:00:01");
  info.talk_support = 1;
  const std::string db = db_of(root);
  EXPECT_EQ(set_param_value(db.c_str(), "plugin_version", "2.5"), 0);
  EXPECT_EQ(set_param_value(db.c_str(), "company", std::string(70, 'c').c_str()), 0);
  EXPECT_EQ(set_param_int(db.c_str(), "qvfs_dbup", 1), 0);
  EXPECT_EQ(set_param_int(db.c_str(), "transport_protocol", 2), 0);

  CoreSim sim(root);
  sim.reply(3400, 8400, CoreSim::bytes(info));
  const std::string serial(65, 'S');
  const std::string expected =
      kJsonHeader +
      R"({ "hostName": "", "deviceName": "VR-16", "deviceId": 7, "product": "VR-16", )"
      R"("hwver": "V2.0", "software": "7x.7.1.0", "oemversion": 3, "sn": ")" +
      serial +
      R"(", "prefix": "PX", "pluginVersion": "2.5", "mpluginVersion": "1.0", )"
      R"("macAddress": "02:00:00:00:00:01", "qvddns": 1, "uptime": " 10:15:01 up 3 days,  2:03", )"
      R"("sncode": ")" +
      serial +
      R"(", "resource": { "displayNum": 2, "maxAudioOut": 1, "maxNetworkLan": 2, "maxSensor": 8, )"
      R"("maxAlarm": 2, "maxCameras": 16, "masRs485": 1 }, "qvfsDbup": 1, "transProtocol": 2, )"
      R"("streamInfo": 0, "oemonlineupdate": 0, "company": ")" +
      std::string(63, 'c') + R"(", "isSupportTalk": 1 })";
  for (const char* route : {"/1009", "/1020"}) {
    EXPECT_EQ(run_cgi(root, request(route)).out, expected) << route;
  }
  auto sent = sim.messages(3400);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, 0u);
  EXPECT_EQ(sent[0].payload, "");
}

TEST_F(SystemInfoTest, NoReplyOrAShortReplyAnswersTheJsonError) {
  CoreSim sim(root);
  sim.never(3400);
  EXPECT_EQ(run_cgi(root, request("/1009")).out, kJsonHeader + "{status:\"CGI ERROR\"}");
  sim.reply(3400, 8400, std::string(100, '\0'));
  EXPECT_EQ(run_cgi(root, request("/1020")).out, kJsonHeader + "{status:\"CGI ERROR\"}");
}

TEST_F(SystemInfoTest, SimulatedRecorderDescribesItself) {
  CoreSim sim(root);
  EXPECT_EQ(set_param_value(db_of(root).c_str(), "deviceid", "12"), 0);
  CgiResult result = run_cgi(root, request("/1009", false));
  EXPECT_NE(result.out.find(R"("deviceName": "VR-3232-4S", "deviceId": 12,)"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(R"("maxCameras": 32,)"), std::string::npos) << result.out;
}

// A daemon stand-in that takes one connection at a time, in the order they
// were made, and records what came on each. The program opens a connection
// per request and closes it before the next, so this is the order sent.
class SequentialDaemon {
 public:
  explicit SequentialDaemon(const DeviceRoot& root) : path_(root("/var/run/qvsocket")) {
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listen_fd_, 64) != 0)
      throw std::runtime_error("cannot listen on " + path_);
    thread_ = std::thread([this] { serve(); });
  }
  ~SequentialDaemon() {
    shutdown(listen_fd_, SHUT_RDWR);
    thread_.join();
    close(listen_fd_);
    unlink(path_.c_str());
  }
  // The messages once `count` have arrived (or after two seconds).
  std::vector<SimMessage> messages(size_t count) {
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard lock(mutex_);
        if (messages_.size() >= count) return messages_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard lock(mutex_);
    return messages_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
  }

 private:
  void serve() {
    for (;;) {
      int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      qvsock::HeaderBytes raw;
      qvsock::FrameHeader header;
      std::vector<uint8_t> payload;
      while (qvsock::read_frame(fd, &raw, &header, &payload) == qvsock::ReadResult::kFrame) {
        std::lock_guard lock(mutex_);
        messages_.push_back(
            {header.seq, header.id, header.flags, std::string(payload.begin(), payload.end())});
        payload.clear();
      }
      close(fd);
    }
  }
  std::string path_;
  int listen_fd_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<SimMessage> messages_;
};

// ---- host name and device id ---------------------------------------------------

TEST(SetSystemInfo, StoresAndAnnouncesHostNameAndDeviceId) {
  DeviceRoot root;
  SequentialDaemon daemon(root);
  for (const char* body :
       {R"({"hostName":"nvr","deviceId":0})", R"({"hostName":"nvr","deviceId":256})",
        R"({"hostName":"","deviceId":5})", R"({"deviceId":5})",
        R"({"hostName":"nvr","deviceId":"5"})", "not json"}) {
    EXPECT_EQ(post_json(root, "/1012", body).out, kRefused) << body;
  }
  EXPECT_TRUE(daemon.messages(0).empty());

  EXPECT_EQ(post_json(root, "/1012", R"({"hostName":"front-door","deviceId":255})").out,
            kTextHeader + "OK");
  auto sent = daemon.messages(2);
  ASSERT_EQ(ids_of(sent), (std::vector<int32_t>{1705, 1702}));
  EXPECT_EQ(sent[0].payload, CoreSim::bytes<int32_t>(255));
  EXPECT_EQ(sent[1].payload, padded("hostname", 32));
  for (const auto& m : sent) EXPECT_EQ(m.flags & CoreSim::kNoReply, CoreSim::kNoReply);

  char stored[16] = "";
  get_param_value(db_of(root).c_str(), "deviceid", stored, sizeof stored, "");
  EXPECT_STREQ(stored, "255");
  char host[kHostNameSize];
  read_host_name(db_of(root).c_str(), host, sizeof host);
  EXPECT_STREQ(host, "front-door");
}

// ---- display, audio and general settings ---------------------------------------
// These routes only send requests that expect no reply, so they run at real
// speed: the pause after each send keeps the recorded order the order sent.

constexpr const char* kDefaultsAnswer =
    R"({ "displayMode": 0, "hdmihotplug": 1, "mainResolution": 0, "hdmiAudioOn": 0, )"
    R"("homologous": 1, "curControl": 0, "subEnable": 0, "subResolution": 0, )"
    R"("audioOutputOn": 0, "audioVolume": 0, "deviceId": 255, "hostname": "", )"
    R"("wizardEnable": 0, "hideTaskBar": 0, "hideToolBar": 0 })";

std::string general_body(const std::string& overrides) {
  std::string body = R"({"mainResolution":3,"audioOutputOn":1,"audioVolume":60,"hdmiAudioOn":1,)"
                     R"("subResolution":2,"wizardEnable":1,"hostname":"lobby","deviceId":256,)"
                     R"("displayMode":1,"subEnable":1,"audioStereo":1,"hdmihotplug":0,)"
                     R"("streamInfo":1)";
  if (!overrides.empty()) body += "," + overrides;
  return body + "}";
}

class GeneralInfoTest : public ::testing::Test {
 protected:
  // The simulated recorder stores the sub output it switched (request 1023)
  // on its own thread; waits until it has.
  bool sub_output_stored(int32_t enable) {
    for (int i = 0; i < 200; ++i) {
      DisplayInfo display{};
      read_display(db_of(root).c_str(), &display);
      if (display.sub_enable == enable) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  DeviceRoot root;
  CoreSim sim{root};
};

TEST_F(GeneralInfoTest, DefaultsThenStoredSettingsAreAnswered) {
  EXPECT_EQ(get(root, "/6080").out, kJsonHeader + kDefaultsAnswer);

  ASSERT_EQ(post_json(root, "/6081", general_body("")).out, kTextHeader + "OK");
  ASSERT_TRUE(sub_output_stored(1));
  EXPECT_EQ(get(root, "/6080").out,
            kJsonHeader +
                R"({ "displayMode": 1, "hdmihotplug": 0, "mainResolution": 3, "hdmiAudioOn": 1, )"
                R"("homologous": 1, "curControl": 0, "subEnable": 1, "subResolution": 2, )"
                R"("audioOutputOn": 1, "audioVolume": 60, "deviceId": 256, "hostname": "lobby", )"
                R"("wizardEnable": 1, "hideTaskBar": 0, "hideToolBar": 0 })");
  DisplayInfo display{};
  read_display(db_of(root).c_str(), &display);
  EXPECT_EQ(display.audio_stereo, 1);
  EXPECT_EQ(display.sub_enable, 1);
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "stream_information", 0), 1);
}

TEST_F(GeneralInfoTest, InvalidRequestsAreNotAnswered) {
  const char* bad[] = {
      R"("audioVolume":55)", R"("audioVolume":110)", R"("audioVolume":-10)",
      R"("deviceId":257)",   R"("deviceId":-1)",     R"("audioOutputOn":2)",
      R"("hdmiAudioOn":-1)", R"("wizardEnable":2)",  R"("displayMode":2)",
      R"("subEnable":2)",    R"("hostname":5)",      R"("mainResolution":"3")",
  };
  for (const char* change : bad) {
    EXPECT_EQ(post_json(root, "/6081", general_body(change)).out, kRefused) << change;
  }
  // Each required key, left out.
  for (const char* key :
       {"mainResolution", "audioOutputOn", "audioVolume", "hdmiAudioOn", "subResolution",
        "wizardEnable", "hostname", "deviceId", "displayMode", "subEnable"}) {
    std::string body = general_body("");
    const size_t at = body.find(std::string("\"") + key + "\"");
    const size_t end = body.find_first_of(",}", body.find(':', at));
    body.erase(at, end - at + (body[end] == ',' ? 1 : 0));
    EXPECT_EQ(post_json(root, "/6081", body).out, kRefused) << key;
  }
  EXPECT_TRUE(sim.messages().empty());
  EXPECT_EQ(get(root, "/6080").out, kJsonHeader + kDefaultsAnswer);
  EXPECT_EQ(post_json(root, "/6081", general_body(R"("audioVolume":0)")).out, kTextHeader + "OK");
}

TEST(GeneralInfoSequence, NewResolutionAndSubOutputInOrder) {
  DeviceRoot root;
  SequentialDaemon daemon(root);
  ASSERT_EQ(post_json(root, "/6081", general_body("")).out, kTextHeader + "OK");
  auto sent = daemon.messages(8);
  ASSERT_EQ(ids_of(sent), (std::vector<int32_t>{1023, 1705, 1702, 1001, 1001, 1015, 1002, 3485}));
  for (const auto& m : sent) EXPECT_EQ(m.flags & CoreSim::kNoReply, CoreSim::kNoReply) << m.id;
  EXPECT_EQ(sent[0].payload, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(sent[1].payload, CoreSim::bytes<int32_t>(256));
  EXPECT_EQ(sent[2].payload, padded("hostname", 32));
  EXPECT_EQ(sent[3].payload, ints<int32_t>({0, 3}));
  EXPECT_EQ(sent[4].payload, ints<int32_t>({1, 2}));
  EXPECT_EQ(sent[5].payload, "");
  EXPECT_EQ(sent[6].payload, ints<int32_t>({1, 1, 60}));
  QvLogInfo log{};
  ASSERT_EQ(sent[7].payload.size(), sizeof log);
  memcpy(&log, sent[7].payload.data(), sizeof log);
  EXPECT_EQ(log.sub_type, 204);
  EXPECT_EQ(log.param_type, 913);
  EXPECT_EQ(log.chan_no, 0);

  // Same resolutions, the sub output already on (as the recorder stores it):
  // only the device id, host name and audio.
  DisplayInfo display{};
  read_display(db_of(root).c_str(), &display);
  display.sub_enable = 1;
  EXPECT_EQ(write_display(db_of(root).c_str(), &display), 0);
  daemon.clear();
  ASSERT_EQ(post_json(root, "/6081", general_body(R"("audioVolume":100)")).out, kTextHeader + "OK");
  sent = daemon.messages(4);
  ASSERT_EQ(ids_of(sent), (std::vector<int32_t>{1705, 1702, 1002, 3485}));
  EXPECT_EQ(sent[2].payload, ints<int32_t>({1, 1, 100}));
}

TEST(GeneralInfoSequence, MirroringChangeRestartsLastAndSubControlAnswersSub) {
  DeviceRoot root;
  SequentialDaemon daemon(root);
  ASSERT_EQ(post_json(root, "/6081", general_body(R"("homologous":0,"isHomologousChanged":1)")).out,
            kTextHeader + "OK");
  auto sent = daemon.messages(8);
  ASSERT_EQ(ids_of(sent), (std::vector<int32_t>{1705, 1702, 1001, 1001, 1015, 1002, 3485, 1703}));
  EXPECT_EQ(sent.back().payload, "");
  const std::string db = db_of(root);
  EXPECT_EQ(get_param_int(db.c_str(), "homologous", 1), 0);
  char quick[8] = "";
  get_param_value(db.c_str(), "quick_screen", quick, sizeof quick, "");
  EXPECT_STREQ(quick, "1");
  DisplayInfo display{};
  read_display(db.c_str(), &display);
  EXPECT_EQ(display.sub_enable, 1);

  // The sub output in control: stored the same way, answered "SUB", and the
  // sub output is not switched from here.
  display.cur_control = 1;
  display.sub_enable = 0;
  EXPECT_EQ(write_display(db.c_str(), &display), 0);
  daemon.clear();
  EXPECT_EQ(post_json(root, "/6081", general_body("")).out, kTextHeader + "SUB");
  EXPECT_EQ(ids_of(daemon.messages(4)), (std::vector<int32_t>{1705, 1702, 1002, 3485}));
}

// ---- language list -----------------------------------------------------------------

std::string language_list(int count, const std::string& extra = "") {
  std::string body = R"({"defaultLan":"en","list":[)";
  for (int i = 0; i < count; ++i) {
    if (i) body += ",";
    body += R"({"value":"l)" + std::to_string(i) + R"(","name":"Language )" + std::to_string(i) +
            R"(","isDefault":)" + (i == 0 ? "true" : "false") + "}";
  }
  return body + "]" + extra + "}";
}

TEST(LanguageList, ReplacesTheListFileOnlyWithAValidList) {
  DeviceRoot root;
  const std::string kList = "/opt/app/www/webfile/json/languages.json";
  root.write_file(kList, "old list\n");
  const std::string bad[] = {
      language_list(18),
      language_list(19, R"(,"more":1)"),
      R"({"defaultLan":"","list":[]})",
      language_list(19).replace(language_list(19).find("\"isDefault\":true"), 16,
                                "\"isDefault\":1"),
      language_list(19).replace(language_list(19).find("\"name\""), 6, "\"nome\""),
      "[1,2]",
  };
  for (const std::string& body : bad) {
    EXPECT_EQ(post_json(root, "/1001", body).out, kRefused) << body;
    EXPECT_EQ(root.read_file(kList), "old list\n");
  }

  const std::string good = language_list(19);
  EXPECT_EQ(post_json(root, "/1001", good).out, kTextHeader + "OK");
  EXPECT_EQ(root.read_file(kList), good + "\n");
  EXPECT_FALSE(root.exists("/opt/app/www/webfile/json/languages_bak.json"));
  EXPECT_TRUE(root.exists("/tmp/cgilockfile"));
}

TEST(LanguageList, AFailedWriteKeepsTheOldListAndSaysSo) {
  DeviceRoot root;
  const std::string kList = "/opt/app/www/webfile/json/languages.json";
  root.write_file(kList, "old list\n");
  // The backup file cannot be created where a folder stands.
  std::filesystem::create_directories(root("/opt/app/www/webfile/json/languages_bak.json/x"));
  EXPECT_EQ(post_json(root, "/1001", language_list(20)).out, kTextHeader + "CGI ERROR");
  EXPECT_EQ(root.read_file(kList), "old list\n");
}

TEST(LanguageList, ALinkUnderTheBackupNameIsNotWrittenThrough) {
  DeviceRoot root;
  const std::string kList = "/opt/app/www/webfile/json/languages.json";
  root.write_file(kList, "old list\n");
  root.write_file("/mnt/nand/keep.txt", "kept\n");
  std::filesystem::create_symlink(root("/mnt/nand/keep.txt"),
                                  root("/opt/app/www/webfile/json/languages_bak.json"));
  const std::string good = language_list(19);
  EXPECT_EQ(post_json(root, "/1001", good).out, kTextHeader + "OK");
  EXPECT_EQ(root.read_file(kList), good + "\n");
  EXPECT_EQ(root.read_file("/mnt/nand/keep.txt"), "kept\n");
}

// ---- language sections ---------------------------------------------------------------

class LangSectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root.write_file("/opt/app/www/webfile/json/en.json",
                    "{//login.json\n"
                    "\"user\": \"User\",\n"
                    "\"pass\": \"Password\"\n"
                    "}//login.json\n"
                    "{//setup=network.json\n"
                    "\"ip\": \"Address\"\n"
                    "}//setup=network.json\n");
    // A file outside the language folder that no request may reach.
    root.write_file("/opt/app/www/webfile/secret.json",
                    "{//login.json\n\"key\": 1\n}//login.json\n");
  }
  CgiResult section(const std::string& query) { return get(root, "/json", query); }
  DeviceRoot root;
};

TEST_F(LangSectionTest, AnswersTheSectionOfThePageAndSub) {
  EXPECT_EQ(section("lang=en&page=login").out,
            kJsonHeader + "{\n\"user\": \"User\",\n\"pass\": \"Password\"\n\n}");
  EXPECT_EQ(section("lang=en&page=login&sub=").out, section("lang=en&page=login").out);
  EXPECT_EQ(section("lang=en&page=setup&sub=network").out,
            kJsonHeader + "{\n\"ip\": \"Address\"\n\n}");
  EXPECT_EQ(section("lang=en&page=setup").out, kJsonHeader);  // no such marker
  EXPECT_EQ(section("lang=en").out, kJsonHeader + "ERROR PAGE.");
  EXPECT_EQ(section("lang=fr&page=login").out, kJsonHeader + "ERROR LANG.");
  EXPECT_EQ(section("page=login").out, kJsonHeader + "ERROR LANG.");
}

TEST_F(LangSectionTest, ValuesThatWouldLeaveTheLanguageFolderAreRefused) {
  EXPECT_EQ(section("lang=../secret&page=login").out, kJsonHeader + "ERROR LANG.");
  EXPECT_EQ(section("lang=..%2Fsecret&page=login").out, kJsonHeader + "ERROR LANG.");
  EXPECT_EQ(section("lang=x\\..\\secret&page=login").out, kJsonHeader + "ERROR LANG.");
  EXPECT_EQ(section("lang=/opt/app/www/webfile/secret&page=login").out,
            kJsonHeader + "ERROR LANG.");
  EXPECT_EQ(section("lang=en&page=../login").out, kJsonHeader + "ERROR PAGE.");
  EXPECT_EQ(section("lang=en&page=setup&sub=a/b").out, kJsonHeader + "ERROR PAGE.");
}

TEST_F(LangSectionTest, AnswerIsLimitedTo307200Bytes) {
  std::string file = "{//big.json\n";
  const std::string line = std::string(1000, 'x') + "\n";
  for (int i = 0; i < 400; ++i) file += line;
  file += "}//big.json\n";
  root.write_file("/opt/app/www/webfile/json/big.json", file);
  CgiResult result = section("lang=big&page=big");
  ASSERT_EQ(result.out.size(), kJsonHeader.size() + 307199);
  EXPECT_EQ(result.out.substr(kJsonHeader.size(), 3), "{\nx");
}

// ---- qvfs database upgrade flag ----------------------------------------------------

TEST(ClearQvfsDbup, ClearsTheFlag) {
  DeviceRoot root;
  EXPECT_EQ(set_param_int(db_of(root).c_str(), "qvfs_dbup", 1), 0);
  EXPECT_EQ(get(root, "/1023").out, kTextHeader + "OK");
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "qvfs_dbup", 5), 0);
}

}  // namespace
}  // namespace nvr::test
