// AVI writer for recordings that are streamed as they are read.
//
// Frames arrive one at a time, each with the recorder's 96-byte frame header:
//
//   OFFSET  SIZE  DESCRIPTION
//        0     4  frame type: 0 video key frame, 1 video inter frame, 2 audio
//        4     4  codec: 0 H.264, 1 H.265
//        8     4  width in pixels
//       12     4  height in pixels
//       16     4  frames per second
//       20     4  channel
//       24     8  time stamp in microseconds (int64)
//       40     4  frame data length in bytes
//       72     8  data pointer slot (a queued frame's buffer; not read here)
//
// The output is a RIFF 'AVI ' file with one video stream ('00dc' chunks in a
// 'movi' list) and an 'idx1' index at the end. The stream header is written
// with the first video frame, whose header gives the size, codec and rate.
// On a stream that cannot seek (a pipe to the browser) the RIFF and 'movi'
// sizes and the frame counts are written as 0 ("up to the end of the file");
// readers take the frames in order. On a seekable file close() puts in the
// real sizes and counts, so players also find the index.
//
// Memory stays bounded: the index keeps at most kQvAviMaxIndexEntries entries
// (16 bytes each); a longer recording is written without an index rather
// than with one that ends early. Audio frames are not written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#pragma pack(push, 1)
struct QvAviFrameHeader {
  int32_t frame_type;  // kQvAviKeyFrame, kQvAviInterFrame, kQvAviAudioFrame
  int32_t codec;       // kQvAviH264, kQvAviH265
  int32_t width;
  int32_t height;
  int32_t frame_rate;
  int32_t channel;
  int64_t pts_us;
  uint8_t reserved0[8];
  int32_t length;  // frame data bytes
  uint8_t reserved1[28];
  uint64_t data_slot;  // a queued frame's buffer
  uint8_t reserved2[16];
};
#pragma pack(pop)
static_assert(sizeof(QvAviFrameHeader) == 96);
static_assert(offsetof(QvAviFrameHeader, pts_us) == 24);
static_assert(offsetof(QvAviFrameHeader, length) == 40);
static_assert(offsetof(QvAviFrameHeader, data_slot) == 72);

constexpr int32_t kQvAviKeyFrame = 0;
constexpr int32_t kQvAviInterFrame = 1;
constexpr int32_t kQvAviAudioFrame = 2;
constexpr int32_t kQvAviH264 = 0;
constexpr int32_t kQvAviH265 = 1;
constexpr size_t kQvAviMaxIndexEntries = 65536;

struct QvAviWriter;

// A writer on `out` (not closed by the writer); null when out is null or
// memory is short. Nothing is written before the first frame or the close.
QvAviWriter* qv_avi_open_fp(FILE* out);
// Writes one frame of header->length bytes at `data`. 0, or -1 when the
// output failed (errno kept, e.g. EPIPE: the reader went away) or the frame
// is not one the writer takes (negative length). After a failure every
// later write fails too.
int32_t qv_avi_write_fp_ex(QvAviWriter* writer, const QvAviFrameHeader* header, const void* data);
// Writes the index, puts in the sizes where the output can seek, flushes and
// frees the writer. 0, or -1 when anything could not be written.
int32_t qv_avi_close_fp(QvAviWriter* writer);
// Frames written so far.
uint32_t qv_avi_frame_count(const QvAviWriter* writer);
