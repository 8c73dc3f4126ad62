# Shared by the HTTP tests: the demo's functions, the programs the tests need,
# and the checks that count failures.
#   . tests/http/test_lib.sh SOURCE_DIR
# shellcheck shell=bash

# shellcheck source=tools/demo/lib.sh
. "$1/tools/demo/lib.sh"
for program in "$demo_lighttpd" curl python3; do
  command -v "$program" > /dev/null || {
    echo "skipped: $program is not installed (tools/install-deps.sh)"
    exit 77
  }
done

failures=0
pass() { echo "ok   $1"; }
fail() {
  echo "FAIL $1" >&2
  failures=$((failures + 1))
}
check() {  # check NAME ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: got [$2], want [$3]"; fi
}
contains() {  # contains NAME TEXT PART
  case "$2" in *"$3"*) pass "$1" ;; *) fail "$1: [$2] lacks [$3]" ;; esac
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
