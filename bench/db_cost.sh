#!/bin/sh
# Cost of the configuration database in one nvr-cgi run, over many runs:
#   "/dw.cgi"  no database work (the floor)
#   "/1030"    reads two records of qvdb.db (the UPnP and port settings)
#   "/1024"    writes one parameter ("permission_update"), a durable commit
# against one fdatasync of a small file in the same folder. Prints medians and
# the differences. Goals: a read run adds under 0.5 ms; a write run adds no
# more than about one sync.
#   bench/db_cost.sh [runs]      (default 1000; NVR_BUILD_DIR, default build/)
set -e
cd "$(dirname "$0")/.."
runs=${1:-1000}
build=${NVR_BUILD_DIR:-build}
[ -x "$build/nvr-cgi" ] && [ -x "$build/nvr-db" ] || ninja -C "$build" nvr-cgi nvr-db >/dev/null
root=$(mktemp -d "${TMPDIR:-/var/tmp}/nvr-dbcost-XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/mnt/nand2" "$root/var/run"

# A settings file of a realistic shape: the parameter defaults, the two
# records the read route reads, and some per-channel tables. (Every table adds
# to the schema a run parses when it opens the file: about 5 us per table.)
"$build/nvr-db" --root "$root" seed-defaults
python3 - "$root/mnt/nand/app/qvdb.db" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executescript("""
CREATE TABLE upnp (enable INTEGER, type INTEGER, external_http_port INTEGER, http_status INTEGER,
                   external_rtsp_port INTEGER, rtsp_status INTEGER);
INSERT INTO upnp VALUES (1, 0, 8080, 1, 8554, 1);
CREATE TABLE port ("enableSsh" INTEGER, "sshPort" INTEGER, "httpPort" INTEGER, "httpsPort" INTEGER,
                   "rtspPort" INTEGER, "servicePort" INTEGER);
INSERT INTO port VALUES (0, 22, 80, 443, 554, 6036);
""")
# 60 record kinds of 20 columns, four of them with a row per channel.
tables = ["camera", "record", "video_loss", "motion"] + [f"record_kind_{i}" for i in range(56)]
for table in tables:
    db.execute(f"CREATE TABLE {table} (id INTEGER PRIMARY KEY, " +
               ", ".join(f"c{i} INTEGER" for i in range(18)) + ", name TEXT)")
    for chn in range(64 if table in tables[:4] else 1):
        db.execute(f"INSERT INTO {table} VALUES ({chn}, " + ", ".join(["1"] * 18) + ", 'channel')")
db.commit()
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
print(f"read adds {read_added:.3f} ms (goal < 0.5 ms); "
      f"write adds {write_added:.3f} ms = {write_added / sync:.2f} x one fdatasync")
wal = os.path.join(root, "mnt/nand/app/qvdb.db-wal")
print(f"WAL kept between runs: {os.path.exists(wal)}"
      f" ({os.path.getsize(wal) if os.path.exists(wal) else 0} bytes)")
PY
