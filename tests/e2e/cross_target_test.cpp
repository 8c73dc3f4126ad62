// In the emulated run of the AArch64 build (tools/test-arm64.sh), the nvr-cgi
// the tests start must be the AArch64 program and the simulated daemon the
// host's own: only then does every record packed on one target get read on
// the other. Skipped in a run that does not cross targets.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/e2e/harness.h"
#include "tests/e2e/programs.h"

namespace nvr::test {
namespace {

constexpr uint16_t kElfMachineAarch64 = 183;

// The e_machine field of an ELF file (offset 18, in the file's own byte order,
// little-endian here); 0 when the file is no ELF file.
uint16_t elf_machine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[20] = {};
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return 0;
  if (head[0] != 0x7f || head[1] != 'E' || head[2] != 'L' || head[3] != 'F' || head[5] != 1)
    return 0;
  return static_cast<uint16_t>(head[18] | head[19] << 8);
}

TEST(CrossTarget, TheProgramIsAArch64AndTheSimulatorIsTheHosts) {
  const char* sim_dir = getenv("NVR_SIM_DIR");
  if (exec_wrapper().empty() || !sim_dir || !*sim_dir)
    GTEST_SKIP() << "not a cross run (NVR_EXEC_WRAPPER and NVR_SIM_DIR unset)";
  // The emulator is a program of the host: the simulator must be one too.
  const uint16_t host = elf_machine(exec_wrapper()[0]);
  ASSERT_NE(host, 0) << exec_wrapper()[0];
  EXPECT_EQ(elf_machine(build_dir() + "/nvr-cgi"), kElfMachineAarch64) << build_dir();
  EXPECT_EQ(elf_machine(simulator_dir() + "/nvr-cored"), host) << simulator_dir();
  EXPECT_NE(host, kElfMachineAarch64);
#if defined(__aarch64__)
  // And these tests themselves are the AArch64 build's, run under the emulator.
  SUCCEED();
#else
  ADD_FAILURE() << "a cross run of a test program that is not the AArch64 build";
#endif
}

}  // namespace
}  // namespace nvr::test
