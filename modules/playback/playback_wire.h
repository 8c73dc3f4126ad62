// Core-daemon requests, replies and records of live view, playback and
// recording download. Little-endian int32 unless said otherwise; texts are
// NUL-terminated inside their fields; bytes not named are zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/avilib.h"

// ---- request ids -----------------------------------------------------------------------
constexpr int32_t kReqSearchRecords = 1159;        // SearchRequest, wait 6159
constexpr int32_t kReqCloseSessions = 1160;        // SessionList
constexpr int32_t kReqSearchPage = 1161;           // SearchPageRequest, wait 6161
constexpr int32_t kReqStartPlayback = 1162;        // PlaybackStartRequest, wait 6162
constexpr int32_t kReqPlayPosition = 1153;         // int32 session id, wait 6153
constexpr int32_t kReqStopPlayback = 1164;         // SessionList
constexpr int32_t kReqPausePlayback = 1165;        // SessionList
constexpr int32_t kReqResumePlayback = 1166;       // ResumeRequest
constexpr int32_t kReqStepPlayback = 1170;         // SessionList
constexpr int32_t kReqFastForward = 1112;          // SessionList with speeds
constexpr int32_t kReqStepBatch = 1113;            // SessionList, count word 0
constexpr int32_t kReqSlowForward = 1149;          // SpeedRequest
constexpr int32_t kReqSetSpeed = 1167;             // SpeedRequest
constexpr int32_t kReqJumpPlayback = 1171;         // JumpRequest, wait 6171
constexpr int32_t kReqDownload = 1173;             // DownloadRequest, replies 6173
constexpr int32_t kReqSetPlaybackStream = 1176;    // PlaybackStreamParam, wait 6176
constexpr int32_t kReqPlaybackStreamState = 1177;  // PlaybackStreamKey, wait 6177
constexpr int32_t kReqCancelDownload = 1178;       // no payload
constexpr int32_t kReqSetImageParam = 1205;        // ImageParam
constexpr int32_t kReqStopLive = 1901;             // LiveStartRequest, source 0
constexpr int32_t kReqStopAllLive = 1902;          // no payload
constexpr int32_t kReqCloseSession = 1903;         // int32 session id
constexpr int32_t kReqGetImageParam = 3002;        // int32 channel, wait 8002
constexpr int32_t kReqStartPlaybackMask = 3109;    // MaskedStartRequest, wait 8103
constexpr int32_t kReqStartLive = 3500;            // LiveStartRequest, wait 8500
constexpr int32_t kReqPlaybackSource = 3502;       // int32 session id, wait 8502
constexpr int32_t kReqStreamAddress = 3503;        // no payload, wait 8503
constexpr int32_t kReqExternalPorts = 3506;        // no payload, wait 8506
constexpr int32_t kReqDaemonBusy = 4011;           // no payload, wait 9011

// ---- reply ids ------------------------------------------------------------------------
constexpr int32_t kReplyPlayPosition = 6153;         // int64 seconds since the epoch
constexpr int32_t kReplySearch = 6159;               // SearchResult x n
constexpr int32_t kReplySearchPage = 6161;           // SearchResult x n
constexpr int32_t kReplyStartPlayback = 6162;        // int32 result, negative = refused
constexpr int32_t kReplyJump = 6171;                 // int32, 0 = success
constexpr int32_t kReplyDownloadPiece = 6173;        // DownloadPiece
constexpr int32_t kReplyPlaybackStream = 6176;       // PlaybackStreamState
constexpr int32_t kReplyPlaybackStreamState = 6177;  // PlaybackStreamState
constexpr int32_t kReplyImageParam = 8002;           // ImageParamReply
constexpr int32_t kReplyStartPlaybackMask = 8103;    // MaskedStartReply
constexpr int32_t kReplyStartLive = 8500;            // LiveStartReply
constexpr int32_t kReplyPlaybackSource = 8502;       // PlaybackSourceReply
constexpr int32_t kReplyStreamAddress = 8503;        // StreamAddress x n
constexpr int32_t kReplyExternalPorts = 8506;        // ExternalPorts
constexpr int32_t kReplyDaemonBusy = 9011;           // int32, 0 = idle

// A download runs while this file exists (made outside this program).
constexpr std::string_view kDownloadLockFile = "/tmp/pbdownload";

constexpr int kMaxSessions = 64;  // slots of the session records

#pragma pack(push, 1)

// Request 1159.
struct SearchRequest {
  char channels[64];     // '1' for the channel searched, '0' for the others below the bound
  uint8_t reserved0[4];  //
  int32_t one;           // constant 1
  int32_t sub_stream;    // 1 when the stream type is 1
  int32_t minus_one[2];  // constants -1, -1
  char start_time[32];   // "time"
  char end_time[32];     // "endTime"
  uint8_t reserved1[68];
};

