// Storage, status and general settings writes that could not be stored are
// answered as failures and tell the daemon nothing: the settings file is
// replaced by a folder, so that every write fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

struct WriteRow {
  const char* route;
  const char* data;
  bool json_error;
};

const WriteRow kRows[] = {
    {"/6101", R"({"portId":3,"property":1})", false},
    {"/6109", "1", false},
    {"/6201", R"({"num":1,"port":[3],"address":["h"]})", true},
    {"/6203", R"({"port":3,"address":"h"})", true},
    {"/6207", R"({"port":3,"hddType":0})", false},
    {"/6210", R"({"group_enable":1,"channel":["1"]})", false},
    {"/6210", R"({"group_enable":0})", false},
    {"/6221", R"({"stopBackup":0,"enable":1})", true},
    {"/3300", R"({"sshEnable":1})", false},
    {"/3301", R"({"autoLoginEnable":1})", false},
    {"/3302", R"({"recordMode":1})", false},
    {"/3303", R"({"wizardEnable":1})", false},
    {"/3304", R"({"id":1,"enable":1,"ipAddr":"1.2.3.4","managePort":80})", false},
};

TEST(StorageWriteFailures, EveryStoringRouteAnswersItsFailureAndTellsNobody) {
  for (const WriteRow& row : kRows) {
    DeviceRoot root;
    std::filesystem::remove(db_of(root));
    ASSERT_EQ(mkdir(db_of(root).c_str(), 0755), 0);
    CoreSim sim(root);
    EXPECT_EQ(run_json(root, row.route, row.data, kFastScale.c_str()).out,
              row.json_error ? kJsonHeader + R"({status:"CGI ERROR"})" : kTextHeader + "CGI ERROR")
        << row.route << " " << row.data;
    EXPECT_TRUE(sim.messages().empty()) << row.route << " " << row.data;
  }
}

}  // namespace
}  // namespace nvr::test
