#!/usr/bin/env bash
# tools/demo.sh as a user meets it: the printed curl calls work, a second start
# and a taken port are refused plainly, --stop and Ctrl-C leave nothing
# running, settings and the device log persist, --reset brings back the
# factory settings. Runs on a temporary root and free ports, without the
# install and build steps.
#
#   tests/http/demo_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail

src=$1
build=$2
# shellcheck source=tests/http/test_lib.sh
. "$src/tests/http/test_lib.sh" "$src"

work=$(mktemp -d "${TMPDIR:-/tmp}/nvr-demo-test-XXXXXX")
root="$work/root"
other="$work/other-root"
demo_pid=""
# shellcheck disable=SC2317  # run by the trap
finish() {
  [ -n "$demo_pid" ] && kill -TERM "$demo_pid" 2> /dev/null
  wait 2> /dev/null
  demo_stop_all "$root"
  demo_stop_all "$other"
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

export NVR_BUILD_DIR=$build NVR_DEMO_SKIP_BUILD=1 NVR_DEMO_ROOT=$root
unset PORT

# start_demo PORT [OPTIONS]: runs the demo in the background as from a
# terminal (Ctrl-C, that is SIGINT, not ignored) and waits for its banner.
start_demo() {
  local port=$1
  shift
  : > "$work/out"
  python3 -c 'import os, signal, sys
signal.signal(signal.SIGINT, signal.SIG_DFL)
os.execv(sys.argv[1], sys.argv[1:])' "$src/tools/demo.sh" --port "$port" "$@" \
    > "$work/out" 2> "$work/err" &
  demo_pid=$!
  for _ in $(seq 200); do
    grep -q "stops it" "$work/out" && return 0
    demo_alive "$demo_pid" || break
    sleep 0.1
  done
  fail "the demo did not start: $(cat "$work/out" "$work/err")"
  return 1
}

# The processes the demo started, from its pid files.
demo_pids() {
  demo_pid_of "$(demo_web_pid_file "$root")" "$root"
  demo_pid_of "$(demo_sim_pid_file "$root")" "$root"
}

# Waits for the demo script to end; its exit status.
wait_demo() {
  local status=0
  wait "$demo_pid" || status=$?
  demo_pid=""
  return "$status"
}

nothing_left() {  # nothing_left NAME PIDS...
  local name=$1 left="" pid
  shift
  for pid in "$@"; do demo_alive "$pid" && left="$left $pid"; done
  check "$name: nothing left running" "$left" ""
}

port=$(free_port)
base="http://127.0.0.1:$port/cgi-bin/nvr.cgi"
search='{"language":"en-US","startTime":"2000-01-01 00:00:00","endTime":"2037-12-31 23:59:59","mainType":1,"subTypeArr":[10],"curPageNum":1,"chnMask":"","searchNoChn":1}'
# The demo checks sessions: the calls below log in once and send the cookie.
jar="$work/cookies.txt"
log_in() {
  curl -s -c "$jar" -H 'Content-Type: application/json' \
    -d '{"userName":"admin","md5":"e10adc3949ba59abbe56e057f20f883e"}' "$base/1000" > /dev/null
}
log_count() {
  curl -s -b "$jar" -H 'Content-Type: application/json' -d "$search" "$base/1002" |
    python3 -c 'import json, sys; print(json.load(sys.stdin)["count"])' 2> /dev/null
}
user_names() {
  curl -s -b "$jar" "$base/6070" |
    python3 -c 'import json, sys; print(" ".join(u["name"] for u in json.load(sys.stdin)))' 2> /dev/null
}

# ---- first start: factory settings and the printed calls ---------------------------

start_demo "$port" || exit 1
banner=$(cat "$work/out")
contains "banner: base URL" "$banner" "$base/<route>"
contains "banner: default account" "$banner" "admin, password 123456"
mapfile -t calls < <(grep '^curl ' "$work/out")
check "banner: four curl calls" "${#calls[@]}" 4
outputs=()
for call in "${calls[@]}"; do outputs+=("$(bash -c "$call")"); done
contains "printed log-in call logs in" "${outputs[0]:-}" '"type": 0'
contains "printed user list call lists admin" "${outputs[1]:-}" '"name": "admin"'
check "printed third call answers" "$([ -n "${outputs[2]:-}" ] && echo answered)" answered
contains "printed log search call finds the log-in" "${outputs[3]:-}" '"subTypeValue": 201'
# The route catalogue the build wrote, served at /api/.
api="http://127.0.0.1:$port/api"
contains "route catalogue page at /api/" "$(curl -s "$api/")" "<title>Recorder routes</title>"
contains "route catalogue document at /api/openapi.json" "$(curl -s "$api/openapi.json")" \
  '"openapi":"3.1.0"'

# ---- refused starts ----------------------------------------------------------------

rc=0
"$src/tools/demo.sh" --port "$(free_port)" > /dev/null 2> "$work/second" || rc=$?
check "second start: refused" "$rc" 1
contains "second start: says so" "$(cat "$work/second")" "the demo already runs on $root"

rc=0
NVR_DEMO_ROOT=$other "$src/tools/demo.sh" --port "$port" > /dev/null 2> "$work/taken" || rc=$?
check "taken port: refused" "$rc" 1
contains "taken port: says so" "$(cat "$work/taken")" "port $port on 127.0.0.1 is in use"
check "taken port: nothing set up" "$([ -e "$other" ] && echo made)" ""

# ---- --stop from another terminal; settings persist ----------------------------------

guest='{"name":"guest","password":"084e0343a0486ff05530df6c705c8bb4","type":1,"permission":0,"remotePermission":0,"localliveview":"1","localplayback":"1","remoteliveview":"1","remoteplayback":"1"}'
check "without a session: refused" "$(curl -s -o /dev/null -w '%{http_code}' "$base/6070")" 401
log_in
check "an account added" "$(curl -s -b "$jar" -H 'Content-Type: application/json' -d "$guest" "$base/6071")" "id=1"
logged=$(log_count)
check "the device log holds the log-in and the account" "$([ "${logged:-0}" -ge 2 ] && echo yes)" yes
pids=$(demo_pids)
stop_out=$("$src/tools/demo.sh" --stop)
contains "--stop: names what it ended" "$stop_out" "stopped: web server (pid"
status=0
wait_demo || status=$?
check "--stop: the first demo ends cleanly" "$status" 0
contains "--stop: the first demo says so" "$(cat "$work/out")" "demo stopped"
# shellcheck disable=SC2086
nothing_left "--stop" $pids
check "--stop: the port is free again" "$(demo_port_in_use "$port" && echo taken)" ""

start_demo "$port" || exit 1
check "restart: accounts kept" "$(user_names)" "admin guest"
check "restart: device log kept" "$(log_count)" "$logged"

# ---- Ctrl-C -------------------------------------------------------------------------

pids=$(demo_pids)
kill -INT "$demo_pid"
status=0
wait_demo || status=$?
check "Ctrl-C: the demo ends cleanly" "$status" 0
# shellcheck disable=SC2086
nothing_left "Ctrl-C" $pids

# ---- --reset ----------------------------------------------------------------------

start_demo "$port" --reset || exit 1
log_in
check "--reset: factory accounts" "$(user_names)" "admin"
check "--reset: the device log holds only the new log-in" "$(log_count)" 1
pids=$(demo_pids)
kill -TERM "$demo_pid"
wait_demo
# shellcheck disable=SC2086
nothing_left "SIGTERM" $pids

[ "$failures" = 0 ] && echo "all demo checks passed" || echo "$failures demo check(s) failed" >&2
exit $((failures > 0))