// Replies 6159 and 6161, one per recording section.
struct SearchResult {
  int32_t channel;  // "camId"
  int32_t session;  // "sid"
  uint8_t reserved0[4];
  int32_t lock;  // "lock"
  uint8_t reserved1[4];
  int32_t record_type;  // "recordType"
  char start_time[20];  // "startTime"
  char end_time[20];    // "endTime"
  uint8_t reserved2[16];
};

// Request 1161.
struct SearchPageRequest {
  int32_t session;
  int32_t page;
  uint8_t reserved[12];
};

// Requests 1160, 1164, 1165, 1170, 1112, 1113.
struct SessionList {
  int32_t sessions[kMaxSessions];
  int32_t direction;             // step direction: 0 wherever this program sets it
  int32_t speeds[kMaxSessions];  // fast forward only
  uint8_t reserved0[516];
  int32_t count;  // 0 in the batch step
  uint8_t reserved1[4];
};

// Requests 1149 and 1167.
struct SpeedRequest {
  int32_t speed;
  int32_t single;  // 1: one session at double speed
  int32_t sessions[kMaxSessions];
  int32_t count;
};

// Request 1171.
struct JumpRequest {
  int32_t channels[kMaxSessions];
  int32_t sessions[kMaxSessions];
  int32_t count;
  char jump_time[64];
};

// Request 1166.
struct ResumeRequest {
  int32_t session;
  int32_t direction;
};

// Request 1162.
struct PlaybackStartRequest {
  int32_t channel;
  int32_t session;
  char start_time[32];
  char end_time[32];
  char play_time[32];
  uint8_t reserved[8];
};

// Request 3109.
struct MaskedStartRequest {
  int64_t play_seconds;  // local time as seconds since the epoch
  char play_time[32];
  int32_t masks[8];  // "mask0".."mask7"
};

// Reply 8103.
struct MaskedStartReply {
  int32_t session;
  char real_play_time[32];
  int32_t failed;  // non-zero: refused
};

// Reply 8502.
struct PlaybackSourceReply {
  int32_t session;
  int32_t port;
  int32_t external_port;
  int32_t external_http_port;
  int32_t ddns_port;
  int32_t ddns_http_port;
  char source_path[128];
};

// Requests 3500 and 1901.
struct LiveStartRequest {
  int32_t channel;
  int32_t stream_type;  // 0 or 1
  int32_t stream_from;  // 0 or 1; 0 in the stop request
};

// Reply 8500.
struct LiveStartReply {
  int32_t channel;
  int32_t port;
  uint8_t reserved0[16];
  int32_t direct;
  int32_t result;  // negative: failure
  uint8_t reserved1[64];
  char rtsp_address[256];
  char resource_path[688];
};

// The five ports of one stream in reply 8503.
struct StreamPorts {
  int32_t port;
  int32_t external_port;
  int32_t ddns_port;
  int32_t external_http_port;
  int32_t ddns_http_port;
};

// Reply 8503, one per channel.
struct StreamAddress {
  uint8_t reserved0[4];
  char ipc_main[256];
  char ipc_sub[256];
  uint8_t reserved1[4];
  StreamPorts main_ports;
  uint8_t reserved2[8];
  char main_user[32];
  char main_password[288];
  char main_res_path[132];
  StreamPorts sub_ports;
  uint8_t reserved3[8];
  char sub_user[32];
  char sub_password[288];
  char sub_res_path[128];
};

// Reply 8506.
struct ExternalPorts {
  int32_t upnp;
  int32_t ddns;
};

// Request 1176.
struct PlaybackStreamParam {
  int32_t channel;
  int32_t session;
  int32_t transcoding_mode;
  int32_t frame_size;
  int32_t bit_rate;
  int32_t frame_rate;
};

// Request 1177.
struct PlaybackStreamKey {
  int32_t channel;
  int32_t session;
};

// Replies 6176 and 6177.
struct PlaybackStreamState {
  int32_t channel;
  int32_t session;
  int32_t state;
};

// Request 1205.
struct ImageParam {
  int32_t channel;
  int32_t brightness;
  int32_t contrast;
  int32_t saturation;
  int32_t sharpness;
  int32_t noise_reduction;
  int32_t i2ddnr;
};

// Reply 8002.
struct ImageParamReply {
  int32_t channel;
  int32_t brightness;
  int32_t contrast;
  int32_t saturation;
  int32_t sharpness;
  int32_t noise_reduction;
  int32_t i2ddnr;
  int32_t result;  // negative: failure
  int32_t support_lpr;
  int32_t nt_platform;
  int32_t panorama_stitch;
};

// Request 1173.
struct DownloadRequest {
  int32_t channel;
  int32_t stream_type;
  char start_time[32];  // "%d-%d-%d %d:%d:%d"
  char end_time[32];
};

constexpr int32_t kPieceEnd = -1;          // piece length: the download is complete
constexpr int32_t kPieceInterrupted = -2;  // piece length: the daemon gave up
constexpr int32_t kPieceDataMax = 614400;

// Reply 6173: one piece of a frame.
struct DownloadPiece {
  QvAviFrameHeader header;  // passed to the AVI writer; int32 at 40 = frame length
  int32_t continuation;     // 0: the first piece of a frame
  int32_t length;           // piece bytes, or kPieceEnd / kPieceInterrupted
  uint8_t data[kPieceDataMax];
};

