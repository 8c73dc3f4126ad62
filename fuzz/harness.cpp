#include "fuzz/harness.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "frame/cgic.h"
#include "frame/ipc.h"
#include "frame/web_utils.h"
#include "platform/qvsocket.h"

namespace fs = std::filesystem;

namespace fuzz {

namespace {

std::string g_root;

void remove_root() {
  std::error_code ignored;
  if (!g_root.empty()) fs::remove_all(g_root, ignored);
}

// The folders a device root has (the program does not make them).
constexpr const char* kRootFolders[] = {"mnt/nand/app",
                                        "mnt/nand2",
                                        "mnt/nand/ssl",
                                        "tmp",
                                        "dev/shm",
                                        "var/run",
                                        "opt/app/www/webfile/json",
                                        "opt/app/bin",
                                        "www"};

}  // namespace

std::string_view Bytes::take(size_t count) {
  count = std::min(count, left());
  std::string_view piece(reinterpret_cast<const char*>(data_) + pos_, count);
  pos_ += count;
  return piece;
}

std::string_view Bytes::until(char stop) {
  std::string_view all(reinterpret_cast<const char*>(data_) + pos_, left());
  size_t end = all.find(stop);
  if (end == std::string_view::npos) return rest();
  pos_ += end + 1;
  return all.substr(0, end);
}

void setup_process(const char*) {
  if (!g_root.empty()) return;
  char pattern[] = "/tmp/nvr-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) abort();
  g_root = pattern;
  atexit(remove_root);
  for (const char* folder : kRootFolders) fs::create_directories(g_root + "/" + folder);
  setenv("NVR_ROOT", g_root.c_str(), 1);
  // Every wait of the program shrinks to microseconds; a reply from the
  // stand-in still arrives well within them.
  const char* scale = getenv("NVR_FUZZ_TIME_SCALE");
  setenv("NVR_TIME_SCALE", scale && *scale ? scale : "0.00002", 1);
  // Platform programs are the harmless stand-ins; nothing real is ended.
  std::string path = std::string(NVR_FUZZ_PLATFORM_BIN) + ":/usr/bin:/bin";
  setenv("PATH", path.c_str(), 1);
  // The answers go nowhere; libFuzzer reports on standard error.
  int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd >= 0) {
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
  }
  cgiIn = stdin;
  cgiOut = stdout;
  cgiRemoteAddr = "127.0.0.1";
  cgiServerAddr = "127.0.0.1";
  cgiCookie = "userName=admin";
  cgiRequestMethod = "POST";
}

const std::string& root() { return g_root; }

// ---- the daemon stand-in -------------------------------------------------------------

namespace {

std::mutex g_script_mutex;
std::deque<std::vector<ScriptedReply>> g_groups;
std::vector<int32_t> g_received;

void serve_connection(int fd) {
  for (;;) {
    qvsock::HeaderBytes raw;
    qvsock::FrameHeader header;
    std::vector<uint8_t> payload;
    if (qvsock::read_frame(fd, &raw, &header, &payload) != qvsock::ReadResult::kFrame) break;
    std::vector<ScriptedReply> group;
    {
      std::lock_guard lock(g_script_mutex);
      g_received.push_back(header.id);
      if (!(header.flags & qvsock::kFlagNoReply) && !g_groups.empty()) {
        group = std::move(g_groups.front());
        g_groups.pop_front();
      }
    }
    for (const ScriptedReply& reply : group) {
      qvsock::FrameHeader out{header.seq, reply.id, 0, static_cast<uint32_t>(reply.payload.size())};
      if (!qvsock::write_frame(fd, out, reply.payload.data())) break;
    }
  }
  close(fd);
}

void accept_loop(int listener) {
  for (;;) {
    int fd = accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    std::thread(serve_connection, fd).detach();
  }
}

}  // namespace

void start_daemon() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::string path = g_root + "/var/run/qvsocket";
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (listener < 0 || path.size() >= sizeof address.sun_path) abort();
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str());
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0)
      abort();
    std::thread(accept_loop, listener).detach();
  });
}

void script_replies(std::vector<std::vector<ScriptedReply>> groups) {
  std::lock_guard lock(g_script_mutex);
  g_groups.assign(std::make_move_iterator(groups.begin()), std::make_move_iterator(groups.end()));
  g_received.clear();
}

std::vector<int32_t> received_requests() {
  std::lock_guard lock(g_script_mutex);
  return g_received;
}

std::vector<std::vector<ScriptedReply>> read_script(Bytes& in, std::span<const int32_t> known_ids) {
  constexpr size_t kMaxGroups = 16;
  std::vector<std::vector<ScriptedReply>> groups;
  while (in.left() > 0 && groups.size() < kMaxGroups) {
    std::vector<ScriptedReply> group;
    for (uint8_t replies = in.u8() % 4; replies > 0 && in.left() > 0; --replies) {
      uint16_t selector = in.u16();
      int32_t id = (selector & 0x8000) || known_ids.empty()
                       ? static_cast<int32_t>(selector & 0x7fff)
                       : known_ids[selector % known_ids.size()];
      uint16_t length = in.u16();
      group.push_back({id, std::string(in.take(length))});
    }
    groups.push_back(std::move(group));
  }
  return groups;
}

