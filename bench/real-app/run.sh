#!/usr/bin/env bash
# Benchmarks of the real application under Xvfb (figures only, no pass/fail).
# Usage: bench/real-app/run.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
for tool in xvfb-run WebKitWebDriver node xdotool ffmpeg exiftool setfattr; do
  command -v "$tool" >/dev/null || { echo "real-app bench: $tool is missing (make deps installs it)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work" 2>/dev/null || { sleep 2; rm -rf "$work"; }' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$work/share XDG_STATE_HOME=$work/state GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME"
unset DBUS_SESSION_BUS_ADDRESS
echo "--- 100,000-item preview (real app)"
timeout 300 xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" node "$here/preview.mjs" "$build/bin/quarrytide"
echo "--- opening big folders through the path field (real app; BIG=1 adds 1,000,000 files)"
timeout $([[ ${BIG:-} == 1 ]] && echo 3600 || echo 900) xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" node "$here/listing.mjs" "$build/bin/quarrytide"
echo "--- one Apply of 100,000 renames, 20,000 in rings (real app)"
timeout 600 xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" node "$here/batch.mjs" "$build/bin/quarrytide"
echo "--- the pointer and an opened folder: CPU of the app and its processes (real app)"
timeout 600 xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" node "$here/pointer.mjs" "$build/bin/quarrytide" "$build/bin/quarrytide-probe"
echo "--- a Template pattern typed key by key over 100 photos (real app)"
timeout 600 xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" node "$here/typing.mjs" "$build/bin/quarrytide" "$build/bin/quarrytide-probe"
