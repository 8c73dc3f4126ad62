// Requests from a hostile client or a faulty device: uploads, marker files,
// archive entries and daemon paths stay in their folders; one answer per run;
// bodies read only as far as they go and never waited on for long.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "modules/system/devlog_codec.h"
#include "modules/system/maintenance_wire.h"
#include "platform/qvbase64.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/programs.h"

namespace nvr::test {
namespace {

namespace fs = std::filesystem;

const std::string kBoundary = "Bnd42";

CgiRequest multipart(const std::string& route, const std::string& file_name,
                     const std::string& content, const std::string& query = "") {
  CgiRequest request;
  request.method = "POST";
  request.path_info = route;
  request.query = query;
  request.content_type = "multipart/form-data; boundary=" + kBoundary;
  request.body = "--" + kBoundary +
                 "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + file_name +
                 "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n--" +
                 kBoundary + "--\r\n";
  request.cookie = "userName=admin";
  request.env["NVR_TIME_SCALE"] = "0.001";
  return request;
}

// ---- uploads and the export marker ----------------------------------------------

TEST(HostileUploads, ARouteThatTakesNoFileKeepsNoneAndTheMarkerCannotBePlanted) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string db = root("/mnt/nand/app/qvdb.db");
  root.write_file("/mnt/nand/app/qvdb.db", "settings");
  run_cgi(root, multipart("/6070", ".export_down_file", "/mnt/nand/app/qvdb.db"));
  for (const std::string& name : root.list("/tmp"))
    EXPECT_TRUE(name != ".export_down_file" && name.rfind("cgic", 0) != 0) << name;
  EXPECT_EQ(get(root, "/1013").out, kRefused);
  EXPECT_EQ(root.read_file("/mnt/nand/app/qvdb.db"), "settings");
}

TEST(HostileUploads, AnUploadNeverReplacesAFileAndDotNamesAreNotKept) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/tmp/a.wav", "kept");
  root.write_file("/tmp/.hidden", "kept too");
  // "/1008" takes a file: the profile tool stand-in imports it, then it is removed.
  run_cgi(root, multipart("/1008", "a.wav", "upload one"));
  run_cgi(root, multipart("/1008", ".hidden", "upload two"));
  EXPECT_EQ(root.read_file("/tmp/a.wav"), "kept");
  EXPECT_EQ(root.read_file("/tmp/.hidden"), "kept too");
}

TEST(HostileUploads, ExportMarkerMustNameARegularFileInTmp) {
  DeviceRoot root;
  root.write_file("/mnt/nand/app/qvdb.db", "settings");
  root.write_file("/x", "outside");
  ASSERT_EQ(symlink(root("/mnt/nand/app/qvdb.db").c_str(), root("/tmp/link.tar").c_str()), 0);
  for (const char* marker : {"/../../x", "/tmp/../x", "/mnt/nand/app/qvdb.db", "/tmp/link.tar"}) {
    root.write_file("/tmp/.export_down_file", marker);
    EXPECT_EQ(get(root, "/1013").out, kRefused) << marker;
  }
  EXPECT_EQ(root.read_file("/mnt/nand/app/qvdb.db"), "settings");
  EXPECT_EQ(root.read_file("/x"), "outside");
  EXPECT_TRUE(fs::is_symlink(root("/tmp/link.tar")));
  // A real export is still sent once and removed.
  root.write_file("/tmp/cfg.tar", "exported");
  root.write_file("/tmp/.export_down_file", "/tmp/cfg.tar");
  EXPECT_EQ(get(root, "/1013").out,
            "Content-Type:application/octet-stream\r\n"
            "Content-Disposition: attachment; filename= cfg.tar\r\n\r\nexported");
  EXPECT_FALSE(root.exists("/tmp/cfg.tar"));
}

TEST(HostileUploads, AudioUploadDoesNotFollowALinkPlantedUnderItsEncodedName) {
  DeviceRoot root;
  CoreSim sim(root);
  fs::create_directories(root("/outside"));
  char encoded[256];
  ASSERT_GT(base64EncodeUrl(encoded, sizeof encoded, "a.wav", 5), 0);
  ASSERT_EQ(symlink(root("/outside").c_str(), root(std::string("/tmp/") + encoded).c_str()), 0);
  run_cgi(root, multipart("/6321", "a.wav", "RIFF"));
  EXPECT_TRUE(root.list("/outside").empty());
}

// ---- OEM packages ------------------------------------------------------------------

constexpr const char* kKey = "6d1f0a9c3b7e4d2a8c5f1e0b9a7d3c21";

// A package of the folder `tree` (links kept as links).
std::string package_of(const DeviceRoot& root, const std::string& tree) {
  const std::string zip = root("/build/pkg.zip");
  fs::remove(zip);
  const std::string make = "cd '" + root(tree) + "' && zip -qry '" + zip + "' . && '" +
                           source_dir() + "/tools/oem/make-oem-package' '" + kKey + "' '" + zip +
                           "' '" + root("/build/pkg.txt") + "'";
  EXPECT_EQ(system(make.c_str()), 0);
  return root.read_file("/build/pkg.txt");
}

