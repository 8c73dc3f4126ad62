#!/bin/sh
# The AArch64 cross build (build-arm64/, cmake/aarch64-linux-gnu.cmake) and its
# tests under the user-mode emulator, with no binfmt registration needed:
# ctest starts the test programs through the emulator, and the end-to-end
# tests start nvr-cgi through it (NVR_EXEC_WRAPPER). The simulated daemon is
# the native one from build/ (NVR_SIM_DIR), so every record packed on one
# target is read on the other.
#   tools/test.sh --arm64        (the same)
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh --arm64
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DNVR_TESTS=ON >/dev/null
ninja -C build nvr-cored platform-bin
cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DNVR_TESTS=ON >/dev/null
ninja -C build-arm64
export NVR_EXEC_WRAPPER=qemu-aarch64
export NVR_SIM_DIR="$PWD/build"
# One process per test program (ctest's one process per test case would pay the
# emulator's start-up some 420 times).
qemu-aarch64 build-arm64/tests/nvr-unit
qemu-aarch64 build-arm64/tests/nvr-e2e
