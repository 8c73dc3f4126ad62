// Streaming AVI writer: headers at the first frame, '00dc' chunks as frames
// come, the index and (where the output can seek) the real sizes at close.
#include "platform/avilib.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifKeyFrame = 0x10;  // idx1 entry flag

struct IndexEntry {
  char id[4];
  uint32_t flags;
  uint32_t offset;  // from the 'movi' fourcc
  uint32_t size;
};
static_assert(sizeof(IndexEntry) == 16);

// Byte offsets of the fields that close() fills in on a seekable output.
constexpr long kRiffSizeAt = 4;
constexpr long kAvihFlagsAt = 12 + 12 + 8 + 12;
constexpr long kAvihFramesAt = kAvihFlagsAt + 4;
constexpr long kHdrlEnd = 12 + 8 + 4 + (8 + 56) + (12 + (8 + 56) + (8 + 40));
constexpr long kStrhLengthAt = 12 + 8 + 4 + (8 + 56) + 12 + 8 + 32;
constexpr long kMoviSizeAt = kHdrlEnd + 4;

class Bytes {
 public:
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void u16(uint16_t v) {
    data_.push_back(static_cast<uint8_t>(v));
    data_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void fourcc(const char* id) { data_.insert(data_.end(), id, id + 4); }
  const std::vector<uint8_t>& data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
};

}  // namespace

struct QvAviWriter {
  FILE* out = nullptr;
  bool started = false;
  bool failed = false;
  bool index_dropped = false;
  uint32_t frames = 0;
  uint64_t movi_bytes = 4;  // the 'movi' fourcc and the chunks after it
  std::vector<IndexEntry> index;
};

namespace {

bool put(QvAviWriter* w, const void* data, size_t size) {
  if (w->failed) return false;
  if (size != 0 && fwrite(data, 1, size, w->out) != size) {
    w->failed = true;
    return false;
  }
  return true;
}

// RIFF, 'hdrl' with the main and the stream header, and the 'movi' list
// opened: sizes and counts 0 until close() knows them.
bool write_headers(QvAviWriter* w, const QvAviFrameHeader& first) {
  const uint32_t width = first.width > 0 ? static_cast<uint32_t>(first.width) : 0;
  const uint32_t height = first.height > 0 ? static_cast<uint32_t>(first.height) : 0;
  const uint32_t rate = first.frame_rate > 0 && first.frame_rate <= 240
                            ? static_cast<uint32_t>(first.frame_rate)
                            : 25;
  const char* codec = first.codec == kQvAviH265 ? "HEVC" : "H264";
  Bytes b;
  b.fourcc("RIFF");
  b.u32(0);
  b.fourcc("AVI ");
  b.fourcc("LIST");
  b.u32(static_cast<uint32_t>(kHdrlEnd - 20));
  b.fourcc("hdrl");
  b.fourcc("avih");
  b.u32(56);
  b.u32(1000000 / rate);  // microseconds per frame
  b.u32(0);               // max bytes per second
  b.u32(0);               // padding granularity
  b.u32(kAvifHasIndex);
  b.u32(0);  // total frames
  b.u32(0);  // initial frames
  b.u32(1);  // streams
  b.u32(1024 * 1024);
  b.u32(width);
  b.u32(height);
  for (int i = 0; i < 4; ++i) b.u32(0);
  b.fourcc("LIST");
  b.u32(4 + (8 + 56) + (8 + 40));
  b.fourcc("strl");
  b.fourcc("strh");
  b.u32(56);
  b.fourcc("vids");
  b.fourcc(codec);
  b.u32(0);  // flags
  b.u16(0);  // priority
  b.u16(0);  // language
  b.u32(0);  // initial frames
  b.u32(1);  // scale
  b.u32(rate);
  b.u32(0);  // start
  b.u32(0);  // length in frames
  b.u32(1024 * 1024);
  b.u32(0xFFFFFFFF);  // quality
  b.u32(0);           // sample size
  b.u16(0);
  b.u16(0);
  b.u16(static_cast<uint16_t>(width));
  b.u16(static_cast<uint16_t>(height));
  b.fourcc("strf");
  b.u32(40);
  b.u32(40);
  b.u32(width);
  b.u32(height);
  b.u16(1);   // planes
  b.u16(24);  // bits per pixel
  b.fourcc(codec);
  b.u32(width * height * 3);
  for (int i = 0; i < 4; ++i) b.u32(0);
  b.fourcc("LIST");
  b.u32(0);
  b.fourcc("movi");
  w->started = true;
  return put(w, b.data().data(), b.data().size());
}

bool seekable(FILE* out) {
  struct stat st {};
  return fstat(fileno(out), &st) == 0 && S_ISREG(st.st_mode) && ftell(out) >= 0;
}

bool patch_u32(FILE* out, long at, uint32_t value) {
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return fseek(out, at, SEEK_SET) == 0 && fwrite(bytes, 1, 4, out) == 4;
}

}  // namespace

