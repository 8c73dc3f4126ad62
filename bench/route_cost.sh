#!/bin/sh
# Cost of whole runs of nvr-cgi for some routes, against "/dw.cgi", with the
# simulated core daemon answering: medians over interleaved runs.
#   bench/route_cost.sh [runs] [route ...]     (default 500 runs of "/1009")
set -e
cd "$(dirname "$0")/.."
runs=${1:-500}
[ $# -gt 0 ] && shift
routes=${*:-/1009}
build=${NVR_BUILD_DIR:-build}
[ -x "$build/nvr-cgi" ] && [ -x "$build/nvr-cored" ] || ninja -C "$build" nvr-cgi nvr-cored >/dev/null
root=$(mktemp -d)
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/var/run" "$root/var/lib/nvr-cored"
"$build/nvr-cored" --root "$root"
trap 'kill "$(cat "$root/var/lib/nvr-cored/nvr-cored.pid")" 2>/dev/null; rm -rf "$root"' EXIT
export NVR_ROOT="$root" REQUEST_METHOD=GET QUERY_STRING= PATH="$PWD/$build/platform-bin:$PATH"
python3 - "$runs" "$build/nvr-cgi" /dw.cgi $routes <<'PY'
import os, statistics, sys, time
runs = int(sys.argv[1]); program = sys.argv[2]; routes = sys.argv[3:]
def once(route):
    env = dict(os.environ, PATH_INFO=route)
    t = time.perf_counter_ns()
    pid = os.posix_spawn(program, [program], env,
                         file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
    os.waitpid(pid, 0)
    return (time.perf_counter_ns() - t) / 1e6
times = {r: [] for r in routes}
for i in range(runs):
    for r in routes:
        times[r].append(once(r))
base = statistics.median(times["/dw.cgi"])
for r in routes:
    m = statistics.median(times[r])
    print(f"{r:8s} median {m:.3f} ms  ({m / base:.2f}x /dw.cgi)")
PY
