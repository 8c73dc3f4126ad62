// Device log routes ("/1015", "/1002", "/1021", "/1003", "/1022") end to end
// against the simulated core daemon and the operation log it keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "frame/ipc.h"
#include "frame/json.h"
#include "modules/system/devlog_codec.h"
#include "platform/qvdb.h"
#include "platform/qvfs_log.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

constexpr int64_t kT0 = 1704164645;  // 2024-01-02 03:04:05 UTC

QvLogInfo entry(int32_t main_type, int64_t sub_type, int64_t pts, int32_t param, int32_t chan,
                const char* ip, const char* user) {
  QvLogInfo record{};
  record.main_type = main_type;
  record.sub_type = sub_type;
  record.pts = pts;
  record.param_type = param;
  record.remote = 1;
  record.chan_no = chan;
  snprintf(record.ip, sizeof record.ip, "%s", ip);
  snprintf(record.user, sizeof record.user, "%s", user);
  return record;
}

// Entries as if the routes had written them (the simulator's own log file).
void seed_log(const DeviceRoot& root, const std::vector<QvLogInfo>& entries) {
  std::string bytes;
  for (const QvLogInfo& e : entries) bytes += CoreSim::bytes(e);
  root.write_file("/var/lib/nvr-cored/oplog.bin", bytes);
}

std::vector<QvLogInfo> sample_log() {
  QvLogInfo login = entry(4, 201, kT0, 900, 0, "::ffff:192.168.1.20", "admin");
  QvLogInfo image = entry(4, 217, kT0 + 60, 900, 3, "fe80::1%eth0", "admin");
  int32_t percent[5] = {50, 40, 30, 20, 10};
  qvfs_log_pack_detail(&image, 107, percent, sizeof percent);
  QvLogInfo user = entry(4, 204, kT0 + 120, 921, 0, "10.0.0.7", "op,\"x\"");
  QvLogInfo event = entry(2, 11, kT0 + 180, 0, 2, "", "");
  return {login, image, user, event};
}

CgiResult call(const DeviceRoot& root, const std::string& route, const std::string& body,
               bool short_waits = false) {
  CgiRequest request = json_post(route, body, short_waits);
  request.env["TZ"] = "UTC";
  return run_cgi(root, request);
}

Json answer_json(const CgiResult& result) {
  EXPECT_EQ(result.out.rfind(kJsonHeader, 0), 0u) << result.out;
  return json_parse(result.out.substr(std::min(result.out.size(), kJsonHeader.size())));
}

LogSearchRequest sent_selection(CoreSim& sim, int32_t request_id) {
  std::vector<SimMessage> sent = sim.messages(request_id);
  LogSearchRequest selection{};
  EXPECT_EQ(sent.size(), 1u);
  if (sent.empty()) return selection;
  EXPECT_EQ(sent[0].payload.size(), sizeof selection);
  EXPECT_EQ(sent[0].flags & CoreSim::kNoReply, 0u);
  memcpy(&selection, sent[0].payload.data(), std::min(sent[0].payload.size(), sizeof selection));
  return selection;
}

std::vector<int64_t> sub_types_of(const LogSearchRequest& s) {
  return std::vector<int64_t>(s.sub_types, s.sub_types + std::clamp(s.sub_type_count, 0, 100));
}

const std::string kJsonError = kJsonHeader + "{status:\"CGI ERROR\"}";

std::string search_body(const std::string& sub_types, const std::string& extra = "") {
  return R"({"language":"en","startTime":"2024-01-02 00:00:00","endTime":"2024-01-02 23:59:59",)"
         R"("mainType":4,"subTypeArr":)" +
         sub_types + R"(,"curPageNum":1)" + extra + "}";
}

std::string export_body(int32_t main_type, const std::string& sub_types,
                        const std::string& extra = "") {
  return R"({"language":"en","startTime":"2024-01-02T00:00:00","endTime":"2024-01-02T23:59:59",)"
         R"("mainType":)" +
         std::to_string(main_type) + R"(,"subTypeArr":)" + sub_types + R"(,"curPageNum":1)" +
         extra + "}";
}

