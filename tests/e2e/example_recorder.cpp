#include "tests/e2e/example_recorder.h"

#include <fcntl.h>
#include <json-c/json.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "gtest/gtest.h"
#include "tests/e2e/core_sim.h"

namespace nvr::test {

namespace {

std::mutex sims_mutex;
std::map<std::string, CoreSim*>& sims() {
  static std::map<std::string, CoreSim*> by_root;
  return by_root;
}

CoreSim* sim_of(const std::string& root_path) {
  std::lock_guard lock(sims_mutex);
  auto it = sims().find(root_path);
  return it == sims().end() ? nullptr : it->second;
}

// Valid UTF-8 without NUL or control characters other than tab and line breaks.
bool is_text(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
      ++i;
      continue;
    }
    size_t more = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
    if (more == 0 || c < 0xC2 || i + more >= s.size()) return false;
    for (size_t k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return true;
}

std::string current_test_name() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info ? std::string(info->test_suite_name()) + "." + info->name() : "";
}

void add_text(json_object* line, const char* key, const std::string& value) {
  json_object_object_add(line, key,
                         json_object_new_string_len(value.data(), static_cast<int>(value.size())));
}

}  // namespace

void register_recording_sim(const std::string& root_path, CoreSim* sim) {
  std::lock_guard lock(sims_mutex);
  sims()[root_path] = sim;
}

void unregister_recording_sim(const std::string& root_path, CoreSim* sim) {
  std::lock_guard lock(sims_mutex);
  auto it = sims().find(root_path);
  if (it != sims().end() && it->second == sim) sims().erase(it);
}

void split_cgi_answer(const std::string& out, std::string* head, std::string* body) {
  size_t end = out.find("\r\n\r\n");
  size_t skip = 4;
  if (end == std::string::npos) {
    end = out.find("\n\n");
    skip = 2;
  }
  if (end == std::string::npos) {
    *head = out;
    body->clear();
    return;
  }
  *head = out.substr(0, end);
  *body = out.substr(end + skip);
}

std::string printable_body(const std::string& body, size_t limit) {
  if (!is_text(body)) return "(" + std::to_string(body.size()) + " bytes of binary data)";
  if (body.size() <= limit) return body;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80) --cut;
  return body.substr(0, cut) + "...";
}

ExampleRecording::ExampleRecording(const DeviceRoot& root, const CgiRequest& request)
    : root_(root), request_(request) {
  const char* file = getenv("NVR_RECORD_EXAMPLES");
  if (!file || !*file) return;
  file_ = file;
  if (CoreSim* sim = sim_of(root_.path())) messages_before_ = sim->messages().size();
}

void ExampleRecording::finish(const CgiResult& result) {
  if (file_.empty()) return;
  std::vector<SimMessage> sent;
  if (CoreSim* sim = sim_of(root_.path())) {
    sent = sim->messages();
    // A test that cleared the record during the run leaves fewer than before.
    sent.erase(sent.begin(),
               sent.begin() + static_cast<std::ptrdiff_t>(std::min(messages_before_, sent.size())));
  }
  std::string head, body;
  split_cgi_answer(result.out, &head, &body);
  bool multipart = request_.content_type.rfind("multipart/", 0) == 0;

  json_object* line = json_object_new_object();
  add_text(line, "test", current_test_name());
  add_text(line, "route", request_.path_info);
  add_text(line, "method", request_.method);
  add_text(line, "content_type", request_.content_type);
  add_text(line, "query", printable_body(request_.query, 400));
  add_text(line, "body", multipart ? "(multipart upload)" : printable_body(request_.body, 400));
  json_object_object_add(line, "exit", json_object_new_int(result.exit_status));
  add_text(line, "answer_head", printable_body(head, 400));
  add_text(line, "answer", printable_body(body, 400));
  json_object* ids = json_object_new_array();
  for (const auto& m : sent) json_object_array_add(ids, json_object_new_int(m.id));
  json_object_object_add(line, "daemon", ids);
  std::string text = json_object_to_json_string_ext(line, JSON_C_TO_STRING_PLAIN);
  json_object_put(line);
  text += '\n';
  // One write per line, appended: tests running side by side do not interleave.
  int fd = open(file_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t written = write(fd, text.data(), text.size());
  (void)written;
  close(fd);
}

}  // namespace nvr::test
