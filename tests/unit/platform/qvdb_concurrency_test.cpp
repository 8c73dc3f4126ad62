// Configuration database: many processes writing the same file at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/qvdb.h"
#include "tests/unit/platform/qvdb_test_util.h"

namespace {

struct Row {
  int32_t id;
  int32_t writer;
  int64_t sequence;
  char text[24];
};
constexpr DbField kRowFields[] = {
    DB_FIELD(Row, id, "id", DbType::I32),
    DB_FIELD(Row, writer, "writer", DbType::I32),
    DB_FIELD(Row, sequence, "sequence", DbType::I64),
    DB_FIELD(Row, text, "text", DbType::Text),
};
constexpr DbRecord kRow{"rows", "id", sizeof(Row), kRowFields};

constexpr int kWriters = 8;
constexpr int kWritesEach = 12;
constexpr int kSharedRow = 100000;

// One writer process: its own rows, the shared row, a shared counter
// incremented read-modify-write inside a batch, and a parameter. Exit status:
// the number of calls that failed.
int run_writer(const char* path, int writer) {
  int failures = 0;
  for (int i = 0; i < kWritesEach; ++i) {
    Row own{(writer + 1) * 1000 + i, writer, i, {}};
    snprintf(own.text, sizeof own.text, "writer %d row %d", writer, i);
    if (db_write(path, kRow, &own) != 0) ++failures;

    Row shared{kSharedRow, writer, i, {}};
    snprintf(shared.text, sizeof shared.text, "writer %d row %d", writer, i);
    if (db_write(path, kRow, &shared) != 0) ++failures;

    DbBatch batch(path);
    Row counter{};
    db_read(path, kRow, &counter, 0);
    counter.sequence += 1;
    if (db_write(path, kRow, &counter) != 0) ++failures;
    if (batch.commit() != 0) ++failures;

    if (set_param_int(path, "last_writer", writer) != 0) ++failures;
  }
  return failures;
}

TEST(QvdbConcurrency, ProcessesWritingAtOnceLoseAndFailNothing) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("busy.db");
  // The parent holds the file open too, as the core daemon would.
  Row seed{0, -1, 0, "counter"};
  ASSERT_EQ(db_write(path.c_str(), kRow, &seed), 0);

  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(run_writer(path.c_str(), w));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in writer " << pid;
  }

  std::vector<Row> rows(kWriters * kWritesEach + 10);
  int count = 0;
  ASSERT_EQ(db_read_all(path.c_str(), kRow, rows.data(), static_cast<int>(rows.size()), &count), 0);
  EXPECT_EQ(count, kWriters * kWritesEach + 2);  // own rows, the counter, the shared row
  for (int i = 0; i < count; ++i) {
    const Row& r = rows[i];
    if (r.id == 0) {
      EXPECT_EQ(r.sequence, kWriters * kWritesEach) << "lost increments";
    } else {
      char expected[24];
      snprintf(expected, sizeof expected, "writer %d row %d", r.writer,
               static_cast<int>(r.sequence));
      EXPECT_STREQ(r.text, expected) << "row " << r.id << " mixes two writes";
      if (r.id != kSharedRow) {
        EXPECT_EQ(r.id, (r.writer + 1) * 1000 + r.sequence);
      }
    }
  }
  int last = get_param_int(path.c_str(), "last_writer", -1);
  EXPECT_GE(last, 0);
  EXPECT_LT(last, kWriters);
}

// Each run writes once and exits: the log it leaves must still be emptied now
// and then (a log that is only checkpointed grows without end when every
// process rebuilds its index from the whole log).
TEST(QvdbConcurrency, LogKeptBetweenRunsStaysSmall) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("runs.db");
  off_t largest = 0;
  for (int run = 0; run < 80; ++run) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(set_param_int(path.c_str(), "run", run) == 0 ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat st;
    ASSERT_EQ(stat((path + "-wal").c_str(), &st), 0) << "the log is kept between runs";
    largest = std::max(largest, st.st_size);
  }
  EXPECT_LT(largest, 200 * 1024);
  EXPECT_EQ(get_param_int(path.c_str(), "run", -1), 79);
}

}  // namespace
