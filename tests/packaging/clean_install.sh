#!/usr/bin/env bash
# Brisel's Debian packages on a fresh machine. In a throw-away layer over a clean Debian root
# (scripts/debian-clean), apt installs brisel_*.deb with what its Depends name and nothing more (so the
# Depends alone must be complete), and the program then answers --version and starts, without a screen, on
# a PNG picture and on a WebP one (read by an image plug-in that only a Depends brings). The GIMP plug-in's
# package must be installable there too (apt resolves it without installing GIMP), and its plug-in must lie in
# the folder where GIMP keeps its own (checked where GIMP is installed on this machine, for this suite). The
# Krita plug-in's package likewise: installable, and in the folder of Krita's own Python plug-ins.
#
#   tests/packaging/clean_install.sh SUITE PACKAGES    SUITE: bookworm or trixie; PACKAGES: a folder of .debs
set -euo pipefail
suite=$1
packages=$2
project=$(cd "$(dirname "$0")/../.." && pwd)

fail() {
  echo "clean_install ($suite): FAILED: $*" >&2
  exit 1
}

app=$(ls "$packages"/brisel_*.deb 2>/dev/null | head -n 1 || true)
plugin=$(ls "$packages"/brisel-gimp-plugin_*.deb 2>/dev/null | head -n 1 || true)
krita_plugin=$(ls "$packages"/brisel-krita-plugin_*.deb 2>/dev/null | head -n 1 || true)
[ -n "$app" ] || fail "no brisel_*.deb in $packages: make package first"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$app" ${plugin:+"$plugin"} ${krita_plugin:+"$krita_plugin"} "$work"/
cp "$project/samples/sample.png" "$work/"
convert "$project/samples/sample.png" -define webp:lossless=true "$work/sample.webp"

if [ -n "$plugin" ]; then
  folder=$(dpkg-deb -c "$plugin" | awk '{print $NF}' | sed -n 's|^\.\(/.*/plug-ins\)/brisel/brisel$|\1|p')
  [ -n "$folder" ] || fail "$plugin holds no plug-ins/brisel/brisel"
  . /etc/os-release
  if [ "${VERSION_CODENAME:-}" = "$suite" ] && dpkg-query -W gimp >/dev/null 2>&1; then
    grep -q '^gimp\b' <<<"$(dpkg-query -S "$folder" 2>/dev/null)" || fail "GIMP keeps no plug-ins in $folder"
  fi
fi

if [ -n "$krita_plugin" ]; then
  # Listed whole before it is searched: grep -q leaving at the first match would end dpkg-deb by SIGPIPE.
  grep -q '\./usr/share/krita/pykrita/brisel_krita\.desktop$' <<<"$(dpkg-deb -c "$krita_plugin")" ||
    fail "$krita_plugin holds no usr/share/krita/pykrita/brisel_krita.desktop"
  . /etc/os-release
  if [ "${VERSION_CODENAME:-}" = "$suite" ] && dpkg-query -W krita >/dev/null 2>&1; then
    grep -q '^krita' <<<"$(dpkg-query -S /usr/share/krita/pykrita 2>/dev/null)" || fail "Krita keeps no plug-ins in /usr/share/krita/pykrita"
  fi
fi

start=$SECONDS
# In the root: /pkg is $work, read-only.
"$project/scripts/debian-clean" "$suite" run "$work" bash -c '
  set -u
  fail() { echo "clean_install ('"$suite"'): FAILED: $*" >&2; exit 1; }
  apt-get install -y --no-install-recommends ./'"$(basename "$app")"' >/tmp/apt.log 2>&1 ||
    { tail -n 20 /tmp/apt.log; fail "apt-get cannot install '"$(basename "$app")"'"; }
  [ "$(brisel --version)" = "brisel '"$(dpkg-deb -f "$app" Version)"'" ] || fail "brisel --version says: $(brisel --version 2>&1)"
  for picture in sample.png sample.webp; do
    cp "$picture" /tmp/
    QT_QPA_PLATFORM=offscreen timeout 4 brisel "/tmp/$picture" 2>/tmp/errors
    status=$?
    # Still running when stopped: the picture opened. Its only word is the one on being stopped.
    [ $status -eq 124 ] && ! grep -v "ended by SIGTERM" /tmp/errors | grep -q "^brisel:" ||
      { cat /tmp/errors; fail "brisel did not start on $picture (exit status $status)"; }
    cmp -s "$picture" "/tmp/$picture" || fail "brisel changed $picture"
  done
  if [ -n "'"$plugin"'" ]; then
    apt-get install -s --no-install-recommends ./'"$(basename "${plugin:-none}")"' >/tmp/plugin.log 2>&1 ||
      { tail -n 20 /tmp/plugin.log; fail "apt-get cannot install the GIMP plug-in package"; }
  fi
  if [ -n "'"$krita_plugin"'" ]; then
    apt-get install -s --no-install-recommends ./'"$(basename "${krita_plugin:-none}")"' >/tmp/krita.log 2>&1 ||
      { tail -n 20 /tmp/krita.log; fail "apt-get cannot install the Krita plug-in package"; }
  fi
  true
' || exit 1
echo "clean_install ($suite): the packages install and brisel starts in a clean root ($((SECONDS - start)) s)"
