#!/usr/bin/env bash
# readMedia through quarrytide-headless on 10,000 photos with Exif, against
# exiftool and against a one-thread exiv2 loop reading the same two fields;
# and on 1,000 MP3s against a one-thread TagLib loop. Best of three warm
# runs (exiftool: one), wall time: of the whole headless process, and of the
# request alone in a bridge already running (as the app's is). Figures only.
# Usage: bash bench/media/run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin="$build/bin"
for exe in quarrytide-headless quarrytide-probe bench-media-loop; do
  [[ -x "$bin/$exe" ]] || { echo "missing $bin/$exe: build first" >&2; exit 1; }
done
for tool in exiftool ffmpeg; do
  command -v $tool >/dev/null || { echo "media bench: $tool is missing (make deps installs it)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quarrytide-bench-media-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/photos" "$work/songs" "$work/config"
"$bin/bench-media-loop" make "$work/photos" 10000
ffmpeg -nostdin -v error -f lavfi -i sine=duration=1 -b:a 64k -metadata artist=Ana \
  -metadata title=Song -metadata album=Harbour -metadata track=1/10 "$work/song.mp3"
for k in $(seq -w 1 1000); do cp "$work/song.mp3" "$work/songs/song $k.mp3"; done

# One request naming every file of a folder.
request() {
  find "$1" -type f | sort | awk 'BEGIN { printf "{\"id\":1,\"cmd\":\"readMedia\",\"args\":{\"paths\":[" }
    { gsub(/"/, "\\\""); printf "%s\"%s\"", (NR > 1 ? "," : ""), $0 } END { print "]}}" }'
}
request "$work/photos" > "$work/photos.json"
sed 's/]}}$/],"all":true}}/' "$work/photos.json" > "$work/photos-all.json"
request "$work/songs" > "$work/songs.json"

now() { date +%s%N; }
# Best wall time (ms) of three runs of the command "$@".
best() {
  local b="" t
  for _ in 1 2 3; do
    t=$(now); "$@" > "$work/out"; t=$(( ($(now) - t) / 1000000 ))
    [[ -z "$b" || $t -lt $b ]] && b=$t
  done
  echo "$b"
}
headless() { XDG_CONFIG_HOME="$work/config" "$bin/quarrytide-headless" < "$1"; }
# Best time (ms) of three: request file $1 answered by a bridge that is
# running already, as in the app (one request of $2 started it and its
# helpers), from the request written to its reply read.
served() {
  local b="" t
  for _ in 1 2 3; do
    coproc BRIDGE { XDG_CONFIG_HOME="$work/config" "$bin/quarrytide-headless"; }
    echo "$2" >&"${BRIDGE[1]}"
    head -n 1 <&"${BRIDGE[0]}" > /dev/null
    t=$(now)
    cat "$1" >&"${BRIDGE[1]}"
    head -n 1 <&"${BRIDGE[0]}" > /dev/null
    t=$(( ($(now) - t) / 1000000 ))
    exec {BRIDGE[1]}>&-
    wait "$BRIDGE_PID"
    [[ -z "$b" || $t -lt $b ]] && b=$t
  done
  echo "$b"
}

headless "$work/photos.json" > "$work/reply"
# Large replies come as JSON.parse of a string: quotes may be escaped.
taken=$(grep -o 'dateTaken[\\"]*:[\\"]*2024-07-13T14:02:11' "$work/reply" | wc -l)
[[ $taken -eq 10000 ]] || { echo "reply holds $taken dates taken, not 10000" >&2; exit 1; }
h=$(best headless "$work/photos.json")
ha=$(best headless "$work/photos-all.json")
l=$(best "$bin/bench-media-loop" exiv2 "$work/photos")
t=$(now); exiftool -fast -j -DateTimeOriginal -Model -r "$work/photos" > /dev/null 2>&1; e=$(( ($(now) - t) / 1000000 ))
hs=$(best headless "$work/songs.json")
warm='{"id":0,"cmd":"readMedia","args":{"paths":["'"$work/song.mp3"'"]}}'
hw=$(served "$work/photos.json" "$warm")
hsw=$(served "$work/songs.json" "$warm")
ls=$(best "$bin/bench-media-loop" taglib "$work/songs")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
echo "media: 10000 photos with Exif, 1000 MP3s (wall time, best of 3; exiftool once)"
echo "  quarrytide-headless readMedia, photos:  ${h} ms"
echo "  the same with every tag (all):          ${ha} ms = $(ratio "$ha" "$h") x without (target <= 1.5)"
echo "  one-thread exiv2 loop (date, model):    ${l} ms"
echo "  exiftool -fast -j:                      ${e} ms"
echo "  ratio exiftool / headless: $(ratio "$e" "$h") (target >= 20)"
echo "  ratio headless / exiv2 loop: $(ratio "$h" "$l") (target <= 1)"
echo "  readMedia in a running bridge, photos:  ${hw} ms = $(ratio "$hw" "$l") x the exiv2 loop (target <= 0.7)"
echo "  quarrytide-headless readMedia, MP3s:    ${hs} ms"
echo "  one-thread TagLib loop (artist):        ${ls} ms"
echo "  ratio headless / TagLib loop: $(ratio "$hs" "$ls") (target <= 1)"
echo "  readMedia in a running bridge, MP3s:    ${hsw} ms = $(ratio "$hsw" "$ls") x the TagLib loop (target <= 0.8)"
