#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless:
# once in the normal build (build/) and once under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). Ends with CTest's summary and a
# combined "N passed, N failed" line.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(dirname "$here")
jobs=$(nproc 2>/dev/null || echo 2)

"$here/setup.sh" "$top/build" || { echo "0 passed, 1 failed"; exit 1; }
"$here/setup.sh" "$top/build-asan" -DTELLURA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  || { echo "0 passed, 1 failed"; exit 1; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export GST_REGISTRY_FORK=no

passed=0; failed=0; status=0
run_suite() {
  local dir=$1 log
  log=$(mktemp)
  # One X server for the whole suite; tests that need a display use it.
  xvfb-run -a -s "-screen 0 1600x1200x24" \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line total fail
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    fail=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* tests failed out of ([0-9]+).*/\1/')
    passed=$((passed + total - fail)); failed=$((failed + fail))
  elif [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))
  fi
  [ "$rc" -eq 0 ] || status=1
  rm -f "$log"
}

echo "== normal build =="
run_suite "$top/build"
echo "== sanitizer build =="
# Mesa's software GL crashes at random inside its X calls under the
# sanitizers; this run draws with ximagesink (the normal run covers GL).
TELLURA_VIDEO_SINK=${TELLURA_VIDEO_SINK:-x} run_suite "$top/build-asan"
if [ -x "$here/fuzz.sh" ]; then
  echo "== fuzz runs =="
  if "$here/fuzz.sh"; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
fi
echo "$passed passed, $failed failed"
exit $status
