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
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
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

// Routes that cannot be run safely in-process.
constexpr Excluded kExcluded[] = {
    {"/oem",
     "unpacks the uploaded archive with tar and unzip into the web folders: a fuzzed "
     "archive is not something to hand the real archivers"},
};

bool excluded(const char* code) {
  for (const Excluded& row : kExcluded)
    if (*row.code && strcmp(row.code, code) == 0) return true;
  return false;
}

struct NamedTable {
  const char* name;
  std::span<const Route> routes;
};

std::vector<NamedTable> all_tables() {
  return {{"storage", storage_route_table()},   {"status", status_route_table()},
          {"video", video_route_table()},       {"cameras", cameras_route_table()},
          {"record", record_route_table()},     {"network", network_route_table()},
          {"playback", playback_route_table()}, {"ptz", ptz_route_table()},
          {"system", system_route_table()},     {"general", general_route_table()},
          {"alarm", alarm_route_table()}};
}

// NVR_FUZZ_TABLES="storage,video" keeps a run to those modules' tables.
bool table_chosen(const char* name) {
  const char* chosen = getenv("NVR_FUZZ_TABLES");
  if (!chosen || !*chosen) return true;
  const std::string list = std::string(",") + chosen + ",";
  return list.find(std::string(",") + name + ",") != std::string::npos;
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
  if (!g_learning || table.empty()) return;
  for (auto known : *g_learning)
    if (known.data() == table.data()) return;
  g_learning->push_back(table);
}

}  // namespace

std::span<const Excluded> excluded_routes() { return kExcluded; }

const std::vector<const Route*>& fuzzable_routes() {
  static const std::vector<const Route*> routes = [] {
    std::vector<const Route*> list;
    for (const NamedTable& table : all_tables())
      if (table_chosen(table.name))
        for (const Route& route : table.routes)
          if (route.entry.handler && !excluded(route.entry.code)) list.push_back(&route);
    if (list.empty()) {
      fprintf(stderr, "fuzz: no route in NVR_FUZZ_TABLES=%s\n", getenv("NVR_FUZZ_TABLES"));
      abort();
    }
    return list;
  }();
  return routes;
}

namespace {

// The file an upload route finds, named as the frame would have named it.
std::string write_upload(std::string_view content) {
  static const char* const kNames[] = {"upload.bin", "upload.wav", "upload.pem",
                                       "upload.cfg", "upload.zip", "upload"};
  const size_t pick = std::hash<std::string_view>{}(content) % std::size(kNames);
  std::string path = g_root + "/tmp/" + kNames[pick];
  if (FILE* file = fopen(path.c_str(), "wb")) {
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
  }
  return path;
}

// The request data the frame hands a route of each upload kind; the fuzzed
// text stands for the query string and the uploaded file alike.
std::string request_data(const Route& route, std::string_view text, std::string& upload) {
  switch (route.upload) {
    case UploadKind::Raw:
    case UploadKind::RawUnread:
      return "temp & " + std::string(text);
    case UploadKind::File:
    case UploadKind::Temp:
      upload = write_upload(text);
      return upload + " & " + std::string(text);
    case UploadKind::None:
      break;
  }
  return std::string(text);
}

}  // namespace

void run_route(const Route& route, std::string_view data) {
  constexpr size_t kPostMax = 30719;  // what the frame hands a handler at most
  std::string upload;
  std::string text = request_data(route, data.substr(0, kPostMax), upload);
  text.resize(std::min(text.size(), kPostMax));
  std::replace(text.begin(), text.end(), '\0', ' ');
  // Exactly as long as the text: a read past its end is seen.
  std::unique_ptr<char[]> buffer(new char[text.size() + 1]);
  memcpy(buffer.get(), text.c_str(), text.size() + 1);
  cgi_answer_reset();
  g_callback_done.store(0);
  route.entry.handler(buffer.get());
  fflush(stdout);
  cgi_free_form_entries();
  if (!upload.empty()) unlink(upload.c_str());
  bound_debug_log();
}

namespace {

// The request data of the committed route seeds ("<code>\n<data>..."), by code.
std::multimap<std::string, std::string> seed_requests() {
  std::multimap<std::string, std::string> seeds;
  std::error_code ignored;
  for (const auto& item :
       fs::directory_iterator(std::string(NVR_FUZZ_SOURCE_DIR) + "/fuzz/corpus/routes", ignored)) {
    std::ifstream in(item.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    Bytes parts(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::string code(parts.until('\n'));
    seeds.emplace(code, std::string(parts.until('\0')));
  }
  return seeds;
}

}  // namespace

const std::vector<std::span<const nvr::ReplyRow>>& reply_tables() {
  static const std::vector<std::span<const nvr::ReplyRow>> tables = [] {
    std::vector<std::span<const nvr::ReplyRow>> learnt;
    {
      std::lock_guard lock(g_tables_mutex);
      g_learning = &learnt;
    }
    nvr::set_reply_table_observer(learn_table);
    const auto seeds = seed_requests();
    // A reply that comes after its short wait ran out reaches no table: the
    // pass is repeated while it learns something new.
    for (int pass = 0; pass < 4; ++pass) {
      const size_t before = learnt.size();
      for (const Route* route : fuzzable_routes()) {
        std::vector<std::string> requests = {"", "{}"};
        auto [first, last] = seeds.equal_range(route->entry.code);
        for (auto seed = first; seed != last; ++seed) requests.push_back(seed->second);
        for (const std::string& data : requests) {
          // Every request gets a reply nobody serves: the dispatcher sees it.
          script_replies(std::vector<std::vector<ScriptedReply>>(8, {{0, ""}}));
          run_route(*route, data);
        }
      }
      std::lock_guard lock(g_tables_mutex);
      if (learnt.size() == before) break;
    }
    nvr::set_reply_table_observer(nullptr);
    std::lock_guard lock(g_tables_mutex);
    g_learning = nullptr;
    // The same order in every process, so that an input means the same table.
    std::sort(learnt.begin(), learnt.end(), [](auto a, auto b) {
      return std::make_pair(a.front().reply_id, a.size()) <
             std::make_pair(b.front().reply_id, b.size());
    });
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
