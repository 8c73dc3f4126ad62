#!/bin/sh
# Writers and a killer: WRITERS processes store settings of their own (alarm
# input N's name, a counter in it) as fast as they can for SECONDS, while
# random runs are ended with SIGKILL in the middle of their work, KILLS times
# in all. Afterwards every write that was answered "OK" must be stored (the
# stored counter is that one or a later one whose run was cut short after its
# commit) and the settings file must pass SQLite's integrity check.
#
#   tests/stress/kill_writes.sh [--seconds 60] [--writers 16] [--kills 100] [--build DIR]
#
# Works in a fresh temporary device root with the simulated daemon; ends only
# the processes it started, by their ids. Prints the figures and
# "N passed, N failed" (one check per writer and one for the file).
set -u

seconds=60
writers=16
kills=100
build=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --writers) writers="$2"; shift 2 ;;
    --kills) kills="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    *) echo "usage: $0 [--seconds N] [--writers N] [--kills N] [--build DIR]" >&2; exit 2 ;;
  esac
done
here="$(cd "$(dirname "$0")/../.." && pwd)"
[ -n "$build" ] || build="$here/build"
cgi="$build/nvr-cgi"
cored="$build/nvr-cored"
[ -x "$cgi" ] && [ -x "$cored" ] || { echo "kill_writes: build $cgi and $cored first" >&2; exit 2; }
[ "$writers" -ge 1 ] && [ "$writers" -le 16 ] || { echo "kill_writes: 1 to 16 writers" >&2; exit 2; }
command -v sqlite3 >/dev/null || { echo "kill_writes: sqlite3 is needed" >&2; exit 2; }

root="$(mktemp -d "${TMPDIR:-/tmp}/nvr-stress-XXXXXX")"
work="$root/stress"
for dir in mnt/nand/app mnt/nand2 mnt/nand/ssl tmp dev/shm var/run opt/app/www/webfile/json \
           opt/app/bin www; do
  mkdir -p "$root/$dir"
done
mkdir -p "$work/pids" "$work/ok" "$work/tried"

export NVR_ROOT="$root"
export PATH="$build/platform-bin:$PATH"
unset NVR_TIME_SCALE
unset QUERY_STRING
"$cored" --root "$root" >/dev/null 2>&1 || { echo "kill_writes: the simulator did not start" >&2; exit 2; }
cored_pid="$(cat "$root/var/lib/nvr-cored/nvr-cored.pid")"

cleanup() {
  for pidfile in "$work"/writer.*; do
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
  done
  kill "$cored_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT INT TERM

# One writer: runs of the program one after the other, each storing the
# writer's counter; the counter of the last "OK" is kept.
writer() {
  id="$1"
  n=0
  answered=0
  end=$(( $(date +%s) + seconds ))
  while [ "$(date +%s)" -lt "$end" ]; do
    n=$((n + 1))
    body="{\"alarm\":{\"id\":$id,\"enable\":1,\"name\":\"w${id}n${n}\",\"type\":1,\"triChannels\":\"\",\"triAlarms\":0,\"interval\":0}}"
    echo "$n" > "$work/tried/$id"
    printf '%s' "$body" > "$work/body.$id"
    # The run writes its own id before it becomes the program, so that the
    # killer sees it for the whole of the run.
    REQUEST_METHOD=POST CONTENT_TYPE=application/json CONTENT_LENGTH=${#body} PATH_INFO=/6062 \
      REMOTE_ADDR=127.0.0.1 sh -c 'echo $$ > "$0"; exec "$1"' "$work/pids/$id" "$cgi" \
      < "$work/body.$id" > "$work/out.$id" 2>/dev/null &
    wait $! 2>/dev/null
    rm -f "$work/pids/$id"
    if [ "$(tail -c 2 "$work/out.$id")" = "OK" ]; then
      echo "$n" > "$work/ok/$id"
      answered=$((answered + 1))
      echo "$answered" > "$work/okcount.$id"
    fi
  done
}

i=0
while [ "$i" -lt "$writers" ]; do
  writer "$i" &
  echo $! > "$work/writer.$i"
  i=$((i + 1))
done

# The killer: spreads the kills over the run, each at a random moment, on the
# run of a random writer that is under way (checked to be our program).
killed=0
seed=$(( $$ + $(date +%s) ))
random() {  # a pseudo-random number 0..32767 in $value, no process started
  seed=$(( (seed * 1103515245 + 12345) % 2147483648 ))
  value=$(( seed / 65536 % 32768 ))
}
end_ms=$(( $(date +%s%3N) + seconds * 1000 ))
end=$(( $(date +%s) + seconds ))
while [ "$killed" -lt "$kills" ] && [ "$(date +%s)" -lt "$end" ]; do
  random
  # The time left shared among the kills still to come, at random within it.
  pause_ms=$(( (end_ms - $(date +%s%3N)) * 4 / (5 * (kills - killed + 1)) ))
  [ "$pause_ms" -ge 2 ] || pause_ms=2
  ms=$(( pause_ms / 4 + value % pause_ms ))
  sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
  # A run under way: the writers are looked at from a random one on.
  tries=0
  hit=0
  while [ "$hit" -eq 0 ] && [ "$tries" -lt 500 ] && [ "$(date +%s)" -lt "$end" ]; do
    tries=$((tries + 1))
    random
    k=0
    while [ "$k" -lt "$writers" ]; do
      target=$(( (value + k) % writers ))
      k=$((k + 1))
      pid="$(cat "$work/pids/$target" 2>/dev/null)"
      [ -n "$pid" ] || continue
      # Only a run of this program on this root, never any other process.
      # (the id stays ours until its writer has reaped it and removed the file).
      if grep -qxz "NVR_ROOT=$root" "/proc/$pid/environ" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null && killed=$((killed + 1))
        hit=1
        break
      fi
    done
    [ "$hit" -eq 1 ] || sleep 0.001
  done
done
i=0
while [ "$i" -lt "$writers" ]; do
  wait "$(cat "$work/writer.$i")" 2>/dev/null
  rm -f "$work/writer.$i"
  i=$((i + 1))
done

# Every write answered "OK" is stored.
passed=0
failed=0
oks=0
i=0
while [ "$i" -lt "$writers" ]; do
  ok="$(cat "$work/ok/$i" 2>/dev/null || echo 0)"
  tried="$(cat "$work/tried/$i" 2>/dev/null || echo 0)"
  oks=$((oks + $(cat "$work/okcount.$i" 2>/dev/null || echo 0)))
  answer="$(REQUEST_METHOD=GET PATH_INFO=/6061 QUERY_STRING="$i" "$cgi" 2>/dev/null)"
  stored="$(printf '%s' "$answer" | sed -n "s/.*\"name\": \"w${i}n\([0-9]*\)\".*/\1/p")"
  [ -n "$stored" ] || stored=0
  if [ "$stored" -ge "$ok" ] && [ "$stored" -le "$tried" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "writer $i: answered OK up to $ok, tried up to $tried, stored $stored"
  fi
  i=$((i + 1))
done
check="$(sqlite3 "$root/mnt/nand/app/qvdb.db" 'PRAGMA integrity_check' 2>&1)"
if [ "$check" = "ok" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "integrity: $check"; fi
echo "kill_writes: $writers writers, $seconds s, $oks writes answered OK, $killed runs killed, integrity $check"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
