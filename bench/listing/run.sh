#!/usr/bin/env bash
# listFolder in tree mode over 100,000 files in 100 folders, end to end
# through quarrytide-headless, against the minimal loop doing the same system
# calls and against find. Best of three warm runs each.
# Usage: bash bench/listing/run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin="$build/bin"
for exe in quarrytide-headless bench-listing-loop; do
  [[ -x "$bin/$exe" ]] || { echo "missing $bin/$exe: build first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quarrytide-bench-listing-XXXXXX")
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
mkdir "$tree" "$work/config"
"$bin/bench-listing-loop" make "$tree"

request="{\"id\":1,\"cmd\":\"listFolder\",\"args\":{\"folder\":\"$tree\",\"recursive\":true}}"
now() { date +%s%N; }

# Prints the best wall time of three runs of "$@", in milliseconds.
best_of_three() {
  local best="" start end ms
  for _ in 1 2 3; do
    start=$(now)
    "$@" > /dev/null
    end=$(now)
    ms=$(( (end - start) / 1000000 ))
    [[ -z "$best" || $ms -lt $best ]] && best=$ms
  done
  echo "$best"
}

headless() { XDG_CONFIG_HOME="$work/config" "$bin/quarrytide-headless" <<< "$request" > "$work/reply"; }
loop() { "$bin/bench-listing-loop" walk "$tree"; }
find_printf() { find "$tree" -printf '%p %s %T@\n'; }

# Warm the caches, and check that the reply really holds every file.
headless
records=$(grep -o '"modified":' "$work/reply" | wc -l)
[[ $records -eq 100000 ]] || { echo "reply holds $records records, not 100000" >&2; exit 1; }
loop > /dev/null
find_printf > /dev/null

t_headless=$(best_of_three headless)
t_loop=$(best_of_three loop)
t_find=$(best_of_three find_printf)

peak_kb=unknown
if [[ -x /usr/bin/time ]]; then
  XDG_CONFIG_HOME="$work/config" /usr/bin/time -f '%M' -o "$work/peak" \
    "$bin/quarrytide-headless" <<< "$request" > /dev/null
  peak_kb=$(tail -1 "$work/peak")
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
echo "listing: 100000 files in 100 folders, tree mode, reply $(( $(stat -c %s "$work/reply") / 1024 / 1024 )) MB"
echo "  quarrytide-headless listFolder: ${t_headless} ms"
echo "  minimal loop (readdir, statx, 2 getxattr): ${t_loop} ms"
echo "  find -printf: ${t_find} ms"
echo "  ratio headless / loop: $(ratio "$t_headless" "$t_loop") (target <= 1.5)"
echo "  ratio headless / find: $(ratio "$t_headless" "$t_find")"
if [[ $peak_kb != unknown ]]; then
  echo "  headless peak memory: $(( peak_kb / 1024 )) MB (target < 250)"
else
  echo "  headless peak memory: unknown (/usr/bin/time not installed)"
fi
