#!/usr/bin/env bash
# Runs every test suite once, prints how long each took, and fails if any failed.
# Usage: tests/run-suites.sh BUILD_DIR ASAN_BUILD_DIR JOBS
set -uo pipefail
build=$1 asan=$2 jobs=$3
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Tests never touch the user's desktop: a private HOME and config, in-memory settings.
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
export HOME=$sandbox/home XDG_CONFIG_HOME=$sandbox/config XDG_CACHE_HOME=$sandbox/cache
export XDG_DATA_HOME=$sandbox/data XDG_STATE_HOME=$sandbox/state GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME"

passed=0 failed=0 report=""
suite() {  # suite NAME COMMAND...
  local name=$1; shift
  local start=$SECONDS
  echo "=== suite $name"
  if "$@"; then passed=$((passed + 1)); local verdict=passed
  else failed=$((failed + 1)); local verdict=FAILED; fi
  report+=$(printf '%-12s %-7s %4ds' "$name" "$verdict" $((SECONDS - start)))$'\n'
}

suite unit ctest --test-dir "$build" --output-on-failure -j "$jobs"
# The same tests with ASan and UBSan; the killed batches in fewer rounds,
# as every round is five times slower there and the unit suite has run all six.
suite sanitizers bash -c "
  [ -f '$asan/CMakeCache.txt' ] || cmake -S . -B '$asan' -DCMAKE_BUILD_TYPE=Debug \
      -DQUARRYTIDE_SHELL=OFF -DQUARRYTIDE_SANITIZE=ON >/dev/null &&
  cmake --build '$asan' -j '$jobs' &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      QUARRYTIDE_CRASH_ROUNDS=3 ctest --test-dir '$asan' --output-on-failure -j '$jobs'"
# The portable queue, dispatcher and bridge code under ThreadSanitizer. GLib's
# own locking is invisible to it, so these tests use the standard-library
# main queue, never a GLib loop.
tsan=${build}-tsan
suite threads bash -c "
  [ -f '$tsan/CMakeCache.txt' ] || cmake -S . -B '$tsan' -DCMAKE_BUILD_TYPE=Debug \
      -DQUARRYTIDE_SHELL=OFF -DQUARRYTIDE_SANITIZE=thread >/dev/null &&
  cmake --build '$tsan' -j '$jobs' --target bridge_tests &&
  TSAN_OPTIONS=halt_on_error=1 '$tsan/bin/bridge_tests'"
for extra in tests/*/run-suite.sh; do
  [ -f "$extra" ] || continue
  suite "$(basename "$(dirname "$extra")")" bash "$extra" "$build"
done

echo
echo "suite        result    time"
printf '%s' "$report"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
