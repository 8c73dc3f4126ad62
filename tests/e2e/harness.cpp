#include "tests/e2e/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "fuzz/seed_writer.h"
#include "tests/e2e/example_recorder.h"
#include "tests/e2e/programs.h"

namespace fs = std::filesystem;

namespace nvr::test {

std::string build_dir() {
  const char* dir = getenv("NVR_BUILD_DIR");
  return dir && *dir ? dir : NVR_BUILD_DIR_DEFAULT;
}

std::string source_dir() {
  const char* dir = getenv("NVR_SOURCE_DIR");
  return dir && *dir ? dir : NVR_SOURCE_DIR_DEFAULT;
}

DeviceRoot::DeviceRoot() {
  std::string base = fs::temp_directory_path().string() + "/nvr-root-XXXXXX";
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
  path_ = name.data();
  for (const char* dir : {"/mnt/nand/app", "/mnt/nand2", "/mnt/nand/ssl", "/tmp", "/dev/shm",
                          "/var/run", "/opt/app/www/webfile/json", "/opt/app/bin", "/www"})
    fs::create_directories(path_ + dir);
}

DeviceRoot::~DeviceRoot() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void DeviceRoot::write_file(const std::string& device_path, const std::string& content) const {
  fs::create_directories(fs::path(path_ + device_path).parent_path());
  std::ofstream(path_ + device_path, std::ios::binary) << content;
}

std::string DeviceRoot::read_file(const std::string& device_path) const {
  std::ifstream in(path_ + device_path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool DeviceRoot::exists(const std::string& device_path) const {
  struct stat st;
  return lstat((path_ + device_path).c_str(), &st) == 0;
}

std::vector<std::string> DeviceRoot::list(const std::string& device_folder) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(path_ + device_folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

std::vector<std::string> cgi_environment(const DeviceRoot& root, const CgiRequest& r) {
  std::map<std::string, std::string> env;
  env["NVR_ROOT"] = root.path();
  env["PATH"] = build_dir() + "/platform-bin:/usr/local/bin:/usr/bin:/bin";
  env["GATEWAY_INTERFACE"] = "CGI/1.1";
  env["SERVER_PROTOCOL"] = "HTTP/1.1";
  env["SERVER_SOFTWARE"] = "test";
  env["REQUEST_METHOD"] = r.method;
  env["PATH_INFO"] = r.path_info;
  env["QUERY_STRING"] = r.query;
  env["REMOTE_ADDR"] = r.remote_addr;
  env["HTTP_HOST"] = r.host;
  if (!r.content_type.empty()) env["CONTENT_TYPE"] = r.content_type;
  if (!r.cookie.empty()) env["HTTP_COOKIE"] = r.cookie;
  if (r.content_length_from_body) {
    if (!r.body.empty() || r.method != "GET") env["CONTENT_LENGTH"] = std::to_string(r.body.size());
  } else if (!r.content_length.empty()) {
    env["CONTENT_LENGTH"] = r.content_length;
  }
  for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "NVR_TIME_SCALE"})
    if (const char* v = getenv(pass)) env.emplace(pass, v);
  for (const auto& [k, v] : r.env) env[k] = v;
  std::vector<std::string> out;
  for (const auto& [k, v] : env) out.push_back(k + "=" + v);
  return out;
}

}  // namespace

namespace {

CgiResult run_cgi_process(const DeviceRoot& root, const CgiRequest& request) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe)) throw std::runtime_error("pipe");
  std::vector<std::string> env = cgi_environment(root, request);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_words = program_argv("nvr-cgi");
  std::vector<char*> argv = argv_pointers(argv_words);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
      close(fd);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  signal(SIGPIPE, SIG_IGN);
  fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);

  CgiResult result;
  size_t written = 0;
  bool in_open = true;
  bool body_sent = request.body.empty();
  if (body_sent && !request.keep_input_open) {
    close(in_pipe[1]);
    in_open = false;
  }
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(static_cast<int>(request.timeout_seconds * 1000));
  bool out_open = true, err_open = true;
  char buf[65536];
  while (out_open || err_open) {
    pollfd fds[3];
    int n = 0;
    if (out_open) fds[n++] = {out_pipe[0], POLLIN, 0};
    if (err_open) fds[n++] = {err_pipe[0], POLLIN, 0};
    if (in_open && !body_sent) fds[n++] = {in_pipe[1], POLLOUT, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, n, static_cast<int>(left.count())) < 0) continue;
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == in_pipe[1]) {
        ssize_t k = write(in_pipe[1], request.body.data() + written, request.body.size() - written);
        if (k > 0) written += static_cast<size_t>(k);
        if (k < 0 || written == request.body.size()) {
          body_sent = true;
          if (!request.keep_input_open) {
            close(in_pipe[1]);
            in_open = false;
          }
        }
        continue;
      }
      ssize_t k = read(fds[i].fd, buf, sizeof buf);
      if (k <= 0) {
        close(fds[i].fd);
        (fds[i].fd == out_pipe[0] ? out_open : err_open) = false;
      } else {
        (fds[i].fd == out_pipe[0] ? result.out : result.err).append(buf, static_cast<size_t>(k));
      }
    }
  }
  if (in_open) close(in_pipe[1]);
  if (out_open) close(out_pipe[0]);
  if (err_open) close(err_pipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.stdin_fully_read = written == request.body.size() && !in_open;
  return result;
}

}  // namespace

CgiResult run_cgi(const DeviceRoot& root, const CgiRequest& request) {
  fuzz_seed::write_request(request.method, request.path_info, request.query, request.content_type,
                           request.body);
  ExampleRecording recording(root, request);  // records only with NVR_RECORD_EXAMPLES set
  CgiResult result = run_cgi_process(root, request);
  recording.finish(result);
  return result;
}

CgiResult get(const DeviceRoot& root, const std::string& route, const std::string& query,
              const std::string& cookie) {
  CgiRequest r;
  r.path_info = route;
  r.query = query;
  r.cookie = cookie;
  return run_cgi(root, r);
}

CgiResult post_json(const DeviceRoot& root, const std::string& route, const std::string& body,
                    const std::string& cookie) {
  CgiRequest r;
  r.method = "POST";
  r.path_info = route;
  r.content_type = "application/json";
  r.body = body;
  r.cookie = cookie;
  return run_cgi(root, r);
}

}  // namespace nvr::test
