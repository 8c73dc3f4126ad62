#include "platform/device_path.h"

#include <sys/stat.h>

#include <cstdlib>

namespace nvr {

const std::string& device_root() {
  static const std::string root = [] {
    const char* value = getenv("NVR_ROOT");
    std::string r = value ? value : "";
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r;
  }();
  return root;
}

std::string dev_path(std::string_view device_path) {
  std::string path = device_root();
  path.append(device_path);
  return path;
}

const char* qvdb_path() {
  static const std::string path = dev_path(devpath::kQvdb);
  return path.c_str();
}

const char* anpr_db_path() {
  static const std::string path = dev_path(devpath::kAnprDb);
  return path.c_str();
}

const char* oem_db_path() {
  static const std::string path = dev_path(devpath::kOemDb);
  return path.c_str();
}

bool is_plain_file_name(std::string_view name) {
  if (name.empty() || name == "." || name.find("..") != std::string_view::npos) return false;
  for (unsigned char c : name)
    if (c < 32 || c == 127 || c == '/' || c == '\\') return false;
  return true;
}

std::optional<std::string> regular_file_in_folder(std::string_view folder, std::string_view name) {
  if (!is_plain_file_name(name)) return std::nullopt;
  std::string path = dev_path(folder);
  path += '/';
  path.append(name);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return path;
}

std::optional<std::string> device_file_in_folder(std::string_view folder,
                                                 std::string_view device_path) {
  std::string_view dir = folder;
  while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
  if (device_path.size() <= dir.size() + 1 || device_path.substr(0, dir.size()) != dir ||
      device_path[dir.size()] != '/')
    return std::nullopt;
  return regular_file_in_folder(dir, device_path.substr(dir.size() + 1));
}

}  // namespace nvr