// ---- "/1015" ---------------------------------------------------------------------------

TEST(DevlogTypeList, EveryCodeNamedInAnyLanguage) {
  DeviceRoot root;
  CgiResult result = call(root, "/1015", R"({"lan":"tlh"})");
  Json answer = answer_json(result);
  ASSERT_TRUE(answer);
  json_object* mains = json_get(answer.get(), "mainType");
  json_object* subs = json_get(answer.get(), "subType");
  const int64_t main_values[] = {1, 2, 4, 8, 32, 64};
  const size_t sub_counts[] = {1, 31, 74, 19, 14, 5};
  ASSERT_EQ(json_array_size(mains), 6u);
  ASSERT_EQ(json_array_size(subs), 6u);
  for (size_t m = 0; m < 6; ++m) {
    EXPECT_EQ(json_int_or(json_at(mains, m), "key"), main_values[m]);
    json_object* list = json_at(subs, m);
    ASSERT_EQ(json_array_size(list), sub_counts[m]) << m;
    EXPECT_EQ(json_int_or(json_at(list, 0), "key"), 10);
    for (size_t i = 0; i < json_array_size(list); ++i)
      EXPECT_STRNE(json_string(json_at(list, i), "name"), "")
          << json_int_or(json_at(list, i), "key");
  }
  EXPECT_STREQ(json_string(json_at(mains, 2), "name"), "Operation");
  // Event list: 15 and 16 are not offered; 37 comes after 41.
  json_object* events = json_at(subs, 1);
  for (size_t i = 0; i < json_array_size(events); ++i) {
    int64_t key = json_int_or(json_at(events, i), "key");
    EXPECT_TRUE(key != 15 && key != 16 && key != 31 && key != 32) << key;
  }
  EXPECT_EQ(json_int_or(json_at(events, 27), "key"), 37);
  EXPECT_EQ(result.out.rfind(
                kJsonHeader + R"({ "mainType": [ { "key": 1, "name": "All" }, { "key": 2,)", 0),
            0u);
}

TEST(DevlogTypeList, OemNinetyOffersFireAndTemperatureAndGermanNames) {
  DeviceRoot root;
  EXPECT_EQ(set_param_int(root("/mnt/nand/app/qvdb.db").c_str(), "oem_type", 90), 0);
  Json answer = answer_json(call(root, "/1015", R"({"lan":"de"})"));
  ASSERT_TRUE(answer);
  json_object* events = json_at(json_get(answer.get(), "subType"), 1);
  EXPECT_EQ(json_array_size(events), 33u);
  EXPECT_EQ(json_int_or(json_at(events, 5), "key"), 15);
  EXPECT_STREQ(json_string(json_at(json_get(answer.get(), "mainType"), 2), "name"), "Bedienung");

  EXPECT_EQ(call(root, "/1015", "{nope").out, kJsonError);
}

// ---- "/1002" ---------------------------------------------------------------------------