// ---- routes and reply tables ---------------------------------------------------------

namespace {

// Routes that cannot be run safely in-process, or that only wait.
constexpr Excluded kExcluded[] = {
    {"", ""},
};

bool excluded(const char* code) {
  for (const Excluded& row : kExcluded)
    if (*row.code && strcmp(row.code, code) == 0) return true;
  return false;
}

std::vector<std::span<const Route>> all_tables() {
  return {storage_route_table(),  status_route_table(), video_route_table(),
          cameras_route_table(),  record_route_table(), network_route_table(),
          playback_route_table(), ptz_route_table(),    system_route_table(),
          general_route_table(),  alarm_route_table()};
}

// The debug log of the root grows with every run; it is cut now and then.
void bound_debug_log() {
  static unsigned runs = 0;
  if (++runs % 4096 != 0) return;
  std::string log = g_root + "/mnt/nand/cgi_log.txt";
  struct stat st;
  if (stat(log.c_str(), &st) == 0 && st.st_size > (16 << 20)) truncate(log.c_str(), 0);
}

std::mutex g_tables_mutex;
std::vector<std::span<const nvr::ReplyRow>>* g_learning = nullptr;

void learn_table(std::span<const nvr::ReplyRow> table) {
  std::lock_guard lock(g_tables_mutex);
  if (!g_learning) return;
  for (auto known : *g_learning)
    if (known.data() == table.data()) return;
  g_learning->push_back(table);
}

}  // namespace

std::span<const Excluded> excluded_routes() { return kExcluded; }

const std::vector<const Route*>& fuzzable_routes() {
  static const std::vector<const Route*> routes = [] {
    std::vector<const Route*> list;
    for (auto table : all_tables())
      for (const Route& route : table)
        // Uploads get their data from the frame (a temporary path): the
        // multipart target covers them.
        if (route.entry.handler && route.upload == UploadKind::None && !excluded(route.entry.code))
          list.push_back(&route);
    return list;
  }();
  return routes;
}

void run_route(const Route& route, std::string_view data) {
  constexpr size_t kPostMax = 30719;  // what the frame hands a handler at most
  std::string text(data.substr(0, kPostMax));
  std::replace(text.begin(), text.end(), '\0', ' ');
  // Exactly as long as the text: a read past its end is seen.
  std::unique_ptr<char[]> buffer(new char[text.size() + 1]);
  memcpy(buffer.get(), text.c_str(), text.size() + 1);
  cgi_answer_reset();
  g_callback_done.store(0);
  route.entry.handler(buffer.get());
  fflush(stdout);
  cgi_free_form_entries();
  bound_debug_log();
}

const std::vector<std::span<const nvr::ReplyRow>>& reply_tables() {
  static const std::vector<std::span<const nvr::ReplyRow>> tables = [] {
    std::vector<std::span<const nvr::ReplyRow>> learnt;
    {
      std::lock_guard lock(g_tables_mutex);
      g_learning = &learnt;
    }
    nvr::set_reply_table_observer(learn_table);
    for (const Route* route : fuzzable_routes()) {
      for (const char* data : {"", "{}"}) {
        // Every request gets a reply nobody serves: the dispatcher sees it.
        script_replies(std::vector<std::vector<ScriptedReply>>(8, {{0, ""}}));
        run_route(*route, data);
      }
    }
    nvr::set_reply_table_observer(nullptr);
    std::lock_guard lock(g_tables_mutex);
    g_learning = nullptr;
    size_t rows = 0;
    for (auto table : learnt) rows += table.size();
    fprintf(stderr, "fuzz: %zu routes, %zu reply tables with %zu rows learnt\n",
            fuzzable_routes().size(), learnt.size(), rows);
    return learnt;
  }();
  return tables;
}

const std::vector<int32_t>& known_reply_ids() {
  static const std::vector<int32_t> ids = [] {
    std::set<int32_t> unique;
    for (auto table : reply_tables())
      for (const nvr::ReplyRow& row : table) unique.insert(row.reply_id);
    return std::vector<int32_t>(unique.begin(), unique.end());
  }();
  return ids;
}

}  // namespace fuzz

namespace fuzz {

BodyInput::ReadFn pieces_of(std::string text, uint8_t seed) {
  auto pos = std::make_shared<size_t>(0);
  auto state = std::make_shared<uint32_t>(seed);
  return [text = std::move(text), seed, pos, state](void* buffer, size_t size) -> ssize_t {
    size_t piece = size;
    if (seed != 0) {
      *state = *state * 1103515245u + 12345u;
      piece = 1 + (*state >> 16) % (seed < 128 ? 8 : 1500);
    }
    size_t n = std::min({size, piece, text.size() - *pos});
    memcpy(buffer, text.data() + *pos, n);
    *pos += n;
    return static_cast<ssize_t>(n);
  };
}

}  // namespace fuzz
