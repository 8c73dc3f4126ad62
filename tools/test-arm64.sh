#!/bin/sh
# The AArch64 cross build (build-arm64/, cmake/aarch64-linux-gnu.cmake) and its
# tests under the user-mode emulator, with no binfmt registration needed:
# ctest starts every test case in a process of its own through the emulator
# (CMAKE_CROSSCOMPILING_EMULATOR), as the native suite does, and the
# end-to-end tests start nvr-cgi through it (NVR_EXEC_WRAPPER). The simulated
# daemon is the native one from build/ (NVR_SIM_DIR), so every record packed
# on one target is read on the other.
#   tools/test-arm64.sh        every unit test and the fixed share of the
#                              end-to-end tests named in tests/e2e/arm64_share.txt
#                              (what CI runs, a step of .ci/run)
#   tools/test-arm64.sh --all  every unit and every end-to-end test
#   tools/test.sh --arm64 [--all]   (the same)
# Only what the emulated run needs is cross-built (nvr-cgi and the two test
# programs), at -O2 without debug information or sanitizers (-O1 meets a
# false format-truncation warning in GCC 12); each phase prints its time.
set -e
cd "$(dirname "$0")/.."
all=0
[ "${1:-}" = "--all" ] && all=1
phase_name=""
phase() {
  now=$(date +%s)
  [ -n "$phase_name" ] && echo "arm64: $phase_name: $((now - phase_start)) s"
  phase_name=$1
  phase_start=$now
}
phase "install"
tools/install-deps.sh --arm64
phase "native build (simulator, stand-ins)"
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DNVR_TESTS=ON >/dev/null
ninja -C build nvr-cored platform-bin >/dev/null
phase "cross build"
cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
  "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" -DNVR_TESTS=ON >/dev/null
# The static libraries' "statically linked applications" notes are no news.
if ! ninja -C build-arm64 nvr-cgi nvr-unit nvr-e2e platform-bin >build-arm64/ninja.log 2>&1; then
  grep -v -e 'warning: Using' -e ': in function' build-arm64/ninja.log
  exit 1
fi
export NVR_EXEC_WRAPPER=qemu-aarch64
export NVR_SIM_DIR="$PWD/build"
phase "unit tests"
(cd build-arm64 && ctest -j"$(nproc)" -L '^unit$' --output-on-failure --timeout 300)
phase "end-to-end tests"
share=""
if [ "$all" = 0 ]; then
  # "Suite." names, one a line, "#" comments: ^(Suite1|Suite2|...)\.
  share="^($(grep -v -e '^#' -e '^$' tests/e2e/arm64_share.txt | paste -sd'|'))\\."
fi
(cd build-arm64 && ctest -j"$(nproc)" -L '^e2e$' ${share:+-R "$share"} --output-on-failure \
  --timeout 300)
phase "done"
