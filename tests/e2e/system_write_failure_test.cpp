// Writes that could not be stored are answered as failures, never "OK": the
// settings file is replaced by a folder, so that every write fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

constexpr const char* kDigest = "0123456789abcdef0123456789abcdef";

struct WriteRow {
  const char* method;
  const char* route;
  std::string data;  // JSON body for POST, query for GET
  std::string failure;
};

const WriteRow kRows[] = {
    {"POST", "/6071",
     std::string(R"({"name":"eve","password":")") + kDigest +
         R"(","type":2,"permission":7,"remotePermission":-1,"localliveview":"1",)"
         R"("localplayback":"1","remoteliveview":"1","remoteplayback":"1"})",
     kTextHeader + "CGI ERROR"},
    {"POST", "/6072", R"({"id":1,"type":1})", kTextHeader + "CGI ERROR"},
    {"POST", "/6073", R"({"id":1,"type":0})", kTextHeader + "CGI ERROR"},
    {"POST", "/ipc", R"({"startip":"192.168.1.10","chnNum":1,"chnFre":1})",
     kTextHeader + "CGI ERROR"},
    {"POST", "/6301", R"({"filterEnable":1,"filterType":1,"filterList":[]})",
     kTextHeader + "CGI ERROR"},
    {"POST", "/1012", R"({"hostName":"nvr","deviceId":3})", kTextHeader + "CGI ERROR"},
    {"GET", "/1023", "", kTextHeader + "CGI ERROR"},
    {"GET", "/1024", "", kTextHeader + "CGI ERROR"},
    {"GET", "/vb.htm", "decode=5", kTextHeader + "ERROR"},
    {"GET", "/vb.htm", "hotplug=3", kTextHeader + "ERROR"},
};

TEST(WriteFailures, EveryStoringRouteAnswersItsFailure) {
  for (const WriteRow& row : kRows) {
    DeviceRoot root;
    std::filesystem::remove(root("/mnt/nand/app/qvdb.db"));
    ASSERT_EQ(mkdir(root("/mnt/nand/app/qvdb.db").c_str(), 0755), 0);
    CoreSim sim(root);
    CgiRequest request = json_request(row.method, row.route, row.data);
    request.cookie = "language=en-US; userName=boss";
    request.env["NVR_TIME_SCALE"] = "0.001";
    EXPECT_EQ(run_cgi(root, request).out, row.failure) << row.route << " " << row.data;
  }
}

}  // namespace
}  // namespace nvr::test
