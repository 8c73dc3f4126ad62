// How the end-to-end tests start the built programs.
//
//   NVR_EXEC_WRAPPER  words put before every program of the build under test,
//                     e.g. "qemu-aarch64 -L /usr/aarch64-linux-gnu" when that build
//                     is a cross build that runs here under emulation.
//   NVR_SIM_DIR       a build folder whose nvr-cored is started instead of the one
//                     of the build under test, as it is (without the wrapper): the
//                     native simulator answering the cross-built program, so that
//                     every record packed on one target is read on the other.
#pragma once

#include <string>
#include <vector>

namespace nvr::test {

// The words of NVR_EXEC_WRAPPER, the first one resolved on PATH; empty when unset.
std::vector<std::string> exec_wrapper();

// The argument vector that starts a program of the build under test
// (build_dir() + "/" + name), through the wrapper when there is one.
std::vector<std::string> program_argv(const std::string& name);

// The argument vector that starts the core-daemon simulator (see NVR_SIM_DIR).
std::vector<std::string> simulator_argv();

// The folder the simulator comes from: NVR_SIM_DIR, else build_dir().
std::string simulator_dir();

// The words as one shell text, each one quoted.
std::string shell_words(const std::vector<std::string>& words);

// A vector of pointers into `words` ending in nullptr, for execve/posix_spawn.
std::vector<char*> argv_pointers(std::vector<std::string>& words);

}  // namespace nvr::test
