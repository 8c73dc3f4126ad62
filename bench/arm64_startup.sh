#!/bin/sh
# Start-up cost of the AArch64 nvr-cgi under the user-mode emulator ("/dw.cgi",
# no daemon or database work) against the static AArch64 C hello under the
# same emulator, over many interleaved runs. Prints medians and the ratio.
#   bench/arm64_startup.sh [runs]      (default 300; needs build-arm64/)
set -e
cd "$(dirname "$0")/.."
runs=${1:-300}
build=${NVR_BUILD_DIR:-build-arm64}
[ -x "$build/nvr-cgi" ] && [ -x "$build/bench-hello" ] || ninja -C "$build" nvr-cgi bench-hello >/dev/null
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/tmp" "$root/mnt/nand"
export NVR_ROOT="$root" REQUEST_METHOD=GET PATH_INFO=/dw.cgi QUERY_STRING=
ls -l "$build/nvr-cgi" | awk '{print "nvr-cgi file size: " $5 " bytes"}'
aarch64-linux-gnu-size "$build/nvr-cgi" 2>/dev/null || true
emu=$(command -v qemu-aarch64 || command -v qemu-aarch64-static)
python3 - "$runs" "$emu" "$build/nvr-cgi" "$build/bench-hello" <<'PY'
import os, statistics, sys, time
runs = int(sys.argv[1]); emu = sys.argv[2]; programs = sys.argv[3:]
def once(p):
    t = time.perf_counter_ns()
    pid = os.posix_spawn(emu, [emu, p], os.environ, file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
    os.waitpid(pid, 0)
    return (time.perf_counter_ns() - t) / 1e6
times = {p: [] for p in programs}
for i in range(runs):
    for p in programs:
        times[p].append(once(p))
med = {p: statistics.median(v) for p, v in times.items()}
for p in programs:
    print(f"{os.path.basename(p):12s} median {med[p]:.3f} ms  (p90 {sorted(times[p])[int(runs*0.9)]:.3f} ms)")
print(f"ratio nvr-cgi / static hello under emulation: {med[programs[0]] / med[programs[1]]:.2f}")
PY
