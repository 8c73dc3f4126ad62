// Network disks, disk removal, SMART, recycle mode, quotas, groups, eSATA
// backup, export disk and format information ("/6200" to "/6227") end to end.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "frame/json.h"
#include "modules/storage/storage_records.h"
#include "modules/storage/storage_wire.h"
#include "platform/qvfs_log.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

const std::string kJsonError = kJsonHeader + R"({status:"CGI ERROR"})";
const std::string kTextError = kTextHeader + "CGI ERROR";

CgiResult post(const DeviceRoot& root, const std::string& route, const std::string& body) {
  return run_json(root, route, body, kFastScale.c_str());
}

NasLogDetail nas_detail(const SimMessage& message, int32_t expected_kind) {
  QvLogInfo log = record_of<QvLogInfo>(message);
  int32_t kind = 0;
  std::string detail;
  EXPECT_EQ(qvfs_log_unpack_detail(log, &kind, &detail), 0);
  EXPECT_EQ(kind, expected_kind);
  NasLogDetail out{};
  EXPECT_EQ(detail.size(), sizeof out);
  memcpy(&out, detail.data(), std::min(detail.size(), sizeof out));
  return out;
}

std::string array_of(int count, const std::function<std::string(int)>& element) {
  std::string text = "[";
  for (int i = 0; i < count; ++i) text += (i ? "," : "") + element(i);
  return text + "]";
}

TEST(StorageNas, AddTakesAtMost33NfsDisksByDefaultAndLogsEach) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(kReqAddNas, kReplyAddNas, CoreSim::bytes<int32_t>(7));
  auto port = [](int i) { return std::to_string(1 + i % 36); };
  auto text = [](int i) { return "\"t" + std::to_string(i) + "\""; };
  const std::string body = R"({"num":40,"port":)" + array_of(40, port) + R"(,"vendor":)" +
                           array_of(40, text) + R"(,"address":)" + array_of(40, text) +
                           R"(,"directory":)" + array_of(40, text) +
                           R"(,"userName":["a%20b"],"password":["p%26"]})";
  EXPECT_EQ(post(root, "/6201", body).out, kJsonHeader + R"({ "status": 0, "res": 7 })");
  NasList list = record_of<NasList>(sim.messages(kReqAddNas).at(0));
  EXPECT_EQ(list.count, 33);
  EXPECT_EQ(list.ports[32], 33);
  DiskConfig first{};
  ASSERT_EQ(read_disk(db_of(root).c_str(), &first, 1), 0);
  EXPECT_EQ(first.enable, 1);
  EXPECT_EQ(first.property, 1);
  EXPECT_EQ(first.hdd_type, kDiskTypeNfs);
  EXPECT_EQ(std::string(first.user_name), "a b");
  EXPECT_EQ(std::string(first.password), "p&");
  DiskConfig past{};
  EXPECT_NE(read_disk(db_of(root).c_str(), &past, 34), 0);
  auto logs = sim.messages(kReqOperationLog);
  ASSERT_EQ(logs.size(), 33u);
  EXPECT_EQ(record_of<QvLogInfo>(logs[2]).sub_type, 219);
  EXPECT_EQ(record_of<QvLogInfo>(logs[2]).chan_no, 3);
  NasLogDetail detail = nas_detail(logs[2], 101);
  EXPECT_EQ(std::string(detail.protocol), "NFS");
  EXPECT_EQ(std::string(detail.address), "t2");
}

TEST(StorageNas, AddRefusesPortsTheListCannotShowAndLogsNothingWithoutReply) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const char* bad :
       {R"({"num":2,"port":[3,0]})", R"({"num":1,"port":[37]})", R"({"num":1,"port":["3"]})"}) {
    EXPECT_EQ(post(root, "/6201", bad).out, kRefused) << bad;
  }
  EXPECT_TRUE(sim.messages().empty());
  DiskConfig none{};
  EXPECT_NE(read_disk(db_of(root).c_str(), &none, 3), 0);

  sim.never(kReqAddNas);
  EXPECT_EQ(post(root, "/6201", R"({"num":1,"type":10,"port":[5],"address":["h"]})").out,
            kTextError);
  EXPECT_TRUE(sim.messages(kReqOperationLog).empty());
}

