#!/usr/bin/env bash
# What `make install DESTDIR=... PREFIX=/usr` installs (its `cmake --install`, of the build folder under test as
# it is: make's own install would first configure that folder again as make's build does) lays out Brisel as a desktop expects it: the desktop entry and the
# AppStream metainfo pass their validators; the program the entry runs, the icon it names and the desktop id
# the metainfo names are there; the icon is 256 x 256; the manual page renders without a warning and tells of
# every option that `brisel --help` lists. Nothing else is installed, nothing outside PREFIX; and
# `make uninstall` with the same DESTDIR removes every file again.
#
#   tests/packaging/installed_tree.sh SOURCE BUILD
set -euo pipefail
source=$1
build=$2

fail() {
  echo "installed_tree: FAILED: $*" >&2
  exit 1
}

root=$(mktemp -d)
manifest=$build/install_manifest.txt
# A manifest of a real `make install` is kept aside, so that `make uninstall` still removes that one.
[ ! -e "$manifest" ] || cp -p "$manifest" "$root.manifest"
trap 'rm -rf "$root"; if [ -e "$root.manifest" ]; then mv -f "$root.manifest" "$manifest"; else rm -f "$manifest"; fi' EXIT
unset MAKEFLAGS MFLAGS MAKELEVEL  # not a part of the make that runs the tests
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root.log" 2>&1 ||
  { cat "$root.log"; rm -f "$root.log"; fail "cmake --install"; }
rm -f "$root.log"

usr=$root/usr
[ -z "$(find "$root" -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "files outside PREFIX: $(ls "$root")"

entries=("$usr"/share/applications/*.desktop)
[ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ] || fail "not one desktop entry: ${entries[*]}"
entry=${entries[0]}
id=$(basename "$entry" .desktop)
desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
key() { sed -n "s/^$1=//p" "$entry"; }

program=$usr/bin/$(key Exec | awk '{print $1}')
[ -f "$program" ] && [ "$(stat -c %a "$program")" = 755 ] || fail "Exec's program $program missing or not 755"
"$program" --version | grep -qx "brisel [0-9.]*" || fail "$program --version"

icon=$(key Icon)
[ "$icon" = "$id" ] || fail "the icon $icon is not named as the application, $id"
svg=$usr/share/icons/hicolor/scalable/apps/$icon.svg
png=$usr/share/icons/hicolor/256x256/apps/$icon.png
[ -f "$svg" ] && [ -f "$png" ] || fail "icon $icon missing in hicolor's scalable or 256x256"
# The PNG's header: its signature, then the IHDR chunk whose first eight bytes are width and height.
[ "$(od -An -tx1 -j 16 -N 8 "$png" | tr -d ' \n')" = 0000010000000100 ] || fail "$png is not 256 x 256"

metainfo=$usr/share/metainfo/$id.metainfo.xml
[ -f "$metainfo" ] || fail "no metainfo $id.metainfo.xml"
# Brisel has no homepage yet, which AppStream 1.0 warns of (0.16 does not know the tag): give the metainfo a
# <url type="homepage"> when it has one, and drop this.
overrides=()
[[ "$(appstreamcli --version)" =~ version:\ 0\. ]] || overrides=(--override=url-homepage-missing=info)
appstreamcli validate --no-net "${overrides[@]}" "$metainfo" >"$root.log" 2>&1 || { cat "$root.log"; rm -f "$root.log"; fail "appstreamcli validate"; }
rm -f "$root.log"
grep -q "<id>$id</id>" "$metainfo" && grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo names another id or desktop entry than $id"

manual=$usr/share/man/man1/brisel.1
[ -f "$manual" ] || fail "no manual page brisel.1"
warnings=$(groff -man -ww -z "$manual" 2>&1) && [ -z "$warnings" ] || fail "the manual page: $warnings"
for option in $("$program" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | grep -v help-all); do
  grep -qF -- "${option//-/\\-}" "$manual" || fail "the manual page does not tell of $option"
done

expected=$(printf '%s\n' "$program" "$entry" "$svg" "$png" "$metainfo" "$manual" | sort)
[ "$(find "$root" -type f | sort)" = "$expected" ] || fail "other files installed: $(find "$root" -type f | sort | comm -13 <(echo "$expected") -)"
not644=$(find "$root" -type f ! -path "$program" ! -perm 644)
[ -z "$not644" ] || fail "data files not 644: $not644"

make -s -C "$source" uninstall BUILD="$build" DESTDIR="$root" PREFIX=/usr >/dev/null || fail "make uninstall"
[ -z "$(find "$root" -type f)" ] || fail "make uninstall left $(find "$root" -type f)"
echo "installed_tree: $id installs as a desktop expects, and uninstalls"
