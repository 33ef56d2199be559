# What the Krita runs' painter does on Brisel's windows, sourced by paint_in_brisel.sh and take_copy_back.sh:
# wait for a step, wait for the canvas (sets $canvas), close it. `fail` says why a step did not happen, in
# the name of the script that sourced this.
title='^Brisel 1\.1 for PT Embers'
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
fail() { echo "$(basename "$0" .sh): $*" >&2; exit 1; }
canvas_up() { xdotool search --onlyvisible --name "$title" | head -n 1 | grep -q .; }
# Waits for the canvas for at most $1 seconds, and sets $canvas to its window.
await_canvas() {
  wait_for "$1" canvas_up || fail "Brisel's canvas did not open"
  canvas=$(xdotool search --onlyvisible --name "$title" | head -n 1)
  sleep 1  # the canvas has its picture once its first paint is through
}
# Closed as the window manager's close button does, asked again every 5 s; ends the script when it went.
close_canvas_and_exit() {
  canvas_gone() { ! xdotool search --name "$title" | grep -q .; }
  for _ in 1 2 3 4 5 6; do
    wmctrl -i -c "$canvas" 2>/dev/null || true
    wait_for 5 canvas_gone && exit 0
  done
  fail "Brisel's canvas did not close"
}