QvAviWriter* qv_avi_open_fp(FILE* out) {
  if (out == nullptr) return nullptr;
  auto* w = new (std::nothrow) QvAviWriter;
  if (w) w->out = out;
  return w;
}

int32_t qv_avi_write_fp_ex(QvAviWriter* w, const QvAviFrameHeader* header, const void* data) {
  if (!w || !header || header->length < 0 || (header->length > 0 && !data)) return -1;
  if (w->failed) return -1;
  if (header->frame_type == kQvAviAudioFrame) return 0;
  if (!w->started && !write_headers(w, *header)) return -1;
  const uint32_t size = static_cast<uint32_t>(header->length);
  Bytes chunk;
  chunk.fourcc("00dc");
  chunk.u32(size);
  static const uint8_t kPad = 0;
  if (!put(w, chunk.data().data(), 8) || !put(w, data, size) || ((size & 1) && !put(w, &kPad, 1)))
    return -1;
  if (fflush(w->out) != 0) {
    w->failed = true;
    return -1;
  }
  if (!w->index_dropped) {
    if (w->index.size() >= kQvAviMaxIndexEntries || w->movi_bytes > UINT32_MAX) {
      w->index_dropped = true;
      std::vector<IndexEntry>().swap(w->index);
    } else {
      IndexEntry entry{{'0', '0', 'd', 'c'},
                       header->frame_type == kQvAviKeyFrame ? kAvifKeyFrame : 0,
                       static_cast<uint32_t>(w->movi_bytes),
                       size};
      w->index.push_back(entry);
    }
  }
  w->movi_bytes += 8 + size + (size & 1);
  ++w->frames;
  return 0;
}

uint32_t qv_avi_frame_count(const QvAviWriter* w) { return w ? w->frames : 0; }

int32_t qv_avi_close_fp(QvAviWriter* w) {
  if (!w) return -1;
  bool ok = !w->failed;
  if (ok && !w->started) {
    // An empty recording is still a file a player opens.
    QvAviFrameHeader none{};
    ok = write_headers(w, none);
  }
  if (ok && !w->index_dropped) {
    Bytes head;
    head.fourcc("idx1");
    head.u32(static_cast<uint32_t>(w->index.size() * sizeof(IndexEntry)));
    ok = put(w, head.data().data(), 8) &&
         put(w, w->index.data(), w->index.size() * sizeof(IndexEntry));
  }
  if (ok) ok = fflush(w->out) == 0;
  if (ok && seekable(w->out)) {
    const long end = ftell(w->out);
    ok = end > 0 && end <= static_cast<long>(UINT32_MAX) &&
         patch_u32(w->out, kRiffSizeAt, static_cast<uint32_t>(end - 8)) &&
         patch_u32(w->out, kMoviSizeAt, static_cast<uint32_t>(w->movi_bytes)) &&
         patch_u32(w->out, kAvihFlagsAt, w->index_dropped ? 0 : kAvifHasIndex) &&
         patch_u32(w->out, kAvihFramesAt, w->frames) &&
         patch_u32(w->out, kStrhLengthAt, w->frames) && fseek(w->out, end, SEEK_SET) == 0 &&
         fflush(w->out) == 0;
  }
  delete w;
  return ok ? 0 : -1;
}
