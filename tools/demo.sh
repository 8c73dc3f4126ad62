#!/usr/bin/env bash
# The recorder on a desk: nvr-cgi behind a real web server (lighttpd) with the
# simulated core daemon, on http://127.0.0.1:8080/cgi-bin/nvr.cgi/<route>;
# the route catalogue is at http://127.0.0.1:8080/api/.
#
#   tools/demo.sh [--port N]   installs what is missing, builds, starts; Ctrl-C stops
#   tools/demo.sh --stop       stops a demo started from another terminal
#   tools/demo.sh --reset      back to factory settings (then starts)
#
# The device root is demo-root/ at the repository root. Its settings and the
# simulator's operation log persist from one start to the next; factory
# settings are seeded on the first start only. PORT=N works like --port N.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
# The tests run the demo on a root and a build of their own.
root=${NVR_DEMO_ROOT:-$repo/demo-root}
build=${NVR_BUILD_DIR:-$repo/build}
port=${PORT:-8080}
action=start
reset=0

# shellcheck source=tools/demo/lib.sh
. "$repo/tools/demo/lib.sh"

usage() {
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
  exit "${1:-0}"
}

while [ $# -gt 0 ]; do
  case "$1" in
    --port)
      [ $# -ge 2 ] || usage 2
      port=$2
      shift
      ;;
    --port=*) port=${1#--port=} ;;
    --stop) action=stop ;;
    --reset) reset=1 ;;
    -h | --help) usage 0 ;;
    *)
      echo "unknown option: $1" >&2
      usage 2
      ;;
  esac
  shift
done
case "$port" in
  '' | *[!0-9]*)
    echo "the port must be a number: $port" >&2
    exit 2
    ;;
esac
if [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then
  echo "the port must lie between 1 and 65535: $port" >&2
  exit 2
fi

# The demo of this root that runs now, if any: "web PID", "simulator PID".
running_parts() {
  local pid
  if pid=$(demo_pid_of "$(demo_web_pid_file "$root")" "$root"); then echo "web server (pid $pid)"; fi
  if pid=$(demo_pid_of "$(demo_sim_pid_file "$root")" "$root"); then echo "simulator (pid $pid)"; fi
}

if [ "$action" = stop ]; then
  parts=$(running_parts)
  if [ -z "$parts" ]; then
    echo "no demo runs on $root"
    exit 0
  fi
  demo_stop_all "$root"
  echo "stopped: $(echo "$parts" | paste -sd, - | sed 's/,/, /g')"
  exit 0
fi

parts=$(running_parts)
if [ -n "$parts" ]; then
  url="http://127.0.0.1:$(cat "$(demo_state_dir "$root")/port" 2>/dev/null || echo '?')/"
  echo "the demo already runs on $root: $(echo "$parts" | paste -sd, - | sed 's/,/, /g'), $url" >&2
  echo "stop it with: tools/demo.sh --stop" >&2
  exit 1
fi

if demo_port_in_use "$port"; then
  echo "port $port on 127.0.0.1 is in use by another program; choose another: tools/demo.sh --port N" >&2
  exit 1
fi

if [ "$reset" = 1 ]; then
  # Only a device root is ever removed.
  if [ -e "$root" ] && [ ! -d "$root/mnt/nand/app" ]; then
    echo "not removing $root: it is not a device root" >&2
    exit 1
  fi
  rm -rf -- "$root"
  echo "device reset: settings and device log of $root removed; factory settings follow"
fi

if [ "${NVR_DEMO_SKIP_BUILD:-0}" != 1 ]; then
  "$repo/tools/install-deps.sh"
  cmake -S "$repo" -B "$build" -G Ninja > /dev/null
  targets="nvr-cgi nvr-cored nvr-factory platform-bin route-catalogue"
  compgen -G "$repo/tools/nvr-db/*.cpp" > /dev/null && targets="$targets nvr-db"
  # shellcheck disable=SC2086
  ninja -C "$build" $targets
fi

# A device whose settings database exists has been set up before: its settings stay.
if [ ! -e "$root/mnt/nand/app/qvdb.db" ]; then
  "$build/nvr-factory" --root "$root"
fi
# The demo device checks sessions and permissions itself.
if [ -x "$build/nvr-db" ]; then
  "$build/nvr-db" --root "$root" set server_auth 1 > /dev/null
fi
# The watchdog of the packet capture is a device file of the recorder.
if [ -x "$build/platform-bin/webmonitor" ]; then
  cp "$build/platform-bin/webmonitor" "$root/www/webmonitor"
fi
# The recorder mounts its disks under /media; packet captures go there.
mkdir -p "$root/media/sda1"

sim_pid=""
demo_web_pid=""
stopping=0
stop() {
  [ "$stopping" = 1 ] && return
  stopping=1
  trap '' INT TERM HUP
  demo_stop_all "$root"
  if [ -n "$demo_web_pid" ]; then wait "$demo_web_pid" 2> /dev/null || true; fi
  echo
  echo "demo stopped"
}
trap 'stop; exit 0' INT TERM HUP

sim_pid=$(demo_start_sim "$root" "$build") || {
  echo "the simulated core daemon did not start; see $root/var/lib/nvr-cored/nvr-cored.log" >&2
  exit 1
}
status=0
demo_start_web "$root" "$port" "$build" || status=$?
if [ "$status" != 0 ]; then
  demo_stop_all "$root"
  [ "$status" = 2 ] && echo "choose another port: tools/demo.sh --port N" >&2
  exit 1
fi
echo "$port" > "$(demo_state_dir "$root")/port"

base="http://127.0.0.1:$port/cgi-bin/nvr.cgi"
jar="$(demo_state_dir "$root")/cookies.txt"
digest=$(printf '%s' 123456 | md5sum | cut -c1-32)
if [ -d "$repo/modules/storage" ]; then
  third="# the disk list
curl -s -b $jar $base/6100"
else
  third="# what the recorder is
curl -s -b $jar $base/1009"
fi
cat << EOF

The recorder runs: $base/<route>
  device root  $root
  web server   pid $demo_web_pid, logs in $(demo_state_dir "$root")
  simulator    pid $sim_pid, log in $root/var/lib/nvr-cored/nvr-cored.log
Route catalogue: http://127.0.0.1:$port/api/ (and /api/openapi.json)
Default account: admin, password 123456 (the pages send its MD5 digest $digest).
$([ -x "$build/nvr-db" ] && echo "Stored settings: $build/nvr-db --root $root params (or: dump user)")

# log in (the session cookie is kept in $jar and sent by the calls below)
curl -s -c $jar -H 'Content-Type: application/json' -d '{"userName":"admin","md5":"$digest"}' $base/1000
# the user accounts
curl -s -b $jar $base/6070
$third
# search the device log (the log-in above is in it)
curl -s -b $jar -H 'Content-Type: application/json' -d '{"language":"en-US","startTime":"2000-01-01 00:00:00","endTime":"2037-12-31 23:59:59","mainType":1,"subTypeArr":[10],"curPageNum":1,"chnMask":"","searchNoChn":1}' $base/1002

Ctrl-C (or tools/demo.sh --stop from another terminal) stops it.
EOF

# Runs until Ctrl-C, --stop or the web server ending on its own.
while demo_alive "$demo_web_pid"; do
  wait "$demo_web_pid" 2> /dev/null || true
done
stop
