#!/usr/bin/env bash
# Into folders: 10,000 files moved into 120 new folders by one runBatch
# (folders: true) against the minimal mkdir + renameat2 loop; and 2 GB of
# files copied from a tmpfs to the disk by one runBatch (copy: true: each
# file written, flushed, read back and compared) against
# `cp --preserve=timestamps,xattr`, a flush of each copy and a read-back
# (cmp). Usage: run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin=$build/bin
count=${FOLDERS_BENCH_COUNT:-10000}
folders=${FOLDERS_BENCH_FOLDERS:-120}
copy_mb=${FOLDERS_BENCH_COPY_MB:-2048}
file_mb=8
rounds=${FOLDERS_BENCH_ROUNDS:-3}
for b in quarrytide-headless bench-apply-rename-loop; do
  [ -x "$bin/$b" ] || { echo "missing $bin/$b (build first)"; exit 1; }
done
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || { echo "no writable tmpfs at $shm"; exit 1; }

work=$(mktemp -d)
source=$(mktemp -d "$shm/qt-bench-XXXXXX")
trap 'rm -rf "$work" "$source"' EXIT
dir=$work/items dest=$work/copies
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state

now() { date +%s%N; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
fresh() {  # $count empty files fNNNNN in $dir, nothing else; $dest empty
  rm -rf "$dir" "$dest" && mkdir -p "$dir" "$dest"
  (cd "$dir" && seq -f 'f%05g' 0 $((count - 1)) | xargs touch)
}
best() {  # best CMD...: sets wall (ns) of the fastest of $rounds runs, each on fresh items
  wall=""
  local t0 t
  for _ in $(seq "$rounds"); do
    fresh
    sync
    t0=$(now)
    "$@"
    t=$(($(now) - t0))
    if [ -z "$wall" ] || [ "$t" -lt "$wall" ]; then wall=$t; fi
  done
}
check() {  # check REPLY: every change succeeded (a large reply's quotes come escaped)
  if grep -Eq '\\?"ok\\?":false' "$1" || ! grep -Eq '\\?"ok\\?":true' "$1"; then
    echo "runBatch failed: $(head -c 300 "$1")"; exit 1
  fi
}
headless() { "$bin/quarrytide-headless" < "$work/$1.json" > "$work/reply"; check "$work/reply"; }

# The moves: item i into folder d(i % folders), as the loop does.
awk -v n="$count" -v f="$folders" -v d="$dir" 'BEGIN {
  printf "{\"id\":1,\"cmd\":\"runBatch\",\"args\":{\"folders\":true,\"changes\":["
  for (i = 0; i < n; i++)
    printf "%s{\"path\":\"%s/f%05d\",\"newPath\":\"%s/d%03d/f%05d\"}", i ? "," : "", d, i, d, i % f, i
  printf "]}}\n" }' > "$work/moves.json"
best headless moves; moves=$wall
[ "$(find "$dir" -type f | wc -l)" -eq "$count" ] && [ "$(ls "$dir" | grep -c '^d')" -eq "$folders" ] ||
  { echo "moves missing"; exit 1; }
best "$bin/bench-apply-rename-loop" "$dir" "$count" "$folders"; moves_loop=$wall

# The copies: files of $file_mb MB of random bytes, with a tag each.
files=$((copy_mb / file_mb))
for ((i = 0; i < files; i++)); do
  head -c $((file_mb << 20)) /dev/urandom > "$source/p$i.jpg"
  setfattr -n user.xdg.tags -v "card" "$source/p$i.jpg" 2>/dev/null || true
done
awk -v n="$files" -v s="$source" -v d="$dest" 'BEGIN {
  printf "{\"id\":1,\"cmd\":\"runBatch\",\"args\":{\"folders\":true,\"copy\":true,\"changes\":["
  for (i = 0; i < n; i++) printf "%s{\"path\":\"%s/p%d.jpg\",\"newPath\":\"%s/p%d.jpg\"}", i ? "," : "", s, i, d, i
  printf "]}}\n" }' > "$work/copies.json"
cpread() {
  cp --preserve=timestamps,xattr "$source"/*.jpg "$dest"/
  sync "$dest"/*.jpg "$dest"
  for f in "$source"/*.jpg; do cmp -s "$f" "$dest/${f##*/}" || { echo "copy differs"; exit 1; }; done
}
best headless copies; copies=$wall
[ "$(ls "$dest" | wc -l)" -eq "$files" ] && cmp -s "$source/p0.jpg" "$dest/p0.jpg" || { echo "copies missing"; exit 1; }
best cpread; copies_cp=$wall

echo "into folders: best of $rounds wall times (process start included)"
echo "moves: $count files into $folders new folders: runBatch $(ms "$moves") ms, mkdir + renameat2 loop $(ms "$moves_loop") ms = $(ratio "$moves" "$moves_loop") x (target 1.3)"
echo "copies: $files files, $copy_mb MB, tmpfs to disk: runBatch copy $(ms "$copies") ms, cp + sync + cmp $(ms "$copies_cp") ms = $(ratio "$copies" "$copies_cp") x (target 1.2)"