TEST(StorageNas, EditDeleteAndRemoveSendTheirRequests) {
  DeviceRoot root;
  CoreSim sim(root);
  sim.reply(kReqUpdateNas, kReplyUpdateNas, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post(root, "/6203",
                 R"({"port":6,"type":10,"vendor":"v","address":"1.2.3.4","directory":"share"})")
                .out,
            kJsonHeader + R"({ "status": 0, "res": 0 })");
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqUpdateNas).at(0)), 6);
  NasLogDetail edited = nas_detail(sim.messages(kReqOperationLog).at(0), 110);
  EXPECT_EQ(std::string(edited.protocol), "SMB/CIFS");
  EXPECT_EQ(std::string(edited.directory), "share");
  sim.clear_messages();
  EXPECT_EQ(post(root, "/6203", R"({"port":6,"type":7})").out,
            kJsonHeader + R"({ "status": 0, "res": 0 })");
  EXPECT_EQ(std::string(nas_detail(sim.messages(kReqOperationLog).at(0), 110).protocol), "");

  // Delete: the configured disk is logged; an unknown port is sent, not logged.
  sim.clear_messages();
  sim.reply(kReqDeleteNas, kReplyDeleteNas, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post(root, "/6200", R"({"num":2,"port":[6,9]})").out, kTextHeader + "OK");
  NasList deleted = record_of<NasList>(sim.messages(kReqDeleteNas).at(0));
  EXPECT_EQ(deleted.count, 2);
  EXPECT_EQ(deleted.ports[1], 9);
  auto logs = sim.messages(kReqOperationLog);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(record_of<QvLogInfo>(logs[0]).sub_type, 220);
  EXPECT_EQ(record_of<QvLogInfo>(logs[0]).chan_no, 6);
  EXPECT_EQ(std::string(nas_detail(logs[0], 101).protocol), "SMB/CIFS");

  // Remove by type: a network disk is a one-entry NAS delete without a log.
  sim.clear_messages();
  EXPECT_EQ(post(root, "/6207", R"({"port":8,"hddType":10})").out, kTextHeader + "OK");
  NasList one = record_of<NasList>(sim.messages(kReqDeleteNas).at(0));
  EXPECT_EQ(one.count, 1);
  EXPECT_EQ(one.ports[0], 8);
  EXPECT_TRUE(sim.messages(kReqOperationLog).empty());

  sim.clear_messages();
  sim.reply(kReqRemoveRaid, kReplyRemoveRaid, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post(root, "/6207", R"({"port":12,"hddType":4})").out, kTextHeader + "OK");
  EXPECT_EQ(record_of<RaidRequest>(sim.messages(kReqRemoveRaid).at(0)).id, 12);
  expect_one_log(sim, 224, 900, 12);

  sim.clear_messages();
  sim.reply(kReqRemoveDisk, kReplyRemoveDisk, CoreSim::bytes<int32_t>(1));
  EXPECT_EQ(post(root, "/6207", R"({"port":2,"hddType":0})").out, kTextHeader + "Error");
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqRemoveDisk).at(0)), 2);
  DiskConfig cleared{};
  ASSERT_EQ(read_disk(db_of(root).c_str(), &cleared, 2), 0);
  EXPECT_EQ(cleared.property, 1);
  EXPECT_EQ(cleared.enable, 0);
  expect_one_log(sim, 224, 900, 2);
}

TEST(StorageNas, SearchListsOnlyThePathsThatArrived) {
  DeviceRoot root;
  CoreSim sim(root);
  NasSearchReply reply{};
  reply.count = 100;
  snprintf(reply.paths[0], sizeof reply.paths[0], "/a");
  snprintf(reply.paths[1], sizeof reply.paths[1], "/b");
  sim.reply(kReqSearchNas, kReplySearchNas, CoreSim::bytes(reply).substr(0, 4 + 2 * 256 + 10));
  EXPECT_EQ(
      post(root, "/6202", R"({"port":17,"serverAddr":"192.168.1.20"})").out,
      kJsonHeader +
          R"({ "resultString": "OK", "NAS": [ { "filePath": "\/a" }, { "filePath": "\/b" } ] })");
  NasSearchRequest sent = record_of<NasSearchRequest>(sim.messages(kReqSearchNas).at(0));
  EXPECT_EQ(sent.port, 17);
  EXPECT_EQ(std::string(sent.server), "192.168.1.20");

  sim.clear(kReqSearchNas).reply(kReqSearchNas, kReplySearchNas, "");
  EXPECT_EQ(post(root, "/6202", "{}").out, kJsonHeader + R"({ "resultString": "NO", "NAS": [ ] })");
  // The simulated recorder finds its shares.
  sim.clear(kReqSearchNas);
  Json found =
      json_parse(post(root, "/6202", R"({"serverAddr":"h"})").out.substr(kJsonHeader.size()));
  EXPECT_EQ(json_array_size(json_get(found.get(), "NAS")), 2u);
}

