// Seed inputs for the fuzz targets, taken from real runs: when
// NVR_FUZZ_SEED_DIR is set, the end-to-end harness writes each request it
// sends and the simulated daemon each reply, in the targets' input formats,
// as <dir>/<target>/<hash of the bytes>. Nothing is written otherwise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace fuzz_seed {

inline void write(const char* target, std::string_view bytes) {
  const char* dir = getenv("NVR_FUZZ_SEED_DIR");
  if (!dir || !*dir || bytes.size() > 65536) return;
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  char name[17];
  snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  std::error_code ignored;
  const std::filesystem::path folder = std::filesystem::path(dir) / target;
  std::filesystem::create_directories(folder, ignored);
  std::ofstream(folder / name, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A request as the route, body and multipart targets read it.
inline void write_request(const std::string& method, const std::string& route,
                          const std::string& query, const std::string& content_type,
                          const std::string& body) {
  if (!getenv("NVR_FUZZ_SEED_DIR")) return;
  const bool get = method == "GET" || method == "get";
  std::string data = get ? query : body;
  for (size_t at; get && (at = data.find("%22")) != std::string::npos;) data.replace(at, 3, "\"");
  write("routes", route + "\n" + data);
  std::string body_seed(1, get ? '\1' : '\0');
  body_seed += std::string(1, '\0') + content_type + "\n" + std::to_string(body.size()) + "\n" +
               query + "\n" + body;
  write("body", body_seed);
  const size_t boundary_at = content_type.find("boundary=");
  if (boundary_at != std::string::npos)
    write("multipart",
          std::string(1, '\0') + content_type.substr(boundary_at + 9) + "\n" + query + "\n" + body);
}

// A reply as the reply target reads it: id, 16-bit size, payload.
inline void write_reply(int32_t id, const void* payload, size_t size) {
  if (!getenv("NVR_FUZZ_SEED_DIR") || size > 0xffff) return;
  std::string bytes(6, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((static_cast<uint32_t>(id) >> (8 * i)) & 0xff);
  bytes[4] = static_cast<char>(size & 0xff);
  bytes[5] = static_cast<char>(size >> 8);
  bytes.append(static_cast<const char*>(payload), size);
  write("replies", bytes);
}

}  // namespace fuzz_seed
