#!/bin/sh
# Cost of the configuration database in one nvr-cgi run, over many runs:
#   "/dw.cgi"  no database work (the floor)
#   "/1030"    reads two records of qvdb.db (the UPnP and port settings)
#   "/1024"    writes one parameter ("permission_update"), a durable commit
# against one fdatasync of a small file in the same folder. Prints medians,
# the differences and the ratios over "/dw.cgi". Goals: a read run at most
# 1.3 x "/dw.cgi"; a write run adds no more than one sync plus 0.3 ms; both
# the same (within noise) whatever the number of record kinds in the file.
#   bench/db_cost.sh [runs] [kinds]
# runs: default 1000. kinds: the record kinds the file holds; default: every
# kind the program knows ("nvr-db seed-all") plus 150 synthetic kinds of 30
# fields (four with a row per channel), stored as the program stores records.
# A number below the program's own kinds seeds only the two records the read
# route reads, plus synthetic kinds. NVR_BUILD_DIR: default build/.
set -e
cd "$(dirname "$0")/.."
runs=${1:-1000}
kinds=${2:-}
build=${NVR_BUILD_DIR:-build}
[ -x "$build/nvr-cgi" ] && [ -x "$build/nvr-db" ] || ninja -C "$build" nvr-cgi nvr-db >/dev/null
root=$(mktemp -d "${TMPDIR:-/var/tmp}/nvr-dbcost-XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/mnt/nand2" "$root/var/run"

"$build/nvr-db" --root "$root" seed-defaults
"$build/nvr-db" --root "$root" seed-all >/dev/null
known=$("$build/nvr-db" --root "$root" tables | grep -cvx 'params\|schedules')
python3 - "$root/mnt/nand/app/qvdb.db" "$known" "$kinds" <<'PY'
import json, sqlite3, sys
path, known, kinds = sys.argv[1], int(sys.argv[2]), sys.argv[3]
db = sqlite3.connect(path)
if kinds and int(kinds) < known:
    # Only the two records the read route reads.
    db.execute("DELETE FROM records WHERE kind NOT IN ('upnp', 'port')")
    synthetic = max(0, int(kinds) - 2)
else:
    synthetic = int(kinds) - known if kinds else 150
for k in range(synthetic):
    kind = f"synthetic_kind_{k}"
    for chn in range(64 if k < 4 else 1):
        data = {"id": chn, **{f"field_{i}": i * 1000 + chn for i in range(28)}, "name": "channel"}
        db.execute("INSERT INTO records (kind, \"key\", data) VALUES (?, ?, ?)",
                   (kind, chn, json.dumps(data, separators=(",", ":"))))
db.commit()
total = db.execute("SELECT count(DISTINCT kind) FROM records").fetchone()[0]
tables = db.execute("SELECT count(*) FROM sqlite_schema").fetchone()[0]
print(f"settings file: {total} record kinds, {tables} schema entries")
db.close()
PY

export NVR_ROOT="$root" REQUEST_METHOD=GET QUERY_STRING=
python3 - "$runs" "$build/nvr-cgi" "$root" <<'PY'
import os, statistics, subprocess, sys, time
runs, program, root = int(sys.argv[1]), sys.argv[2], sys.argv[3]
nvr_db = os.path.join(os.path.dirname(program), "nvr-db")
routes = {"none (/dw.cgi)": "/dw.cgi", "read (/1030)": "/1030", "write (/1024)": "/1024"}
def once(route):
    if route == "/1024":
        # "/1024" stores 0; storing an unchanged value writes nothing, so the
        # value is set to 1 first (not timed).
        subprocess.run([nvr_db, "--root", root, "set", "permission_update", "1"], check=True)
    env = dict(os.environ, PATH_INFO=route)
    t = time.perf_counter_ns()
    pid = os.posix_spawn(program, [program], env,
                         file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
    usage = os.wait4(pid, 0)[2]
    return (time.perf_counter_ns() - t) / 1e6, (usage.ru_utime + usage.ru_stime) * 1e3
def fsync_once(path):
    # Like a commit to the write-ahead log: one page appended, then synced.
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o600)
    t = time.perf_counter_ns()
    os.write(fd, b"y" * 4120)
    os.fdatasync(fd)
    d = (time.perf_counter_ns() - t) / 1e6
    os.close(fd)
    return d
wall = {name: [] for name in routes}
cpu = {name: [] for name in routes}
syncs = []
for i in range(runs):            # interleaved, so all see the same machine load
    for name, route in routes.items():
        w, c = once(route)
        wall[name].append(w)
        cpu[name].append(c)
    syncs.append(fsync_once(os.path.join(root, "mnt/nand/app/sync-probe")))
med = {name: statistics.median(v) for name, v in wall.items()}
cpu_med = {name: statistics.median(v) for name, v in cpu.items()}
base, cpu_base = med["none (/dw.cgi)"], cpu_med["none (/dw.cgi)"]
for name in routes:
    v = sorted(wall[name])
    print(f"{name:16s} wall median {med[name]:.3f} ms (p90 {v[int(runs * 0.9)]:.3f})"
          f"  added {med[name] - base:+.3f} ms  ratio {med[name] / base:.2f}"
          f"  | cpu median {cpu_med[name]:.3f} ms, added {cpu_med[name] - cpu_base:+.3f}")
sync = statistics.median(syncs)
print(f"{'one fdatasync':16s} median {sync:.3f} ms (a page appended to a file in the same folder)")
read_added = med["read (/1030)"] - base
write_added = med["write (/1024)"] - base
print(f"read adds {read_added:.3f} ms, ratio {med['read (/1030)'] / base:.2f} (goal <= 1.3); "
      f"write adds {write_added:.3f} ms = one fdatasync {'+' if write_added >= sync else '-'}"
      f" {abs(write_added - sync):.3f} ms, ratio {med['write (/1024)'] / base:.2f}"
      f" (goal: one fdatasync + 0.3 ms at most)")
wal = os.path.join(root, "mnt/nand/app/qvdb.db-wal")
print(f"WAL kept between runs: {os.path.exists(wal)}"
      f" ({os.path.getsize(wal) if os.path.exists(wal) else 0} bytes)")
PY
