// Recording download end to end: the AVI stream the browser receives, the
// frame assembly from the daemon's pieces, the daemon's faults, a browser
// that goes away, and the lock, state, cancel and busy routes.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/oplog_codes.h"
#include "modules/playback/playback_wire.h"
#include "tests/e2e/avi_reader.h"
#include "tests/e2e/core_sim.h"
#include "tests/e2e/expect.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/programs.h"

extern char** environ;

namespace nvr::test {
namespace {

const std::string kBody =
    R"({"id":3,"streamType":0,"startTime":"2024-01-02T03:04:05Z","endTime":"2024-01-02T03:05:05Z"})";
const std::string kHeaders =
    "Content-Type:application/octet-stream\r\n"
    "Content-Disposition: attachment; filename= "
    "8DDD2024_1_2_3_4_5_1704164645-2024_1_2_3_5_5_1704164705_3.avi\r\n\r\n";

// The writer gives up after a minute without frames: 3 s here, enough for a
// busy machine to bring the first frame.
const std::string kDownloadScale = "0.05";

class DownloadTest : public ::testing::Test {
 protected:
  DeviceRoot root;
  CoreSim sim{root};

  // The recording the simulator serves, made now rather than on the first
  // request, so that the first frame comes at once.
  void SetUp() override {
    if (!have_ffmpeg()) return;
    const std::string path = root("/var/lib/nvr-cored/recording.h264");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                           "testsrc=size=320x240:rate=25 -t 2 -c:v libx264 -g 25 -bsf:v "
                           "h264_mp4toannexb -f h264 '" +
                           path + "'")
                              .c_str()),
              0);
  }

  void settings(const std::string& text) {
    root.write_file("/var/lib/nvr-cored/download.conf", text);
  }

  CgiResult download(const std::string& body = kBody) {
    CgiRequest request;
    request.method = "POST";
    request.path_info = "/4013";
    request.content_type = "application/json";
    request.body = body;
    request.env["TZ"] = "UTC";
    request.env["NVR_TIME_SCALE"] = kDownloadScale;
    return run_cgi(root, request);
  }

  // The AVI after the two header lines.
  static std::string avi_of(const CgiResult& r) {
    const size_t end = r.out.find("\r\n\r\n");
    return end == std::string::npos ? "" : r.out.substr(end + 4);
  }

  // Frames ffmpeg decodes from the file, and what it complained about.
  int decoded_frames(const std::string& avi, std::string* errors) {
    root.write_file("/tmp/check.avi", avi);
    const std::string file = root("/tmp/check.avi");
    const std::string err = root("/tmp/ffmpeg.err");
    const std::string count = root("/tmp/ffprobe.out");
    if (std::system(
            ("ffmpeg -nostdin -v error -i '" + file + "' -f null - 2>'" + err + "'").c_str()) != 0)
      *errors = "ffmpeg failed: ";
    *errors += root.read_file("/tmp/ffmpeg.err");
    std::system(("ffprobe -v error -count_frames -select_streams v -show_entries "
                 "stream=nb_read_frames -of csv=p=0 '" +
                 file + "' >'" + count + "' 2>&1")
                    .c_str());
    return std::atoi(root.read_file("/tmp/ffprobe.out").c_str());
  }
};

DownloadPiece* new_piece(int32_t frame_length, int32_t continuation, int32_t length, char fill) {
  auto* piece = new DownloadPiece{};
  piece->header.frame_type = kQvAviKeyFrame;
  piece->header.width = 320;
  piece->header.height = 240;
  piece->header.frame_rate = 25;
  piece->header.length = frame_length;
  piece->continuation = continuation;
  piece->length = length;
  std::memset(piece->data, fill, sizeof piece->data);
  return piece;
}

std::string piece_bytes(int32_t frame_length, int32_t continuation, int32_t length, char fill) {
  std::unique_ptr<DownloadPiece> piece(new_piece(frame_length, continuation, length, fill));
  return CoreSim::bytes(*piece);
}