TEST(DevlogSearch, SendsTheSelectionAndListsTheEntriesFound) {
  DeviceRoot root;
  seed_log(root, sample_log());
  CoreSim sim(root);
  CgiResult result =
      call(root, "/1002", search_body("[201, 217, 204]", R"(,"chnMask":"0011","searchNoChn":1)"));
  LogSearchRequest sent = sent_selection(sim, kReqLogSearch);
  EXPECT_EQ(sent.start_time, 1704153600);
  EXPECT_EQ(sent.end_time, 1704239999);
  EXPECT_EQ(sent.main_type, 4);
  EXPECT_EQ(sub_types_of(sent), (std::vector<int64_t>{201, 217, 204}));
  EXPECT_EQ(sent.page, 1);
  EXPECT_EQ(sent.channel_mask, 0b1100u);
  EXPECT_EQ(sent.no_channel, 1);

  Json answer = answer_json(result);
  ASSERT_TRUE(answer);
  EXPECT_EQ(json_int_or(answer.get(), "count"), 3);
  EXPECT_EQ(json_int_or(answer.get(), "num"), 3);
  EXPECT_EQ(json_int_or(answer.get(), "curPageNum"), 1);
  json_object* log = json_get(answer.get(), "log");
  ASSERT_EQ(json_array_size(log), 3u);  // newest first
  json_object* user = json_at(log, 0);
  json_object* image = json_at(log, 1);
  json_object* login = json_at(log, 2);

  std::vector<std::string> keys;
  json_object_object_foreach(image, key, value) {
    (void)value;
    keys.emplace_back(key);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"no", "mainTypeValue", "mainType", "subTypeValue",
                                            "subType", "pts", "ptc", "parameterValue", "parameter",
                                            "remote", "chanNo", "disk", "size", "detail", "detail2",
                                            "ip", "user"}));
  EXPECT_EQ(json_int_or(image, "no"), 1);
  EXPECT_STREQ(json_string(image, "mainType"), "Operation");
  EXPECT_STREQ(json_string(image, "subType"), "Remote: camera image");
  EXPECT_EQ(json_int_or(image, "pts"), kT0 + 60);
  EXPECT_STREQ(json_string(image, "ptc"), "2024-01-02 03:05:05");
  EXPECT_STREQ(json_string(image, "parameter"), "None");
  EXPECT_EQ(json_int_or(image, "chanNo"), 3);
  EXPECT_EQ(json_int_or(image, "disk"), 0);
  EXPECT_EQ(json_int_or(image, "size"), 24);
  EXPECT_STREQ(json_string(image, "ip"), "fe80::1");       // zone cut off
  EXPECT_STREQ(json_string(login, "ip"), "192.168.1.20");  // mapped form shown dotted
  EXPECT_STREQ(json_string(user, "ip"), "10.0.0.7");
  EXPECT_STREQ(json_string(user, "user"), "op,\"x\"");
  EXPECT_STREQ(json_string(user, "parameter"), "User account");

  // detail2: the detail block in big-endian words: kind 107 (LE bytes 6B 00 00 00), then 50.
  json_object* words = json_get(image, "detail2");
  ASSERT_EQ(json_array_size(words), 128u);
  EXPECT_EQ(json_object_get_int(json_at(words, 0)), 0x6B000000);
  EXPECT_EQ(json_object_get_int(json_at(words, 1)), 0x32000000);
  EXPECT_EQ(json_object_get_int(json_at(words, 127)), 0);
  EXPECT_STREQ(json_string(image, "detail"), "k");  // the block read as text
}

TEST(DevlogSearch, EmptyResultShortBlocksAndNoBlock) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(call(root, "/1002", search_body("[10]")).out,
            kJsonHeader + R"({ "count": 0, "num": 0, "curPageNum": 1, "log": [ ] })");

  // A block that claims 5 entries of which 2 arrived lists the 2.
  std::string block = CoreSim::bytes<int32_t>(7) + CoreSim::bytes<int32_t>(5);
  block += CoreSim::bytes(entry(4, 201, kT0, 900, 0, "1.2.3.4", "a"));
  block += CoreSim::bytes(entry(4, 202, kT0, 900, 0, "1.2.3.4", "b"));
  block += std::string(100, 'x');  // part of a third entry
  sim.reply(kReqLogSearch, kRplLogSearch, block);
  Json answer = answer_json(call(root, "/1002", search_body("[10]")));
  ASSERT_TRUE(answer);
  EXPECT_EQ(json_int_or(answer.get(), "count"), 7);
  EXPECT_EQ(json_int_or(answer.get(), "num"), 2);
  EXPECT_EQ(json_array_size(json_get(answer.get(), "log")), 2u);

  // A whole block claiming more than its 100 places lists 100; a negative count none.
  LogSearchBlock whole{};
  whole.count = 1000;
  whole.num = 1000;
  sim.clear(kReqLogSearch).reply(kReqLogSearch, kRplLogSearch, CoreSim::bytes(whole));
  answer = answer_json(call(root, "/1002", search_body("[10]")));
  EXPECT_EQ(json_int_or(answer.get(), "num"), 100);
  EXPECT_EQ(json_array_size(json_get(answer.get(), "log")), 100u);
  whole.num = -3;
  sim.clear(kReqLogSearch).reply(kReqLogSearch, kRplLogSearch, CoreSim::bytes(whole));
  answer = answer_json(call(root, "/1002", search_body("[10]")));
  EXPECT_EQ(json_int_or(answer.get(), "num"), 0);

  sim.clear(kReqLogSearch).reply(kReqLogSearch, kRplLogSearch, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(call(root, "/1002", search_body("[10]")).out, kJsonHeader + "ERROR");
}

