#include "tests/e2e/hostile/guard.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/hostile/corpus.h"

namespace fs = std::filesystem;

namespace nvr::test {

namespace {

constexpr const char* kCalls = "/var/log/platform-calls";
constexpr const char* kIfconfigLog = "/tmp/ifconfig.log";

// Files every run may write: the stand-ins' records, the debug log, the
// settings files, the simulator's state, the lock of the language files.
const char* const kAlwaysWritable[] = {
    kCalls,
    kIfconfigLog,
    "/mnt/nand/cgi_log.txt",
    "/mnt/nand/app/qvdb.db",
    "/mnt/nand/app/anpr.db",
    "/mnt/nand2/oem.db",
    "/var/lib/nvr-cored",
    "/tmp/cgilockfile",
};

bool under(const std::string& path, const std::string& folder) {
  return path.compare(0, folder.size(), folder) == 0;  // also "qvdb.db-wal"
}

}  // namespace

RootGuard::RootGuard(const DeviceRoot& root, std::vector<std::string> writable,
                     const std::vector<std::string>& link_folders)
    : root_(root), writable_(std::move(writable)) {
  for (const char* path : kAlwaysWritable) writable_.push_back(path);
  root.write_file("/outside/secret", kSecret);
  root.write_file("/outside/sub/secret", kSecret);
  // Made now, so that their first write does not change their folder.
  for (const char* file : {kCalls, "/mnt/nand/cgi_log.txt"})
    if (!root.exists(file)) root.write_file(file, "");
  for (const std::string& folder : link_folders) {
    fs::create_directories(root(folder));
    for (const char* name : {"link", "link.wav", "a.wav", "rvpcap-20240101000000", "link.json"}) {
      if (root.exists(folder + "/" + name)) continue;
      const bool to_folder = std::string(name) == "rvpcap-20240101000000";
      fs::create_symlink(root(to_folder ? "/outside/sub" : "/outside/secret"),
                         root(folder + "/" + name));
    }
  }
  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  for (const char* watched : {"/outside", "/outside/sub"})
    inotify_add_watch(inotify_, root(watched).c_str(),
                      IN_OPEN | IN_ACCESS | IN_MODIFY | IN_ATTRIB | IN_DELETE | IN_DELETE_SELF |
                          IN_MOVE | IN_CREATE);
}

RootGuard::~RootGuard() {
  if (inotify_ >= 0) close(inotify_);
}

bool RootGuard::allowed_option(const std::string& program, const std::string& argument) {
  struct Allowed {
    const char* program;
    std::vector<std::string> options;
  };
  static const Allowed kAllowed[] = {
      {"tcpdump", {"-i", "-s0", "-W", "-C", "-w"}},
      {"qvchip_update", {"-r"}},
      {"qvprofile", {"-i", "-e"}},
  };
  for (const Allowed& allowed : kAllowed)
    if (program == allowed.program)
      for (const std::string& option : allowed.options)
        if (argument == option) return true;
  return false;
}

std::map<std::string, RootGuard::Entry> RootGuard::picture() const {
  std::map<std::string, Entry> entries;
  const size_t prefix = root_.path().size();
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root_.path(), ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    struct stat st;
    const std::string path = it->path().string();
    if (lstat(path.c_str(), &st) != 0) continue;
    // A folder's own time changes with what is added or removed in it,
    // which its entries show.
    const bool folder = S_ISDIR(st.st_mode);
    entries[path.substr(prefix)] = {
        st.st_mode, folder ? 0 : st.st_size, st.st_ino,
        folder ? 0 : st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
  }
  return entries;
}

bool RootGuard::may_change(const std::string& device_path) const {
  for (const std::string& folder : writable_)
    if (under(device_path, folder)) return true;
  return false;
}

void RootGuard::arm() {
  before_ = picture();
  calls_before_ = root_.read_file(kCalls).size();
  ifconfig_before_ = root_.read_file(kIfconfigLog).size();
  char events[4096];
  while (read(inotify_, events, sizeof events) > 0) {
  }
}

std::string RootGuard::calls_since_arm() const {
  const std::string calls = root_.read_file(kCalls);
  const std::string ifconfig = root_.read_file(kIfconfigLog);
  return (calls.size() >= calls_before_ ? calls.substr(calls_before_) : calls) +
         (ifconfig.size() >= ifconfig_before_ ? ifconfig.substr(ifconfig_before_) : ifconfig);
}

std::vector<std::string> RootGuard::check(const CgiResult& result) {
  std::vector<std::string> traces;
  if (result.exit_status != 0)
    traces.push_back("exit status " + std::to_string(result.exit_status));
  if (result.out.find(kSecret) != std::string::npos)
    traces.push_back("answer holds a planted file");

  // Opened, read, changed or removed below /outside.
  char events[4096];
  ssize_t got = read(inotify_, events, sizeof events);
  if (got > 0) traces.push_back("a planted file or folder was touched");
  while (read(inotify_, events, sizeof events) > 0) {
  }

  // Every line a stand-in wrote: no marker, no option the program did not mean.
  std::istringstream lines(calls_since_arm());
  std::string line;
  while (std::getline(lines, line)) {
    const std::string program = line.substr(0, line.find(' '));
    for (size_t open = line.find(" ["); open != std::string::npos;
         open = line.find(" [", open + 1)) {
      const size_t close = line.find("]", open);
      const std::string argument = line.substr(open + 2, close - open - 2);
      if (!argument.empty() && argument[0] == '-' && !allowed_option(program, argument))
        traces.push_back("stand-in got option: " + line);
      // A piece of an injected command as a word of its own; a path in the
      // route's folder may carry the name (an upload named after the client's
      // file name).
      const bool in_folder = argument.compare(0, root_.path().size(), root_.path()) == 0 &&
                             may_change(argument.substr(root_.path().size()));
      if (argument.find("pwned") != std::string::npos && !in_folder)
        traces.push_back("stand-in got: " + line);
    }
  }

  const auto after = picture();
  for (const auto& [path, entry] : after) {
    if (path == kMarker) traces.push_back("an injected command ran: " + path);
    auto old = before_.find(path);
    if (may_change(path)) continue;
    if (old == before_.end()) {
      traces.push_back("added outside its folder: " + path);
    } else if (old->second.mode != entry.mode || old->second.size != entry.size ||
               old->second.inode != entry.inode || old->second.mtime_ns != entry.mtime_ns) {
      traces.push_back("changed outside its folder: " + path);
    }
  }
  for (const auto& [path, entry] : before_)
    if (!may_change(path) && after.find(path) == after.end())
      traces.push_back("removed outside its folder: " + path);
  return traces;
}

std::vector<std::string> processes_of_root(const DeviceRoot& root, int except) {
  std::vector<std::string> found;
  const std::string wanted = "NVR_ROOT=" + root.path();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const int pid = std::stoi(name);
    if (pid == except || pid == getpid()) continue;
    // The daemon's own helpers (the simulator runs openssl) are not the run's.
    std::ifstream stat(entry.path() / "stat");
    std::string stat_line;
    std::getline(stat, stat_line);
    const size_t paren = stat_line.rfind(')');
    int parent = -1;
    if (paren != std::string::npos) sscanf(stat_line.c_str() + paren + 1, " %*c %d", &parent);
    if (except >= 0 && parent == except) continue;
    std::ifstream in(entry.path() / "environ", std::ios::binary);
    std::string variable;
    while (std::getline(in, variable, '\0'))
      if (variable == wanted) {
        std::ifstream command_line(entry.path() / "cmdline", std::ios::binary);
        std::string words((std::istreambuf_iterator<char>(command_line)), {});
        std::replace(words.begin(), words.end(), '\0', ' ');
        found.push_back(name + " " + words);
        break;
      }
  }
  return found;
}

}  // namespace nvr::test
