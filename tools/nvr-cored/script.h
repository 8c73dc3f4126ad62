// Scripted replies of the simulator (tests): per request id, a list of steps.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class StepKind { kReply, kDelay, kNever, kFault };
enum class Fault {
  kBadMagic,
  kBadHeaderSize,
  kOversize,
  kTruncated,
  kCloseMidMessage,
  kClose,
  kDie,
  kWrongSeq,
  kGarbage,
  kDieMidReply
};

struct Step {
  StepKind kind = StepKind::kNever;
  int32_t reply_id = 0;  // kReply
  std::string payload;   // kReply
  int delay_ms = 0;      // kDelay
  Fault fault = Fault::kClose;
};

using Script = std::map<int32_t, std::vector<Step>>;

// Parses the script text; malformed lines are reported in `errors` and skipped.
Script parse_script(const std::string& text, std::vector<std::string>* errors);

// The script file, read again whenever it was replaced or changed.
class ScriptFile {
 public:
  explicit ScriptFile(std::string path) : path_(std::move(path)) {}
  // The steps for a request id, when the script names it.
  std::optional<std::vector<Step>> steps_for(int32_t request_id);

 private:
  std::string path_;
  std::mutex mutex_;
  std::string stamp_;  // inode, size and change time of what was read
  Script script_;
};

}  // namespace sim
