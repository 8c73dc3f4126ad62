// Disk list, disk properties, formatting, RAID arrays, spares and the RAID
// mode ("/6100" to "/6109") end to end.
#include <gtest/gtest.h>

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

CgiResult post_text(const DeviceRoot& root, const std::string& route, const std::string& body) {
  return run_json(root, route, body, kFastScale.c_str());
}

Json body_json(const CgiResult& result) {
  EXPECT_EQ(result.out.rfind(kJsonHeader, 0), 0u) << result.out;
  return json_parse(result.out.substr(std::min(result.out.size(), kJsonHeader.size())));
}

DiskStatus disk(int32_t port, int32_t type, uint64_t total_bytes) {
  DiskStatus d{};
  d.port = port;
  d.hdd_type = type;
  d.total_bytes = total_bytes;
  d.free_bytes = total_bytes;
  snprintf(d.vendor, sizeof d.vendor, "daemon-%d", port);
  snprintf(d.address, sizeof d.address, "daemon-address");
  return d;
}

DiskConfig configured(int32_t port, int32_t type) {
  DiskConfig c{};
  c.port = port;
  c.enable = 1;
  c.hdd_type = type;
  c.group = 3;
  c.property = 1;
  snprintf(c.vendor, sizeof c.vendor, "cfg-%d", port);
  snprintf(c.address, sizeof c.address, "10.0.0.%d", port);
  snprintf(c.directory, sizeof c.directory, "/%s", std::string(100, 'd').c_str());
  snprintf(c.user_name, sizeof c.user_name, "us er");
  snprintf(c.password, sizeof c.password, "p&w");
  return c;
}

json_object* hdd_of(const Json& answer, int32_t port) {
  json_object* list = json_get(answer.get(), "HDD");
  for (size_t i = 0; i < json_array_size(list); ++i)
    if (json_int_or(json_at(list, i), "portId", -1) == port) return json_at(list, i);
  return nullptr;
}

TEST(StorageDiskList, EmptyReplyWithoutConfiguredDisksAnswersNo) {
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(set_param_int(db_of(root).c_str(), "esata_type", 2), 0);
  sim.reply(kReqDiskList, kReplyDiskList, "");
  EXPECT_EQ(
      get(root, "/6100").out,
      kJsonHeader + R"({ "resultString": "NO", "esataType": 2, "HDD": [ ], "maxDiskNum": 36 })");

  // A reply cut inside its only record holds no record.
  sim.reply(kReqDiskList, kReplyDiskList, CoreSim::bytes(disk(1, 0, 1)).substr(0, 300));
  sim.clear(kReqDiskList)
      .reply(kReqDiskList, kReplyDiskList, CoreSim::bytes(disk(1, 0, 1)).substr(0, 300));
  EXPECT_EQ(json_string(body_json(get(root, "/6100")).get(), "resultString"), std::string("NO"));

  sim.clear(kReqDiskList).never(kReqDiskList);
  EXPECT_EQ(run_json(root, "/6100", "", kFastScale.c_str(), "GET").out, kJsonError);
}

