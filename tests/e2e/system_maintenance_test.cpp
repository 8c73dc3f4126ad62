// Restart, restore, configuration transfer, retention, automatic reboot and
// diagnostic packages ("/1004" to "/1033", "/6310", "/6311") end to end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/ipc.h"
#include "modules/system/maintenance_wire.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

constexpr const char* kCookie = "userName=admin";

CgiResult get_route(const DeviceRoot& root, const std::string& route, const std::string& query = "",
                    std::map<std::string, std::string> env = {}) {
  CgiRequest request;
  request.path_info = route;
  request.query = query;
  request.cookie = kCookie;
  request.env = std::move(env);
  return run_cgi(root, request);
}

CgiResult post(const DeviceRoot& root, const std::string& route, const std::string& body,
               std::map<std::string, std::string> env = {}) {
  CgiRequest request = json_post(route, body, false, kCookie);
  request.env = std::move(env);
  return run_cgi(root, request);
}

CgiResult upload(const DeviceRoot& root, const std::string& route, const std::string& file_name,
                 const std::string& content) {
  CgiRequest request = file_post(route, file_name, content);
  request.cookie = kCookie;
  return run_cgi(root, request);
}

const std::map<std::string, std::string> kFast = {{"NVR_TIME_SCALE", "0.001"}};

QvLogInfo log_record(const SimMessage& message) { return record_of<QvLogInfo>(message); }

void expect_system_log(const SimMessage& message, int64_t sub_type) {
  ASSERT_EQ(message.id, kReqOperationLog);
  EXPECT_EQ(message.flags & CoreSim::kNoReply, CoreSim::kNoReply);
  const QvLogInfo record = log_record(message);
  EXPECT_EQ(record.main_type, 4);
  EXPECT_EQ(record.sub_type, sub_type);
  EXPECT_EQ(record.param_type, 900);
  EXPECT_EQ(record.chan_no, 0);
  EXPECT_STREQ(record.user, "admin");
}

// A folder of programs that comes before the stand-ins on PATH.
std::map<std::string, std::string> with_program(const DeviceRoot& root, const std::string& name,
                                                const std::string& script) {
  root.write_file("/testbin/" + name, "#!/bin/sh\n" + script);
  chmod(root("/testbin/" + name).c_str(), 0755);
  return {{"PATH", root("/testbin") + ":" + build_dir() + "/platform-bin:/usr/bin:/bin"}};
}

// ---- restart and restore -------------------------------------------------------

TEST(Restart, LogsThenOrdersTheRestartAndAnswersOK) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(get_route(root, "/1004").out, kTextHeader + "OK");
  const auto sent = sim.messages();
  ASSERT_EQ(ids_of(sent), (std::vector<int32_t>{3485, 1703}));
  expect_system_log(sent[0], 200);
  EXPECT_EQ(sent[1].flags, CoreSim::kNoReply);
  EXPECT_EQ(sent[1].payload, "");
}

TEST(RestartState, FollowsTheReadyFileAndRepairsChannel0MotionIntervals) {
  DeviceRoot root;
  // Before the daemon has started: no ready file.
  EXPECT_EQ(get_route(root, "/1005").out, kTextHeader + "NO OK");
  struct Intervals {
    int32_t chnid, interval, email_interval;
  } stored{};
  constexpr DbField kFields[] = {
      DB_FIELD(Intervals, chnid, "chnid", DbType::I32),
      DB_FIELD(Intervals, interval, "interval", DbType::I32),
      DB_FIELD(Intervals, email_interval, "email_interval", DbType::I32),
  };
  const DbRecord motion{"motion", "chnid", sizeof(Intervals), kFields};
  ASSERT_EQ(db_read(db_of(root).c_str(), motion, &stored, 0), 0);
  EXPECT_EQ(stored.interval, 20);
  EXPECT_EQ(stored.email_interval, 20);

  // A set interval stays; only the zero one is repaired.
  stored = {0, 7, 0};
  ASSERT_EQ(db_write(db_of(root).c_str(), motion, &stored), 0);
  root.write_file("/tmp/qvcore", "1");
  EXPECT_EQ(get_route(root, "/1005").out, kTextHeader + "OK");
  ASSERT_EQ(db_read(db_of(root).c_str(), motion, &stored, 0), 0);
  EXPECT_EQ(stored.interval, 7);
  EXPECT_EQ(stored.email_interval, 20);
}

