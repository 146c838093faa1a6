#!/usr/bin/env bash
# The real page in the real application, under Xvfb: a user opens a folder,
# builds a rule chain, meets a conflict, applies, reads the results and undoes,
# and every step is checked on disk.
# Usage: tests/e2e-page/run-suite.sh BUILD_DIR
# Screenshot of the listed folder: BUILD_DIR/e2e-page/app.png.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR"; exit 2; }
build=$(cd "$1" && pwd) || exit 1
for tool in xvfb-run WebKitWebDriver node getfattr; do
  command -v "$tool" >/dev/null || { echo "e2e-page: $tool is missing (make deps installs it)"; exit 1; }
done
[ -x "$build/bin/quarrytide" ] || { echo "e2e-page: $build/bin/quarrytide is not built"; exit 1; }

work=$(mktemp -d)
# The web processes may still be writing their caches for a moment after the app ends.
trap 'rm -rf "$work" 2>/dev/null || { sleep 2; rm -rf "$work"; }' EXIT
# An install layout, so the page is served from share/ exactly as installed.
mkdir -p "$work/prefix/bin" "$work/prefix/share/quarrytide"
cp "$build/bin/quarrytide" "$work/prefix/bin/"
cp -r "$root/web" "$work/prefix/share/quarrytide/web"

# A private desktop: no saved settings, recent folders or session bus of the user's.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$work/share XDG_STATE_HOME=$work/state GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME"
unset DBUS_SESSION_BUS_ADDRESS

timeout 170 xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" \
  node "$here/scenario.mjs" "$work/prefix/bin/quarrytide" "$build/e2e-page" "$work"
status=$?
[ $status -eq 124 ] && echo "e2e-page: the run did not finish within 170 s"
exit $status