TEST(StorageDiskList, MergesDaemonDisksWithConfiguredNetworkDisks) {
  DeviceRoot root;
  CoreSim sim(root);
  const std::string db = db_of(root);
  // A local disk keeps the daemon's texts, a network disk shows the
  // configured ones, a configured disk the daemon does not report is listed.
  for (const DiskConfig& c :
       {configured(1, 0), configured(17, kDiskTypeNfs), configured(20, kDiskTypeSmb)})
    ASSERT_EQ(write_disk(db.c_str(), &c), 0);
  DiskConfig off = configured(21, kDiskTypeNfs);
  off.enable = 0;
  ASSERT_EQ(write_disk(db.c_str(), &off), 0);

  DiskStatus big = disk(1, 0, 5ull << 40);  // 5 TiB
  big.used_bytes = (3ull << 40) + 123;
  DiskStatus raid = disk(10, kDiskTypeRaid, 20ull << 40);  // 20 TiB
  raid.raid_sata_cnt = 3;
  raid.raid_sata_port[0] = 0;
  raid.raid_sata_port[1] = 2;
  raid.raid_sata_port[2] = 5;
  raid.raid_sata_port[3] = 7;  // past the count
  raid.raid_progress = 42;
  sim.reply(kReqDiskList, kReplyDiskList,
            CoreSim::bytes(big) + CoreSim::bytes(disk(40, 0, 1)) + CoreSim::bytes(raid) +
                CoreSim::bytes(disk(17, kDiskTypeNfs, 1ull << 30)));
  Json answer = body_json(get(root, "/6100"));
  EXPECT_EQ(json_string(answer.get(), "resultString"), std::string("OK"));
  EXPECT_EQ(json_array_size(json_get(answer.get(), "HDD")), 4u);  // 1, 10, 17, 20

  json_object* local = hdd_of(answer, 1);
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(json_string(local, "vendorName"), std::string("daemon-1"));
  EXPECT_EQ(json_int_or(local, "totalSize"), int64_t{5} << 20);
  EXPECT_EQ(json_int_or(local, "usedSize"), int64_t{3} << 20);
  EXPECT_EQ(json_int_or(local, "group"), 0);

  json_object* array = hdd_of(answer, 10);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(json_int_or(array, "totalSize"), int64_t{20} << 20);
  EXPECT_EQ(json_int_or(array, "raid_id"), 10);
  EXPECT_EQ(json_int_or(array, "raid_sata_port"), (1 << 2) | (1 << 5));
  EXPECT_EQ(json_int_or(array, "raid_task"), 42);

  json_object* nfs = hdd_of(answer, 17);
  ASSERT_NE(nfs, nullptr);
  EXPECT_EQ(json_string(nfs, "vendorName"), std::string("cfg-17"));
  EXPECT_EQ(json_string(nfs, "address"), std::string("10.0.0.17"));
  EXPECT_EQ(json_string(nfs, "directory"), "/" + std::string(100, 'd'));  // whole, not cut at 63
  EXPECT_EQ(json_string(nfs, "userName"), std::string("us%20er"));
  EXPECT_EQ(json_string(nfs, "password"), std::string("p%26w"));
  EXPECT_EQ(json_int_or(nfs, "totalSize"), 1024);

  json_object* only_configured = hdd_of(answer, 20);
  ASSERT_NE(only_configured, nullptr);
  EXPECT_EQ(json_int_or(only_configured, "state"), 2);
  EXPECT_EQ(json_int_or(only_configured, "totalSize"), 0);
  EXPECT_EQ(json_int_or(only_configured, "hddType"), kDiskTypeSmb);
  EXPECT_EQ(json_int_or(only_configured, "group"), 3);
  EXPECT_EQ(json_string(only_configured, "vendorName"), std::string("cfg-20"));

  // Key order of a disk object.
  std::string keys;
  json_object_object_foreach(local, key, value) {
    (void)value;
    keys += std::string(key) + ",";
  }
  EXPECT_EQ(keys,
            "portId,vendorName,address,directory,totalSize,usedSize,freeSize,hddType,state,group,"
            "property,bUsable,raid_id,raid_level,raid_state,raid_progress,raid_sata_cnt,raid_task,"
            "userName,password,raid_sata_port,");
}

TEST(StorageSetDisk, ChecksPortAndPropertyThenStoresTellsAndLogs) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const char* refused : {R"({"portId":36,"property":0})", R"({"portId":-1,"property":0})",
                              R"({"portId":3,"property":2})", R"({"property":1})",
                              R"({"portId":3})", "[1]", "not json"}) {
    EXPECT_EQ(post_text(root, "/6101", refused).out, kRefused) << refused;
  }
  EXPECT_TRUE(sim.messages().empty());

  EXPECT_EQ(post_text(root, "/6101", R"({"portId":0,"property":1})").out, kTextHeader + "OK");
  EXPECT_EQ(post_text(root, "/6101", R"({"portId":35,"property":1,"group":4,"private":1})").out,
            kTextHeader + "OK");
  DiskConfig stored{};
  ASSERT_EQ(read_disk(db_of(root).c_str(), &stored, 35), 0);
  EXPECT_EQ(stored.property, 1);
  EXPECT_EQ(stored.group, 4);
  auto sent = sim.messages(kReqSetDisk);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].flags & CoreSim::kNoReply, CoreSim::kNoReply);
  DiskSetRequest request = record_of<DiskSetRequest>(sent[1]);
  EXPECT_EQ(request.port, 35);
  EXPECT_EQ(request.property, 1);
  EXPECT_EQ(request.group, 4);
  EXPECT_EQ(request.is_private, 1);
  auto logs = sim.messages(kReqOperationLog);
  ASSERT_EQ(logs.size(), 2u);
  QvLogInfo log = record_of<QvLogInfo>(logs[1]);
  EXPECT_EQ(log.sub_type, 204);
  EXPECT_EQ(log.param_type, 919);
  EXPECT_EQ(log.chan_no, 35);
}

