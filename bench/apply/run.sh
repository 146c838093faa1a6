#!/usr/bin/env bash
# 10,000 renames and 10,000 label changes, each in one apply request (the
# renames also as one runBatch) through
# quarrytide-headless, against the minimal loops of the same system calls
# (and the renames against a shell loop of `mv -n`). Usage: run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin=$build/bin
count=${APPLY_BENCH_COUNT:-10000}
# One process per item makes the mv loop slow (about 35 ms each on a loaded
# machine): it runs over a sample and is scaled to $count.
mv_count=${APPLY_BENCH_MV_COUNT:-1000}
rounds=${APPLY_BENCH_ROUNDS:-5}
for b in quarrytide-headless bench-apply-rename-loop bench-apply-label-loop; do
  [ -x "$bin/$b" ] || { echo "missing $bin/$b (build first)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dir=$work/items
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state

now() { date +%s%N; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }
fresh() {  # fresh: $count empty files fNNNNN, nothing else
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && seq -f 'f%05g' 0 $((count - 1)) | xargs touch)
}
request() {  # request KIND: one apply line for every item
  awk -v n="$count" -v d="$dir" -v kind="$1" 'BEGIN {
    printf "{\"id\":1,\"cmd\":\"%s\",\"args\":{\"%s\":[", kind == "batch" ? "runBatch" : "apply", kind == "batch" ? "changes" : "ops"
    for (i = 0; i < n; i++) {
      if (i) printf ","
      if (kind == "batch") printf "{\"path\":\"%s/f%05d\",\"newPath\":\"%s/g%05d\"}", d, i, d, i
      else if (kind == "rename") printf "{\"path\":\"%s/f%05d\",\"newName\":\"g%05d\"}", d, i, i
      else printf "{\"path\":\"%s/f%05d\",\"setLabel\":true,\"label\":6}", d, i
    }
    printf "]}}\n" }' > "$work/$1.json"
}
check() {  # check REPLY: every record succeeded (a large reply comes as a JSON string: quotes escaped)
  if grep -Eq '\\?"ok\\?":false' "$1" || ! grep -Eq '\\?"ok\\?":true' "$1"; then
    echo "apply failed: $(head -c 300 "$1")"; exit 1
  fi
}
best() {  # best CMD...: sets wall and cpu (ns) of the fastest of $rounds runs, each on fresh items
  wall="" cpu=""
  local before after t0 t
  for _ in $(seq $rounds); do
    fresh
    times > "$work/times"  # a builtin with a redirection runs in this shell, not a copy
    before=$(children_cpu)
    t0=$(now)
    "$@"
    t=$(( $(now) - t0 ))
    times > "$work/times"
    after=$(children_cpu)
    if [ -z "$wall" ] || [ "$t" -lt "$wall" ]; then wall=$t cpu=$((after - before)); fi
  done
}
children_cpu() {  # user + system time of finished children, in ns, from `times` output
  awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/);
    printf "%.0f", ((u[1] * 60 + u[2]) + (s[1] * 60 + s[2])) * 1e9 }' "$work/times"
}
headless() { "$bin/quarrytide-headless" < "$work/$1.json" > "$work/reply"; check "$work/reply"; }
mvloop() { cd "$dir"; for ((i = 0; i < mv_count; i++)); do printf -v f 'f%05d' $i; mv -n "$f" "g${f#f}"; done; cd - >/dev/null; }

request rename
request label
request batch
best headless rename; rename_apply=$wall rename_apply_cpu=$cpu
[ "$(ls "$dir" | grep -c '^g')" -eq "$count" ] || { echo "renames missing"; exit 1; }
best headless batch; rename_batch=$wall rename_batch_cpu=$cpu
[ "$(ls "$dir" | grep -c '^g')" -eq "$count" ] || { echo "runBatch renames missing"; exit 1; }
best "$bin/bench-apply-rename-loop" "$dir" "$count"; rename_loop=$wall rename_loop_cpu=$cpu
fresh
t0=$(now); mvloop; rename_mv=$(( ($(now) - t0) * count / mv_count ))
best headless label; label_apply=$wall label_apply_cpu=$cpu
[ "$(getfattr --only-values -n user.xdg.tags "$dir/f00000" 2>/dev/null)" = Red ] || { echo "label not written"; exit 1; }
best "$bin/bench-apply-label-loop" "$dir" "$count"; label_loop=$wall label_loop_cpu=$cpu

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "apply: $count items in one request, best of $rounds wall times (process start included); cpu = user + system"
echo "renames: apply $(ms "$rename_apply") ms (cpu $(ms "$rename_apply_cpu")), minimal loop $(ms "$rename_loop") ms (cpu $(ms "$rename_loop_cpu")), mv -n loop $(ms "$rename_mv") ms (scaled from $mv_count)"
echo "renames: apply / minimal loop = $(ratio "$rename_apply" "$rename_loop") wall, $(ratio "$rename_apply_cpu" "$rename_loop_cpu") cpu (target 1.5); mv -n loop / apply = $(ratio "$rename_mv" "$rename_apply")"
echo "renames: runBatch $(ms "$rename_batch") ms (cpu $(ms "$rename_batch_cpu")) = $(ratio "$rename_batch" "$rename_loop") x the minimal loop wall, $(ratio "$rename_batch_cpu" "$rename_loop_cpu") cpu (target 1.3; it also describes every item for the page)"
echo "labels: apply $(ms "$label_apply") ms (cpu $(ms "$label_apply_cpu")), getxattr+setxattr loop $(ms "$label_loop") ms (cpu $(ms "$label_loop_cpu"))"
echo "labels: apply / minimal loop = $(ratio "$label_apply" "$label_loop") wall, $(ratio "$label_apply_cpu" "$label_loop_cpu") cpu (target 1.5)"
