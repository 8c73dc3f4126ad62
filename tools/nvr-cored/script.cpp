#include "tools/nvr-cored/script.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace sim {

namespace {

bool parse_hex(const std::string& text, std::string* out) {
  out->clear();
  if (text == "-") return true;
  if (text.size() % 2) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out->reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = nibble(text[i]), lo = nibble(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

std::optional<Fault> parse_fault(const std::string& name) {
  static const std::map<std::string, Fault> kNames = {
      {"bad-magic", Fault::kBadMagic},
      {"bad-header-size", Fault::kBadHeaderSize},
      {"oversize", Fault::kOversize},
      {"truncated", Fault::kTruncated},
      {"close-mid-message", Fault::kCloseMidMessage},
      {"close", Fault::kClose},
      {"die", Fault::kDie},
      {"wrong-seq", Fault::kWrongSeq},
      {"garbage", Fault::kGarbage},
      {"die-mid-reply", Fault::kDieMidReply},
  };
  auto it = kNames.find(name);
  if (it == kNames.end()) return std::nullopt;
  return it->second;
}

}  // namespace

Script parse_script(const std::string& text, std::vector<std::string>* errors) {
  Script script;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    long long id = 0;
    std::string verb;
    Step step;
    bool ok = static_cast<bool>(words >> id >> verb);
    if (ok && verb == "reply") {
      std::string hex = "-";
      step.kind = StepKind::kReply;
      ok = static_cast<bool>(words >> step.reply_id);
      words >> hex;
      ok = ok && parse_hex(hex, &step.payload);
    } else if (ok && verb == "delay") {
      step.kind = StepKind::kDelay;
      ok = static_cast<bool>(words >> step.delay_ms) && step.delay_ms >= 0;
    } else if (ok && verb == "never") {
      step.kind = StepKind::kNever;
    } else if (ok && verb == "fault") {
      std::string name;
      words >> name;
      auto fault = parse_fault(name);
      step.kind = StepKind::kFault;
      ok = fault.has_value();
      if (ok) step.fault = *fault;
    } else {
      ok = false;
    }
    if (!ok) {
      if (errors) errors->push_back("line " + std::to_string(number) + ": " + line.substr(0, 80));
      continue;
    }
    script[static_cast<int32_t>(id)].push_back(std::move(step));
  }
  return script;
}

std::optional<std::vector<Step>> ScriptFile::steps_for(int32_t request_id) {
  if (path_.empty()) return std::nullopt;
  std::lock_guard lock(mutex_);
  struct stat st;
  std::string stamp;
  if (stat(path_.c_str(), &st) == 0)
    stamp = std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
            std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  if (stamp != stamp_) {
    stamp_ = stamp;
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    script_ = parse_script(text.str(), nullptr);
  }
  auto it = script_.find(request_id);
  if (it == script_.end()) return std::nullopt;
  return it->second;
}

}  // namespace sim
