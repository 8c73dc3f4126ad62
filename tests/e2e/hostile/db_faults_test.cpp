// The settings file corrupt, truncated, on a read-only medium, and the disk
// full at each point of a write: a write that did not happen is never
// answered "OK", what was answered "OK" is stored, nothing is half-written,
// and the file passes SQLite's integrity check afterwards.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "modules/system/sysinfo_records.h"
#include "platform/qvdb.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"

namespace nvr::test {
namespace {

namespace fs = std::filesystem;

const std::string kOk = kTextHeader + "OK";

// The output of the sqlite3 program on the settings file ("" when it failed).
std::string sqlite(const DeviceRoot& root, const std::string& sql) {
  const std::string command = "sqlite3 -batch '" + db_of(root) + "' \"" + sql + "\" 2>/dev/null";
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return "";
  std::string text;
  char piece[256];
  size_t got;
  while ((got = fread(piece, 1, sizeof piece, out)) > 0) text.append(piece, got);
  pclose(out);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string integrity(const DeviceRoot& root) { return sqlite(root, "PRAGMA integrity_check"); }

// The retention settings as "/1016" answers them.
std::string retention_json(int log, int photo) {
  return kJsonHeader + "{ \"logRetention\": " + std::to_string(log) +
         ", \"photoRetention\": " + std::to_string(photo) + " }";
}

CgiResult set_retention(const DeviceRoot& root, int log, int photo) {
  return run_cgi(root, json_post("/1017",
                                 "{\"logRetention\":" + std::to_string(log) +
                                     ",\"photoRetention\":" + std::to_string(photo) + "}",
                                 true));
}

CgiResult set_host(const DeviceRoot& root, const std::string& host, int id) {
  return run_cgi(
      root,
      json_post("/1012", "{\"hostName\":\"" + host + "\",\"deviceId\":" + std::to_string(id) + "}",
                true));
}

// The whole file in the state it is left in (everything checkpointed).
void checkpoint(const DeviceRoot& root) {
  sqlite(root, "PRAGMA wal_checkpoint(TRUNCATE)");
  fs::remove(db_of(root) + "-wal");
  fs::remove(db_of(root) + "-shm");
}

TEST(DatabaseFaults, ACorruptFileIsNeitherOverwrittenNorAnsweredOk) {
  DeviceRoot root;
  CoreSim sim(root);
  std::string garbage(8192, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919) % 253);
  root.write_file("/mnt/nand/app/qvdb.db", garbage);
  EXPECT_NE(set_retention(root, 6, 4).out, kOk);
  EXPECT_NE(set_host(root, "nvr", 3).out, kOk);
  const CgiResult read = get(root, "/1016");
  EXPECT_EQ(read.exit_status, 0);
  EXPECT_EQ(root.read_file("/mnt/nand/app/qvdb.db"), garbage);
  // A header that claims to be SQLite with garbage pages behind it.
  std::string fake = std::string("SQLite format 3\0", 16) + garbage.substr(16);
  root.write_file("/mnt/nand/app/qvdb.db", fake);
  EXPECT_NE(set_retention(root, 6, 4).out, kOk);
  EXPECT_EQ(get(root, "/1016").exit_status, 0);
}

TEST(DatabaseFaults, ATruncatedFileGivesNoOkThatIsNotStored) {
  DeviceRoot root;
  CoreSim sim(root);
  // Enough settings that the file has many pages.
  for (int i = 0; i < 40; ++i)
    ASSERT_EQ(set_host(root, "host" + std::to_string(i), i + 1).out, kOk);
  ASSERT_EQ(set_retention(root, 6, 4).out, kOk);
  checkpoint(root);
  const std::string whole = root.read_file("/mnt/nand/app/qvdb.db");
  ASSERT_GT(whole.size(), 4096u);
  for (size_t cut : {whole.size() / 2, size_t{4096}, size_t{100}, whole.size() - 1}) {
    SCOPED_TRACE("cut to " + std::to_string(cut));
    root.write_file("/mnt/nand/app/qvdb.db", whole.substr(0, cut));
    fs::remove(db_of(root) + "-wal");
    fs::remove(db_of(root) + "-shm");
    const CgiResult result = set_retention(root, 2, 8);
    EXPECT_EQ(result.exit_status, 0);
    // The damage was done before the write: the file need not pass the
    // check afterwards, but what was answered "OK" reads back.
    if (result.out == kOk) {
      EXPECT_EQ(get(root, "/1016").out, retention_json(2, 8));
    }
    printf("truncated to %zu: %s, integrity %s\n", cut, result.out == kOk ? "stored" : "refused",
           integrity(root).c_str());
    EXPECT_EQ(get(root, "/1016").exit_status, 0);
  }
}

// Mounts of a test live in a mount namespace of the test program's own, so
// that none outlives it, whatever happens.
bool private_mounts() {
  static const bool ok = geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
                         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return ok;
}

class Mount {
 public:
  Mount(const std::string& target, const char* type, unsigned long flags,
        const std::string& options, const char* source = "tmpfs")
      : target_(target) {
    ok_ = mount(source, target.c_str(), type, flags, options.c_str()) == 0;
  }
  ~Mount() {
    if (ok_ && umount(target_.c_str()) != 0) umount2(target_.c_str(), MNT_DETACH);
  }
  bool ok() const { return ok_; }

