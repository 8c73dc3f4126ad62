// The streaming AVI writer: the layout on a seekable file and on a pipe, the
// index and its bound, audio frames, and failing output.
#include "platform/avilib.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/e2e/avi_reader.h"

namespace {

using nvr::test::AviContents;
using nvr::test::read_avi;

QvAviFrameHeader header_of(int32_t type, int32_t length) {
  QvAviFrameHeader h{};
  h.frame_type = type;
  h.codec = kQvAviH264;
  h.width = 640;
  h.height = 360;
  h.frame_rate = 30;
  h.length = length;
  return h;
}

std::string file_text(FILE* f) {
  std::string out;
  rewind(f);
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  return out;
}

TEST(AviWriter, SeekableFileGetsItsSizesCountsAndIndex) {
  FILE* f = tmpfile();
  ASSERT_NE(f, nullptr);
  QvAviWriter* w = qv_avi_open_fp(f);
  const std::string odd(1001, 'x'), even(2000, 'y');
  const QvAviFrameHeader key = header_of(kQvAviKeyFrame, 1001);
  ASSERT_EQ(qv_avi_write_fp_ex(w, &key, odd.data()), 0);
  const QvAviFrameHeader inter = header_of(kQvAviInterFrame, 2000);
  ASSERT_EQ(qv_avi_write_fp_ex(w, &inter, even.data()), 0);
  const QvAviFrameHeader audio = header_of(kQvAviAudioFrame, 10);
  ASSERT_EQ(qv_avi_write_fp_ex(w, &audio, "0123456789"), 0);  // not written
  EXPECT_EQ(qv_avi_frame_count(w), 2u);
  ASSERT_EQ(qv_avi_close_fp(w), 0);
  const std::string bytes = file_text(f);
  fclose(f);
  const AviContents avi = read_avi(bytes);
  ASSERT_TRUE(avi.valid);
  EXPECT_EQ(avi.riff_size, bytes.size() - 8);
  EXPECT_EQ(avi.movi_size, 4u + (8 + 1002) + (8 + 2000));
  EXPECT_EQ(avi.total_frames, 2u);
  EXPECT_EQ(avi.width, 640u);
  EXPECT_EQ(avi.height, 360u);
  ASSERT_EQ(avi.frames.size(), 2u);
  EXPECT_EQ(avi.frames[0], odd);
  EXPECT_EQ(avi.frames[1], even);
  EXPECT_EQ(avi.index_sizes, (std::vector<uint32_t>{1001, 2000}));
  EXPECT_EQ(avi.index_flags, (std::vector<uint32_t>{0x10, 0}));
}

TEST(AviWriter, PipeGetsSizesThatReadToTheEnd) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) got.append(buffer, n);
  });
  FILE* out = fdopen(fds[1], "w");
  QvAviWriter* w = qv_avi_open_fp(out);
  const QvAviFrameHeader h = header_of(kQvAviKeyFrame, 3);
  ASSERT_EQ(qv_avi_write_fp_ex(w, &h, "abc"), 0);
  ASSERT_EQ(qv_avi_close_fp(w), 0);
  fclose(out);
  reader.join();
  close(fds[0]);
  const AviContents avi = read_avi(got);
  ASSERT_TRUE(avi.valid);
  EXPECT_EQ(avi.riff_size, 0u);
  EXPECT_EQ(avi.movi_size, 0u);
  ASSERT_EQ(avi.frames.size(), 1u);
  EXPECT_EQ(avi.index_sizes.size(), 1u);
}

TEST(AviWriter, EmptyRecordingIsStillAFileAndBadFramesAreRefused) {
  FILE* f = tmpfile();
  QvAviWriter* w = qv_avi_open_fp(f);
  const QvAviFrameHeader negative = header_of(kQvAviKeyFrame, -5);
  EXPECT_EQ(qv_avi_write_fp_ex(w, &negative, "x"), -1);
  const QvAviFrameHeader missing = header_of(kQvAviKeyFrame, 5);
  EXPECT_EQ(qv_avi_write_fp_ex(w, &missing, nullptr), -1);
  ASSERT_EQ(qv_avi_close_fp(w), 0);
  const AviContents avi = read_avi(file_text(f));
  fclose(f);
  EXPECT_TRUE(avi.valid);
  EXPECT_TRUE(avi.frames.empty());
  EXPECT_TRUE(avi.has_index);
  EXPECT_EQ(qv_avi_open_fp(nullptr), nullptr);
}

TEST(AviWriter, IndexBeyondItsBoundIsLeftOutNotCutShort) {
  FILE* f = tmpfile();
  QvAviWriter* w = qv_avi_open_fp(f);
  const QvAviFrameHeader h = header_of(kQvAviInterFrame, 2);
  for (size_t i = 0; i <= kQvAviMaxIndexEntries; ++i) ASSERT_EQ(qv_avi_write_fp_ex(w, &h, "ab"), 0);
  ASSERT_EQ(qv_avi_close_fp(w), 0);
  const AviContents avi = read_avi(file_text(f));
  fclose(f);
  ASSERT_TRUE(avi.valid);
  EXPECT_EQ(avi.frames.size(), kQvAviMaxIndexEntries + 1);
  EXPECT_FALSE(avi.has_index);
}

TEST(AviWriter, ReaderThatLeavesFailsTheWritesWithEpipe) {
  signal(SIGPIPE, SIG_IGN);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  FILE* out = fdopen(fds[1], "w");
  QvAviWriter* w = qv_avi_open_fp(out);
  const std::string data(100000, 'z');
  const QvAviFrameHeader h = header_of(kQvAviKeyFrame, 100000);
  errno = 0;
  EXPECT_EQ(qv_avi_write_fp_ex(w, &h, data.data()), -1);
  EXPECT_EQ(errno, EPIPE);
  EXPECT_EQ(qv_avi_write_fp_ex(w, &h, data.data()), -1);  // and stays failed
  EXPECT_EQ(qv_avi_close_fp(w), -1);
  fclose(out);
}

}  // namespace
