# Sourced by the window tests (GIMP's, Krita's): steps on the Xvfb desktop they make.

# Whether the window manager started on $DISPLAY manages it yet (it says so on the root window): windows can
# be activated from then on. Given the window manager's process, false as soon as that has ended.
window_manager_up() {
  local pid=${1:-} i
  # Up to 60 s: beside the rest of the suite on two cores (two Krita starts among it), openbox has been seen to
  # take more than 30.
  for i in $(seq 600); do
    grep -q 'window id' <<<"$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)" && return 0
    [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null && return 1
    sleep 0.1
  done
  return 1
}

# stroke_across X Y WIDTH HEIGHT drags the left button across that window, from a quarter in towards the
# middle, in 25 steps, as a painter's stroke.
stroke_across() {
  local x=$1 y=$2 width=$3 height=$4 i
  xdotool mousemove $((x + width / 4)) $((y + height / 4)) mousedown 1
  for i in $(seq 1 25); do
    xdotool mousemove $((x + width / 4 + i * width / 100)) $((y + height / 4 + i * height / 100))
    sleep 0.02
  done
  xdotool mouseup 1
  sleep 0.5
}