 private:
  std::string target_;
  bool ok_ = false;
};

TEST(DatabaseFaults, AReadOnlyMediumAnswersNoOk) {
  if (!private_mounts()) GTEST_SKIP() << "needs root and a mount namespace";
  DeviceRoot root;
  CoreSim sim(root);
  ASSERT_EQ(set_retention(root, 6, 4).out, kOk);
  checkpoint(root);
  const std::string before = root.read_file("/mnt/nand/app/qvdb.db");
  const std::string app = root("/mnt/nand/app");
  {
    Mount bind(app, nullptr, MS_BIND, "", app.c_str());
    ASSERT_TRUE(bind.ok());
    Mount read_only(app, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, "", app.c_str());
    ASSERT_TRUE(read_only.ok());
    EXPECT_NE(set_retention(root, 2, 8).out, kOk);
    EXPECT_NE(set_host(root, "ro", 1).out, kOk);
    EXPECT_EQ(get(root, "/1016").out, retention_json(6, 4));
  }
  EXPECT_EQ(root.read_file("/mnt/nand/app/qvdb.db"), before);
  EXPECT_EQ(integrity(root), "ok");
}

// The host name and device id as stored (read by this process, whose
// connection is closed again so that the disk can be unmounted).
std::pair<std::string, std::string> stored_host(const DeviceRoot& root) {
  char host[128] = "";
  char id[32] = "";
  read_host_name(db_of(root).c_str(), host, sizeof host);
  get_param_value(db_of(root).c_str(), "deviceid", id, sizeof id, "");
  qvdb_close_all();
  return {host, id};
}

// Free bytes of the file system at `path`.
long long free_bytes(const std::string& path) {
  struct statvfs st;
  if (statvfs(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.f_bavail) * static_cast<long long>(st.f_frsize);
}

TEST(DatabaseFaults, DiskFullAtEachWritePointStoresAllOrNothing) {
  if (!private_mounts()) GTEST_SKIP() << "needs root and a mount namespace";
  size_t ok_writes = 0, refused_writes = 0;
  // The room left for the write grows page by page, so that the disk fills
  // at every point of it: the log, the index, the commit.
  for (long long room = 0; room <= 96 * 1024; room += 4096) {
    SCOPED_TRACE("room " + std::to_string(room));
    DeviceRoot root;
    Mount disk(root("/mnt/nand/app"), "tmpfs", 0, "size=1m");
    ASSERT_TRUE(disk.ok());
    CoreSim sim(root);
    ASSERT_EQ(set_retention(root, 6, 4).out, kOk);
    ASSERT_EQ(set_host(root, "before", 1).out, kOk);
    const long long filler = free_bytes(root("/mnt/nand/app")) - room;
    if (filler > 0) {
      std::ofstream(root("/mnt/nand/app/filler"), std::ios::binary)
          << std::string(static_cast<size_t>(filler), 'f');
    }
    const CgiResult retention = set_retention(root, 2, 8);
    EXPECT_EQ(retention.exit_status, 0);
    const std::string stored = get(root, "/1016").out;
    if (retention.out == kOk) {
      ++ok_writes;
      EXPECT_EQ(stored, retention_json(2, 8));
    } else {
      ++refused_writes;
      EXPECT_EQ(stored, retention_json(6, 4));
    }
    // Two settings in one change: both or neither.
    const CgiResult host = set_host(root, "after", 2);
    EXPECT_EQ(host.exit_status, 0);
    const auto [host_name, device_id] = stored_host(root);
    if (host.out == kOk) {
      ++ok_writes;
      EXPECT_EQ(host_name, "after");
      EXPECT_EQ(device_id, "2");
    } else {
      ++refused_writes;
      EXPECT_EQ(host_name, "before");
      EXPECT_EQ(device_id, "1");
    }
    fs::remove(root("/mnt/nand/app/filler"));
    EXPECT_EQ(integrity(root), "ok");
    // Room again: the next write is stored.
    EXPECT_EQ(set_retention(root, 10, 12).out, kOk);
    EXPECT_EQ(get(root, "/1016").out, retention_json(10, 12));
    EXPECT_EQ(integrity(root), "ok");
  }
  printf("disk full: %zu writes stored, %zu refused\n", ok_writes, refused_writes);
  EXPECT_GT(refused_writes, 0u);
  EXPECT_GT(ok_writes, 0u);
}

}  // namespace
}  // namespace nvr::test
