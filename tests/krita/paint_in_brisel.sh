#!/usr/bin/env bash
# As a painter would, on Brisel's canvas once the Krita plug-in has opened it (kept above Krita's window): a
# stroke, Ctrl+S to send it while the canvas stays open, then the canvas closed; with --no-send, the stroke
# alone. Exits 1, saying why, when a step does not happen.
set -uo pipefail
send=true
[ "${1:-}" = --no-send ] && send=false
title='^Brisel 1\.1 for PT Embers'
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
fail() { echo "paint_in_brisel: $*" >&2; exit 1; }
canvas_up() { xdotool search --onlyvisible --name "$title" | head -n 1 | grep -q .; }
wait_for 60 canvas_up || fail "Brisel's canvas did not open"
canvas=$(xdotool search --onlyvisible --name "$title" | head -n 1)
sleep 1  # the canvas has its picture once its first paint is through
eval "$(xdotool getwindowgeometry --shell "$canvas")"
xprop -id "$canvas" WM_TRANSIENT_FOR | grep -q 'window id' || fail "Brisel's canvas is not kept above Krita's window"
xdotool windowactivate --sync "$canvas" 2>/dev/null || true
xdotool mousemove $((X + WIDTH / 4)) $((Y + HEIGHT / 4)) mousedown 1
for i in $(seq 1 25); do
  xdotool mousemove $((X + WIDTH / 4 + i * WIDTH / 100)) $((Y + HEIGHT / 4 + i * HEIGHT / 100))
  sleep 0.02
done
xdotool mouseup 1
sleep 0.5
$send || exit 0
xdotool key --window "$canvas" ctrl+s
sleep 2
canvas_gone() { ! xdotool search --name "$title" | grep -q .; }
for _ in 1 2 3 4 5 6; do
  wmctrl -i -c "$canvas" 2>/dev/null || true
  wait_for 5 canvas_gone && exit 0
done
fail "Brisel's canvas did not close"
