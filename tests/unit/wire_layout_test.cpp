// Every record the handlers and the simulated daemon exchange must have the
// same bytes on the recorder (AArch64) as on the machine the simulator and the
// tools run on (x86-64). Each record is filled field by field, each field
// through its own C++ type with a value that depends on its place
// (wire_layout_fill.h), and the resulting bytes (a hash of them, with every
// field's offset and size) are compared to tests/unit/wire_layout_golden.txt,
// written on x86-64. The same test built for AArch64 and run under the
// emulator reads the same file.
//
// After a deliberate change of a record, write the file anew by setting
// NVR_WIRE_GOLDEN_OUT to its path and running nvr-unit with the filter
// 'WireLayout.*' (the test then skips).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/qvsocket.h"
#include "tests/unit/wire_layout_fill.h"

namespace {

using nvr::test::WireLayout;

// The message header as the client writes it, byte by byte.
WireLayout frame_header_layout() {
  qvsock::FrameHeader header;
  header.seq = 0x04030201;
  header.id = -8433;
  header.flags = qvsock::kFlagNoReply;
  header.size = 0x00a1b2c3;
  const qvsock::HeaderBytes bytes = qvsock::encode_header(header);
  std::string line = "FrameHeader " + std::to_string(bytes.size()) + " ";
  for (uint8_t b : bytes) {
    char hex[3];
    snprintf(hex, sizeof hex, "%02x", b);
    line += hex;
  }
  return {"FrameHeader", line, bytes.size(), bytes.size()};
}

std::vector<WireLayout> all_layouts() {
  std::vector<WireLayout> layouts = nvr::test::all_wire_layouts();
  layouts.push_back(frame_header_layout());
  return layouts;
}

std::string golden_path() {
  return std::string(NVR_SOURCE_DIR_DEFAULT) + "/tests/unit/wire_layout_golden.txt";
}

// Golden lines by record name; a name used by two headers keeps both lines.
std::multimap<std::string, std::string> read_golden() {
  std::multimap<std::string, std::string> lines;
  std::ifstream in(golden_path());
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    lines.emplace(line.substr(0, line.find(' ')), line);
  }
  return lines;
}

TEST(WireLayout, EveryFieldOfEveryRecordIsInTheTable) {
  // A packed record has no padding of its own: fields that do not add up to
  // its size mean the table missed one.
  const std::vector<WireLayout> layouts = all_layouts();
  EXPECT_GT(layouts.size(), 200u);
  for (const WireLayout& layout : layouts)
    EXPECT_EQ(layout.covered, layout.size) << layout.name << ": fields do not cover the record";
}

TEST(WireLayout, EveryRecordHasTheBytesWrittenOnX8664) {
  const std::vector<WireLayout> layouts = all_layouts();
  if (const char* out = getenv("NVR_WIRE_GOLDEN_OUT"); out && *out) {
    std::ofstream file(out);
    file << "# Wire records filled field by field on x86-64 (tests/unit/wire_layout_test.cpp):\n"
            "# name, size, FNV-1a 64 of the bytes, then name@offset+size of each field.\n";
    for (const WireLayout& layout : layouts) file << layout.line << "\n";
    GTEST_SKIP() << "wrote " << out;
  }
  std::multimap<std::string, std::string> golden = read_golden();
  ASSERT_FALSE(golden.empty()) << "cannot read " << golden_path();
  for (const WireLayout& layout : layouts) {
    auto [first, last] = golden.equal_range(layout.name);
    auto it = first;
    while (it != last && it->second != layout.line) ++it;
    if (it == last) {
      std::string known;
      for (auto k = first; k != last; ++k) known += "\n  golden: " + k->second;
      ADD_FAILURE() << "record " << layout.name << " differs from " << golden_path()
                    << "\n  here:   " << layout.line << known;
      continue;
    }
    golden.erase(it);
  }
  for (const auto& [name, line] : golden) ADD_FAILURE() << "no longer a record: " << line;
}

TEST(WireLayout, FillerWritesEveryScalarLowByteFirst) {
  // The golden bytes rest on this: an int32 at place c is c, c+1, c+2, c+3,
  // the next scalar starts 7 further on.
  Filler filler;
  int32_t first;
  uint16_t second;
  filler.fill(first);
  filler.fill(second);
  unsigned char bytes[4];
  std::memcpy(bytes, &first, 4);
  EXPECT_EQ(bytes[0], 7);
  EXPECT_EQ(bytes[3], 10);
  EXPECT_EQ(second, 0x0f0e);
}

}  // namespace
