#!/usr/bin/env bash
# Brisel on a Wayland compositor (headless): both windows appear with their titles, the tool panel's
# toplevel is made the canvas's child (set_parent, so the compositor keeps it above), nothing but the
# program's own last words reaches standard error, and SIGTERM ends it. Under sway, on a screen too narrow
# for the canvas and the panel side by side, with the canvas floating (as GIMP's child is), the canvas
# leaves room and the panel is moved beside it. "xwayland": the same under sway for Brisel as an X11 client
# (Xwayland's), as a plug-in of a GIMP on X11 is there; only the windows' places are checked. Skipped (77) where
# the compositor (or Xwayland) is not installed.
# Usage: smoke.sh BRISEL PICTURE [weston|sway|xwayland]
set -euo pipefail
brisel=$1 picture=$2 compositor=${3:-weston}
x11=
[ "$compositor" = xwayland ] && { compositor=sway x11=1; }
command -v "$compositor" >/dev/null || { echo "$compositor is not installed: not checked"; exit 77; }
[ -z "$x11" ] || command -v Xwayland >/dev/null || { echo "Xwayland is not installed: not checked"; exit 77; }

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 700 "$work"
export XDG_RUNTIME_DIR=$work XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config
unset DISPLAY SWAYSOCK
if [ "$compositor" = weston ]; then
  weston --backend=headless-backend.so --socket=brisel-smoke --width=1600 --height=1000 >"$work/log" 2>&1 &
else
  printf '%s\n' 'output HEADLESS-1 resolution 700x600' 'for_window [title="^Brisel 1\.1"] floating enable' \
    ${x11:+'xwayland force'} >"$work/sway.conf"
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$work/sway.conf" >"$work/log" 2>&1 &
fi
socket() { ls "$work" | grep -E -x 'brisel-smoke|wayland-[0-9]+' | head -n 1; }
for _ in $(seq 100); do [ -n "$(socket)" ] && break; sleep 0.1; done
if [ -z "$(socket)" ]; then
  # sway before 1.8 refuses to run as root.
  grep -q 'Unable to drop root' "$work/log" && { echo "sway does not run as root here: not checked"; exit 77; }
  echo "$compositor did not start:"; cat "$work/log"; exit 1
fi
export WAYLAND_DISPLAY=$(socket)
[ "$compositor" = weston ] || export SWAYSOCK=$(ls "$work"/sway-ipc.* | head -n 1)

cp "$picture" "$work/picture.png"
if [ -n "$x11" ]; then
  # Xwayland's display, as sway gives it to the programs it starts.
  swaymsg exec "echo \$DISPLAY >$work/display" >/dev/null
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  DISPLAY=$(cat "$work/display") QT_QPA_PLATFORM=xcb "$brisel" "$work/picture.png" >"$work/out" 2>"$work/err" &
  pid=$!
else
  QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client "$brisel" "$work/picture.png" >"$work/out" 2>"$work/err" &
  pid=$!
  for _ in $(seq 200); do grep -q 'set_title("Brisel Tools")' "$work/err" && break; sleep 0.1; done
fi
sleep 0.5
fail=0
if [ "$compositor" = sway ]; then
  windows() { python3 "$(dirname "$0")/sway_windows.py" 700 <<<"$(swaymsg -t get_tree)"; }
  for _ in $(seq 150); do windows >/dev/null && break; sleep 0.1; done
  windows >/dev/null || { echo "the panel is not beside the canvas:"; windows || true; fail=1; }
fi
kill -TERM $pid
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "SIGTERM did not end Brisel"; exit 1; fi
[ -z "$x11" ] || exit $fail

if grep -q 'Could not find the Qt platform plugin "wayland"' "$work/err"; then
  echo "Qt's Wayland plug-in is not installed (qt6-wayland): not checked"
  exit 77
fi
# Objects print as xdg_toplevel@N, or xdg_toplevel#N with newer libwayland.
canvas=$(sed -n 's/.*-> xdg_toplevel[@#]\([0-9]*\)\.set_title("Brisel 1\.1 for.*/\1/p' "$work/err" | head -1)
panel=$(sed -n 's/.*-> xdg_toplevel[@#]\([0-9]*\)\.set_title("Brisel Tools").*/\1/p' "$work/err" | head -1)
[ -n "$canvas" ] || { echo "the canvas got no title"; fail=1; }
[ -n "$panel" ] || { echo "the tool panel got no title"; fail=1; }
if [ -n "$canvas" ] && [ -n "$panel" ] && ! grep -q -E "xdg_toplevel[@#]$panel\.set_parent\(xdg_toplevel[@#]$canvas\)" "$work/err"; then
  echo "the tool panel is not the canvas's child:"; grep -E 'set_parent|set_title' "$work/err"; fail=1
fi
# Besides the protocol trace, only the line the program writes when a signal ends it.
unexpected=$(grep -v -E '^\[ *[0-9]+\.[0-9]+\] ' "$work/err" | grep -v -x 'brisel: ended by SIGTERM\.' || true)
[ -z "$unexpected" ] || { echo "unexpected on standard error:"; echo "$unexpected"; fail=1; }
exit $fail
