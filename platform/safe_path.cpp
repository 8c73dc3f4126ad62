#include "platform/safe_path.h"

#include <dirent.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/device_path.h"

namespace nvr {
namespace {

int open_folder(const std::string& folder) {
  return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// openat2 keeps the whole resolution inside the folder and refuses links;
// kernels without it get O_NOFOLLOW on the one plain name.
int open_name_at(int dir, const std::string& name, int flags) {
#ifdef SYS_openat2
  open_how how{};
  how.flags = static_cast<uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  int fd = static_cast<int>(syscall(SYS_openat2, dir, name.c_str(), &how, sizeof how));
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return fd;
#endif
  return openat(dir, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

}  // namespace

int open_beneath(const std::string& folder, std::string_view name, int flags) {
  if (!is_plain_file_name(name) || name == "." || (flags & (O_CREAT | O_DIRECTORY | O_PATH)))
    return -1;
  int dir = open_folder(folder);
  if (dir < 0) return -1;
  int fd = open_name_at(dir, std::string(name), flags);
  close(dir);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  // Non-blocking was only for the open (a FIFO in place of the file).
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int open_in_device_folder(std::string_view device_folder, std::string_view name, int flags) {
  return open_beneath(dev_path(device_folder), name, flags);
}

std::optional<std::string> name_in_device_folder(std::string_view device_folder,
                                                 std::string_view device_path) {
  if (device_path.size() <= device_folder.size() + 1 || !device_path.starts_with(device_folder) ||
      device_path[device_folder.size()] != '/')
    return std::nullopt;
  std::string_view name = device_path.substr(device_folder.size() + 1);
  if (!is_plain_file_name(name)) return std::nullopt;
  return std::string(name);
}

int remove_in_device_folder(std::string_view device_folder, std::string_view name) {
  if (!is_plain_file_name(name)) return -1;
  int dir = open_folder(dev_path(device_folder));
  if (dir < 0) return -1;
  const std::string plain(name);
  struct stat st;
  int rc = -1;
  if (fstatat(dir, plain.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
    rc = unlinkat(dir, plain.c_str(), 0);
  close(dir);
  return rc;
}

namespace {

// The entries of an open folder (its descriptor stays open).
std::vector<std::string> entries_of(int dir) {
  std::vector<std::string> names;
  int copy = dup(dir);
  if (copy < 0) return names;
  DIR* d = fdopendir(copy);
  if (!d) {
    close(copy);
    return names;
  }
  while (dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  closedir(d);
  return names;
}

int open_subfolder(int dir, const char* name) {
  return openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool plain_below(int dir, int depth) {
  if (depth > 64) return false;
  for (const std::string& name : entries_of(dir)) {
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISREG(st.st_mode)) continue;
    if (!S_ISDIR(st.st_mode)) return false;
    int sub = open_subfolder(dir, name.c_str());
    if (sub < 0) return false;
    bool plain = plain_below(sub, depth + 1);
    close(sub);
    if (!plain) return false;
  }
  return true;
}

// The folder `name` in `dir` for writing into: made when missing; a link or
// file of that name gives way to it.
int target_folder(int dir, const char* name) {
  struct stat st;
  if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode) &&
      unlinkat(dir, name, 0) != 0)
    return -1;
  if (mkdirat(dir, name, 0755) != 0 && errno != EEXIST) return -1;
  return open_subfolder(dir, name);
}

int move_below(int from, int to, int depth) {
  if (depth > 64) return -1;
  int rc = 0;
  for (const std::string& name : entries_of(from)) {
    struct stat st;
    if (fstatat(from, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    if (S_ISREG(st.st_mode)) {
      // rename(2) replaces a link of that name; it never writes through it.
      if (renameat(from, name.c_str(), to, name.c_str()) != 0) rc = -1;
      continue;
    }
    if (!S_ISDIR(st.st_mode)) return -1;
    int source = open_subfolder(from, name.c_str());
    int target = source < 0 ? -1 : target_folder(to, name.c_str());
    if (target < 0 || move_below(source, target, depth + 1) != 0) rc = -1;
    if (source >= 0) close(source);
    if (target >= 0) close(target);
  }
  return rc;
}

}  // namespace

bool tree_is_plain(const std::string& folder) {
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return false;
  bool plain = plain_below(dir, 0);
  close(dir);
  return plain;
}

int move_tree_into(const std::string& from, const std::string& to) {
  int source = open(from.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  int target = open(to.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int rc = source >= 0 && target >= 0 ? move_below(source, target, 0) : -1;
  if (source >= 0) close(source);
  if (target >= 0) close(target);
  return rc;
}

}  // namespace nvr
