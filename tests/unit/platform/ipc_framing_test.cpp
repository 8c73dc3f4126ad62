// Framing of the message socket: header codec and the defensive frame reader.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/qvsocket.h"

namespace {

using qvsock::DecodeResult;
using qvsock::FrameHeader;
using qvsock::ReadResult;

struct SocketPair {
  SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fd), 0); }
  ~SocketPair() {
    for (int f : fd)
      if (f >= 0) close(f);
  }
  void close_writer() {
    close(fd[1]);
    fd[1] = -1;
  }
  int fd[2] = {-1, -1};
};

TEST(IpcFraming, HeaderIsLittleEndianWithMagicAndSize) {
  FrameHeader h{7, 8433, qvsock::kFlagNoReply, 0x00ABCDEF};
  auto bytes = qvsock::encode_header(h);
  const uint8_t expected[24] = {'N',  'V',  'R', 'M', 24, 0, 0, 0, 7,    0,    0,    0,
                                0xF1, 0x20, 0,   0,   1,  0, 0, 0, 0xEF, 0xCD, 0xAB, 0};
  EXPECT_EQ(0, std::memcmp(bytes.data(), expected, 24));

  FrameHeader back;
  ASSERT_EQ(qvsock::decode_header(bytes.data(), &back), DecodeResult::kOk);
  EXPECT_EQ(back.seq, 7u);
  EXPECT_EQ(back.id, 8433);
  EXPECT_EQ(back.flags, 1u);
  EXPECT_EQ(back.size, 0x00ABCDEFu);

  FrameHeader negative{1, -5, 0, 0};
  auto nb = qvsock::encode_header(negative);
  ASSERT_EQ(qvsock::decode_header(nb.data(), &back), DecodeResult::kOk);
  EXPECT_EQ(back.id, -5);
}

TEST(IpcFraming, DecodeRejectsBadMagicHeaderSizeAndOversize) {
  FrameHeader h{1, 1, 0, qvsock::kMaxPayload};
  auto good = qvsock::encode_header(h);
  FrameHeader out;
  EXPECT_EQ(qvsock::decode_header(good.data(), &out), DecodeResult::kOk);

  auto bad = good;
  bad[0] = 'X';
  EXPECT_EQ(qvsock::decode_header(bad.data(), &out), DecodeResult::kBadMagic);
  bad = good;
  bad[4] = 25;
  EXPECT_EQ(qvsock::decode_header(bad.data(), &out), DecodeResult::kBadHeaderSize);
  h.size = qvsock::kMaxPayload + 1;
  bad = qvsock::encode_header(h);
  EXPECT_EQ(qvsock::decode_header(bad.data(), &out), DecodeResult::kOversize);
  h.size = 0xFFFFFFFF;
  bad = qvsock::encode_header(h);
  EXPECT_EQ(qvsock::decode_header(bad.data(), &out), DecodeResult::kOversize);
}

TEST(IpcFraming, ReaderReturnsFramesInOrderThenClosed) {
  SocketPair p;
  std::string big(200000, 'x');  // more than one read chunk
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  std::thread writer([&] {
    EXPECT_TRUE(qvsock::write_frame(p.fd[1], {1, 3433, 0, 5}, "hello"));
    EXPECT_TRUE(qvsock::write_frame(p.fd[1], {2, 3485, 1, 0}, nullptr));
    EXPECT_TRUE(
        qvsock::write_frame(p.fd[1], {3, 6173, 0, static_cast<uint32_t>(big.size())}, big.data()));
    p.close_writer();
  });
  qvsock::HeaderBytes raw;
  FrameHeader h;
  std::vector<uint8_t> payload;
  ASSERT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), ReadResult::kFrame);
  EXPECT_EQ(h.id, 3433);
  EXPECT_EQ(std::string(payload.begin(), payload.end()), "hello");
  ASSERT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), ReadResult::kFrame);
  EXPECT_EQ(h.seq, 2u);
  EXPECT_EQ(h.flags, 1u);
  EXPECT_TRUE(payload.empty());
  ASSERT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), ReadResult::kFrame);
  EXPECT_EQ(std::string(payload.begin(), payload.end()), big);
  EXPECT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), ReadResult::kClosed);
  writer.join();
}

// The reader reuses its buffer: a small frame after a large one is exactly
// the small one, nothing of the large one left behind it.
TEST(IpcFraming, SmallFrameAfterALargeOneIsReadExactly) {
  SocketPair p;
  const std::string big(300000, 'b');
  std::thread writer([&] {
    EXPECT_TRUE(
        qvsock::write_frame(p.fd[1], {1, 6173, 0, static_cast<uint32_t>(big.size())}, big.data()));
    EXPECT_TRUE(qvsock::write_frame(p.fd[1], {2, 6173, 0, 3}, "abc"));
    EXPECT_TRUE(qvsock::write_frame(p.fd[1], {3, 6173, 0, 0}, nullptr));
    p.close_writer();
  });
  qvsock::HeaderBytes raw;
  FrameHeader h;
  std::vector<uint8_t> payload;
  ASSERT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), ReadResult::kFrame);
  EXPECT_EQ(payload.size(), big.size());
  ASSERT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), ReadResult::kFrame);
  EXPECT_EQ(std::string(payload.begin(), payload.end()), "abc");
  ASSERT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), ReadResult::kFrame);
  EXPECT_TRUE(payload.empty());
  writer.join();
}

// A peer announcing a large payload and then vanishing: the reader reports a
// truncated frame and holds no more than the bytes that actually arrived.
TEST(IpcFraming, ReaderSurvivesTruncationAndNeverTrustsTheSize) {
  struct Case {
    const char* name;
    std::string bytes;
    ReadResult expected;
  };
  auto header = [](uint32_t size) {
    auto h = qvsock::encode_header({1, 8433, 0, size});
    return std::string(h.begin(), h.end());
  };
  std::string bad_magic = header(0);
  bad_magic[1] = 'X';
  const Case cases[] = {
      {"half header", header(0).substr(0, 11), ReadResult::kTruncated},
      {"payload cut", header(qvsock::kMaxPayload) + "abc", ReadResult::kTruncated},
      {"bad magic", bad_magic, ReadResult::kBadFrame},
      {"oversize", header(qvsock::kMaxPayload + 1) + "abc", ReadResult::kBadFrame},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SocketPair p;
    ASSERT_TRUE(qvsock::write_all(p.fd[1], c.bytes.data(), c.bytes.size()));
    p.close_writer();
    qvsock::HeaderBytes raw;
    FrameHeader h;
    std::vector<uint8_t> payload;
    EXPECT_EQ(qvsock::read_frame(p.fd[0], &raw, &h, &payload), c.expected);
    EXPECT_LE(payload.capacity(), 128u * 1024);
  }
}

}  // namespace
