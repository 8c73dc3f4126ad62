// Fills a wire record field by field, each field through its own C++ type
// with a value that depends on its place, and describes the bytes that came
// out (tests/unit/wire_layout_test.cpp). The table of fields comes from the
// wire headers at build time (wire_layout_table.py): one translation unit per
// header, since two headers may use one record name for different records.
#pragma once

#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace nvr::test {

// One record as the golden file has it.
struct WireLayout {
  std::string name;
  std::string line;  // "name size fnv64 field@offset+size ..."
  size_t size;
  size_t covered;  // bytes its fields wrote
};

// Every record of every wire header (the generated translation units).
std::vector<WireLayout> all_wire_layouts();

}  // namespace nvr::test

namespace {

class Filler;

// One record's fields, written by the rows of the generated table.
template <class R>
struct Fields;

// Where the fields of one record go, and what is learnt on the way.
struct Visit {
  unsigned char* bytes;
  Filler* filler;
  std::string* fields;  // "name@offset+size ..." of the top level, or null
  size_t covered = 0;

  template <class T>
  void member(const char* name, size_t offset);
};

// Hands every scalar the next value of a running count, in the scalar's own
// type: integers get the bytes c, c+1, ... (low byte first as a number, so a
// target of the other byte order would write them reversed), floats c + 0.5.
class Filler {
 public:
  template <class T>
  void fill(T& value) {
    if constexpr (std::is_array_v<T>) {
      for (auto& element : value) fill(element);
    } else if constexpr (std::is_same_v<T, bool>) {
      value = (next() & 1) != 0;
    } else if constexpr (std::is_floating_point_v<T>) {
      value = static_cast<T>(next()) + static_cast<T>(0.5);
    } else if constexpr (std::is_enum_v<T>) {
      std::underlying_type_t<T> raw;
      fill(raw);
      value = static_cast<T>(raw);
    } else if constexpr (std::is_integral_v<T>) {
      const uint32_t start = next();
      uint64_t number = 0;
      for (size_t i = 0; i < sizeof(T); ++i) number |= uint64_t((start + i) & 0xff) << (8 * i);
      value = static_cast<T>(number);
    } else {
      Visit visit{reinterpret_cast<unsigned char*>(&value), this, nullptr};
      Fields<T>::visit(visit);
    }
  }

 private:
  uint32_t next() {
    count_ += 7;  // a stride that is no power of two: neighbours differ in every byte
    return count_;
  }
  uint32_t count_ = 0;
};

template <class T>
void Visit::member(const char* name, size_t offset) {
  T value{};
  filler->fill(value);
  std::memcpy(bytes + offset, &value, sizeof(T));
  covered += sizeof(T);
  if (fields)
    *fields +=
        " " + std::string(name) + "@" + std::to_string(offset) + "+" + std::to_string(sizeof(T));
}

[[maybe_unused]] uint64_t fnv1a(const unsigned char* bytes, size_t size) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
  return hash;
}

template <class R>
nvr::test::WireLayout layout_of(const char* name) {
  std::vector<unsigned char> bytes(sizeof(R), 0xa5);  // what no field writes stays 0xa5
  Filler filler;
  std::string fields;
  Visit visit{bytes.data(), &filler, &fields};
  Fields<R>::visit(visit);
  char head[128];
  snprintf(head, sizeof head, "%s %zu %016" PRIx64, name, sizeof(R),
           fnv1a(bytes.data(), bytes.size()));
  return {name, head + fields, sizeof(R), visit.covered};
}

}  // namespace

// The rows of the generated table, expanded in a header's translation unit:
// every record's Fields first, then their bodies (a record may hold one that
// an included header defines), then the list of the header's own records.
#define WIRE_RECORD_DECLARE(R, cells)                 \
  template <>                                         \
  struct Fields<R> {                                  \
    [[maybe_unused]] static void visit(Visit& visit); \
  };
#define WIRE_RECORD_DEFINE(R, cells) \
  void Fields<R>::visit(Visit& visit) { cells }
#define WIRE_RECORD_LAYOUT(R, cells) out.push_back(layout_of<R>(#R));
#define WIRE_FIELD_VISIT(R, f) visit.member<decltype(R::f)>(#f, offsetof(R, f));
#define WIRE_FIELD_NONE(R, f)
