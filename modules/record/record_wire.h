// Messages between the record module and the core daemon: request and reply
// ids and their records (little-endian, packed).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kRecordChannels = 64;

// Told without waiting.
constexpr int32_t kReqHolidaysChanged = 1401;      // no payload
constexpr int32_t kReqScheduleWritten = 1411;      // uint64 channel mask
constexpr int32_t kReqPlanModeChanged = 1413;      // uint64 channel mask
constexpr int32_t kReqModeWritten = 1407;          // int32 channel
constexpr int32_t kReqRecordParamsWritten = 1310;  // RecordChannelList
// Asked, with a reply.
constexpr int32_t kReqSetAnr = 2285;            // AnrRequest -> 7285
constexpr int32_t kReqAnrSupport = 2286;        // int32 channel -> 7286
constexpr int32_t kReqRecordStreamInfo = 3218;  // none -> 8218

constexpr int32_t kReplySetAnr = 7285;
constexpr int32_t kReplyAnrSupport = 7286;
constexpr int32_t kReplyRecordStreamInfo = 8218;

#pragma pack(push, 1)
// Channels whose record parameters were written (1310).
struct RecordChannelList {
  int32_t channels[kRecordChannels];
  int32_t count;
};

// Channels whose ANR flag changed, and the new flag (2285).
struct AnrRequest {
  int32_t channels[kRecordChannels];
  int32_t count;
  int32_t anr;
};

// 7285: the daemon's per-channel results of an ANR change.
struct AnrReply {
  int32_t channels[kRecordChannels];
  int32_t results[kRecordChannels];
  int32_t count;
  int32_t flag;
};

// 7286
struct AnrSupportReply {
  int32_t channel;
  int32_t support;
};

// 8218: the recorded stream of each channel, as two lists.
struct RecordStreamReply {
  int32_t primary[kRecordChannels];
  int32_t secondary[kRecordChannels];
  int32_t count;
};
#pragma pack(pop)

static_assert(sizeof(RecordChannelList) == 260);
static_assert(offsetof(RecordChannelList, count) == 256);
static_assert(sizeof(AnrRequest) == 264);
static_assert(offsetof(AnrRequest, count) == 256);
static_assert(offsetof(AnrRequest, anr) == 260);
static_assert(sizeof(AnrReply) == 520);
static_assert(offsetof(AnrReply, results) == 256);
static_assert(offsetof(AnrReply, count) == 512);
static_assert(offsetof(AnrReply, flag) == 516);
static_assert(sizeof(AnrSupportReply) == 8);
static_assert(sizeof(RecordStreamReply) == 516);
static_assert(offsetof(RecordStreamReply, secondary) == 256);
static_assert(offsetof(RecordStreamReply, count) == 512);