TEST(Restore, AnswersFirstThenRestoreMarkerLogAndRestartInOrder) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/1006", R"({"keepIp":1,"keepUser":0})").out, kTextHeader + "OK");
  const auto sent = sim.messages();
  ASSERT_EQ(ids_of(sent), (std::vector<int32_t>{3311, 3410, 3485, 1703}));
  RestorePayload flags{1, 0};
  EXPECT_EQ(sent[0].payload, CoreSim::bytes(flags));
  EXPECT_EQ(sent[1].payload, "");
  expect_system_log(sent[2], 215);
  for (const auto& m : sent) EXPECT_EQ(m.flags, CoreSim::kNoReply);

  // The answer is out before the daemon hears of the restore: it stays even
  // when the daemon goes away at once.
  sim.clear_messages();
  sim.fault(3311, SimFault::kDie);
  EXPECT_EQ(post(root, "/1006", R"({"keepUser":1})", kFast).out, kTextHeader + "OK");
}

TEST(Restore, UnparsableRequestGetsNoAnswerAndSendsNothing) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/1006", "{keepIp").out, kRefused);
  EXPECT_EQ(post(root, "/1006", "7").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
}

// ---- configuration export, download, import ------------------------------------

TEST(ConfigTransfer, ExportDownloadAndImportRoundTripTheSettings) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(post(root, "/1017", R"({"logRetention":2,"photoRetention":4})").out,
            kTextHeader + "OK");

  const CgiResult exported = get_route(root, "/1007");
  const std::string marker = root.read_file("/tmp/.export_down_file");
  ASSERT_EQ(marker.rfind("/tmp/config_", 0), 0u) << marker;
  const std::string name = marker.substr(5);
  EXPECT_EQ(exported.out, kTextHeader + "OK filename=" + name + "\r\n");
  auto logs = sim.messages(3485);
  ASSERT_EQ(logs.size(), 1u);
  expect_system_log(logs[0], 213);

  // Changed after the export ...
  ASSERT_EQ(post(root, "/1017", R"({"logRetention":6,"photoRetention":8})").out,
            kTextHeader + "OK");

  // ... the download sends the file once and removes it.
  const std::string bytes = root.read_file(marker);
  ASSERT_FALSE(bytes.empty());
  const CgiResult download = get_route(root, "/1013");
  EXPECT_EQ(download.out,
            "Content-Type:application/octet-stream\r\n"
            "Content-Disposition: attachment; filename= " +
                name + "\r\n\r\n" + bytes);
  EXPECT_FALSE(root.exists(marker));
  EXPECT_EQ(get_route(root, "/1013").out, kRefused);

  // ... and importing it brings the exported settings back.
  sim.clear_messages();
  EXPECT_EQ(upload(root, "/1008", "saved.bin", bytes).out, kTextHeader + "OK");
  EXPECT_FALSE(root.exists("/tmp/saved.bin"));
  logs = sim.messages(3485);
  ASSERT_EQ(logs.size(), 1u);
  expect_system_log(logs[0], 214);
  EXPECT_EQ(get_route(root, "/1016").out,
            kJsonHeader + R"({ "logRetention": 2, "photoRetention": 4 })");
}

TEST(ConfigTransfer, ExportMarkerWithoutSlashAnswersPlainOK) {
  DeviceRoot root;
  CoreSim sim(root);
  auto env = with_program(root, "qvprofile",
                          "printf 'config.bin' > \"$NVR_ROOT/tmp/.export_down_file\"\n");
  EXPECT_EQ(get_route(root, "/1007", "", env).out, kTextHeader + "OK");
  EXPECT_EQ(sim.messages(3485).size(), 1u);
}

TEST(ConfigTransfer, ProfileToolFailureAnswersErrorAndLogsNothing) {
  DeviceRoot root;
  CoreSim sim(root);
  auto env = with_program(root, "qvprofile", "exit 1\n");
  EXPECT_EQ(get_route(root, "/1007", "", env).out, kTextHeader + "CGI ERROR");
  // An upload the tool cannot import is kept out of the settings and answered
  // with the error.
  EXPECT_EQ(upload(root, "/1008", "junk.bin", "not a profile").out, kTextHeader + "CGI ERROR");
  EXPECT_TRUE(sim.messages(3485).empty());
}

