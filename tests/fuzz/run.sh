#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS.
# Usage: tests/fuzz/run.sh FUZZ_BUILD_DIR SECONDS
set -euo pipefail
dir=$1 seconds=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
[ -f "$dir/CMakeCache.txt" ] || CC=clang CXX=clang++ cmake -S . -B "$dir" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARRYTIDE_FUZZ=ON -DQUARRYTIDE_SHELL=OFF >/dev/null
# Only the fuzz targets and what they link: the rest of the tree is built
# and tested by the other suites.
targets=$(for f in tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done)
cmake --build "$dir" -j "$(nproc)" --target $targets
status=0
for name in $targets; do
  target=$dir/bin/$name
  name=$(basename "$target" _fuzz)
  seeds=tests/fuzz/corpus/$name
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "--- fuzz $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 \
       UBSAN_OPTIONS=print_stacktrace=1:suppressions=tests/fuzz/ubsan.supp \
       "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
       -print_final_stats=0 -artifact_prefix="$dir/$name-" "$work" >"$work.log" 2>&1; then
    tail -60 "$work.log"
    status=1
  else
    grep -E '^(#[0-9]+\s+DONE|Done)' "$work.log" | tail -1 || true
  fi
  rm -rf "$work" "$work.log"
done
exit $status