TEST_F(DownloadTest, StreamsAnAviThatPlaysToTheEnd) {
  settings("seconds 4\n");
  const CgiResult r = download();
  ASSERT_EQ(r.exit_status, 0) << r.err;
  ASSERT_EQ(r.out.compare(0, kHeaders.size(), kHeaders), 0) << r.out.substr(0, 300);
  const auto request = record_of<DownloadRequest>(sim.messages(kReqDownload)[0]);
  EXPECT_EQ(request.channel, 3);
  EXPECT_STREQ(request.start_time, "2024-1-2 3:4:5");
  EXPECT_STREQ(request.end_time, "2024-1-2 3:5:5");
  expect_one_log(sim, kLogSubPlayback, kLogParamNone, 4);

  const std::string file = avi_of(r);
  const AviContents avi = read_avi(file);
  ASSERT_TRUE(avi.valid);
  EXPECT_EQ(avi.riff_size, 0u);  // a pipe cannot be patched: sizes read "to the end"
  EXPECT_EQ(avi.codec, "H264");
  EXPECT_EQ(avi.width, 320u);
  ASSERT_EQ(avi.frames.size(), 100u);
  ASSERT_TRUE(avi.has_index);
  ASSERT_EQ(avi.index_sizes.size(), 100u);
  EXPECT_EQ(avi.index_sizes[7], avi.frames[7].size());
  EXPECT_EQ(avi.index_flags[0], 0x10u);  // the first frame is a key frame

  if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg is not installed: playback of the file not checked";
  std::string errors;
  EXPECT_EQ(decoded_frames(file, &errors), 100);
  EXPECT_EQ(errors, "");
}

TEST_F(DownloadTest, PiecesAreAssembledIntoWholeFrames) {
  // A continuation before any frame is skipped; a frame of 1,000,000 bytes
  // comes in two pieces and is written once; a piece longer than the rest of
  // its frame is cut to it.
  sim.reply(kReqDownload, kReplyDownloadPiece, piece_bytes(5000, 1, 5000, 'a'))
      .reply(kReqDownload, kReplyDownloadPiece, piece_bytes(1000000, 0, 614400, 'b'))
      .reply(kReqDownload, kReplyDownloadPiece, piece_bytes(1000000, 1, 385600, 'c'))
      .reply(kReqDownload, kReplyDownloadPiece, piece_bytes(3000, 0, 2000, 'd'))
      .reply(kReqDownload, kReplyDownloadPiece, piece_bytes(3000, 1, 614400, 'e'))
      .reply(kReqDownload, kReplyDownloadPiece, piece_bytes(0, 0, kPieceEnd, 0));
  const CgiResult r = download();
  const AviContents avi = read_avi(avi_of(r));
  ASSERT_TRUE(avi.valid);
  ASSERT_EQ(avi.frames.size(), 2u);
  EXPECT_EQ(avi.frames[0], std::string(614400, 'b') + std::string(385600, 'c'));
  EXPECT_EQ(avi.frames[1], std::string(2000, 'd') + std::string(1000, 'e'));

  // A piece longer than its reply is read only as far as it arrived.
  sim.clear(kReqDownload);
  std::string short_piece =
      piece_bytes(4000, 0, 4000, 'f').substr(0, offsetof(DownloadPiece, data) + 1500);
  sim.reply(kReqDownload, kReplyDownloadPiece, short_piece)
      .reply(kReqDownload, kReplyDownloadPiece, piece_bytes(4000, 1, 2500, 'g'))
      .reply(kReqDownload, kReplyDownloadPiece, piece_bytes(0, 0, kPieceEnd, 0));
  const AviContents cut = read_avi(avi_of(download()));
  ASSERT_EQ(cut.frames.size(), 1u);
  EXPECT_EQ(cut.frames[0], std::string(1500, 'f') + std::string(2500, 'g'));
}

