#!/usr/bin/env bash
# End to end through a real web server: lighttpd (the demo's configuration)
# runs the built nvr-cgi against the simulated core daemon, on a temporary
# device root and a free loopback port; curl plays the browser.
#
#   tests/http/http_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail

src=$1
build=$2
# shellcheck source=tests/http/test_lib.sh
. "$src/tests/http/test_lib.sh" "$src"

root=$(mktemp -d "${TMPDIR:-/tmp}/nvr-http-XXXXXX")
work="$root/var/lib/http-test"  # the test's own files, outside the device folders
mkdir -p "$work"
# shellcheck disable=SC2317  # run by the trap
finish() {
  demo_stop_all "$root"
  wait 2> /dev/null
  rm -rf "$root"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

# ---- start ----------------------------------------------------------------------

"$build/nvr-factory" --root "$root" > /dev/null || {
  echo "nvr-factory failed" >&2
  exit 1
}
script="$work/sim-script"
: > "$script"
demo_start_sim "$root" "$build" --script "$script" > /dev/null || {
  echo "the simulator did not start" >&2
  exit 1
}
started=0
for _ in 1 2 3; do
  port=$(free_port)
  rc=0
  demo_start_web "$root" "$port" "$build" || rc=$?
  if [ "$rc" = 0 ]; then
    started=1
    break
  fi
  [ "$rc" = 2 ] || break  # only a port taken meanwhile is worth another try
done
[ "$started" = 1 ] || {
  echo "the web server did not start" >&2
  exit 1
}
base="http://127.0.0.1:$port/cgi-bin/nvr.cgi"

# request ARGS...: runs curl; sets code, type (Content-Type) and body.
request() {
  code=$(curl -s -o "$work/body" -D "$work/head" -w '%{http_code}' --max-time 20 "$@")
  body=$(cat "$work/body")
  type=$(tr -d '\r' < "$work/head" | sed -n 's/^[Cc]ontent-[Tt]ype: *//p' | tail -n 1)
}
json() {  # json EXPRESSION: evaluates a Python expression over the body parsed as `j`
  python3 -c 'import json, sys; j = json.load(sys.stdin); print(eval(sys.argv[1]))' "$1" \
    < "$work/body" 2> /dev/null || echo "(not JSON: $body)"
}
json_post() {  # json_post ROUTE BODY [CONTENT_TYPE]
  request -H "Content-Type: ${3:-application/json}" --data-binary "$2" "$base$1"
}
search_log='{"language":"en-US","startTime":"2000-01-01 00:00:00","endTime":"2037-12-31 23:59:59",
"mainType":1,"subTypeArr":[10],"curPageNum":1,"chnMask":"","searchNoChn":1}'
admin_digest=$(printf '%s' 123456 | md5sum | cut -c1-32)

# ---- an unknown route: a status alone ------------------------------------------------

request "$base/9999"
check "unknown route: 404 with an empty body" "$code [$body]" "404 []"
json_post /9999 '{}'
check "unknown route by POST: 404" "$code" 404

# ---- log-in with the factory account --------------------------------------------

json_post /1000 "{\"userName\":\"admin\",\"md5\":\"$admin_digest\"}" \
  'Application/JSON; charset=UTF-8'
check "login: status" "$code" 200
check "login: plain-text header" "$type" "text/plain"
check "login: admin accepted" "$(json '(j["type"], j["userName"], len(j["sessionId"]))')" \
  "(0, 'admin', 32)"
json_post /1000 '{"userName":"admin","md5":"00000000000000000000000000000000"}'
check "login: a wrong digest is refused" "$(json 'j')" "{'type': -1}"

# ---- log-out: "OK" and an entry in the device log --------------------------------

request -b 'language=en-US; userName=httptester' "$base/1014"
check "logout: answer" "$code $type $body" "200 text/plain OK"
json_post /1002 "$search_log"
check "log search (JSON POST): JSON header" "$type" "application/json"
check "log search: the log-out entry, with the cookie's user and the client's address" \
  "$(json '[(e["subTypeValue"], e["user"], e["ip"]) for e in j["log"] if e["subTypeValue"] == 202]')" \
  "[(202, 'httptester', '127.0.0.1')]"
check "log search: the log-in entry" \
  "$(json '[(e["subTypeValue"], e["user"]) for e in j["log"] if e["subTypeValue"] == 201]')" \
  "[(201, 'admin')]"

# ---- a GET whose query is a JSON text with %22 for each double quote -------------

request -g "$base/1015?{%22lan%22:%22en-US%22}"
check "GET with %22: reaches the log type list" "$code $type" "200 application/json"
check "GET with %22: main types" "$(json '[m["key"] for m in j["mainType"]]')" \
  "[1, 2, 4, 8, 32, 64]"

# ---- multipart uploads -------------------------------------------------------------

printf 'RIFF\0\0\0\0WAVEfmt test bytes\r\n--not-a-boundary\r\n' > "$work/bell.wav"
request -F "file=@$work/bell.wav" "$base/1019"
check "upload to /1019: taken, nothing answered (a status alone)" "$code [$body]" "400 []"
check "upload to /1019: no file left in /tmp" "$(ls -A "$root/tmp" | grep -vx qvcore)" ""

request -F "file=@$work/bell.wav;filename=C:\\sounds\\bell.wav" "$base/6321"
check "upload to /6321 (alarm audio): answer" "${body%%, data:*}" "CGI OK status:[0]"
stored=${body#*data:[}
stored=${stored%]}
if [ -n "$stored" ] && cmp -s "$work/bell.wav" "$root/tmp/$stored"; then
  pass "upload to /6321: the uploaded bytes kept as /tmp/$stored"
else
  fail "upload to /6321: /tmp holds [$(ls -A "$root/tmp")], answer [$body]"
fi
check "upload to /6321: no temporary file left" "$(compgen -G "$root/tmp/cgic*")" ""

# ---- stopping ends a request that still waits on the daemon -----------------------

echo "3400 never" > "$script"
sleep 0.1  # the simulator reads its script again when it changes
curl -s -o /dev/null --max-time 60 "$base/1009" &
curl_pid=$!
waiting=""
for _ in $(seq 100); do
  for env in /proc/[0-9]*/environ; do
    grep -qaF "NVR_ROOT=$root" "$env" 2> /dev/null || continue
    pid=${env#/proc/}
    pid=${pid%/environ}
    grep -qaF nvr-cgi "/proc/$pid/cmdline" 2> /dev/null && waiting=$pid
  done
  [ -n "$waiting" ] && break
  sleep 0.05
done
if [ -n "$waiting" ]; then
  pass "system info waits on a silent daemon"
else
  fail "no nvr-cgi waiting on the daemon"
fi
web_pid=$(demo_pid_of "$(demo_web_pid_file "$root")" "$root")
sim_pid=$(demo_pid_of "$(demo_sim_pid_file "$root")" "$root")
demo_stop_all "$root"
wait "$curl_pid" 2> /dev/null
left=""
for pid in $waiting $web_pid $sim_pid; do demo_alive "$pid" && left="$left $pid"; done
check "stop: the web server, the simulator and the waiting request ended" "$left" ""

[ "$failures" = 0 ] && echo "all HTTP checks passed" || echo "$failures HTTP check(s) failed" >&2
exit $((failures > 0))
