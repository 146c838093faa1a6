#!/usr/bin/env bash
# Page benchmarks: the rule chain and conflict check in node, the 100,000-row
# listing in Chromium. Usage: bench/web/run.sh (figures only, no pass/fail).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tests="$here/../../tests/web"
if [ ! -x "$tests/node_modules/.bin/playwright-core" ]; then
  (cd "$tests" && timeout 180 npm ci --no-audit --no-fund --loglevel=error) || { echo "npm ci failed"; exit 1; }
fi
echo "--- rule chain + conflict check (node)"
timeout 120 node "$here/rules.bench.js"
echo "--- 100,000-row listing (chromium)"
if command -v chromium >/dev/null || [ -n "${QUARRYTIDE_CHROMIUM:-}" ]; then
  (cd "$tests" && timeout 180 node "$here/list.bench.js")
  echo "--- 100,000-item preview (chromium)"
  (cd "$tests" && timeout 180 node "$here/preview.bench.js")
else
  echo "chromium is not installed: skipped"
fi