TEST(HostileUploads, OemPackagesNeverWriteThroughALink) {
  DeviceRoot root;
  fs::create_directories(root("/outside"));
  fs::create_directories(root("/build/one"));
  ASSERT_EQ(symlink(root("/outside").c_str(), root("/build/one/lnk").c_str()), 0);
  const std::string query = std::string("aes=") + kKey;
  // A package holding a link is refused whole.
  EXPECT_EQ(run_cgi(root, multipart("/oem", "p.bin", package_of(root, "/build/one"), query)).out,
            kTextHeader + "ERROR");
  EXPECT_FALSE(fs::is_symlink(root("/mnt/nand2/lnk")));
  // A link already in the folder gives way to the package's folder.
  ASSERT_EQ(symlink(root("/outside").c_str(), root("/mnt/nand2/lnk").c_str()), 0);
  root.write_file("/build/two/lnk/evil.txt", "evil");
  EXPECT_EQ(run_cgi(root, multipart("/oem", "p.bin", package_of(root, "/build/two"), query)).out,
            kTextHeader + "OK");
  EXPECT_TRUE(root.list("/outside").empty());
  EXPECT_EQ(root.read_file("/mnt/nand2/lnk/evil.txt"), "evil");
  for (const std::string& name : root.list("/mnt/nand2"))
    EXPECT_NE(name.rfind(".oem-", 0), 0u) << name;  // no stage folder left behind
}

// ---- daemon paths ------------------------------------------------------------------

TEST(HostileDaemon, LogExportFileOutsideItsFolderIsNeitherReadNorRemoved) {
  DeviceRoot root;
  CoreSim sim(root);
  root.write_file("/mnt/nand/app/qvdb.db", "settings");
  LogExportItem item{};
  snprintf(item.path, sizeof item.path, "%s", "/mnt/nand/app/qvdb.db");
  sim.reply(kReqLogExport, kRplLogExport, CoreSim::bytes(item));
  CgiRequest request;
  request.method = "POST";
  request.path_info = "/1003";
  request.content_type = "application/json";
  request.body =
      R"({"language":"en","startTime":"2024-01-02T00:00:00","endTime":"2024-01-02T23:59:59",)"
      R"("mainType":8,"subTypeArr":[10],"curPageNum":1})";
  request.env["NVR_TIME_SCALE"] = "0.001";
  const CgiResult result = run_cgi(root, request);
  EXPECT_EQ(result.out.rfind("Content-Type:application/octet-stream\r\n", 0), 0u) << result.out;
  EXPECT_EQ(root.read_file("/mnt/nand/app/qvdb.db"), "settings");
}

// ---- one answer per run ---------------------------------------------------------------

TEST(OneAnswer, ManyRepliesToOneRequestGiveOneAnswer) {
  DeviceRoot root;
  CoreSim sim(root);
  DiagnosisReplyHead failed{0, -1};
  for (int i = 0; i < 2000; ++i) sim.reply(kReqDiagnosis, kReplyDiagnosis, CoreSim::bytes(failed));
  CgiRequest request;
  request.path_info = "/6310";
  request.env["NVR_TIME_SCALE"] = "0.01";
  EXPECT_EQ(run_cgi(root, request).out, kTextHeader + "Failed");
  // "/6075": the camera password request (3265) answered 2000 times (8265).
  for (int i = 0; i < 2000; ++i) sim.reply(3265, 8265, CoreSim::bytes<int32_t>(1));
  request.path_info = "/6075";
  EXPECT_EQ(run_cgi(root, request).out, kTextHeader + "1");
}

TEST(OneAnswer, AReplyWithAnotherSequenceNumberIsNotTheAnswer) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string path = "/tmp/diagnosis_1.tgz";
  std::string reply = CoreSim::bytes(DiagnosisReplyHead{0, 0}) + path + std::string(1, '\0');
  sim.fault(kReqDiagnosis, SimFault::kWrongSeq).reply(kReqDiagnosis, kReplyDiagnosis, reply);
  CgiRequest request;
  request.path_info = "/6310";
  request.env["NVR_TIME_SCALE"] = "0.001";
  EXPECT_EQ(run_cgi(root, request).out, kTextHeader + "Failed");
}

// ---- request bodies --------------------------------------------------------------------

