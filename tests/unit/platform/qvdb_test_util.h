// Temporary database files for the configuration database and codec tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace qvdb_test {

// The device root of this test process: NVR_ROOT is pointed at a temporary
// folder before anything reads it. Empty when something read the real root
// first (the tests that need the device paths then skip).
inline const std::string& process_root() {
  struct Root {
    std::string path, made;
    Root() {
      const char* set = getenv("NVR_ROOT");
      if (set == nullptr || set[0] == '\0') {
        char pattern[] = "/tmp/nvr-unit-root-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
          made = pattern;
          setenv("NVR_ROOT", pattern, 1);
        }
      }
      path = nvr::device_root();
      std::error_code ignored;
      if (!path.empty()) std::filesystem::create_directories(path + "/mnt/nand/app", ignored);
    }
    ~Root() {
      std::error_code ignored;
      if (!made.empty()) std::filesystem::remove_all(made, ignored);
    }
  };
  static const Root root;
  return root.path;
}

// The debug log of the process root ("" when there is none).
inline std::string debug_log() {
  if (process_root().empty()) return "";
  std::ifstream in(nvr::dev_path("/mnt/nand/cgi_log.txt"));
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder for database files, removed afterwards. The debug log goes
// below the process root.
class TempDir {
 public:
  TempDir() {
    process_root();
    char pattern[] = "/tmp/nvr-qvdb-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() {
    qvdb_close_all();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Prepares a fresh qvdb.db below the process root for the current test.
// When this process's device root is not a private one (another test read the
// real root first), the test is run again in a child process that starts with
// a private root, its result is reported here, and false is returned: the
// caller returns at once.
inline bool fresh_qvdb() {
  if (process_root().empty()) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    pid_t pid = fork();
    if (pid == 0) {
      // NVR_ROOT names the folder process_root() made; the child's root is it.
      const char* self = "/proc/self/exe";
      execl(self, self, filter.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test failed in its child process (output above)";
    return false;
  }
  qvdb_close_all();
  std::filesystem::path db = nvr::qvdb_path();
  std::filesystem::create_directories(db.parent_path());
  for (const char* suffix : {"", "-wal", "-shm"}) unlink((db.string() + suffix).c_str());
  return true;
}

}  // namespace qvdb_test
