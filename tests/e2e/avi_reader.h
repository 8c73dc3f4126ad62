// Reads an AVI stream back for the tests: the frames of its 'movi' list and
// its index, checking every size against what is there.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace nvr::test {

struct AviContents {
  bool valid = false;         // RIFF 'AVI ' with 'hdrl' and 'movi'
  uint32_t riff_size = 0;     // 0 while streaming
  uint32_t movi_size = 0;     // 0 while streaming
  uint32_t total_frames = 0;  // from the main header
  uint32_t width = 0, height = 0;
  std::string codec;                // the stream header's handler
  std::vector<std::string> frames;  // '00dc' chunks in order
  bool has_index = false;
  std::vector<uint32_t> index_sizes;
  std::vector<uint32_t> index_flags;
};

inline uint32_t avi_u32(const std::string& s, size_t at) {
  uint32_t v = 0;
  if (at + 4 <= s.size()) std::memcpy(&v, s.data() + at, 4);
  return v;
}

inline AviContents read_avi(const std::string& s) {
  AviContents avi;
  if (s.size() < 12 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "AVI ") != 0) return avi;
  avi.riff_size = avi_u32(s, 4);
  size_t at = 12;
  bool hdrl = false;
  while (at + 8 <= s.size()) {
    const std::string id = s.substr(at, 4);
    const uint32_t size = avi_u32(s, at + 4);
    if (id == "LIST" && s.compare(at + 8, 4, "hdrl") == 0) {
      hdrl = true;
      avi.total_frames = avi_u32(s, at + 12 + 8 + 16);
      avi.width = avi_u32(s, at + 12 + 8 + 32);
      avi.height = avi_u32(s, at + 12 + 8 + 36);
      avi.codec = s.substr(at + 12 + 64 + 12 + 8 + 4, 4);
      at += 8 + size;
      continue;
    }
    if (id == "LIST" && s.compare(at + 8, 4, "movi") == 0) {
      avi.movi_size = size;
      at += 12;
      while (at + 8 <= s.size() && s.compare(at, 4, "00dc") == 0) {
        const uint32_t n = avi_u32(s, at + 4);
        if (at + 8 + n > s.size()) return avi;  // a chunk cut short
        avi.frames.push_back(s.substr(at + 8, n));
        at += 8 + n + (n & 1);
      }
      continue;
    }
    if (id == "idx1") {
      if (at + 8 + size > s.size()) return avi;
      avi.has_index = true;
      for (size_t e = at + 8; e + 16 <= at + 8 + size; e += 16) {
        avi.index_flags.push_back(avi_u32(s, e + 4));
        avi.index_sizes.push_back(avi_u32(s, e + 12));
      }
      at += 8 + size;
      continue;
    }
    return avi;  // anything else: not what the writer makes
  }
  avi.valid = hdrl && at == s.size();
  return avi;
}

// The media tools' verdict on a file: frames decoded, or -1 when the tools
// are missing or failed; `errors` receives what they said.
inline bool have_ffmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

}  // namespace nvr::test