TEST(DevlogSearch, BadRequestsAndSilentDaemonGiveTheJsonError) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string bad[] = {
      "{nope",
      R"({"startTime":"2024-01-02 00:00:00","endTime":"2024-01-02 23:59:59","mainType":4,"subTypeArr":[10],"curPageNum":1})",
      search_body("[9]"),
      search_body("[]"),
      search_body("10"),
      R"({"language":"en","startTime":"2024-01-02 00:00:00","endTime":"2024-01-02 23:59:59","mainType":65,"subTypeArr":[10],"curPageNum":1})",
      R"({"language":"en","startTime":"2024-01-02 00:00:00","endTime":"2024-01-02 23:59:59","mainType":4,"subTypeArr":[10]})",
      R"({"language":"en","startTime":"yesterday","endTime":"2024-01-02 23:59:59","mainType":4,"subTypeArr":[10],"curPageNum":1})",
  };
  for (const std::string& body : bad) EXPECT_EQ(call(root, "/1002", body).out, kJsonError) << body;
  EXPECT_TRUE(sim.messages(kReqLogSearch).empty());

  sim.never(kReqLogSearch);
  EXPECT_EQ(call(root, "/1002", search_body("[10]"), true).out, kJsonError);
}

TEST(DevlogSearch, ShowsTheEntriesTheRoutesWrote) {
  DeviceRoot root;
  CoreSim sim(root);
  CgiRequest logout;
  logout.path_info = "/1014";
  logout.cookie = "userName=alice";
  logout.remote_addr = "::ffff:10.1.2.3";
  ASSERT_EQ(run_cgi(root, logout).out, kTextHeader + "OK");
  ASSERT_EQ(sim.messages(kReqOperationLog).size(), 1u);
  for (int i = 0; i < 100 && sim.operation_log().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(sim.operation_log().size(), 1u);

  char now[32];
  time_t t = time(nullptr) + 3600;
  strftime(now, sizeof now, "%Y-%m-%d %H:%M:%S", gmtime(&t));
  std::string body = R"({"language":"en","startTime":"2000-01-01 00:00:00","endTime":")" +
                     std::string(now) +
                     R"(","mainType":1,"subTypeArr":[10],"curPageNum":1,"chnMask":"1"})";
  Json answer = answer_json(call(root, "/1002", body));
  ASSERT_TRUE(answer);
  json_object* first = json_at(json_get(answer.get(), "log"), 0);
  EXPECT_STREQ(json_string(first, "subType"), "Remote: logout");
  EXPECT_STREQ(json_string(first, "user"), "alice");
  EXPECT_STREQ(json_string(first, "ip"), "10.1.2.3");
}

// ---- "/1021" ---------------------------------------------------------------------------