TEST_F(DownloadTest, DaemonFaultsEndTheRunWithAPlayableFile) {
  struct Row {
    const char* fault;
    size_t frames;  // written
  };
  for (const Row& row :
       {Row{"garbage", 100}, Row{"oversize", 100}, Row{"stop", 50}, Row{"vanish", 100}}) {
    SCOPED_TRACE(row.fault);
    settings(std::string("seconds 4\nfault ") + row.fault + "\n");
    const auto started = std::chrono::steady_clock::now();
    const CgiResult r = download();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    EXPECT_EQ(r.exit_status, 0);
    const std::string file = avi_of(r);
    const AviContents avi = read_avi(file);
    ASSERT_TRUE(avi.valid);
    EXPECT_TRUE(avi.has_index);
    // Interrupted: queued frames are dropped, so at most the frames sent.
    if (std::string(row.fault) == "stop") {
      EXPECT_LE(avi.frames.size(), row.frames);
    } else {
      EXPECT_EQ(avi.frames.size(), row.frames);
    }
    for (const std::string& frame : avi.frames) EXPECT_LT(frame.size(), 600000u);
    if (have_ffmpeg()) {
      std::string errors;
      EXPECT_EQ(decoded_frames(file, &errors), static_cast<int>(avi.frames.size()));
      EXPECT_EQ(errors, "");
    }
  }
  if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg is not installed: playback of the files not checked";
}

// Runs the download with its output on a pipe that the test closes early.
TEST_F(DownloadTest, BrowserThatGoesAwayEndsTheDownloadAndTellsTheDaemon) {
  settings("seconds 100000\n");
  int in[2], out[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(pipe(out), 0);
  std::vector<std::string> env = {"NVR_ROOT=" + root.path(),
                                  "PATH=" + build_dir() + "/platform-bin:/usr/bin:/bin",
                                  "REQUEST_METHOD=POST",
                                  "CONTENT_TYPE=application/json",
                                  "CONTENT_LENGTH=" + std::to_string(kBody.size()),
                                  "PATH_INFO=/4013",
                                  "REMOTE_ADDR=127.0.0.1",
                                  "TZ=UTC",
                                  "NVR_TIME_SCALE=" + kDownloadScale};
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> argv_words = program_argv("nvr-cgi");
  std::vector<char*> argv = argv_pointers(argv_words);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  ASSERT_EQ(write(in[1], kBody.data(), kBody.size()), static_cast<ssize_t>(kBody.size()));
  close(in[1]);

  // Read a good part of the stream, then go away.
  std::string got;
  char buffer[65536];
  while (got.size() < 200000) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) break;
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  EXPECT_GE(got.size(), 200000u);
  EXPECT_EQ(got.compare(0, kHeaders.size(), kHeaders), 0);

  int status = -1;
  rusage usage{};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (wait4(pid, &status, WNOHANG, &usage) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
    ::kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the download went on after the browser left";
  }
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_TRUE(sim.wait_for(kReqCancelDownload, 5).has_value());
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's own memory would count
  // Under an emulator the peak is the emulator's own, not the program's.
  if (exec_wrapper().empty()) {
    EXPECT_LT(usage.ru_maxrss, 40 * 1024) << "peak memory in KiB";
  }
#endif
}

TEST_F(DownloadTest, LockStateCancelAndBusy) {
  root.write_file("/tmp/pbdownload", "");
  EXPECT_EQ(download().out, kTextHeader + "BUSY NOW");
  EXPECT_TRUE(sim.messages(kReqDownload).empty());
  EXPECT_EQ(run_json(root, "/4019", "{}").out, kTextHeader + "{\"isOK\":0}");
  EXPECT_EQ(run_json(root, "/4019", "").out, kRefused);
  EXPECT_EQ(run_json(root, "/4027", "").out, kTextHeader + "OK");
  EXPECT_FALSE(root.exists("/tmp/pbdownload"));
  expect_one_notice(sim, kReqCancelDownload, "");
  EXPECT_EQ(run_json(root, "/4019", "{}").out, kTextHeader + "{\"isOK\":1}");

  // Bad requests: nothing at all.
  for (const char* bad :
       {R"({"id":16,"startTime":"2024-01-02T03:04:05Z","endTime":"2024-01-02T03:05:05Z"})",
        R"({"id":1,"startTime":"2024-01-02T03:04:05Z"})",
        R"({"id":1,"startTime":"soon","endTime":"2024-01-02T03:05:05Z"})"})
    EXPECT_EQ(download(bad).out, kRefused) << bad;
  EXPECT_TRUE(sim.messages(kReqDownload).empty());
}

}  // namespace
}  // namespace nvr::test