TEST(StorageMisc, SmartRecycleExportAndFormatInformation) {
  DeviceRoot root;
  CoreSim sim(root);
  SmartReply smart{};
  snprintf(smart.self_test, sizeof smart.self_test, "result: PASSED");
  sim.reply(kReqSmart, kReplySmart, CoreSim::bytes(smart));
  EXPECT_EQ(post(root, "/6206", R"({"num":2,"port":[2,5,9]})").out,
            kJsonHeader + R"({ "selfEvaluation": 1 })");
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqSmart).at(0)), 5);

  EXPECT_EQ(post(root, "/6204", R"({"mode":2,"esata":1})").out,
            kJsonHeader + R"({ "status": "OK" })");
  RecycleMode sent = record_of<RecycleMode>(sim.messages(kReqSetRecycle).at(0));
  EXPECT_EQ(sent.mode, 2);
  EXPECT_EQ(sent.esata, 1);
  EXPECT_EQ(get(root, "/6205").out, kJsonHeader + R"({ "mode": 2, "esata": 1 })");
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqGetRecycle).at(0)), 0);

  ExportDisk disks[2] = {};
  disks[0].port = 3;
  disks[1].port = 4;
  sim.reply(kReqExportDisks, kReplyExportDisks, CoreSim::bytes(disks));
  EXPECT_EQ(get(root, "/6223").out, kJsonHeader + R"({ "result": -1 })");
  sim.clear(kReqExportDisks);
  EXPECT_EQ(get(root, "/6223").out, kJsonHeader + R"({ "port": 5, "result": 0 })");

  FormatInfo info{0, 55, 3, {}, 1};
  sim.reply(kReqFormatInfo, kReplyFormatInfo, CoreSim::bytes(info));
  EXPECT_EQ(get(root, "/6227").out,
            kJsonHeader + R"({ "status": 0, "port": 3, "type": 1, "percent": 55 })");

  EXPECT_EQ(post(root, "/6224", R"({"port":37})").out, kJsonError);
  EXPECT_EQ(post(root, "/6224", "nope").out, kJsonError);
  EXPECT_EQ(post(root, "/6224", R"({"port":36})").out, kJsonHeader + R"({ "result": 0 })");
}

TEST(StorageQuota, WriteSendsTheCountButAtMost16EntriesAndReadShowsGroups) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/6209", R"({"quota_array":[]})").out, kRefused);
  EXPECT_TRUE(sim.messages().empty());
  const std::string entries = array_of(20, [](int i) {
    return R"({"channel":)" + std::to_string(i) + R"(,"video_quota":)" + std::to_string(i * 10) +
           R"(,"picture_quota":1})";
  });
  EXPECT_EQ(post(root, "/6209", R"({"enable":1,"quota_array":)" + entries + "}").out,
            kTextHeader + "OK");
  QuotaInfo quota = record_of<QuotaInfo>(sim.messages(kReqSetQuota).at(0));
  EXPECT_EQ(quota.enable, 1);
  EXPECT_EQ(quota.count, 20);
  EXPECT_EQ(quota.entries[15].channel, 15);
  EXPECT_EQ(quota.entries[15].video_quota, 150);

  DiskConfig disk{};
  disk.port = 2;
  disk.enable = 1;
  disk.group = 4;
  ASSERT_EQ(write_disk(db_of(root).c_str(), &disk), 0);
  Json answer = json_parse(get(root, "/6208").out.substr(kJsonHeader.size()));
  ASSERT_TRUE(answer);
  EXPECT_EQ(json_int_or(answer.get(), "enable"), 1);
  json_object* list = json_get(answer.get(), "quota_array");
  EXPECT_EQ(json_array_size(list), 16u);
  json_object* disks = json_get(answer.get(), "disk");
  ASSERT_EQ(json_array_size(disks), 36u);
  EXPECT_EQ(json_object_get_int(json_at(disks, 1)), 5);
  EXPECT_EQ(json_object_get_int(json_at(disks, 0)), 0);
  EXPECT_EQ(json_array_size(json_get(answer.get(), "channel")), 16u);
  EXPECT_EQ(json_int_or(answer.get(), "max_chan"), 32);

  // A reply cut inside its entries lists the whole entries only.
  QuotaInfo cut{};
  cut.enable = 1;
  cut.count = 16;
  sim.reply(kReqGetQuota, kReplyGetQuota, CoreSim::bytes(cut).substr(0, 8 + 2 * 20 + 5));
  answer = json_parse(get(root, "/6208").out.substr(kJsonHeader.size()));
  EXPECT_EQ(json_array_size(json_get(answer.get(), "quota_array")), 2u);
}

