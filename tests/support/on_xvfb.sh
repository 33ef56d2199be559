#!/usr/bin/env bash
# on_xvfb.sh COMMAND... runs the command on an Xvfb of its own, which picks a free display itself (-displayfd:
# no race with the other tests' servers, as a display number chosen beforehand would have), and ends it after.
set -euo pipefail
exec 5< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
read -r -t 20 display <&5 || { echo "on_xvfb: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$display" "$@"
