#!/bin/sh
# Cost of one core-daemon round trip inside an nvr-cgi run: "/1018" (a link
# log-in: request 3504, which the simulator answers at once, and the redirect
# its reply callback writes) against "/dw.cgi" (the same process start, no
# daemon work), over many interleaved runs. Prints the medians, their
# difference and ratio. Goal: the round trip adds less than 1 ms at the median.
#   bench/ipc_roundtrip.sh [runs]      (default 1000; needs a build in build/)
set -e
cd "$(dirname "$0")/.."
runs=${1:-1000}
build=${NVR_BUILD_DIR:-build}
[ -x "$build/nvr-cgi" ] && [ -x "$build/nvr-cored" ] || ninja -C "$build" nvr-cgi nvr-cored >/dev/null
root=$(mktemp -d)
mkdir -p "$root/tmp" "$root/mnt/nand" "$root/var/run"
trap 'rm -rf "$root"' EXIT
"$build/nvr-cored" --root "$root"   # returns once its socket accepts
cored_pid=$(cat "$root/var/lib/nvr-cored/nvr-cored.pid")
trap 'kill "$cored_pid" 2>/dev/null; rm -rf "$root"' EXIT
export NVR_ROOT="$root" REQUEST_METHOD=GET QUERY_STRING=benchtoken
python3 - "$runs" "$build/nvr-cgi" <<'PY'
import os, statistics, subprocess, sys, time
runs = int(sys.argv[1]); program = sys.argv[2]
def once(route):
    env = dict(os.environ, PATH_INFO=route)
    r, w = os.pipe()
    t = time.perf_counter_ns()
    pid = os.posix_spawn(program, [program], env, file_actions=[(os.POSIX_SPAWN_DUP2, w, 1)])
    os.close(w)
    out = b""
    while chunk := os.read(r, 65536):
        out += chunk
    os.waitpid(pid, 0)
    elapsed = (time.perf_counter_ns() - t) / 1e6
    os.close(r)
    return elapsed, out
_, out = once("/1018")
assert b"Location" in out, f"unexpected answer of /1018: {out!r}"
routes = ["/1018", "/dw.cgi"]
times = {p: [] for p in routes}
for i in range(runs):           # interleaved, so both see the same machine load
    for p in routes:
        times[p].append(once(p)[0])
med = {p: statistics.median(v) for p, v in times.items()}
for p in routes:
    print(f"{p:8s} median {med[p]:.3f} ms  (p90 {sorted(times[p])[int(runs*0.9)]:.3f} ms)")
print(f"round trip adds {med['/1018'] - med['/dw.cgi']:.3f} ms at the median; "
      f"ratio {med['/1018'] / med['/dw.cgi']:.2f}")
PY
