// Live view and playback: the recorder finds recordings, opens sessions and
// live streams, keeps each channel's image values (state "image.bin"), and
// serves recording downloads from a small recording of its own.
//
// The recording: the H.264 stream named by "recording" in the download
// settings, else state "recording.h264", made with ffmpeg when it is on PATH,
// else synthetic frames (valid headers, filler data). Frames are sent at full
// speed, the recording repeated for the requested stretch, but at most
// "seconds" (default 10) of video.
//
// Download settings: state "download.conf", lines of "key value":
//   seconds N     length of the download in seconds of video (25 frames each)
//   recording P   an Annex B H.264 file to serve
//   size WxH      the frame size written into the frame headers (320x240)
//   trim 1        pieces sent as long as their data, not as whole records
//   fault F       stop: interrupted (-2) halfway; vanish: no end is ever sent;
//                 garbage: broken pieces between the frames; oversize: a frame
//                 beyond any camera's size between the frames
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "modules/playback/playback_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

template <class T>
T payload_as(const sim::Message& request) {
  T record{};
  std::memcpy(&record, request.payload.data(), std::min(request.payload.size(), sizeof record));
  return record;
}

template <class T>
void reply_record(sim::Peer& peer, int32_t reply_id, const T& record) {
  peer.reply(reply_id, &record, sizeof record);
}

void copy_text(char* field, size_t size, const std::string& text) {
  snprintf(field, size, "%s", text.c_str());
}

// ---- searches and sessions ---------------------------------------------------------------

int32_t searched_channel(const SearchRequest& request) {
  for (int n = 0; n < 64; ++n)
    if (request.channels[n] == '1') return n;
  return 0;
}

// Two sections of the channel: a continuous recording and a motion event.
void reply_sections(sim::Peer& peer, int32_t reply_id, int32_t channel, const char* start,
                    const char* end) {
  SearchResult results[2]{};
  for (int i = 0; i < 2; ++i) {
    results[i].channel = channel;
    results[i].session = 100 + channel;
    results[i].record_type = i;
    results[i].lock = 0;
    copy_text(results[i].start_time, sizeof results[i].start_time, start);
    copy_text(results[i].end_time, sizeof results[i].end_time, end);
  }
  peer.reply(reply_id, results, sizeof results);
}

void on_search(const sim::Message& m, sim::Peer& peer) {
  const auto request = payload_as<SearchRequest>(m);
  std::string start(request.start_time, strnlen(request.start_time, sizeof request.start_time));
  std::string end(request.end_time, strnlen(request.end_time, sizeof request.end_time));
  reply_sections(peer, kReplySearch, searched_channel(request), start.c_str(), end.c_str());
}

void on_search_page(const sim::Message& m, sim::Peer& peer) {
  const auto request = payload_as<SearchPageRequest>(m);
  reply_sections(peer, kReplySearchPage, request.session >= 100 ? request.session - 100 : 0,
                 "2024-01-02 00:00:00", "2024-01-02 01:00:00");
}

void on_start_playback(const sim::Message&, sim::Peer& peer) {
  reply_record<int32_t>(peer, kReplyStartPlayback, 0);
}

void on_start_by_mask(const sim::Message& m, sim::Peer& peer) {
  const auto request = payload_as<MaskedStartRequest>(m);
  MaskedStartReply reply{};
  reply.session = 200;
  std::memcpy(reply.real_play_time, request.play_time, sizeof reply.real_play_time);
  reply.real_play_time[sizeof reply.real_play_time - 1] = '\0';
  reply_record(peer, kReplyStartPlaybackMask, reply);
}

void on_playback_source(const sim::Message& m, sim::Peer& peer) {
  PlaybackSourceReply reply{};
  reply.session = payload_as<int32_t>(m);
  reply.port = 554;
  reply.external_port = 10554;
  reply.external_http_port = 10080;
  reply.ddns_port = 20554;
  reply.ddns_http_port = 20080;
  copy_text(reply.source_path, sizeof reply.source_path,
            "/playback/session" + std::to_string(reply.session));
  reply_record(peer, kReplyPlaybackSource, reply);
}

void on_play_position(const sim::Message&, sim::Peer& peer) {
  reply_record<int64_t>(peer, kReplyPlayPosition, static_cast<int64_t>(time(nullptr)) - 3600);
}

void on_jump(const sim::Message&, sim::Peer& peer) { reply_record<int32_t>(peer, kReplyJump, 0); }

void on_playback_stream(const sim::Message& m, sim::Peer& peer) {
  const auto param = payload_as<PlaybackStreamParam>(m);
  reply_record(peer, kReplyPlaybackStream, PlaybackStreamState{param.channel, param.session, 0});
}

