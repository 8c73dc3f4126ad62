# shellcheck shell=bash
# Shell functions shared by tools/demo.sh and the HTTP tests (tests/http):
# the web server and the simulated core daemon on a device root, started and
# stopped by their process ids. Source it from bash.
#
# A device root holds, beside the device's own folders:
#   var/lib/lighttpd/   the web server's configuration, pid file, logs, upload buffers
#   var/lib/nvr-cored/  the simulator's pid file, log and kept state (operation log)
#   var/lib/demo/bin/   guards for the programs that must never run for real

demo_tools_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Debian keeps lighttpd in /usr/sbin, which is not on a user's PATH.
demo_lighttpd=$(PATH="$PATH:/usr/local/sbin:/usr/sbin:/sbin" command -v lighttpd || echo lighttpd)

# Programs that the routes run and that act on the machine itself. When the
# build's stand-ins (platform-bin, first on PATH) do not provide one, its guard
# answers instead of the real program.
demo_guarded_programs="killall ifconfig tcpdump reboot poweroff halt shutdown"

demo_state_dir() { printf '%s/var/lib/lighttpd' "$1"; }
demo_sim_pid_file() { printf '%s/var/lib/nvr-cored/nvr-cored.pid' "$1"; }
demo_web_pid_file() { printf '%s/lighttpd.pid' "$(demo_state_dir "$1")"; }

# demo_pid_of PID_FILE MATCH: prints the process id kept in PID_FILE when that
# process runs and its command line holds MATCH (so that a reused id is never
# taken for ours); fails otherwise.
demo_pid_of() {
  local pid
  [ -r "$1" ] || return 1
  read -r pid < "$1" 2>/dev/null || return 1
  case "$pid" in '' | *[!0-9]*) return 1 ;; esac
  [ -r "/proc/$pid/cmdline" ] || return 1
  tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "$2" || return 1
  printf '%s\n' "$pid"
}

demo_alive() { [ -e "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }

# demo_children PID: the process ids whose parent is PID.
demo_children() {
  local stat line pid ppid
  for stat in /proc/[0-9]*/stat; do
    { read -r line < "$stat"; } 2> /dev/null || continue
    line=${line##*) }  # after the command name, which may hold blanks
    read -r _ ppid _ <<< "$line"
    if [ "$ppid" = "$1" ]; then
      pid=${stat#/proc/}
      printf '%s\n' "${pid%/stat}"
    fi
  done
}

# demo_stop_pid PID: SIGTERM, then SIGKILL after 5 s; returns once it is gone.
demo_stop_pid() {
  local pid=$1
  demo_alive "$pid" || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    demo_alive "$pid" || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  for _ in $(seq 20); do
    demo_alive "$pid" || return 0
    sleep 0.1
  done
}

# demo_port_in_use PORT: true when something accepts connections on 127.0.0.1:PORT.
demo_port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# demo_guard_bin ROOT: the folder of guards (made when missing).
demo_guard_bin() {
  local dir="$1/var/lib/demo/bin" name
  mkdir -p "$dir"
  for name in $demo_guarded_programs; do
    ln -sfn "$demo_tools_dir/refuse-program" "$dir/$name"
  done
  printf '%s' "$dir"
}

# demo_write_conf ROOT PORT BUILD: writes the web server's configuration for
# this root and port, running BUILD/nvr-cgi; prints its path.
demo_write_conf() {
  local root=$1 port=$2 build=$3 state guard
  state=$(demo_state_dir "$root")
  mkdir -p "$state/upload"
  guard=$(demo_guard_bin "$root")
  local path="$build/platform-bin:$guard:/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin"
  local value
  for value in "$root" "$build" "$state"; do
    case "$value" in
      *[\"\\]* | *"
"*)
        echo "the path $value holds a quote, a backslash or a line break; use another folder" >&2
        return 1
        ;;
    esac
  done
  ROOT=$root STATE=$state PORT=$port CGI=$build/nvr-cgi API=$build/api DPATH=$path awk '{
      gsub(/@ROOT@/, ENVIRON["ROOT"]); gsub(/@STATE@/, ENVIRON["STATE"]);
      gsub(/@PORT@/, ENVIRON["PORT"]); gsub(/@CGI@/, ENVIRON["CGI"]); gsub(/@API@/, ENVIRON["API"]);
      gsub(/@PATH@/, ENVIRON["DPATH"]); print }' \
    "$demo_tools_dir/lighttpd.conf.in" > "$state/lighttpd.conf"
  printf '%s' "$state/lighttpd.conf"
}

# demo_start_sim ROOT BUILD [OPTIONS]: starts the simulated core daemon on ROOT
# (it returns once its socket accepts) and prints its process id.
demo_start_sim() {
  local root=$1 build=$2 pid=""
  shift 2
  rm -f "$(demo_sim_pid_file "$root")"
  "$build/nvr-cored" --root "$root" "$@" || return 1
  for _ in $(seq 50); do
    pid=$(demo_pid_of "$(demo_sim_pid_file "$root")" "$root") && break
    sleep 0.1
  done
  [ -n "$pid" ] || return 1
  printf '%s' "$pid"
}

# demo_start_web ROOT PORT BUILD: starts lighttpd in the background of this
# shell and waits until it accepts on the port; sets demo_web_pid. On failure
# returns 1 (2 when the port is taken) with the reason on stderr.
demo_start_web() {
  local root=$1 port=$2 build=$3 conf state
  conf=$(demo_write_conf "$root" "$port" "$build") || return 1
  state=$(demo_state_dir "$root")
  if ! "$demo_lighttpd" -tt -f "$conf" > "$state/check.log" 2>&1; then
    cat "$state/check.log" >&2
    return 1
  fi
  : > "$state/start.log"
  "$demo_lighttpd" -D -f "$conf" >> "$state/start.log" 2>&1 &
  demo_web_pid=$!
  printf '%s\n' "$demo_web_pid" > "$(demo_web_pid_file "$root")"
  for _ in $(seq 100); do
    if ! demo_alive "$demo_web_pid"; then
      wait "$demo_web_pid" 2>/dev/null
      demo_web_pid=""
      if grep -qi "address already in use" "$state/start.log" "$state/error.log" 2>/dev/null; then
        echo "port $port on 127.0.0.1 is in use by another program" >&2
        return 2
      fi
      echo "the web server did not start:" >&2
      tail -n 5 "$state/start.log" "$state/error.log" >&2 2>/dev/null
      return 1
    fi
    demo_port_in_use "$port" && return 0
    sleep 0.1
  done
  echo "the web server does not answer on port $port" >&2
  demo_stop_pid "$demo_web_pid"
  return 1
}

# demo_stop_all ROOT: ends the web server (and any request it still runs) and
# the simulator of ROOT, by the ids in their pid files.
demo_stop_all() {
  local root=$1 pid children child
  if pid=$(demo_pid_of "$(demo_web_pid_file "$root")" "$root"); then
    # Requests may be waiting on the daemon for minutes: they end with it.
    children=$(demo_children "$pid")
    demo_stop_pid "$pid"
    for child in $children; do
      [ -r "/proc/$child/cmdline" ] && grep -qaF nvr-cgi "/proc/$child/cmdline" &&
        demo_stop_pid "$child"
    done
  fi
  if pid=$(demo_pid_of "$(demo_sim_pid_file "$root")" "$root"); then
    demo_stop_pid "$pid"
  fi
  rm -f "$(demo_web_pid_file "$root")" "$(demo_sim_pid_file "$root")"
}
