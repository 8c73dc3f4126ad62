#!/bin/sh
# Start-up cost of one nvr-cgi run ("/dw.cgi", no daemon or database work)
# against a static C hello, over many runs. Prints the median of each and the
# ratio. Goal: at most 1.3.
#   bench/startup.sh [runs]      (default 2000; needs a build in build/)
set -e
cd "$(dirname "$0")/.."
runs=${1:-2000}
build=${NVR_BUILD_DIR:-build}
[ -x "$build/nvr-cgi" ] && [ -x "$build/bench-hello" ] || ninja -C "$build" nvr-cgi bench-hello >/dev/null
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/tmp" "$root/mnt/nand"
export NVR_ROOT="$root" REQUEST_METHOD=GET PATH_INFO=/dw.cgi QUERY_STRING=
python3 - "$runs" "$build/nvr-cgi" "$build/bench-hello" <<'PY'
import os, statistics, subprocess, sys, time
runs = int(sys.argv[1]); programs = sys.argv[2:]
def once(p):
    t = time.perf_counter_ns()
    pid = os.posix_spawn(p, [p], os.environ, file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
    os.waitpid(pid, 0)
    return (time.perf_counter_ns() - t) / 1e6
times = {p: [] for p in programs}
for i in range(runs):           # interleaved, so both see the same machine load
    for p in programs:
        times[p].append(once(p))
med = {p: statistics.median(v) for p, v in times.items()}
for p in programs:
    print(f"{os.path.basename(p):12s} median {med[p]:.3f} ms  (p90 {sorted(times[p])[int(runs*0.9)]:.3f} ms)")
print(f"ratio nvr-cgi / static hello: {med[programs[0]] / med[programs[1]]:.2f}")
PY