TEST(StorageFormat, MapsStatusesAndLogsTheOutcome) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const char* refused : {"37", "-1", "abc", "3x", ""}) {
    EXPECT_EQ(post_text(root, "/6102", refused).out, kRefused) << refused;
  }
  EXPECT_TRUE(sim.messages().empty());

  struct Row {
    int32_t status;
    std::string answer;
    int32_t logged;
  };
  const Row rows[] = {{0, kTextHeader + "OK", 1},
                      {1, kTextHeader + "USING", -1},
                      {-1, kTextHeader + "ERROR FORMAT", -1},
                      {-3, kTextHeader + "NAS LOW CAP", -1},
                      {7, kRefused, -1}};
  for (const Row& row : rows) {
    sim.clear_messages();
    sim.clear(kReqFormatDisk).reply(kReqFormatDisk, kReplyFormatDisk, CoreSim::bytes(row.status));
    EXPECT_EQ(post_text(root, "/6102", "36").out, row.answer) << row.status;
    auto sent = sim.messages(kReqFormatDisk);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(record_of<int32_t>(sent[0]), 36);
    auto logs = sim.messages(kReqOperationLog);
    ASSERT_EQ(logs.size(), 1u);
    QvLogInfo log = record_of<QvLogInfo>(logs[0]);
    EXPECT_EQ(log.sub_type, 207);
    EXPECT_EQ(log.param_type, 900);
    EXPECT_EQ(log.chan_no, 36);
    int32_t kind = 0;
    std::string detail;
    ASSERT_EQ(qvfs_log_unpack_detail(log, &kind, &detail), 0);
    EXPECT_EQ(kind, 102);
    ASSERT_EQ(detail.size(), sizeof(FormatLogDetail));
    FormatLogDetail packed{};
    memcpy(&packed, detail.data(), sizeof packed);
    EXPECT_EQ(packed.port, 36);
    EXPECT_EQ(packed.result, row.logged);
  }

  // The older reply id answers the same; no reply: the JSON error, still logged.
  sim.clear_messages();
  sim.clear(kReqFormatDisk).reply(kReqFormatDisk, kReplyFormatDiskOld, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post_text(root, "/6102", "2").out, kTextHeader + "OK");
  sim.clear(kReqFormatDisk).never(kReqFormatDisk);
  sim.clear_messages();
  EXPECT_EQ(post_text(root, "/6102", "2").out, kJsonError);
  EXPECT_EQ(sim.messages(kReqOperationLog).size(), 1u);

  EXPECT_EQ(post_text(root, "/6103", "16").out, kTextHeader + "OK");
  EXPECT_EQ(post_text(root, "/6103", "17").out, kRefused);
}

TEST(StorageRaid, CreateRemoveSpareRebuildSendTheirRecords) {
  DeviceRoot root;
  CoreSim sim(root);
  for (const char* refused : {R"({"id":16,"enable":1,"level":0,"sata_cnt":2,"sata_port":3})",
                              R"({"id":9,"enable":1,"level":0,"sata_cnt":2,"sata_port":3})",
                              R"({"id":10,"level":0,"sata_cnt":2,"sata_port":3})",
                              R"({"id":10,"enable":1,"level":-1,"sata_cnt":2,"sata_port":3})",
                              R"({"id":10,"enable":1,"level":0,"sata_cnt":-1,"sata_port":3})",
                              R"({"id":10,"enable":1,"level":0,"sata_cnt":2})"}) {
    EXPECT_EQ(post_text(root, "/6104", refused).out, kRefused) << refused;
  }
  EXPECT_TRUE(sim.messages().empty());

  sim.reply(kReqCreateRaid, kReplyCreateRaid, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post_text(root, "/6104",
                      R"({"id":15,"enable":1,"level":5,"sata_cnt":3,"sata_port":)" +
                          std::to_string((1 << 0) | (1 << 15) | (1 << 16)) + "}")
                .out,
            kTextHeader + "OK");
  RaidRequest raid = record_of<RaidRequest>(sim.messages(kReqCreateRaid).at(0));
  EXPECT_EQ(raid.id, 15);
  EXPECT_EQ(raid.enable, 1);
  EXPECT_EQ(raid.level, 5);
  EXPECT_EQ(raid.member_count, 3);  // as sent, not the bits counted
  EXPECT_EQ(raid.members[0], 0);
  EXPECT_EQ(raid.members[1], 15);
  EXPECT_EQ(raid.members[2], 0);

  sim.clear(kReqCreateRaid).reply(kReqCreateRaid, kReplyCreateRaid, CoreSim::bytes<int32_t>(-1));
  EXPECT_EQ(
      post_text(root, "/6104", R"({"id":10,"enable":0,"level":0,"sata_cnt":0,"sata_port":0})").out,
      kTextHeader + "Error");

  EXPECT_EQ(post_text(root, "/6105", "17").out, kRefused);
  EXPECT_EQ(post_text(root, "/6105", "9").out, kRefused);
  sim.reply(kReqRemoveRaid, kReplyRemoveRaid, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post_text(root, "/6105", "16").out, kTextHeader + "OK");
  RaidRequest removed = record_of<RaidRequest>(sim.messages(kReqRemoveRaid).at(0));
  EXPECT_EQ(removed.id, 16);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&removed) + 4, 100), std::string(100, '\0'));

  sim.reply(kReqSetHotSpare, kReplySetHotSpare, CoreSim::bytes<int32_t>(0));
  sim.reply(kReqUnsetHotSpare, kReplyUnsetHotSpare, CoreSim::bytes<int32_t>(3));
  EXPECT_EQ(post_text(root, "/6106", R"({"port":2,"hotflag":1})").out, kTextHeader + "OK");
  EXPECT_EQ(post_text(root, "/6106", R"({"port":2})").out, kTextHeader + "Error");
  EXPECT_EQ(record_of<int32_t>(sim.messages(kReqUnsetHotSpare).at(0)), 2);

  sim.reply(kReqRebuildRaid, kReplyRebuildRaid, CoreSim::bytes<int32_t>(0));
  EXPECT_EQ(post_text(root, "/6107", R"({"diskport":3,"raidport":10})").out, kTextHeader + "OK");
  RebuildRequest rebuild = record_of<RebuildRequest>(sim.messages(kReqRebuildRaid).at(0));
  EXPECT_EQ(rebuild.disk_port, 3);
  EXPECT_EQ(rebuild.raid_port, 10);

  // No reply: the text error on every RAID route.
  for (int32_t id : {kReqCreateRaid, kReqRemoveRaid, kReqSetHotSpare, kReqRebuildRaid})
    sim.clear(id).never(id);
  EXPECT_EQ(
      post_text(root, "/6104", R"({"id":10,"enable":1,"level":0,"sata_cnt":2,"sata_port":3})").out,
      kTextHeader + "CGI ERROR");
  EXPECT_EQ(post_text(root, "/6105", "10").out, kTextHeader + "CGI ERROR");
  EXPECT_EQ(post_text(root, "/6106", R"({"port":1,"hotflag":1})").out, kTextHeader + "CGI ERROR");
  EXPECT_EQ(post_text(root, "/6107", "{}").out, kTextHeader + "CGI ERROR");
  // A status reply without its status is a failure, answered at once.
  sim.clear(kReqRebuildRaid).reply(kReqRebuildRaid, kReplyRebuildRaid, "");
  EXPECT_EQ(post_text(root, "/6107", "{}").out, kTextHeader + "Error");
}

