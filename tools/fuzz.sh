#!/bin/sh
# Builds the libFuzzer targets (clang, ASan + UBSan) into build-fuzz/ and runs
# each of them for a bounded time, starting from the committed seed corpora
# (fuzz/corpus/<target>/) with the dictionaries (fuzz/dict/<target>.dict).
#
#   tools/fuzz.sh [seconds-per-target] [target...]   run at length (default 600 s)
#   tools/fuzz.sh --ci [target...]                    the CI step: 20 s per target
#   tools/fuzz.sh --seeds                             regenerate the seed corpora from the
#                                                     end-to-end tests' requests and replies
#
# NVR_FUZZ_TABLES=storage,video keeps the route target (and the tables the
# reply target learns) to those modules. New inputs collect in build-fuzz/corpus/<target>/, findings in
# build-fuzz/findings/, logs in build-fuzz/logs/. The exit status is non-zero
# when a target found something.
set -e
cd "$(dirname "$0")/.."
all_targets="body multipart routes replies"
seconds=600
case "$1" in
  --ci) seconds=20; shift ;;
  --seeds) mode=seeds; shift ;;
  [0-9]*) seconds=$1; shift ;;
esac
targets=${*:-$all_targets}

build_fuzz() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DNVR_FUZZ=ON -DNVR_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  # shellcheck disable=SC2046
  ninja -C build-fuzz $(for t in $targets; do echo "fuzz-$t"; done)
}

if [ "$mode" = seeds ]; then
  # Every request the end-to-end tests send and every reply the simulated
  # daemon gives, merged into the smallest set that keeps their coverage.
  raw=$(mktemp -d /tmp/nvr-fuzz-seeds-XXXXXX)
  trap 'rm -rf "$raw"' EXIT
  cmake -S . -B build -G Ninja -DNVR_TESTS=ON >/dev/null
  ninja -C build nvr-cgi nvr-cored nvr-e2e platform-bin
  NVR_FUZZ_SEED_DIR=$raw build/tests/nvr-e2e >/dev/null 2>&1 || true
  build_fuzz
  for t in $targets; do
    [ -d "$raw/$t" ] || continue
    mkdir -p "fuzz/corpus/$t"
    "build-fuzz/fuzz/fuzz-$t" -merge=1 -timeout=10 "fuzz/corpus/$t" "$raw/$t" \
      >"build-fuzz/merge-$t.log" 2>&1 || true
    echo "fuzz-$t: $(ls "fuzz/corpus/$t" | wc -l) seeds"
  done
  exit 0
fi

build_fuzz
mkdir -p build-fuzz/findings build-fuzz/logs
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in $targets; do
  mkdir -p "build-fuzz/corpus/$t" "fuzz/corpus/$t"
  log="build-fuzz/logs/$t.log"
  dict=""
  [ -f "fuzz/dict/$t.dict" ] && dict="-dict=fuzz/dict/$t.dict"
  # shellcheck disable=SC2086
  if ! "build-fuzz/fuzz/fuzz-$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t-" $dict \
      "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    status=1
    echo "fuzz-$t: FOUND SOMETHING, see $log and build-fuzz/findings/"
    # What was found, where CI's output shows it: the report and the input.
    sed -n '/^==[0-9]*==ERROR\|^==[0-9]*== ERROR\|deadly signal\|^SUMMARY/,$p' "$log" | head -40
    for f in build-fuzz/findings/"$t"-*; do
      [ -f "$f" ] && echo "input $f:" && od -c "$f" | head -20
    done
  fi
  # The last status line: executions, coverage (edges), speed.
  line=$(grep -E '^#[0-9]+' "$log" | tail -1)
  execs=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "fuzz-$t: ${seconds}s, ${execs:-?} execs/s, $(echo "$line" | grep -oE 'cov: [0-9]+' || echo 'cov: ?') edges, $(echo "$line" | grep -oE 'corp: [0-9]+' || true) inputs"
done
exit $status
