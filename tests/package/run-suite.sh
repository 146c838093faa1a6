#!/usr/bin/env bash
# The Debian package as a user gets it: built from BUILD_DIR, installed with
# apt-get, the installed program started under Xvfb, then removed, leaving
# the installed packages as they were, also when a step fails.
# Usage: tests/package/run-suite.sh BUILD_DIR   (as root: it installs a package)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
[ "$(id -u)" = 0 ] || { echo "package: skipped, installing a package needs root"; exit 0; }
# One run at a time per machine: another run's package is not the user's copy.
exec 9>/tmp/quarrytide-package-suite.lock
flock -w 600 9
apt_get() { apt-get -y -q -o DPkg::Lock::Timeout=120 "$@"; }
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | sed -n 's/^ii  *//p' | sort; }
if installed | grep -qx quarrytide; then
  echo "package: quarrytide is installed already; this suite will not remove your copy"
  exit 1
fi

rm -f "$build"/quarrytide_*.deb
cmake --build "$build" --target package >"$build/package.log" 2>&1 || { cat "$build/package.log"; exit 1; }
deb=$(echo "$build"/quarrytide_*_amd64.deb)
work=$(mktemp -d)
before=$(installed)
cleanup() {
  apt_get remove quarrytide >/dev/null || true
  # Whatever the install pulled in goes with it.
  extra=$(comm -13 <(echo "$before") <(installed))
  [ -z "$extra" ] || apt_get remove $extra >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Libraries a program names without linking them are opened by soname at run
# time, which dpkg-shlibdeps cannot see: their packages must be named by hand.
dpkg-deb -x "$deb" "$work/tree"
depends=$(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g' | tr ',|' '\n\n' | tr -d ' ')
for program in "$work"/tree/usr/bin/*; do
  linked=$(readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | sort -u)
  for soname in $(grep -aoE 'lib[[:alnum:]_+-]+\.so\.[0-9]+' "$program" | sort -u | comm -23 - <(echo "$linked")); do
    owner=$( (dpkg -S "*/x86_64-linux-gnu/$soname" 2>/dev/null || true) | head -1 | cut -d: -f1)
    grep -qxF "${owner:-?}" <<<"$depends" || { echo "package: $program opens $soname, Depends lacks ${owner:-its package}"; exit 1; }
  done
done
appstreamcli validate-tree --no-net "$work/tree"

apt_get install "$deb" >"$work/apt.log" || { cat "$work/apt.log"; exit 1; }
version=$(dpkg-deb -f "$deb" Version)
# Both answer without a display.
said=$(env -u DISPLAY /usr/bin/quarrytide --version)
[ "$said" = "quarrytide $version" ] || { echo "package: --version says '$said'"; exit 1; }
env -u DISPLAY /usr/bin/quarrytide --help | grep -q -- --version || { echo "package: --help lists no options"; exit 1; }

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$work/data GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
unset DBUS_SESSION_BUS_ADDRESS
timeout 120 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" node "$here/installed.mjs" "$work"

cleanup
trap - EXIT
after=$(installed)
[ "$before" = "$after" ] || { echo "package: installed packages differ after removal"; diff <(echo "$before") <(echo "$after"); exit 1; }
echo "package: $(basename "$deb") installed, ran and was removed"
