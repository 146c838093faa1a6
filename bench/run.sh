#!/usr/bin/env bash
# Runs every benchmark (bench/*/run.sh), each given the build folder.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."
status=0
for b in bench/*/run.sh; do
  echo "=== bench $(basename "$(dirname "$b")")"
  bash "$b" "$build" || status=1
done
exit $status
