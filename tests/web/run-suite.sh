#!/usr/bin/env bash
# The page's tests: node unit tests of the pure modules, then browser tests in
# Chromium against the real native side of this build (quarrytide-headless).
# Usage: tests/web/run-suite.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export QUARRYTIDE_BIN=${QUARRYTIDE_BIN:-$(cd "${1:-$here/../../build}" && pwd)/bin}
export QUARRYTIDE_CHROMIUM=${QUARRYTIDE_CHROMIUM:-$(command -v chromium)}
cd "$here"

if [ ! -x node_modules/.bin/playwright-core ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  timeout 60 npm ci --no-audit --no-fund --loglevel=error || { echo "npm ci failed"; exit 1; }
fi
status=0
echo "--- page unit tests"
timeout 45 node --test --test-reporter=dot unit/ || status=1
echo "--- page browser tests"
[ -n "$QUARRYTIDE_CHROMIUM" ] || { echo "chromium is not installed (Debian package chromium): browser tests cannot run"; exit 1; }
timeout 300 node --test --test-reporter=dot --test-concurrency=1 browser/ || status=1
[ $status -eq 0 ] && echo "page tests passed" || echo "page tests FAILED"
exit $status
