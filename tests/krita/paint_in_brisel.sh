#!/usr/bin/env bash
# As a painter would, on Brisel's canvas once the Krita plug-in has opened it (kept above Krita's window): a
# stroke, Ctrl+S to send it while the canvas stays open, then the canvas closed; with --no-send, the stroke
# alone. Exits 1, saying why, when a step does not happen.
set -uo pipefail
send=true
[ "${1:-}" = --no-send ] && send=false
. "$(dirname "$0")/canvas_steps.sh"
. "$(dirname "$0")/../support/desktop.sh"
await_canvas 60
eval "$(xdotool getwindowgeometry --shell "$canvas")"
xprop -id "$canvas" WM_TRANSIENT_FOR | grep -q 'window id' || fail "Brisel's canvas is not kept above Krita's window"
xdotool windowactivate --sync "$canvas" 2>/dev/null || true
stroke_across "$X" "$Y" "$WIDTH" "$HEIGHT"
$send || exit 0
xdotool key --window "$canvas" ctrl+s
sleep 2
close_canvas_and_exit
