#!/usr/bin/env bash
# The command line as a script uses it, without a display: a dry run that
# changes nothing, --json, a chain whose problems keep the batch from running,
# --apply through the journal, history, and an undo that gives legacy names
# back byte for byte; a preset by name; usage errors.
# Usage: tests/cli/run_test.sh BIN_DIR
set -uo pipefail
app=$1/quarrytide
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state LANGUAGE=en
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "cli: $*"; exit 1; }
d=$work/d
mkdir -p "$d"
for n in IMG_1.jpg IMG_2.jpg keep.txt; do echo "$n" > "$d/$n"; done
printf x > "$d/$(printf 'caf\xe9.jpg')"
listing() { (cd "$d" && ls | od -An -c | tr -s ' '); }
before=$(listing)
echo '[{"type":"replace","find":"IMG_","with":"photo "},{"type":"repair"}]' > "$work/r.json"

out=$("$app" rename --rules "$work/r.json" "$d") || fail "a clean dry run exits 0"
grep -qx 'IMG_1.jpg → photo 1.jpg' <<<"$out" && grep -qx 'caf\\xE9.jpg → café.jpg' <<<"$out" || fail "the dry run shows: $out"
[ "$(listing)" = "$before" ] || fail "a dry run changed nothing"
"$app" rename --rules "$work/r.json" --json "$d" | python3 -c '
import json, sys
rows = [json.loads(l) for l in sys.stdin]
assert len(rows) == 4 and {r["newPath"].rsplit("/", 1)[1] for r in rows} == {"photo 1.jpg", "photo 2.jpg", "café.jpg", "keep.txt"}, rows
assert [r for r in rows if "rawPath" in r][0]["path"].endswith("caf\\xE9.jpg")' || fail "--json gives one object per item"

echo '[{"type":"template","pattern":"same"}]' > "$work/same.json"
"$app" rename --rules "$work/same.json" --apply "$d" > "$work/same.out"; [ $? = 1 ] || fail "colliding names exit 1"
grep -q 'error: ' "$work/same.out" && [ "$(listing)" = "$before" ] || fail "colliding names change nothing"

"$app" rename --rules "$work/r.json" --apply "$d" > /dev/null || fail "--apply exits 0"
[ "$(cd "$d" && ls | sort | tr '\n' '|')" = "café.jpg|keep.txt|photo 1.jpg|photo 2.jpg|" ] || fail "--apply renamed: $(ls "$d")"
"$app" history | grep -q 'Rename 3 items (command line): 3 done, 0 failed' || fail "history lists the batch"
"$app" undo > /dev/null || fail "undo exits 0"
[ "$(listing)" = "$before" ] || fail "undo gave every name back byte for byte"
[ "$("$app" history --json | wc -l)" = 2 ] || fail "history --json: one line per batch"

# what is inside the files, read by the app's own helpers
mkdir -p "$work/p" && ffmpeg -loglevel error -f lavfi -i color=red:s=8x8 -frames:v 1 "$work/p/a.jpg" && exiftool -q -overwrite_original -DateTimeOriginal="2023:05:01 10:00:00" "$work/p/a.jpg"
echo '[{"type":"template","pattern":"{taken:YYYY-MM-DD}"}]' > "$work/taken.json"
"$app" rename --rules "$work/taken.json" "$work/p" | grep -qx 'a.jpg → 2023-05-01.jpg' || fail "the date taken, read from inside the photo"

mkdir -p "$XDG_CONFIG_HOME/quarrytide"
python3 -c 'import json, sys; print(json.dumps({"lastRenameConfig": json.dumps({"presets": [{"name": "Up", "rules": [{"type": "case", "mode": "upper"}]}]})}))' \
  > "$XDG_CONFIG_HOME/quarrytide/settings.json"
"$app" rename --preset Up "$d/keep.txt" | grep -qx 'keep.txt → KEEP.txt' || fail "a preset by name, on a file given"
for args in "rename $d" "rename --rules" "rename --preset Nope $d" "rename --rules $work/r.json $work/none" "rename --bogus" "undo nope" "--bogus $d"; do
  "$app" $args > /dev/null 2> "$work/err"; [ $? = 2 ] && [ -s "$work/err" ] || fail "'$args' is a usage error with a message"
done
"$app" --help | grep -q '^Usage: quarrytide' || fail "--help needs no display"
echo "cli: all passed"