void on_playback_stream_state(const sim::Message& m, sim::Peer& peer) {
  const auto key = payload_as<PlaybackStreamKey>(m);
  reply_record(peer, kReplyPlaybackStreamState, PlaybackStreamState{key.channel, key.session, 1});
}

// ---- live view -----------------------------------------------------------------------------

void on_start_live(const sim::Message& m, sim::Peer& peer) {
  const auto request = payload_as<LiveStartRequest>(m);
  LiveStartReply reply{};
  reply.channel = request.channel;
  reply.port = 554;
  reply.result = 0;
  const std::string path =
      "/live/ch" + std::to_string(request.channel) + (request.stream_type == 1 ? "/sub" : "/main");
  copy_text(reply.rtsp_address, sizeof reply.rtsp_address, "rtsp://127.0.0.1:554" + path);
  copy_text(reply.resource_path, sizeof reply.resource_path, path);
  reply_record(peer, kReplyStartLive, reply);
}

void on_stream_address(const sim::Message&, sim::Peer& peer) {
  std::vector<StreamAddress> list(4);
  for (int ch = 0; ch < 4; ++ch) {
    StreamAddress& a = list[ch];
    const std::string camera = "rtsp://192.168.1." + std::to_string(101 + ch) + ":554/";
    copy_text(a.ipc_main, sizeof a.ipc_main, camera + "main");
    copy_text(a.ipc_sub, sizeof a.ipc_sub, camera + "sub");
    a.main_ports = {554, 10554, 20554, 10080, 20080};
    a.sub_ports = {554, 10554, 20554, 10080, 20080};
    copy_text(a.main_user, sizeof a.main_user, "admin");
    copy_text(a.sub_user, sizeof a.sub_user, "admin");
    copy_text(a.main_res_path, sizeof a.main_res_path, "/live/ch" + std::to_string(ch) + "/main");
    copy_text(a.sub_res_path, sizeof a.sub_res_path, "/live/ch" + std::to_string(ch) + "/sub");
  }
  peer.reply(kReplyStreamAddress, list.data(), list.size() * sizeof(StreamAddress));
}

void on_external_ports(const sim::Message&, sim::Peer& peer) {
  reply_record(peer, kReplyExternalPorts, ExternalPorts{10554, 20554});
}

// ---- image values -----------------------------------------------------------------------------

std::mutex g_image_mutex;

std::vector<ImageParam> load_images() {
  std::vector<ImageParam> images(16);
  for (int ch = 0; ch < 16; ++ch) images[ch] = {ch, 128, 128, 128, 128, 128, 0};
  std::ifstream in(sim::state_path("image.bin"), std::ios::binary);
  in.read(reinterpret_cast<char*>(images.data()), images.size() * sizeof(ImageParam));
  return images;
}

void on_set_image(const sim::Message& m, sim::Peer&) {
  const auto image = payload_as<ImageParam>(m);
  if (image.channel < 0 || image.channel >= 16) return;
  std::lock_guard lock(g_image_mutex);
  auto images = load_images();
  images[image.channel] = image;
  std::ofstream out(sim::state_path("image.bin"), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(images.data()), images.size() * sizeof(ImageParam));
}

void on_get_image(const sim::Message& m, sim::Peer& peer) {
  const int32_t channel = payload_as<int32_t>(m);
  ImageParamReply reply{};
  reply.channel = channel;
  if (channel < 0 || channel >= 16) {
    reply.result = -1;
    return reply_record(peer, kReplyImageParam, reply);
  }
  std::lock_guard lock(g_image_mutex);
  const ImageParam image = load_images()[channel];
  reply.brightness = image.brightness;
  reply.contrast = image.contrast;
  reply.saturation = image.saturation;
  reply.sharpness = image.sharpness;
  reply.noise_reduction = image.noise_reduction;
  reply.i2ddnr = image.i2ddnr;
  reply_record(peer, kReplyImageParam, reply);
}

// ---- recording download -------------------------------------------------------------------------

std::atomic<int> g_downloads{0};
std::atomic<bool> g_cancelled{false};

void on_cancel(const sim::Message&, sim::Peer&) { g_cancelled.store(true); }

void on_busy(const sim::Message&, sim::Peer& peer) {
  reply_record<int32_t>(peer, kReplyDaemonBusy, g_downloads.load() > 0 ? 1 : 0);
}

