#!/usr/bin/env bash
# listFolder in tree mode over 100,000 files in 100 folders, end to end
# through quarrytide-headless, against the minimal loop doing the same system
# calls and against find. Best of three warm runs each, as wall time and as
# CPU time (user + system; the fairer figure on a busy machine).
# Usage: bash bench/listing/run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin="$build/bin"
for exe in quarrytide-headless bench-listing-loop; do
  [[ -x "$bin/$exe" ]] || { echo "missing $bin/$exe: build first" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "needs GNU time (/usr/bin/time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quarrytide-bench-listing-XXXXXX")
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
mkdir "$tree" "$work/config"
"$bin/bench-listing-loop" make "$tree"
echo "{\"id\":1,\"cmd\":\"listFolder\",\"args\":{\"folder\":\"$tree\",\"recursive\":true}}" > "$work/request"

headless() { XDG_CONFIG_HOME="$work/config" "$bin/quarrytide-headless" < "$work/request" > "$work/reply"; }
loop() { "$bin/bench-listing-loop" walk "$tree" > /dev/null; }
find_printf() { find "$tree" -printf '%p %s %T@\n' > /dev/null; }
export -f headless loop find_printf
export work bin tree

# Sets best_wall and best_cpu (ms) over three runs of the function $1, and
# peak_kb to the largest resident size seen.
measure() {
  best_wall="" best_cpu="" peak_kb=0
  local wall cpu kb user sys
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" bash -c "$1"
    read -r wall user sys kb < "$work/time"
    wall=$(awk -v w="$wall" 'BEGIN { printf "%d", w * 1000 }')
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
    [[ -z "$best_wall" || $wall -lt $best_wall ]] && best_wall=$wall
    [[ -z "$best_cpu" || $cpu -lt $best_cpu ]] && best_cpu=$cpu
    (( kb > peak_kb )) && peak_kb=$kb
  done
  return 0
}

# Warm the caches, and check that the reply really holds every file.
headless
# (large replies carry their JSON as a string: quotes escaped)
records=$(grep -oE 'modified\\?":' "$work/reply" | wc -l)
[[ $records -eq 100000 ]] || { echo "reply holds $records records, not 100000" >&2; exit 1; }
reply_mb=$(( $(stat -c %s "$work/reply") / 1024 / 1024 ))
loop
find_printf

measure headless; h_wall=$best_wall h_cpu=$best_cpu h_peak=$peak_kb
measure loop; l_wall=$best_wall l_cpu=$best_cpu
measure find_printf; f_wall=$best_wall f_cpu=$best_cpu

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
echo "listing: 100000 files in 100 folders, tree mode, reply ${reply_mb} MB (best of 3, wall / cpu)"
echo "  quarrytide-headless listFolder:            ${h_wall} ms / ${h_cpu} ms"
echo "  minimal loop (readdir, statx, 2 getxattr): ${l_wall} ms / ${l_cpu} ms"
echo "  find -printf:                              ${f_wall} ms / ${f_cpu} ms"
echo "  ratio headless / loop: $(ratio "$h_wall" "$l_wall") wall, $(ratio "$h_cpu" "$l_cpu") cpu (target <= 1.5)"
echo "  ratio headless / find: $(ratio "$h_wall" "$f_wall") wall, $(ratio "$h_cpu" "$f_cpu") cpu"
echo "  headless peak memory: $(( h_peak / 1024 )) MB (target < 250)"