TEST(StorageRaidMode, StoresZeroOrOne) {
  DeviceRoot root;
  EXPECT_EQ(get(root, "/6108").out, kTextHeader + "0");
  EXPECT_EQ(post_text(root, "/6109", "1").out, kTextHeader + "OK");
  EXPECT_EQ(get(root, "/6108").out, kTextHeader + "1");
  EXPECT_EQ(post_text(root, "/6109", "5").out, kTextHeader + "OK");
  EXPECT_EQ(get_param_int(db_of(root).c_str(), "raidmode", -1), 0);
}

// The simulated recorder keeps its disks: what one run changes, the next sees,
// also after the daemon restarted.
TEST(StorageModel, ListFormatCreateAndRemoveAgreeAcrossRuns) {
  DeviceRoot root;
  CoreSim sim(root);
  auto ports = [&] {
    Json answer = body_json(get(root, "/6100"));
    std::string list;
    json_object* hdd = json_get(answer.get(), "HDD");
    for (size_t i = 0; i < json_array_size(hdd); ++i)
      list += std::to_string(json_int_or(json_at(hdd, i), "portId")) + " ";
    return list;
  };
  EXPECT_EQ(ports(), "1 2 10 17 18 ");
  EXPECT_EQ(
      post_text(root, "/6104", R"({"id":11,"enable":1,"level":0,"sata_cnt":2,"sata_port":3})").out,
      kTextHeader + "OK");
  EXPECT_EQ(ports(), "10 11 17 18 ");
  // Members of an array cannot join another one.
  EXPECT_EQ(
      post_text(root, "/6104", R"({"id":12,"enable":1,"level":0,"sata_cnt":2,"sata_port":3})").out,
      kTextHeader + "Error");
  sim.restart();
  EXPECT_EQ(ports(), "10 11 17 18 ");
  Json answer = body_json(get(root, "/6100"));
  EXPECT_EQ(json_int_or(hdd_of(answer, 11), "totalSize"), int64_t{12} * 1000000000000 >> 20);
  EXPECT_EQ(post_text(root, "/6105", "11").out, kTextHeader + "OK");
  EXPECT_EQ(ports(), "1 2 10 17 18 ");
  EXPECT_EQ(post_text(root, "/6102", "1").out, kTextHeader + "OK");
  EXPECT_EQ(json_int_or(hdd_of(body_json(get(root, "/6100")), 1), "usedSize"), 0);
  EXPECT_EQ(post_text(root, "/6102", "30").out, kTextHeader + "ERROR FORMAT");
}

}  // namespace
}  // namespace nvr::test
