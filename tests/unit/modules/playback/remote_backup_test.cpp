// Frame buffering of the download: assembly of pieces, oversize frames, the
// interrupt, and the writer's end.
#include "modules/playback/remote_backup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "modules/playback/playback_handlers.h"
#include "tests/e2e/avi_reader.h"

namespace {

using nvr::test::read_avi;

QvAviFrameHeader frame(int32_t length) {
  QvAviFrameHeader h{};
  h.frame_type = kQvAviKeyFrame;
  h.width = 16;
  h.height = 16;
  h.length = length;
  return h;
}

std::string contents(FILE* f) {
  std::string out;
  rewind(f);
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  return out;
}

TEST(RemoteBackup, PiecesBecomeFramesInOrder) {
  FILE* f = tmpfile();
  QvAviWriter* writer = nullptr;
  ASSERT_EQ(remote_backup_qvfs_open(f, &writer), 0);
  EXPECT_TRUE(remote_backup_task_run_status());
  EXPECT_EQ(remote_backup_qvfs_open(f, &writer), -1);  // one download at a time
  const std::string a(614400, 'a'), b(385600, 'b');
  const QvAviFrameHeader big = frame(1000000);
  EXPECT_EQ(remote_backup_qvfs_write(&big, 1, a.data(), 1000), 0);  // no frame yet: skipped
  EXPECT_EQ(remote_backup_qvfs_write(&big, 0, a.data(), 614400), 0);
  EXPECT_EQ(remote_backup_qvfs_write(&big, 1, b.data(), 385600), 0);
  const QvAviFrameHeader small = frame(10);
  EXPECT_EQ(remote_backup_qvfs_write(&small, 0, "0123456789abcdef", 16), 0);  // cut to 10
  EXPECT_EQ(remote_backup_qvfs_write(&small, 1, "zz", 2), 0);                 // nothing in assembly
  // A frame larger than any camera's: dropped with its pieces.
  const QvAviFrameHeader huge = frame(kBackupMaxFrame + 1);
  EXPECT_EQ(remote_backup_qvfs_write(&huge, 0, a.data(), 614400), -1);
  EXPECT_EQ(remote_backup_qvfs_write(&huge, 1, a.data(), 614400), 0);
  const QvAviFrameHeader negative = frame(-1);
  EXPECT_EQ(remote_backup_qvfs_write(&negative, 0, a.data(), 10), -1);
  ASSERT_EQ(remote_backup_qvfs_close(writer), 0);
  EXPECT_FALSE(remote_backup_task_run_status());
  const auto avi = read_avi(contents(f));
  fclose(f);
  ASSERT_TRUE(avi.valid);
  ASSERT_EQ(avi.frames.size(), 2u);
  EXPECT_EQ(avi.frames[0], a + b);
  EXPECT_EQ(avi.frames[1], "0123456789");
}

TEST(RemoteBackup, InterruptStopsTheWriterAndRefusesMoreFrames) {
  FILE* f = tmpfile();
  QvAviWriter* writer = nullptr;
  ASSERT_EQ(remote_backup_qvfs_open(f, &writer), 0);
  remote_backup_qvfs_interrup();
  EXPECT_FALSE(remote_backup_task_run_status());
  const QvAviFrameHeader h = frame(4);
  EXPECT_EQ(remote_backup_qvfs_write(&h, 0, "abcd", 4), -1);
  EXPECT_EQ(remote_backup_qvfs_close(writer), 0);
  EXPECT_TRUE(read_avi(contents(f)).valid);
  fclose(f);
}

TEST(RemoteBackup, ReaderThatLeavesEndsTheWriter) {
  signal(SIGPIPE, SIG_IGN);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  FILE* out = fdopen(fds[1], "w");
  QvAviWriter* writer = nullptr;
  ASSERT_EQ(remote_backup_qvfs_open(out, &writer), 0);
  const std::string data(100000, 'q');
  const QvAviFrameHeader h = frame(100000);
  // The queue never fills for good: once the writer failed, frames are refused.
  int32_t rc = 0;
  for (int i = 0; i < 400 && rc == 0; ++i)
    rc = remote_backup_qvfs_write(&h, 0, data.data(), 100000);
  EXPECT_EQ(rc, -1);
  EXPECT_TRUE(remote_backup_output_failed());
  EXPECT_EQ(remote_backup_qvfs_close(writer), -1);
  fclose(out);
}

TEST(PlaybackImagePercent, RoundsAsTheLogShowsIt) {
  EXPECT_EQ(image_percent(0), 0);
  EXPECT_EQ(image_percent(128), 50);
  EXPECT_EQ(image_percent(255), 100);
  EXPECT_EQ(image_percent(64), 25);
  EXPECT_EQ(image_percent(300), 118);
  EXPECT_EQ(image_percent(1), 0);
  EXPECT_EQ(image_percent(2), 1);  // 0.78 rounds up
}

}  // namespace
