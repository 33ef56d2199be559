#!/usr/bin/env bash
# Brisel started again on the layer whose painting it kept in a recovery copy: the copy is offered back, taken
# (Yes), and the canvas closed, which sends it. Exits 1, saying why, when a step does not happen.
set -uo pipefail
. "$(dirname "$0")/canvas_steps.sh"
message() { xdotool search --onlyvisible --name '^Brisel$' | head -n 1 | grep -q .; }
wait_for 60 message || fail "the painting was not offered back"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Brisel$' | head -n 1)" key alt+y
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Brisel\$' | grep -q ." || fail "the offer did not go"
await_canvas 30
close_canvas_and_exit