TEST(DevlogDetails, EntryGoesBackAsItsRecordAndTheTextComesBack) {
  DeviceRoot root;
  seed_log(root, sample_log());
  CoreSim sim(root);
  Json answer = answer_json(call(root, "/1002", search_body("[217]")));
  ASSERT_TRUE(answer);
  json_object* image = json_at(json_get(answer.get(), "log"), 0);
  ASSERT_NE(image, nullptr);

  CgiResult result = call(root, "/1021", json_text(image));
  EXPECT_EQ(result.out, kTextHeader +
                            "Brightness 50%, contrast 40%, saturation 30%, sharpness 20%, "
                            "noise reduction 10%");
  std::vector<SimMessage> sent = sim.messages(kReqLogDetail);
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].payload.size(), sizeof(QvLogInfo));
  QvLogInfo expected = sample_log()[1];
  memset(expected.ip, 0, sizeof expected.ip);
  snprintf(expected.ip, sizeof expected.ip, "fe80::1");  // the address as the page shows it
  EXPECT_EQ(sent[0].payload, CoreSim::bytes(expected));

  sim.reply(kReqLogDetail, kRplLogDetail, "");
  EXPECT_EQ(call(root, "/1021", json_text(image)).out, kTextHeader);
  sim.clear(kReqLogDetail).reply(kReqLogDetail, kRplLogDetail, "no NUL here");
  EXPECT_EQ(call(root, "/1021", json_text(image)).out, kTextHeader + "no NUL here");
  EXPECT_EQ(call(root, "/1021", "{nope").out, "");
  sim.clear(kReqLogDetail).never(kReqLogDetail);
  EXPECT_EQ(call(root, "/1021", json_text(image), true).out, kTextHeader + "CGI ERROR");
}

// ---- "/1003" and "/1022" ---------------------------------------------------------------

TEST(DevlogExport, OperationSubTypesExpandFromBitSets) {
  DeviceRoot root;
  CoreSim sim(root);
  struct Row {
    int32_t main_type;
    std::string sub_types;
    std::vector<int64_t> sent;
  } rows[] = {
      {4, "[10]", {10}},         {4, "[11]", {101}},
      {4, "[10, 12]", {10, 12}}, {4, "[15, 11, 10]", {101, 103, 131}},
      {2, "[11, 12]", {11, 12}},  // other main types are sent as they are
  };
  for (const Row& row : rows) {
    sim.clear_messages();
    call(root, "/1003", export_body(row.main_type, row.sub_types, R"(,"na":1,"ch":"5")"));
    LogSearchRequest sent = sent_selection(sim, kReqLogExport);
    EXPECT_EQ(sub_types_of(sent), row.sent) << row.sub_types;
    EXPECT_EQ(sent.main_type, row.main_type);
    EXPECT_EQ(sent.page, 1);
    EXPECT_EQ(sent.channel_mask, 5u);
    EXPECT_EQ(sent.no_channel, 1);
    EXPECT_EQ(sent.start_time, 1704153600);
  }
}

TEST(DevlogExport, WritesTheCsvOfTheDaemonsFileAndRemovesIt) {
  DeviceRoot root;
  root.write_file("/mnt/nand2/mac.conf", "A1B2C3D4E5F6\n");
  seed_log(root, sample_log());
  CoreSim sim(root);
  CgiResult result = call(root, "/1003", export_body(4, "[10]"));

  std::smatch header;
  const std::regex kHeader(
      "Content-Type:application/octet-stream\r\n"
      "Content-Disposition: attachment; filename= Operation_log_A1B2C3D4E5F6_(\\d{14})\\.csv"
      "\r\n\r\n");
  ASSERT_TRUE(
      std::regex_search(result.out, header, kHeader, std::regex_constants::match_continuous))
      << result.out;
  EXPECT_EQ(result.out.substr(header.length()),
            "Number,Time,Main,Sub,Parameter,User,Ip,Channel,Log information,\r\n"
            "1,2024-01-02 03:06:05,Operation,Remote: settings change,User account,"
            "\"op,\"\"x\"\"\",10.0.0.7,0,N/A,\r\n"
            "2,2024-01-02 03:05:05,Operation,Remote: camera image,None,admin,fe80::1,3,"
            "\"Brightness 50%, contrast 40%, saturation 30%, sharpness 20%, noise reduction "
            "10%\",\r\n"
            "3,2024-01-02 03:04:05,Operation,Remote: login,None,admin,192.168.1.20,0,N/A,\r\n");
  EXPECT_TRUE(root.list("/tmp/log").empty());  // the daemon's file and the marker are gone
}

