#!/usr/bin/env bash
# End-to-end tests of the desktop application under Xvfb.
# Usage: tests/e2e/run-suite.sh BUILD_DIR
# QUARRYTIDE_E2E_ONLY=word runs only the steps whose names contain the word.
# Screenshots: BUILD_DIR/e2e/app.png (the real page), failure.png (the screen).
# The app runs from throwaway install layouts (bin/ beside share/quarrytide/web):
# one whose web folder holds the test page, one with the real page.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool xprop WebKitWebDriver node getfattr; do
  command -v $tool >/dev/null || { echo "e2e: $tool is missing (make deps installs it)"; exit 1; }
done
for bin in quarrytide quarrytide-window quarrytide_e2e_helper; do
  [ -x "$build/bin/$bin" ] || { echo "e2e: $build/bin/$bin is not built"; exit 1; }
done

work=$(mktemp -d)
# The web processes may still be writing their caches for a moment after the app ends.
trap 'rm -rf "$work" 2>/dev/null || { sleep 2; rm -rf "$work"; }' EXIT
mkdir -p "$work/prefix/bin" "$work/prefix/share/quarrytide"
cp "$build/bin/quarrytide" "$build/bin/quarrytide-window" "$work/prefix/bin/"
cp -r "$here/page" "$work/prefix/share/quarrytide/web"
mkdir -p "$work/real/bin" "$work/real/share/quarrytide"
cp "$build/bin/quarrytide" "$build/bin/quarrytide-window" "$work/real/bin/"
cp -r "$here/../../web" "$work/real/share/quarrytide/web"
echo secret > "$work/secret.txt"
ln -s "$work/secret.txt" "$work/prefix/share/quarrytide/web/out.txt"

# A private desktop whose "browser" only records the links it is given.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$work/share GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME/applications"
printf '#!/bin/sh\necho "$1" >> %s/links.txt\n' "$work" > "$work/record-link"
chmod +x "$work/record-link"
cat > "$XDG_DATA_HOME/applications/quarrytide-test-browser.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Link recorder
Exec=$work/record-link %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
DESKTOP
printf '[Default Applications]\nx-scheme-handler/http=quarrytide-test-browser.desktop\nx-scheme-handler/https=quarrytide-test-browser.desktop\n' \
  > "$XDG_CONFIG_HOME/mimeapps.list"
unset DBUS_SESSION_BUS_ADDRESS
# the probe that reads a selected photo for the real page, wherever this build put it
export QUARRYTIDE_PROBE=$build/bin/quarrytide-probe

timeout 600 xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" \
  node "$here/suite.mjs" "$work/prefix/bin/quarrytide" "$work/real/bin/quarrytide" "$build/bin/quarrytide_e2e_helper" "$build/e2e" "$work"
