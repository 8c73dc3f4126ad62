#!/bin/sh
# Records the route catalogue's examples: runs the end-to-end suite with every
# run of nvr-cgi appended to a file (NVR_RECORD_EXAMPLES), then condenses the
# runs into docs/route_examples.json, which is committed and merged into
# build/openapi.json and build/api/index.html by the build.
#   tools/record-examples.sh            (GTEST_FILTER=... narrows the suite)
set -e
cd "$(dirname "$0")/.."
build=${NVR_BUILD_DIR:-build}
ninja -C "$build" nvr-cgi nvr-cored nvr-e2e nvr-routes platform-bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! NVR_RECORD_EXAMPLES="$work/runs.jsonl" "$build/tests/nvr-e2e" \
  ${GTEST_FILTER:+--gtest_filter="$GTEST_FILTER"} > "$work/e2e.log" 2>&1; then
  grep '^\[  FAILED' "$work/e2e.log" >&2 || true
  echo "some end-to-end tests failed; their runs are recorded all the same" >&2
fi
"$build/nvr-routes" --list > "$work/routes.txt"
python3 tools/condense-examples.py "$work/runs.jsonl" "$work/routes.txt" > "$work/fixture.json"
mv "$work/fixture.json" docs/route_examples.json
"$build/nvr-routes" --check docs/route_examples.json
