#!/bin/sh
# Builds nvr-cgi, the simulator and the tests into build/ and runs every test.
# SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer.
# --arm64: the AArch64 cross build and its tests under emulation (tools/test-arm64.sh).
set -e
cd "$(dirname "$0")/.."
[ "${1:-}" = "--arm64" ] && shift && exec tools/test-arm64.sh "$@"
tools/install-deps.sh
sanitize=OFF
[ "${SANITIZE:-0}" = "1" ] && sanitize=ON
cmake -S . -B build -G Ninja -DNVR_SANITIZE=$sanitize -DNVR_TESTS=ON >/dev/null
ninja -C build
cd build
ctest -j"$(nproc)" --output-on-failure --timeout 300