TEST(StorageGroups, StoresTheModeAndTellsTheDaemonEachGroup) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/6210", R"({"group_enable":1,"channel":["1100","0011"]})").out,
            kTextHeader + "OK");
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "group_mode", -1), 1);
  expect_one_notice(sim, kReqGroupMode, CoreSim::bytes<int32_t>(1));
  auto groups = sim.messages(kReqSetGroup);
  ASSERT_EQ(groups.size(), 2u);
  DiskGroup second = record_of<DiskGroup>(groups[1]);
  EXPECT_EQ(second.id, 1);
  EXPECT_EQ(std::string(second.channel), "0011");
  EXPECT_EQ(sim.messages(kReqGroupsChanged).size(), 1u);

  // The recorder keeps the channel lists; the status page shows them.
  Json page = json_parse(get(root, "/8010").out.substr(kJsonHeader.size()));
  ASSERT_TRUE(page);
  EXPECT_EQ(json_object_get_string(json_at(json_get(page.get(), "channel"), 1)),
            std::string("0011"));
  EXPECT_EQ(json_int_or(page.get(), "group_enable"), 1);

  // Already grouped: no second mode notice.
  sim.clear_messages();
  EXPECT_EQ(post(root, "/6210", R"({"group_enable":2,"channel":[]})").out, kTextHeader + "OK");
  EXPECT_TRUE(sim.messages(kReqGroupMode).empty());
  EXPECT_EQ(post(root, "/6210", R"({"group_enable":0})").out, kTextHeader + "OK");
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "group_mode", -1), 0);
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqGroupMode).at(0)), 0);
}

TEST(StorageEsata, BackupSettingsRoundTripAndStatusKeepsTheCapacityWhole) {
  DeviceRoot root;
  CoreSim sim(root);
  EXPECT_EQ(post(root, "/6221",
                 R"({"stopBackup":0,"enable":1,"streamType":1,"fileType":2,"recycle":1,)"
                 R"("backupTime":"02:00","channel":"1111","device":1,"port":5})")
                .out,
            kJsonHeader + R"({ "result": 0 })");
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqEsataBackupStop).at(0)), 0);
  EXPECT_EQ(get(root, "/6220").out,
            kJsonHeader + R"({ "enable": 1, "streamType": 1, "fileType": 2, "recycle": 1, )"
                          R"("channel": "1111", "backupTime": "02:00", "device": 1, "port": 5 })");
  // Stopping leaves the settings alone.
  EXPECT_EQ(post(root, "/6221", R"({"stopBackup":1,"enable":0})").out,
            kJsonHeader + R"({ "result": 0 })");
  EXPECT_NE(get(root, "/6220").out.find(R"("enable": 1)"), std::string::npos);

  EXPECT_EQ(get(root, "/6222").out,
            kJsonHeader +
                R"({ "status": 0, "percent": "100.0", "last_time": "2026-01-05 02:00:00", )"
                R"("capacity": 4000000000000 })");
}

// Every waiting route answers its error when the recorder stays silent.
TEST(StorageSilence, EveryWaitingRouteAnswersItsError) {
  struct Row {
    const char* route;
    const char* data;
    int32_t request;
    const std::string* answer;
  };
  const Row rows[] = {
      {"/6200", R"({"num":1,"port":[3]})", kReqDeleteNas, &kTextError},
      {"/6202", "{}", kReqSearchNas, &kJsonError},
      {"/6203", R"({"port":3})", kReqUpdateNas, &kTextError},
      {"/6204", "{}", kReqSetRecycle, &kJsonError},
      {"/6205", "", kReqGetRecycle, &kJsonError},
      {"/6206", "{}", kReqSmart, &kJsonError},
      {"/6207", R"({"port":3,"hddType":3})", kReqDeleteNas, &kTextError},
      {"/6208", "", kReqGetQuota, &kJsonError},
      {"/6209", R"({"enable":0})", kReqSetQuota, &kTextError},
      {"/6221", R"({"stopBackup":1})", kReqEsataBackupStop, &kJsonError},
      {"/6222", "", kReqEsataBackupStatus, &kJsonError},
      {"/6223", "", kReqExportDisks, &kJsonError},
      {"/6224", R"({"port":1})", kReqFormatEsata, &kJsonError},
      {"/6225", "", kReqAutoBackupStatus, &kJsonError},
      {"/6226", "", kReqAutoBackupStop, &kJsonError},
      {"/6227", "", kReqFormatInfo, &kJsonError},
  };
  DeviceRoot root;
  CoreSim sim(root);
  for (const Row& row : rows) sim.never(row.request);
  for (const Row& row : rows) {
    sim.clear_messages();
    EXPECT_EQ(post(root, row.route, row.data).out, *row.answer) << row.route;
    EXPECT_EQ(sim.messages(row.request).size(), 1u) << row.route;
    EXPECT_TRUE(sim.messages(kReqOperationLog).empty()) << row.route;
  }
}

}  // namespace
}  // namespace nvr::test