TEST(DevlogExport, RepliesWithoutAFileGiveTheTitleRowOnly) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string kTitle = "Number,Time,Main,Sub,Parameter,User,Ip,Channel,Log information,\r\n";
  root.write_file("/tmp/keep/a", "x");
  LogExportItem folder{0, "/tmp/keep"};
  LogExportItem outside{0, "/tmp/../tmp/keep/a"};
  const std::string replies[] = {"", CoreSim::bytes(LogExportItem{}), CoreSim::bytes(folder),
                                 CoreSim::bytes(outside)};
  for (const std::string& reply : replies) {
    sim.clear(kReqLogExport).reply(kReqLogExport, kRplLogExport, reply);
    CgiResult result = call(root, "/1003", export_body(8, "[10]"));
    ASSERT_GE(result.out.size(), kTitle.size());
    EXPECT_EQ(result.out.substr(result.out.size() - kTitle.size()), kTitle);
    EXPECT_NE(result.out.find("filename= Information_log_027F4D0A19C8_"), std::string::npos);
  }
  EXPECT_EQ(root.read_file("/tmp/keep/a"), "x");  // never removed

  // An entry count larger than the file holds stops at the end of the file.
  std::string file = CoreSim::bytes<int32_t>(9) +
                     CoreSim::bytes(entry(8, 500, kT0, 0, 0, "1.1.1.1", "u")) +
                     std::string(kLogExportDetailSize, '\0') + std::string(300, 'z');
  root.write_file("/tmp/log/export.dat", file);
  sim.clear(kReqLogExport)
      .reply(kReqLogExport, kRplLogExport, CoreSim::bytes(LogExportItem{1, "/tmp/log/export.dat"}));
  CgiResult result = call(root, "/1003", export_body(8, "[10]"));
  EXPECT_TRUE(result.out.ends_with(
      kTitle + "1,2024-01-02 03:04:05,Information,System start,N/A,u,1.1.1.1,0,N/A,\r\n"))
      << result.out;
  EXPECT_FALSE(root.exists("/tmp/log/export.dat"));
}

TEST(DevlogExport, MarkerWhileRunningSilentDaemonAndBadRequests) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(call(root, "/1022", "").out, kTextHeader + "NO");

  sim.delay(kReqLogExport, 500).reply(kReqLogExport, kRplLogExport, "");
  std::thread exporter([&] { call(root, "/1003", export_body(4, "[10]")); });
  ASSERT_TRUE(sim.wait_for(kReqLogExport).has_value());
  EXPECT_EQ(call(root, "/1022", "").out, kTextHeader + "OK");
  exporter.join();
  EXPECT_EQ(call(root, "/1022", "").out, kTextHeader + "NO");

  sim.clear(kReqLogExport).never(kReqLogExport);
  EXPECT_EQ(call(root, "/1003", export_body(4, "[10]"), true).out, kJsonError);
  EXPECT_FALSE(root.exists("/tmp/log/log_web"));

  sim.clear_messages();
  EXPECT_EQ(call(root, "/1003", "{nope").out, "");
  EXPECT_EQ(call(root, "/1003", export_body(4, "[3]")).out, "");
  EXPECT_EQ(call(root, "/1003", export_body(0, "[10]")).out, "");
  EXPECT_TRUE(sim.messages(kReqLogExport).empty());
}

}  // namespace
}  // namespace nvr::test