TEST(Bodies, APostBodyStopsAtContentLengthAndAnOpenInputDoesNotHoldTheRun) {
  DeviceRoot root;
  CoreSim sim(root);
  CgiRequest request;
  request.method = "POST";
  request.path_info = "/1017";
  request.content_type = "application/json";
  const std::string body = R"({"logRetention":6,"photoRetention":4})";
  request.body = body + "trailing bytes past the length";
  request.content_length_from_body = false;
  request.content_length = std::to_string(body.size());
  request.keep_input_open = true;
  request.timeout_seconds = 5;
  EXPECT_EQ(run_cgi(root, request).out, kTextHeader + "OK");
  // Without a length the body ends when no more bytes come (scaled limit).
  request.body = body;
  request.content_length = "";
  request.env["NVR_TIME_SCALE"] = "0.01";
  EXPECT_EQ(run_cgi(root, request).out, kTextHeader + "OK");
}

TEST(Bodies, ALargeBodyIsReadWholeBeforeExit) {
  DeviceRoot root;
  CoreSim sim(root);
  CgiRequest request;
  request.method = "POST";
  request.path_info = "/1014";
  request.content_type = "application/json";
  request.body = "{\"pad\":\"" + std::string(100000, 'p') + "\"}";
  const CgiResult result = run_cgi(root, request);
  EXPECT_EQ(result.out, kTextHeader + "OK");
  EXPECT_TRUE(result.stdin_fully_read);
  // A raw firmware upload keeps its body unread.
  CgiRequest firmware = multipart("/1010", "fw.bin", std::string(100000, 'f'), "reset=0");
  root.write_file("/dev/shm/updateFM.bin", "image");
  EXPECT_FALSE(run_cgi(root, firmware).stdin_fully_read);
}

TEST(Bodies, MultipartWithoutContentLengthIsReadToTheEnd) {
  DeviceRoot root;
  CoreSim sim(root);
  CgiRequest request = multipart("/6321", "a.wav", "RIFF");
  request.content_length_from_body = false;  // de-chunked, no length passed on
  EXPECT_EQ(run_cgi(root, request).out.rfind(kTextHeader + "CGI OK status:[0]", 0), 0u);
  request.content_length = "0";  // an empty body: no file, refused
  EXPECT_EQ(run_cgi(root, request).out, kRefused);
}

TEST(Bodies, JsonThatIsNotAnObjectIsNotJson) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const char* body : {"40", "\"lan\"", "[1]"}) {
    CgiRequest request;
    request.method = "POST";
    request.path_info = "/1015";
    request.content_type = "application/json";
    request.body = body;
    EXPECT_EQ(run_cgi(root, request).out, kJsonHeader + "{status:\"CGI ERROR\"}") << body;
  }
}

// ---- the debug log ---------------------------------------------------------------------

TEST(DebugLog, RotatesAtOneMebibyteToOneOlderFile) {
  DeviceRoot root;
  root.write_file("/mnt/nand/cgi_log.txt", std::string(1 << 20, 'l'));
  EXPECT_EQ(get(root, "/9999").out, kNoRoute);
  EXPECT_EQ(root.read_file("/mnt/nand/cgi_log.txt.1").size(), 1u << 20);
  const std::string log = root.read_file("/mnt/nand/cgi_log.txt");
  EXPECT_NE(log.find("route \"/9999\" (GET): no such route"), std::string::npos) << log;
  EXPECT_LT(log.size(), 1024u);
}

}  // namespace
}  // namespace nvr::test

namespace nvr::test {
namespace {

// ---- a read-only medium ----------------------------------------------------------------

TEST(ReadOnlyMedium, ReadsStillGiveWhatIsStored) {
  DeviceRoot root;
  CoreSim sim(root);
  CgiRequest store;
  store.method = "POST";
  store.path_info = "/1017";
  store.content_type = "application/json";
  store.body = R"({"logRetention":6,"photoRetention":4})";
  ASSERT_EQ(run_cgi(root, store).out, kTextHeader + "OK");
  // Everything in the file itself, and no log index beside it (a medium
  // that went read-only before the index was made).
  const std::string db = root("/mnt/nand/app/qvdb.db");
  ASSERT_EQ(system(("sqlite3 '" + db + "' 'PRAGMA wal_checkpoint(TRUNCATE)' > /dev/null").c_str()),
            0);
  fs::remove(db + "-wal");
  fs::remove(db + "-shm");
  // The flash folder mounted read-only for this one run (a mount namespace of its own).
  const std::string nand = root("/mnt/nand");
  const std::string command =
      "env -i NVR_ROOT='" + root.path() + "' REQUEST_METHOD=GET PATH_INFO=/1016 PATH='" +
      build_dir() + "/platform-bin:/usr/bin:/bin' unshare -m --propagation private sh -c " +
      "'mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"' '" + nand + "' " +
      shell_words(program_argv("nvr-cgi")) + " 2>/dev/null";
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string answer;
  char piece[512];
  size_t got;
  while ((got = fread(piece, 1, sizeof piece, out)) > 0) answer.append(piece, got);
  if (pclose(out) != 0 && answer.empty()) GTEST_SKIP() << "no read-only bind mount here";
  EXPECT_EQ(answer, kJsonHeader + R"({ "logRetention": 6, "photoRetention": 4 })");
}

}  // namespace
}  // namespace nvr::test