std::map<std::string, std::string> download_settings() {
  std::map<std::string, std::string> settings;
  std::ifstream in(sim::state_path("download.conf"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key, value;
    if (words >> key >> value) settings[key] = value;
  }
  return settings;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Makes the recording with ffmpeg (no shell: the path goes as one argument).
bool make_recording(const std::string& path) {
  const std::string tmp = path + ".part";
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const char* argv[] = {"ffmpeg",
                          "-nostdin",
                          "-loglevel",
                          "error",
                          "-y",
                          "-f",
                          "lavfi",
                          "-i",
                          "testsrc=size=320x240:rate=25",
                          "-t",
                          "2",
                          "-c:v",
                          "libx264",
                          "-g",
                          "25",
                          "-bsf:v",
                          "h264_mp4toannexb",
                          "-f",
                          "h264",
                          tmp.c_str(),
                          nullptr};
    execvp("ffmpeg", const_cast<char* const*>(argv));
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    unlink(tmp.c_str());
    return false;
  }
  return rename(tmp.c_str(), path.c_str()) == 0;
}

struct SimFrame {
  std::string data;
  bool key = false;
};

// NAL unit type at each start code; a frame is everything up to the next
// slice or parameter set after its own slice.
std::vector<SimFrame> split_access_units(const std::string& stream) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 < stream.size(); ++i)
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
      starts.push_back(i > 0 && stream[i - 1] == 0 ? i - 1 : i);
      i += 2;
    }
  std::vector<SimFrame> frames;
  SimFrame current;
  bool has_slice = false;
  for (size_t n = 0; n < starts.size(); ++n) {
    const size_t begin = starts[n];
    const size_t end = n + 1 < starts.size() ? starts[n + 1] : stream.size();
    const size_t header = stream[begin + 2] == 1 ? begin + 3 : begin + 4;
    const int type = header < stream.size() ? (stream[header] & 0x1f) : 0;
    const bool slice = type == 1 || type == 5;
    const bool opens = slice || type == 6 || type == 7 || type == 8 || type == 9;
    if (has_slice && opens) {
      frames.push_back(std::move(current));
      current = SimFrame{};
      has_slice = false;
    }
    current.data.append(stream, begin, end - begin);
    if (type == 5) current.key = true;
    has_slice = has_slice || slice;
  }
  if (!current.data.empty()) frames.push_back(std::move(current));
  return frames;
}

std::vector<SimFrame> synthetic_frames() {
  std::vector<SimFrame> frames(50);
  for (size_t i = 0; i < frames.size(); ++i) {
    frames[i].key = i % 25 == 0;
    frames[i].data = std::string("\0\0\0\1", 4) + char(frames[i].key ? 0x65 : 0x41);
    frames[i].data.append(frames[i].key ? 6000 : 1500, static_cast<char>(0x80 + i % 64));
  }
  return frames;
}

std::vector<SimFrame> recording_frames(const std::map<std::string, std::string>& settings) {
  std::string path;
  if (auto it = settings.find("recording"); it != settings.end()) {
    path = it->second;
  } else {
    static std::mutex make_mutex;
    std::lock_guard lock(make_mutex);
    path = sim::state_path("recording.h264");
    if (access(path.c_str(), R_OK) != 0) make_recording(path);
  }
  std::vector<SimFrame> frames = split_access_units(read_file(path));
  return frames.empty() ? synthetic_frames() : frames;
}

int64_t seconds_of(const char* text) {
  struct tm tm {};
  if (sscanf(text, "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
             &tm.tm_min, &tm.tm_sec) != 6)
    return 0;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&tm));
}

class PieceSender {
 public:
  PieceSender(sim::Peer& peer, bool trim) : peer_(peer), trim_(trim), piece_(new DownloadPiece{}) {}

  void frame(const QvAviFrameHeader& header, const std::string& data) {
    size_t sent = 0;
    do {
      const size_t n = std::min(data.size() - sent, static_cast<size_t>(kPieceDataMax));
      piece(header, sent == 0 ? 0 : 1, static_cast<int32_t>(n), data.data() + sent);
      sent += n;
    } while (sent < data.size() && peer_.connected());
  }

  void piece(const QvAviFrameHeader& header, int32_t continuation, int32_t length,
             const char* data) {
    piece_->header = header;
    piece_->continuation = continuation;
    piece_->length = length;
    const size_t n = length > 0 ? static_cast<size_t>(length) : 0;
    if (n) std::memcpy(piece_->data, data, n);
    // Bytes after the piece are zero: only what the last piece left is cleared.
    if (!trim_ && n < dirty_) std::memset(piece_->data + n, 0, dirty_ - n);
    dirty_ = n;
    peer_.reply(kReplyDownloadPiece, piece_.get(),
                trim_ ? offsetof(DownloadPiece, data) + n : sizeof(DownloadPiece));
  }

  void raw(const void* data, size_t size) { peer_.reply(kReplyDownloadPiece, data, size); }

 private:
  sim::Peer& peer_;
  bool trim_;
  std::unique_ptr<DownloadPiece> piece_;
  size_t dirty_ = 0;  // data bytes of the last piece
};

