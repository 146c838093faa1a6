#!/usr/bin/env bash
# The command line's dry run: `quarrytide rename --rules five.json` over
# 100,000 files in one folder (a five-rule chain: replace, regex, case,
# numbering, extension), and over 10 files, where starting the program is
# most of the time. Best of three (100,000) and of seven (10), wall time.
# Usage: bash bench/cli/run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
app=$build/bin/quarrytide
[[ -x $app ]] || { echo "missing $app: build first" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/quarrytide-bench-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$work/big" "$work/ten"
python3 - "$work" <<'PY'
import os, sys
w = sys.argv[1]
for i in range(100000):
    open(os.path.join(w, 'big', f'IMG_{i:06d}.JPG' if i % 5 else f'Beach (copy) {i}.jpeg'), 'w').close()
for i in range(10):
    open(os.path.join(w, 'ten', f'IMG_{i:06d}.JPG'), 'w').close()
PY
cat > "$work/five.json" <<'JSON'
[{"type":"replace","find":"img_","with":"Trip ","caseSensitive":false,"occurrence":"all"},
 {"type":"regex","pattern":"\\s*\\(copy\\)","with":"","caseSensitive":true,"global":true},
 {"type":"case","mode":"title"},
 {"type":"number","start":1,"step":1,"pad":6,"position":"suffix","sep":"-"},
 {"type":"ext","mode":"lower"}]
JSON

# best_ms COUNT FOLDER: the best wall time of COUNT dry runs, in ms
best_ms() {
  local best="" ms
  for _ in $(seq "$1"); do
    /usr/bin/time -f '%e' -o "$work/time" "$app" rename --rules "$work/five.json" "$2" > "$work/out"
    ms=$(awk '{ printf "%d", $1 * 1000 }' "$work/time")
    [[ -z $best || $ms -lt $best ]] && best=$ms
  done
  echo "$best"
}
"$app" rename --rules "$work/five.json" "$work/big" > "$work/out"  # warm the folder
tail -1 "$work/out" | grep -q '^100000 to rename, 0 with errors' || { echo "unexpected plan: $(tail -1 "$work/out")" >&2; exit 1; }
echo "dry run, 100,000 files, five rules: $(best_ms 3 "$work/big") ms   (target <= 2000 ms)"
echo "dry run, 10 files, five rules:      $(best_ms 7 "$work/ten") ms   (target <= 150 ms)"