TEST(ConfigTransfer, DownloadWithoutMarkerOrFileAnswersNothing) {
  DeviceRoot root;
  EXPECT_EQ(get_route(root, "/1013").out, kRefused);
  root.write_file("/tmp/.export_down_file", "/tmp/gone.bin");
  EXPECT_EQ(get_route(root, "/1013").out, kRefused);
}

TEST(ConfigTransfer, ImportTakesOnlyUploadedFiles) {
  DeviceRoot root;
  CoreSim sim(root);
  // A valid profile kept outside "/tmp": naming it in a request must neither
  // import it nor remove it.
  ASSERT_EQ(post(root, "/1017", R"({"logRetention":2,"photoRetention":4})").out,
            kTextHeader + "OK");
  get_route(root, "/1007");
  const std::string exported = root.read_file("/tmp/.export_down_file");
  std::filesystem::rename(root(exported), root("/mnt/nand2/backup.bin"));
  ASSERT_EQ(post(root, "/1017", R"({"logRetention":6,"photoRetention":8})").out,
            kTextHeader + "OK");
  sim.clear_messages();

  for (const std::string& path :
       {std::string("/mnt/nand2/backup.bin"), root("/mnt/nand2/backup.bin"),
        root("/tmp/../mnt/nand2/backup.bin"), std::string("/tmp/../mnt/nand2/backup.bin")}) {
    EXPECT_EQ(get_route(root, "/1008", path).out, kTextHeader + "CGI ERROR") << path;
    EXPECT_EQ(post(root, "/1008", path).out, kTextHeader + "CGI ERROR") << path;
  }
  EXPECT_TRUE(root.exists("/mnt/nand2/backup.bin"));
  EXPECT_EQ(get_route(root, "/1016").out,
            kJsonHeader + R"({ "logRetention": 6, "photoRetention": 8 })");
  EXPECT_TRUE(sim.messages(3485).empty());
}

// ---- retention ---------------------------------------------------------------

TEST(Retention, StoresAllowedValuesAndRefusesOthersSilently) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(get_route(root, "/1016").out,
            kJsonHeader + R"({ "logRetention": 0, "photoRetention": 0 })");

  EXPECT_EQ(post(root, "/1017", R"({"logRetention":12,"photoRetention":-1})").out,
            kTextHeader + "OK");
  auto notices = sim.messages(2102);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].flags, CoreSim::kNoReply);
  EXPECT_EQ(notices[0].payload, "");

  sim.clear_messages();
  for (const char* refused : {
           R"({"logRetention":3,"photoRetention":2})",
           R"({"logRetention":14,"photoRetention":2})",
           R"({"logRetention":2,"photoRetention":-2})",
           R"({"logRetention":2})",
           R"({"logRetention":"2","photoRetention":2})",
           R"({"logRetention":4294967298,"photoRetention":2})",
           "not json",
       })
    EXPECT_EQ(post(root, "/1017", refused).out, kRefused) << refused;
  EXPECT_TRUE(sim.messages().empty());
  EXPECT_EQ(get_route(root, "/1016").out,
            kJsonHeader + R"({ "logRetention": 12, "photoRetention": -1 })");
}

// ---- automatic reboot -----------------------------------------------------------

TEST(AutoReboot, ReplacesAllFiveFieldsAbsentAsZero) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(get_route(root, "/1032").out,
            kJsonHeader + R"({ "enable": 0, "wday": 0, "hour": 0, "minutes": 0, "seconds": 0 })");
  EXPECT_EQ(post(root, "/1033", R"({"enable":1,"wday":3,"hour":4,"minutes":30,"seconds":15})").out,
            kTextHeader + "OK");
  EXPECT_EQ(post(root, "/1033", R"({"enable":1,"hour":25})").out, kTextHeader + "OK");
  EXPECT_EQ(get_route(root, "/1032").out,
            kJsonHeader + R"({ "enable": 1, "wday": 0, "hour": 25, "minutes": 0, "seconds": 0 })");
  const auto notices = sim.messages(1718);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[1].flags, CoreSim::kNoReply);
  EXPECT_EQ(post(root, "/1033", "{").out, kRefused);
}

// ---- diagnostic packages ----------------------------------------------------------

