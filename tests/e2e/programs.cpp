#include "tests/e2e/programs.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "tests/e2e/harness.h"

namespace nvr::test {

namespace {

std::string env_or_empty(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// A program name without a slash, found the way a shell would find it; the
// child's PATH is the test's own, so this is done before the fork.
std::string resolve_on_path(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  std::stringstream path(env_or_empty("PATH"));
  std::string dir;
  while (std::getline(path, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return name;
}

}  // namespace

std::vector<std::string> exec_wrapper() {
  std::stringstream text(env_or_empty("NVR_EXEC_WRAPPER"));
  std::vector<std::string> words;
  for (std::string word; text >> word;) words.push_back(word);
  if (!words.empty()) words[0] = resolve_on_path(words[0]);
  return words;
}

std::vector<std::string> program_argv(const std::string& name) {
  std::vector<std::string> argv = exec_wrapper();
  argv.push_back(build_dir() + "/" + name);
  return argv;
}

std::string simulator_dir() {
  const std::string dir = env_or_empty("NVR_SIM_DIR");
  return dir.empty() ? build_dir() : dir;
}

std::vector<std::string> simulator_argv() {
  if (env_or_empty("NVR_SIM_DIR").empty()) return program_argv("nvr-cored");
  return {simulator_dir() + "/nvr-cored"};
}

std::string shell_words(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += '\'';
    for (char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    text += '\'';
  }
  return text;
}

std::vector<char*> argv_pointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace nvr::test
