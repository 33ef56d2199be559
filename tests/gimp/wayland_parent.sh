#!/usr/bin/env bash
# GIMP 3 on Wayland, under a compositor with xdg-foreign (sway, headless): Brisel started on the picture's
# layer makes its canvas the child of GIMP's image window through the handle GIMP exports for it
# (zxdg_imported_v2.set_parent_of on the canvas's surface, seen in Brisel's protocol trace), and says
# nothing of a window it cannot stay above. Skipped (77) without sway or for GIMP 2.10, which has no Wayland.
#
#   wayland_parent.sh PLUG_IN PICTURE GIMP_MAJOR PRELUDE
set -euo pipefail
plug_in=$1 picture=$2 gimp_major=$3 prelude=$4
[ "$gimp_major" -ge 3 ] || { echo "GIMP $gimp_major has no Wayland: not checked"; exit 77; }
command -v sway >/dev/null || { echo "sway is not installed: not checked"; exit 77; }

work=$(mktemp -d)
chmod 700 "$work"
cleanup() {
  kill $(jobs -p) 2>/dev/null || true
  sleep 1
  kill -9 $(jobs -p) 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- GIMP and Brisel said (protocol trace left out):"
  grep -v -E '^\[ *[0-9]+\.[0-9]+\] ' "$work/gimp.log" | tail -n 30 || true
  exit 1
}
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}
export XDG_RUNTIME_DIR=$work XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
echo "output HEADLESS-1 resolution 1600x1000" >"$work/sway.conf"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
socket() { ls "$work"/wayland-* 2>/dev/null | grep -v lock | head -n 1 | grep -q .; }
wait_for 20 socket || { echo "sway did not start:"; tail -n 20 "$work/sway.log"; exit 1; }
export WAYLAND_DISPLAY=$(basename "$(ls "$work"/wayland-* | grep -v lock | head -n 1)")
export SWAYSOCK=$(ls "$work"/sway-ipc.* 2>/dev/null | head -n 1)

mkdir -p "$work/profile/plug-ins/brisel"
for sub in brushes gradients patterns palettes dynamics tool-presets; do mkdir -p "$work/profile/$sub"; done
cp "$plug_in" "$work/profile/plug-ins/brisel/brisel"
cp "$picture" "$work/picture.png"
mkfifo "$work/commands"
exec 6<>"$work/commands"
# GIMP's plug-ins inherit the protocol trace; GIMP's own goes to the same log.
GDK_BACKEND=wayland WAYLAND_DEBUG=client GIMP3_DIRECTORY="$work/profile" \
  gimp -n -s -f "$work/picture.png" --batch-interpreter plug-in-script-fu-eval -b - <"$work/commands" 6>&- \
  >"$work/gimp.log" 2>&1 &
titled() { grep -q "\"name\": \"$1" <<<"$(swaymsg -t get_tree)"; }
wait_for 120 titled '\[picture\]' || fail "GIMP's image window did not open"
echo "(load \"$prelude\")" >&6
echo "(let ((image (brisel-first-image))) (brisel-paint image (list (brisel-drawable image))))" >&6
wait_for 60 titled 'Brisel 1.1 for PT Embers' || fail "Brisel's canvas did not open"
sleep 1
grep -q "is not one Brisel's windows can stay above" "$work/gimp.log" && fail "Brisel could not stay above GIMP's window"
# The canvas's surface (its toplevel's, by its title) gets GIMP's window as its parent.
canvas_toplevel=$(sed -n 's/.*-> xdg_toplevel[@#]\([0-9]*\)\.set_title("Brisel 1\.1 for.*/\1/p' "$work/gimp.log" | tail -n 1)
[ -n "$canvas_toplevel" ] || fail "no canvas toplevel in the protocol trace"
grep -E -q 'zxdg_importer_v2[@#][0-9]+\.import_toplevel\(' "$work/gimp.log" || fail "Brisel imported no window"
grep -E -q 'zxdg_imported_v2[@#][0-9]+\.set_parent_of\(wl_surface[@#][0-9]+\)' "$work/gimp.log" ||
  fail "Brisel's canvas was not made the child of GIMP's window"
echo "PASS: the canvas is the child of GIMP's image window: $(grep -E -o 'zxdg_imported_v2[@#][0-9]+\.set_parent_of\(wl_surface[@#][0-9]+\)' "$work/gimp.log" | head -n 1)"
