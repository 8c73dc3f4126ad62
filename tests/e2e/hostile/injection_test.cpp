// Every request field that reaches a shell command or names a file, tried
// with the hostile corpus: no injected command runs, no platform program gets
// an option from a value, nothing outside the route's folder is read, moved,
// changed or removed. One table of rows; the corpus is shared out among the
// rows of each kind, so that every value meets one command row and one path
// row.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "modules/system/devlog_codec.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/hostile/corpus.h"
#include "tests/e2e/hostile/guard.h"

namespace nvr::test {
namespace {

namespace fs = std::filesystem;

enum class Reach { kCommand, kPath };

// Where the value goes in the request; "@" in the row's text marks the place.
enum class Place {
  kJson,          // POST body, the value as a JSON string
  kQuery,         // GET query string, as it stands (an environment text ends at NUL)
  kQueryUrl,      // GET query string, URL-encoded
  kFileName,      // the file name of a multipart upload; the text is the query
  kExportMarker,  // the content of the export marker file, then GET
  kDaemonPath,    // the path in the daemon's log export answer, then POST of the text
};

struct InjectionRow {
  const char* route;
  Place place;
  std::string text;
  Reach reach;
  std::vector<std::string> folders;  // what the route may change; links planted there
  bool keeps_tmp = true;             // a refused value leaves /tmp as it was (no upload stays)
};

constexpr const char* kLogSearch =
    R"({"language":"en","startTime":"2024-01-02T00:00:00","endTime":"2024-01-02T23:59:59",)"
    R"("mainType":8,"subTypeArr":[10],"curPageNum":1})";

const std::vector<InjectionRow>& rows() {
  static const std::vector<InjectionRow> table = {
      // Packet capture: tcpdump's interface, filter and file; the watchdog.
      {"/8005",
       Place::kJson,
       R"({"ip":@,"port":"80","nic":"eth0","mntPath":"/media/disk"})",
       Reach::kCommand,
       {"/media/disk"}},
      {"/8005",
       Place::kJson,
       R"({"ip":"192.168.1.1","port":@,"nic":"eth0","mntPath":"/media/disk"})",
       Reach::kCommand,
       {"/media/disk"}},
      {"/8005",
       Place::kJson,
       R"({"ip":"","port":"","nic":@,"mntPath":"/media/disk"})",
       Reach::kCommand,
       {"/media/disk"}},
      {"/8005",
       Place::kJson,
       R"({"ip":"","port":"","nic":"eth0","mntPath":@})",
       Reach::kCommand,
       {"/media/disk"}},
      // The chip tool's record.
      {"/vb.htm", Place::kQuery, "chipupdate=@", Reach::kCommand, {"/var/lib/chip"}},
      {"/vb.htm", Place::kQuery, "modelupdate=@", Reach::kCommand, {"/var/lib/chip"}},
      {"/vb.htm", Place::kQuery, "setlang=@", Reach::kCommand, {"/var/lib/chip", "/mnt/nand2"}},
      // Uploads whose file the profile tool imports and mv / rm move.
      {"/1008", Place::kFileName, "", Reach::kCommand, {"/tmp"}},
      {"/7084", Place::kFileName, "", Reach::kCommand, {"/tmp", "/mnt/nand/ssl"}},
      {"/oem", Place::kFileName, "aes=@", Reach::kCommand, {"/tmp", "/mnt/nand2"}},

      // The capture download: folder and capture name from the request.
      {"/8007", Place::kQuery, "@", Reach::kPath, {"/media/disk"}},
      {"/8007", Place::kQuery, "/media/disk/@", Reach::kPath, {"/media/disk"}},
      // The diagnostic package: sent, then removed.
      {"/6311", Place::kQuery, "@", Reach::kPath, {"/tmp"}},
      {"/6311", Place::kQueryUrl, "@", Reach::kPath, {"/tmp"}},
      // Language sections: a file of the language folder is read.
      {"/json", Place::kQuery, "lang=@&page=live", Reach::kPath, {"/opt/app/www/webfile/json"}},
      {"/json", Place::kQuery, "lang=en&page=@", Reach::kPath, {"/opt/app/www/webfile/json"}},
      {"/json",
       Place::kQuery,
       "lang=en&page=live&sub=@",
       Reach::kPath,
       {"/opt/app/www/webfile/json"}},
      // Alarm audio: uploads renamed or removed in /tmp.
      {"/6322", Place::kJson, R"({"uploadName":@,"name":"a.wav"})", Reach::kPath, {"/tmp"}, false},
      {"/6322",
       Place::kJson,
       R"({"uploadName":"upload.wav","name":@})",
       Reach::kPath,
       {"/tmp"},
       false},
      {"/6321", Place::kFileName, "", Reach::kPath, {"/tmp"}, false},
      // Paths that arrive as data: the export marker, the daemon's log export.
      {"/1013", Place::kExportMarker, "", Reach::kPath, {"/tmp"}},
      {"/1003", Place::kDaemonPath, kLogSearch, Reach::kPath, {"/tmp"}},
  };
  return table;
}

std::string with_value(std::string text, const std::string& value) {
  const size_t at = text.find('@');
  if (at != std::string::npos) text.replace(at, 1, value);
  return text;
}

// Lays out what the route works on, so that a value reaching the code finds
// files to misuse: a storage folder with a capture, a diagnostic package, a
// language file, an upload, an export.
void lay_out(const DeviceRoot& root) {
  fs::create_directories(root("/media/disk"));
  root.write_file("/media/disk/rvpcap-20240101000001", "capture");
  root.write_file("/tmp/diagnosis_1.tgz", "package");
  root.write_file("/tmp/log/export.bin", "");
  root.write_file("/tmp/upload.wav", "RIFF");
  root.write_file("/tmp/cfg.tar", "exported");
  root.write_file("/opt/app/www/webfile/json/en.json", "{//live.json\n\"a\":1\n}//live.json\n");
}

CgiRequest request_for(const DeviceRoot& root, CoreSim& sim, const InjectionRow& row,
                       const std::string& value) {
  CgiRequest request;
  request.path_info = row.route;
  request.cookie = "userName=admin";
  request.env["NVR_TIME_SCALE"] = kFastScale;
  switch (row.place) {
    case Place::kJson:
      request =
          json_post(row.route, with_value(row.text, json_quoted(value)), true, "userName=admin");
      break;
    case Place::kQuery:
      request.query = with_value(row.text, value);
      break;
    case Place::kQueryUrl:
      request.query = with_value(row.text, url_encoded(value));
      break;
    case Place::kFileName:
      request = file_post(row.route, value, "PK\x03\x04 upload", with_value(row.text, value));
      request.cookie = "userName=admin";
      request.env["NVR_TIME_SCALE"] = kFastScale;
      break;
    case Place::kExportMarker:
      root.write_file("/tmp/.export_down_file", value);
      break;
    case Place::kDaemonPath: {
      LogExportItem item{};
      memcpy(item.path, value.data(), std::min(value.size(), sizeof item.path - 1));
      sim.clear(kReqLogExport).reply(kReqLogExport, kRplLogExport, CoreSim::bytes(item));
      request = json_post(row.route, row.text, true, "userName=admin");
      break;
    }
  }
  return request;
}

// "+name" for each entry that came, "-name" for each that went.
std::string changed_names(const std::vector<std::string>& before,
                          const std::vector<std::string>& after) {
  std::string names;
  for (const std::string& name : after)
    if (std::find(before.begin(), before.end(), name) == before.end()) names += " +" + name;
  for (const std::string& name : before)
    if (std::find(after.begin(), after.end(), name) == after.end()) names += " -" + name;
  return names;
}

const char* reach_name(Reach reach) { return reach == Reach::kCommand ? "command" : "path"; }

// Tries the corpus over the rows of one kind, each value on one of them.
void try_corpus(Reach reach) {
  std::vector<const InjectionRow*> table;
  for (const InjectionRow& row : rows())
    if (row.reach == reach) table.push_back(&row);
  size_t index = 0, runs = 0;
  const auto started = std::chrono::steady_clock::now();
  for (const InjectionRow* row_of_kind : table) {
    const InjectionRow& row = *row_of_kind;
    SCOPED_TRACE(std::string(row.route) + " " + row.text + " (" + reach_name(row.reach) + ")");
    const std::vector<std::string> values = corpus_share(index++, table.size());
    DeviceRoot root;
    lay_out(root);
    CoreSim sim(root);
    RootGuard guard(root, row.folders, row.folders);
    size_t failures = 0;
    const auto row_started = std::chrono::steady_clock::now();
    for (const std::string& value : values) {
      // Files a run may use up come back for the next value.
      if (!root.exists("/tmp/upload.wav")) root.write_file("/tmp/upload.wav", "RIFF");
      if (!root.exists("/tmp/diagnosis_1.tgz")) root.write_file("/tmp/diagnosis_1.tgz", "package");
      const CgiRequest request = request_for(root, sim, row, value);
      guard.arm();
      const std::vector<std::string> tmp_before = root.list("/tmp");
      const CgiResult result = run_cgi(root, request);
      ++runs;
      std::vector<std::string> traces = guard.check(result);
      if (const std::vector<std::string> tmp_after = root.list("/tmp");
          row.keeps_tmp && tmp_after != tmp_before)
        traces.push_back("/tmp changed (an upload or temporary file stayed): " +
                         changed_names(tmp_before, tmp_after));
      if (!traces.empty() && ++failures <= 5) {
        std::string all;
        for (const std::string& trace : traces) all += "\n  " + trace;
        ADD_FAILURE() << "value " << json_quoted(value.substr(0, 200)) << all;
      }
    }
    EXPECT_EQ(failures, 0u);
    printf("  %s %s: %zu values, %.1f s\n", row.route, row.text.substr(0, 40).c_str(),
           values.size(),
           std::chrono::duration<double>(std::chrono::steady_clock::now() - row_started).count());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ::testing::Test::RecordProperty("values", static_cast<int>(hostile_corpus().size()));
  ::testing::Test::RecordProperty("runs", static_cast<int>(runs));
  printf("hostile corpus, %s rows: %zu values, %zu runs over %zu rows in %.1f s\n",
         reach_name(reach), hostile_corpus().size(), runs, table.size(), seconds);
}

TEST(HostileCorpus, NoValueRunsACommandOrGivesAProgramAnOption) { try_corpus(Reach::kCommand); }

TEST(HostileCorpus, NoValueLeavesItsFolder) { try_corpus(Reach::kPath); }

// The guard itself: each trace a hostile value could leave is seen.
TEST(HostileCorpus, TheGuardSeesEveryTrace) {
  DeviceRoot root;
  RootGuard guard(root, {"/tmp"}, {"/tmp"});
  const CgiResult clean{0, "answer", "", true};
  struct Case {
    const char* what;
    std::function<void()> act;
    CgiResult result;
    bool seen;
  };
  const Case cases[] = {
      {"nothing", [] {}, clean, false},
      {"a file of the route's folder", [&] { root.write_file("/tmp/new", "x"); }, clean, false},
      {"the marker", [&] { root.write_file(kMarker, ""); }, clean, true},
      {"an option", [&] { root.write_file("/var/log/platform-calls", "tcpdump [-i] [-z]\n"); },
       clean, true},
      {"a word of a command",
       [&] { root.write_file("/var/log/platform-calls", "qvprofile [-i] [/pwned]\n"); }, clean,
       true},
      {"a planted file opened", [&] { (void)root.read_file("/outside/secret"); }, clean, true},
      {"a link followed", [&] { (void)root.read_file("/tmp/link"); }, clean, true},
      {"a file added elsewhere", [&] { root.write_file("/mnt/nand/new", "x"); }, clean, true},
      {"a file removed elsewhere", [&] { fs::remove(root("/opt/app/bin")); }, clean, true},
      {"a secret answered", [] {}, CgiResult{0, "x" + kSecret, "", true}, true},
      {"a crash", [] {}, CgiResult{134, "", "", true}, true},
  };
  for (const Case& c : cases) {
    guard.arm();
    c.act();
    EXPECT_EQ(!guard.check(c.result).empty(), c.seen) << c.what;
  }
}

// The corpus itself: big enough, no value twice, every family present.
TEST(HostileCorpus, CoversEveryFamily) {
  const auto& corpus = hostile_corpus();
  EXPECT_GE(corpus.size(), 900u);
  EXPECT_LE(corpus.size(), 1500u);
  auto count = [&](auto predicate) {
    size_t n = 0;
    for (const std::string& value : corpus) n += predicate(value) ? 1 : 0;
    return n;
  };
  EXPECT_GT(count([](const std::string& v) { return v.find("$(") != std::string::npos; }), 10u);
  EXPECT_GT(count([](const std::string& v) { return v.find('`') != std::string::npos; }), 10u);
  EXPECT_GT(count([](const std::string& v) { return v.find('\0') != std::string::npos; }), 5u);
  EXPECT_GT(count([](const std::string& v) { return v.find('\n') != std::string::npos; }), 10u);
  EXPECT_GT(count([](const std::string& v) { return !v.empty() && v[0] == '-'; }), 20u);
  EXPECT_GT(count([](const std::string& v) { return v.find("../") != std::string::npos; }), 20u);
  EXPECT_GT(count([](const std::string& v) { return v.find("%2") != std::string::npos; }), 10u);
  EXPECT_GT(count([](const std::string& v) { return v.size() > 4000; }), 5u);
  // Shared out, the rows of a kind try every value once.
  size_t shared = 0;
  for (size_t row = 0; row < 7; ++row) shared += corpus_share(row, 7).size();
  EXPECT_EQ(shared, corpus.size());
  EXPECT_EQ(json_quoted(std::string("a\"\\\n\0", 5)), R"("a\"\\\u000a\u0000")");
  EXPECT_EQ(url_encoded("a /%"), "a%20%2F%25");
}

}  // namespace
}  // namespace nvr::test
