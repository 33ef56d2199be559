#!/usr/bin/env bash
# Brisel on a Wayland compositor (weston, headless): both windows appear with their titles, the tool panel's
# toplevel is made the canvas's child (set_parent, so the compositor keeps it above), nothing but the
# program's own last words reaches standard error, and SIGTERM ends it.
# Usage: smoke.sh BRISEL PICTURE
set -euo pipefail
brisel=$1 picture=$2

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 700 "$work"
export XDG_RUNTIME_DIR=$work XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config
unset DISPLAY
weston --backend=headless-backend.so --socket=brisel-smoke --width=1600 --height=1000 >"$work/weston.log" 2>&1 &
for _ in $(seq 100); do [ -S "$work/brisel-smoke" ] && break; sleep 0.1; done
[ -S "$work/brisel-smoke" ] || { echo "weston did not start:"; cat "$work/weston.log"; exit 1; }

cp "$picture" "$work/picture.png"
WAYLAND_DISPLAY=brisel-smoke QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
  "$brisel" "$work/picture.png" >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 200); do grep -q 'set_title("Brisel Tools")' "$work/err" && break; sleep 0.1; done
sleep 0.5
kill -TERM $pid
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "SIGTERM did not end Brisel"; exit 1; fi

if grep -q 'Could not find the Qt platform plugin "wayland"' "$work/err"; then
  echo "Qt's Wayland plug-in is not installed (qt6-wayland): not checked"
  exit 77
fi
# Objects print as xdg_toplevel@N, or xdg_toplevel#N with newer libwayland.
canvas=$(sed -n 's/.*-> xdg_toplevel[@#]\([0-9]*\)\.set_title("Brisel 1\.1 for.*/\1/p' "$work/err" | head -1)
panel=$(sed -n 's/.*-> xdg_toplevel[@#]\([0-9]*\)\.set_title("Brisel Tools").*/\1/p' "$work/err" | head -1)
fail=0
[ -n "$canvas" ] || { echo "the canvas got no title"; fail=1; }
[ -n "$panel" ] || { echo "the tool panel got no title"; fail=1; }
if [ -n "$canvas" ] && [ -n "$panel" ] && ! grep -q -E "xdg_toplevel[@#]$panel\.set_parent\(xdg_toplevel[@#]$canvas\)" "$work/err"; then
  echo "the tool panel is not the canvas's child:"; grep -E 'set_parent|set_title' "$work/err"; fail=1
fi
# Besides the protocol trace, only the line the program writes when a signal ends it.
unexpected=$(grep -v -E '^\[ *[0-9]+\.[0-9]+\] ' "$work/err" | grep -v -x 'brisel: ended by SIGTERM\.' || true)
[ -z "$unexpected" ] || { echo "unexpected on standard error:"; echo "$unexpected"; fail=1; }
exit $fail
