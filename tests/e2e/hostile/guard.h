// Watches a device root around one run of nvr-cgi for the traces a hostile
// value leaves when it gets through: the marker file, a file outside the
// folders the route may change (added, removed, changed), a planted file or
// link target opened, a platform stand-in called with an option it was not
// meant to get.
#pragma once

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace nvr::test {

// What the planted files hold: an answer that carries it read one of them.
inline const std::string kSecret = "SECRET-7f3a91";

class RootGuard {
 public:
  // `writable`: device folders (and files) the route may change. Plants
  // "/outside/secret", and in each of `link_folders` links named "link",
  // "link.wav", "a.wav" (unless present) and "rvpcap-20240101000000" that
  // lead out of the folder.
  RootGuard(const DeviceRoot& root, std::vector<std::string> writable,
            const std::vector<std::string>& link_folders);
  ~RootGuard();
  RootGuard(const RootGuard&) = delete;
  RootGuard& operator=(const RootGuard&) = delete;

  // Takes the picture of the root before a run.
  void arm();
  // What went wrong in the run since arm(), one text per trace; empty when
  // nothing did.
  std::vector<std::string> check(const CgiResult& result);

  // The options a stand-in may be called with: those the program's own
  // commands give it.
  static bool allowed_option(const std::string& program, const std::string& argument);

 private:
  struct Entry {
    mode_t mode;
    off_t size;
    ino_t inode;
    long long mtime_ns;
  };
  std::map<std::string, Entry> picture() const;
  bool may_change(const std::string& device_path) const;
  std::string calls_since_arm() const;

  const DeviceRoot& root_;
  std::vector<std::string> writable_;
  std::map<std::string, Entry> before_;
  size_t calls_before_ = 0;
  size_t ifconfig_before_ = 0;
  int inotify_ = -1;
};

// Processes (other than `except` and its children) whose environment names
// this device root,
// as "<pid> <command line>": what a run left running. Reads /proc; a process
// that ends meanwhile is passed over.
std::vector<std::string> processes_of_root(const DeviceRoot& root, int except = -1);

}  // namespace nvr::test
