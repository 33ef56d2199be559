#!/usr/bin/env bash
# Brisel started again on the layer whose painting it kept in a recovery copy: the copy is offered back, taken
# (Yes), and the canvas closed, which sends it. Exits 1, saying why, when a step does not happen.
set -uo pipefail
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
fail() { echo "take_copy_back: $*" >&2; exit 1; }
message() { xdotool search --onlyvisible --name '^Brisel$' | head -n 1 | grep -q .; }
wait_for 60 message || fail "the painting was not offered back"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Brisel$' | head -n 1)" key alt+y
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Brisel\$' | grep -q ." || fail "the offer did not go"
title='^Brisel 1\.1 for PT Embers'
canvas_up() { xdotool search --onlyvisible --name "$title" | head -n 1 | grep -q .; }
wait_for 30 canvas_up || fail "Brisel's canvas did not open"
canvas=$(xdotool search --onlyvisible --name "$title" | head -n 1)
sleep 1
canvas_gone() { ! xdotool search --name "$title" | grep -q .; }
for _ in 1 2 3 4 5 6; do
  wmctrl -i -c "$canvas" 2>/dev/null || true
  wait_for 5 canvas_gone && exit 0
done
fail "Brisel's canvas did not close"