void on_download(const sim::Message& m, sim::Peer& peer) {
  ++g_downloads;
  g_cancelled.store(false);
  const auto request = payload_as<DownloadRequest>(m);
  const auto settings = download_settings();
  auto setting = [&](const char* key, const char* fallback) {
    auto it = settings.find(key);
    return it == settings.end() ? std::string(fallback) : it->second;
  };
  const std::vector<SimFrame> frames = recording_frames(settings);
  const int64_t stretch =
      seconds_of(request.end_time) - seconds_of(request.start_time);  // seconds asked for
  const int64_t cap = std::atoll(setting("seconds", "10").c_str());
  const int64_t total = std::max<int64_t>(0, std::min(stretch, cap)) * 25;
  const std::string fault = setting("fault", "");
  int width = 320, height = 240;
  sscanf(setting("size", "320x240").c_str(), "%dx%d", &width, &height);

  PieceSender sender(peer, setting("trim", "0") == "1");
  QvAviFrameHeader header{};
  header.codec = kQvAviH264;
  header.width = width;
  header.height = height;
  header.frame_rate = 25;
  header.channel = request.channel;
  for (int64_t i = 0; i < total && peer.connected() && !g_cancelled.load(); ++i) {
    if (fault == "stop" && i == total / 2) {
      sender.piece(header, 0, kPieceInterrupted, nullptr);
      --g_downloads;
      return;
    }
    if (i == total / 2 && fault == "garbage") {
      const char junk[50] = "not a piece";
      sender.raw(junk, sizeof junk);
      sender.piece(header, 0, -7, nullptr);                  // a length nobody means
      sender.piece(header, 1, 1000, frames[0].data.data());  // a continuation of nothing
    }
    if (i == total / 2 && fault == "oversize") {
      QvAviFrameHeader huge = header;
      huge.length = 64 * 1024 * 1024;
      sender.piece(huge, 0, kPieceDataMax, std::string(kPieceDataMax, 'x').data());
    }
    const SimFrame& frame = frames[static_cast<size_t>(i) % frames.size()];
    header.frame_type = frame.key ? kQvAviKeyFrame : kQvAviInterFrame;
    header.pts_us = i * 40000;
    header.length = static_cast<int32_t>(frame.data.size());
    sender.frame(header, frame.data);
  }
  if (fault != "vanish") sender.piece(header, 0, kPieceEnd, nullptr);
  --g_downloads;
}

void ignore(const sim::Message&, sim::Peer&) {}

sim::HandlerReg reg_search(kReqSearchRecords, on_search);
sim::HandlerReg reg_page(kReqSearchPage, on_search_page);
sim::HandlerReg reg_start(kReqStartPlayback, on_start_playback);
sim::HandlerReg reg_mask(kReqStartPlaybackMask, on_start_by_mask);
sim::HandlerReg reg_source(kReqPlaybackSource, on_playback_source);
sim::HandlerReg reg_position(kReqPlayPosition, on_play_position);
sim::HandlerReg reg_jump(kReqJumpPlayback, on_jump);
sim::HandlerReg reg_stream(kReqSetPlaybackStream, on_playback_stream);
sim::HandlerReg reg_stream_state(kReqPlaybackStreamState, on_playback_stream_state);
sim::HandlerReg reg_live(kReqStartLive, on_start_live);
sim::HandlerReg reg_address(kReqStreamAddress, on_stream_address);
sim::HandlerReg reg_ports(kReqExternalPorts, on_external_ports);
sim::HandlerReg reg_set_image(kReqSetImageParam, on_set_image);
sim::HandlerReg reg_get_image(kReqGetImageParam, on_get_image);
sim::HandlerReg reg_download(kReqDownload, on_download);
sim::HandlerReg reg_cancel(kReqCancelDownload, on_cancel);
sim::HandlerReg reg_busy(kReqDaemonBusy, on_busy);
// Session steering the recorder acts on without answering.
sim::HandlerReg reg_close(kReqCloseSessions, ignore);
sim::HandlerReg reg_stop(kReqStopPlayback, ignore);
sim::HandlerReg reg_pause(kReqPausePlayback, ignore);
sim::HandlerReg reg_resume(kReqResumePlayback, ignore);
sim::HandlerReg reg_step(kReqStepPlayback, ignore);
sim::HandlerReg reg_fast(kReqFastForward, ignore);
sim::HandlerReg reg_batch(kReqStepBatch, ignore);
sim::HandlerReg reg_slow(kReqSlowForward, ignore);
sim::HandlerReg reg_speed(kReqSetSpeed, ignore);
sim::HandlerReg reg_close_one(kReqCloseSession, ignore);
sim::HandlerReg reg_stop_live(kReqStopLive, ignore);
sim::HandlerReg reg_stop_all(kReqStopAllLive, ignore);

}  // namespace
