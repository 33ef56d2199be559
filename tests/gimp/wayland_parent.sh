#!/usr/bin/env bash
# Brisel from GIMP 3 with its windows on sway (Wayland; sway's X11 backend nested in Xvfb, so that xdotool
# gives it a seat's input), in one of two cases:
#   wayland  GIMP 3 on Wayland: Brisel makes its canvas the child of GIMP's image window through the handle
#            GIMP exports for it (zxdg_imported_v2.set_parent_of on the canvas's surface, seen in Brisel's
#            protocol trace), and says nothing of a window it cannot stay above.
#   x11      GIMP on an X server (as under Xwayland) with Brisel on Wayland (QT_QPA_PLATFORM=wayland), and
#            an activation token in GIMP's environment, as a launcher leaves it: GIMP's X11 window is no
#            handle to import, so the canvas asks for activation (xdg_activation_v1.activate on its surface)
#            at the start, with that token, and again after a send (Ctrl+S).
# In both, the tool panel's toplevel is the canvas's child (set_parent), and sway's tree has the panel
# beside the canvas: to the right of the floating canvas (GIMP's child), over the right edge of a tiled one.
# Skipped (77) without sway or for GIMP 2.10, which has no Wayland.
#
#   wayland_parent.sh PLUG_IN PICTURE GIMP_MAJOR PRELUDE wayland|x11
set -euo pipefail
plug_in=$1 picture=$2 gimp_major=$3 prelude=$4 case=$5
[ "$gimp_major" -ge 3 ] || { echo "GIMP $gimp_major has no Wayland: not checked"; exit 77; }
for tool in sway swaymsg Xvfb xdotool python3; do
  command -v $tool >/dev/null || { echo "$tool is not installed: not checked"; exit 77; }
done

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
  echo "FAIL ($case): $*"
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
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_ACTIVATION_TOKEN
xvfb() { Xvfb -displayfd 3 -screen 0 1600x1000x24 3>"$work/$1" >/dev/null 2>&1 & wait_for 10 test -s "$work/$1"; }
xvfb sway.display || { echo "Xvfb did not start"; exit 1; }
sway_x=:$(cat "$work/sway.display")
echo "output X11-1 resolution 1600x1000" >"$work/sway.conf"
DISPLAY=$sway_x WLR_BACKENDS=x11 WLR_RENDERER=pixman sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
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
token=brisel-test-launch-token
case $case in
  wayland) gimp_env=(GDK_BACKEND=wayland) ;;
  x11)
    xvfb gimp.display || { echo "Xvfb did not start"; exit 1; }
    gimp_env=(GDK_BACKEND=x11 DISPLAY=:$(cat "$work/gimp.display") QT_QPA_PLATFORM=wayland XDG_ACTIVATION_TOKEN=$token)
    ;;
  *) echo "unknown case $case"; exit 1 ;;
esac
# GIMP's plug-ins inherit the protocol trace; GIMP's own (on Wayland) goes to the same log.
env "${gimp_env[@]}" WAYLAND_DEBUG=client GIMP3_DIRECTORY="$work/profile" \
  gimp -n -s -f "$work/picture.png" --batch-interpreter plug-in-script-fu-eval -b - <"$work/commands" 6>&- \
  >"$work/gimp.log" 2>&1 &
titled() { grep -q "\"name\": \"$1" <<<"$(swaymsg -t get_tree)"; }
gimp_open() {
  if [ "$case" = wayland ]; then titled '\[picture\]'; else env "${gimp_env[@]}" xdotool search --name '^\[picture\]' | grep -q .; fi
}
wait_for 120 gimp_open || fail "GIMP's image window did not open"
echo "(load \"$prelude\")" >&6
echo "(let ((image (brisel-first-image))) (brisel-paint image (list (brisel-drawable image))))" >&6
wait_for 60 titled 'Brisel 1.1 for PT Embers' || fail "Brisel's canvas did not open"

# The panel, once placed (sway's tree, read by sway_windows.py): beside the floating canvas, over the right
# edge of a tiled one.
windows() { swaymsg -t get_tree | python3 "$(dirname "$0")/../wayland/sway_windows.py" 1600; }
wait_for 10 windows || fail "the panel is not beside the canvas: $(windows | tr '\n' ';')"

# Toplevels by their titles (the last of each: the plug-in's follow GIMP's own in the log).
toplevel() { sed -n "s/.*-> xdg_toplevel[@#]\([0-9]*\)\.set_title(\"$1.*/\1/p" "$work/gimp.log" | tail -n 1; }
canvas_toplevel=$(toplevel 'Brisel 1\.1 for') panel_toplevel=$(toplevel 'Brisel Tools')
[ -n "$canvas_toplevel" ] && [ -n "$panel_toplevel" ] || fail "no canvas or panel toplevel in the protocol trace"
grep -E -q "xdg_toplevel[@#]$panel_toplevel\.set_parent\(xdg_toplevel[@#]$canvas_toplevel\)" "$work/gimp.log" ||
  fail "the panel's toplevel is not the canvas's child"

if [ "$case" = wayland ]; then
  grep -q "is not one Brisel's windows can stay above" "$work/gimp.log" && fail "Brisel could not stay above GIMP's window"
  grep -E -q 'zxdg_importer_v2[@#][0-9]+\.import_toplevel\(' "$work/gimp.log" || fail "Brisel imported no window"
  grep -E -q 'zxdg_imported_v2[@#][0-9]+\.set_parent_of\(wl_surface[@#][0-9]+\)' "$work/gimp.log" ||
    fail "Brisel's canvas was not made the child of GIMP's window"
  echo "PASS: the canvas is the child of GIMP's image window, the panel beside it: $(windows | tr '\n' ';')"
  exit 0
fi

# The canvas's surface: the one whose xdg_surface took the canvas's toplevel.
xdg_surface=$(sed -n "s/.*-> xdg_surface[@#]\([0-9]*\)\.get_toplevel(new id xdg_toplevel[@#]$canvas_toplevel).*/\1/p" \
  "$work/gimp.log" | tail -n 1)
surface=$(sed -n "s/.*get_xdg_surface(new id xdg_surface[@#]$xdg_surface, wl_surface[@#]\([0-9]*\)).*/\1/p" \
  "$work/gimp.log" | tail -n 1)
[ -n "$surface" ] || fail "no surface for the canvas in the protocol trace"
activated() { grep -E -c "xdg_activation_v1[@#][0-9]+\.activate\(\"$1\", wl_surface[@#]$surface\)" "$work/gimp.log" || true; }
grep -E -q 'zxdg_importer_v2[@#][0-9]+\.import_toplevel\(' "$work/gimp.log" && fail "Brisel imported GIMP's X11 window"
[ "$(activated "$token")" -ge 1 ] || fail "the canvas did not ask for activation with the launch token"
# A dot on the canvas, then a send.
read -r _ cx cy _ _ _ < <(windows | grep '^1\.1 ' || true)
DISPLAY=$sway_x xdotool mousemove $((cx + 120)) $((cy + 120)) click 1
sleep 1
before=$(activated '[0-9a-f]+')
DISPLAY=$sway_x xdotool key ctrl+s
more_activations() { [ "$(activated '[0-9a-f]+')" -gt "$before" ]; }
wait_for 10 more_activations || fail "the canvas did not ask for activation after the send"
echo "PASS: no window imported; the canvas asked for activation at the start and after the send, the panel beside it"