TEST(Diagnosis, ExportNamesThePackageAndDownloadSendsAndRemovesIt) {
  DeviceRoot root;
  CoreSim sim(root);
  const CgiResult exported = get_route(root, "/6310");
  const auto requests = sim.messages(3528);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].flags, 0u);
  DiagnosisRequest folder{};
  memcpy(folder.directory, "/tmp", 4);
  EXPECT_EQ(requests[0].payload, CoreSim::bytes(folder));

  const std::string prefix = kTextHeader + "OK/%2Ftmp%2Fdiagnosis_";
  ASSERT_EQ(exported.out.rfind(prefix, 0), 0u) << exported.out;
  ASSERT_EQ(exported.out.substr(exported.out.size() - 2), "\r\n");
  const std::string encoded =
      exported.out.substr(kTextHeader.size() + 3, exported.out.size() - kTextHeader.size() - 5);
  const std::string name = encoded.substr(strlen("%2Ftmp%2F"));
  ASSERT_TRUE(root.exists("/tmp/" + name));
  EXPECT_FALSE(root.exists("/tmp/tmp_diagnostic"));
  const std::string content = root.read_file("/tmp/" + name);

  EXPECT_EQ(get_route(root, "/6311", encoded).out,
            "Content-Type:application/octet-stream\r\n"
            "Content-Disposition: attachment; filename= " +
                name + "\r\n\r\n" + content);
  EXPECT_FALSE(root.exists("/tmp/" + name));
  EXPECT_EQ(get_route(root, "/6311", encoded).out, kRefused);
}

TEST(Diagnosis, ExportWhileAnotherRunsFailsAtOnce) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/tmp/tmp_diagnostic", "");
  EXPECT_EQ(get_route(root, "/6310").out, kTextHeader + "Failed");
  EXPECT_TRUE(sim.messages().empty());
}

TEST(Diagnosis, FailedOrMissingReplyAnswersFailed) {
  DeviceRoot root;
  CoreSim sim(root);
  DiagnosisReplyHead failed{0, -1};
  sim.reply(3528, 8528, CoreSim::bytes(failed) + std::string("/tmp/x\0", 7));
  EXPECT_EQ(get_route(root, "/6310").out, kTextHeader + "Failed");
  sim.clear(3528).reply(3528, 8528, "\x01");  // too short to hold a status
  EXPECT_EQ(get_route(root, "/6310").out, kTextHeader + "Failed");
  sim.clear(3528).never(3528);
  EXPECT_EQ(get_route(root, "/6310", "", kFast).out, kTextHeader + "Failed");
  sim.stop();
  EXPECT_EQ(get_route(root, "/6310", "", kFast).out, kTextHeader + "Failed");
}

TEST(Diagnosis, DownloadRefusesEverythingButPackagesInTmp) {
  DeviceRoot root;
  root.write_file("/mnt/nand/app/secret.db", "settings");
  root.write_file("/tmp/sub/pkg.txt", "nested");
  std::filesystem::create_symlink(root("/mnt/nand/app/secret.db"), root("/tmp/link.txt"));
  // A name that the 255-character limit would cut into this one.
  const std::string kept(250, 'k');
  root.write_file("/tmp/" + kept, "another file");
  for (const std::string& query : {
           std::string("%2Fmnt%2Fnand%2Fapp%2Fsecret.db"),
           std::string("/mnt/nand/app/secret.db"),
           std::string("%2Ftmp%2F..%2Fmnt%2Fnand%2Fapp%2Fsecret.db"),
           std::string("/tmp/../mnt/nand/app/secret.db"),
           std::string("%2Ftmp%2Flink.txt"),
           std::string("%2Ftmp%2Fsub%2Fpkg.txt"),
           std::string("%2Ftmp"),
           std::string("%2Ftmp%2F"),
           root("/tmp/sub/pkg.txt"),
           root("/mnt/nand/app/secret.db"),
           std::string(""),
           "/tmp/" + kept + "more",
       })
    EXPECT_EQ(get_route(root, "/6311", query).out, kRefused) << query;
  EXPECT_EQ(root.read_file("/mnt/nand/app/secret.db"), "settings");
  EXPECT_EQ(root.read_file("/tmp/sub/pkg.txt"), "nested");
  EXPECT_TRUE(std::filesystem::is_symlink(root("/tmp/link.txt")));
  EXPECT_EQ(root.read_file("/tmp/" + kept), "another file");
}

}  // namespace
}  // namespace nvr::test