#pragma pack(pop)

static_assert(sizeof(SearchRequest) == 216);
static_assert(offsetof(SearchRequest, one) == 68);
static_assert(offsetof(SearchRequest, sub_stream) == 72);
static_assert(offsetof(SearchRequest, minus_one) == 76);
static_assert(offsetof(SearchRequest, start_time) == 84);
static_assert(offsetof(SearchRequest, end_time) == 116);
static_assert(sizeof(SearchResult) == 80);
static_assert(offsetof(SearchResult, session) == 4);
static_assert(offsetof(SearchResult, lock) == 12);
static_assert(offsetof(SearchResult, record_type) == 20);
static_assert(offsetof(SearchResult, start_time) == 24);
static_assert(offsetof(SearchResult, end_time) == 44);
static_assert(sizeof(SearchPageRequest) == 20);
static_assert(sizeof(SessionList) == 1040);
static_assert(offsetof(SessionList, direction) == 256);
static_assert(offsetof(SessionList, speeds) == 260);
static_assert(offsetof(SessionList, count) == 1032);
static_assert(sizeof(SpeedRequest) == 268);
static_assert(offsetof(SpeedRequest, single) == 4);
static_assert(offsetof(SpeedRequest, sessions) == 8);
static_assert(offsetof(SpeedRequest, count) == 264);
static_assert(sizeof(JumpRequest) == 580);
static_assert(offsetof(JumpRequest, sessions) == 256);
static_assert(offsetof(JumpRequest, count) == 512);
static_assert(offsetof(JumpRequest, jump_time) == 516);
static_assert(sizeof(ResumeRequest) == 8);
static_assert(sizeof(PlaybackStartRequest) == 112);
static_assert(offsetof(PlaybackStartRequest, start_time) == 8);
static_assert(offsetof(PlaybackStartRequest, end_time) == 40);
static_assert(offsetof(PlaybackStartRequest, play_time) == 72);
static_assert(sizeof(MaskedStartRequest) == 72);
static_assert(offsetof(MaskedStartRequest, play_time) == 8);
static_assert(offsetof(MaskedStartRequest, masks) == 40);
static_assert(sizeof(MaskedStartReply) == 40);
static_assert(offsetof(MaskedStartReply, real_play_time) == 4);
static_assert(offsetof(MaskedStartReply, failed) == 36);
static_assert(sizeof(PlaybackSourceReply) == 152);
static_assert(offsetof(PlaybackSourceReply, ddns_http_port) == 20);
static_assert(offsetof(PlaybackSourceReply, source_path) == 24);
static_assert(sizeof(LiveStartRequest) == 12);
static_assert(sizeof(LiveStartReply) == 1040);
static_assert(offsetof(LiveStartReply, direct) == 24);
static_assert(offsetof(LiveStartReply, result) == 28);
static_assert(offsetof(LiveStartReply, rtsp_address) == 96);
static_assert(offsetof(LiveStartReply, resource_path) == 352);
static_assert(sizeof(StreamAddress) == 1476);
static_assert(offsetof(StreamAddress, ipc_main) == 4);
static_assert(offsetof(StreamAddress, ipc_sub) == 260);
static_assert(offsetof(StreamAddress, main_ports) == 520);
static_assert(offsetof(StreamAddress, main_ports) + offsetof(StreamPorts, ddns_http_port) == 536);
static_assert(offsetof(StreamAddress, main_user) == 548);
static_assert(offsetof(StreamAddress, main_password) == 580);
static_assert(offsetof(StreamAddress, main_res_path) == 868);
static_assert(offsetof(StreamAddress, sub_ports) == 1000);
static_assert(offsetof(StreamAddress, sub_user) == 1028);
static_assert(offsetof(StreamAddress, sub_password) == 1060);
static_assert(offsetof(StreamAddress, sub_res_path) == 1348);
static_assert(sizeof(ExternalPorts) == 8);
static_assert(sizeof(PlaybackStreamParam) == 24);
static_assert(sizeof(PlaybackStreamKey) == 8);
static_assert(sizeof(PlaybackStreamState) == 12);
static_assert(sizeof(ImageParam) == 28);
static_assert(sizeof(ImageParamReply) == 44);
static_assert(offsetof(ImageParamReply, result) == 28);
static_assert(offsetof(ImageParamReply, support_lpr) == 32);
static_assert(offsetof(ImageParamReply, panorama_stitch) == 40);
static_assert(sizeof(DownloadRequest) == 72);
static_assert(offsetof(DownloadRequest, start_time) == 8);
static_assert(offsetof(DownloadRequest, end_time) == 40);
static_assert(sizeof(DownloadPiece) == 614504);
static_assert(offsetof(DownloadPiece, continuation) == 96);
static_assert(offsetof(DownloadPiece, length) == 100);
static_assert(offsetof(DownloadPiece, data) == 104);
