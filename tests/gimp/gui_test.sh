#!/usr/bin/env bash
# Brisel from a real GIMP, as a painter uses it: GIMP opens a picture and starts Brisel on it, and a stroke
# is dragged on Brisel's canvas. Then, as SCENARIO says:
#   send        (the default) the canvas is closed; GIMP's image must then hold the stroke, and one Ctrl+Z in
#               GIMP must give the picture back exactly.
#   gimp-dies   GIMP inverts the layer, Brisel sends and paints a second stroke, and GIMP is killed (SIGKILL);
#               Brisel must keep the stroke in a recovery copy, say so in a message, and end once it is read.
#               GIMP and Brisel started again on the picture must offer the copy, and the second stroke alone
#               (not GIMP's discarded invert) must reach GIMP's image.
#   gimp-quits  GIMP is quit from its image window (Ctrl+Q), which kills a running plug-in 10 ms after asking
#               it to quit; the stroke must be kept, offered and taken back the same way, whole.
#   terminated  Brisel is sent SIGTERM; it must keep the stroke in a recovery copy and end its run with an
#               error that says where the copy is (GIMP must not report a crash).
#
#   gui_test.sh PLUG_IN PICTURE GIMP_MAJOR PRELUDE [SCENARIO]
#
# GIMP_MAJOR is 2 (GIMP 2.10) or 3; PRELUDE is the Script-Fu of that GIMP (gimp2.scm or gimp3.scm), which
# gives every GIMP the same brisel-* words. Needs Xvfb, openbox, xdotool, wmctrl, ImageMagick and GIMP.
# Runs in a profile and a display of its own.
set -euo pipefail
. "$(dirname "$0")/../support/desktop.sh"
# Driving a real GIMP with synthetic input is timing-sensitive: now and then the canvas did not close after
# the stroke (seen on a busy machine; the cause is not found yet). A failed try is said and made once more,
# so that the failure shows in the log but does not fail the suite alone.
# Each try runs in a process group of its own (timeout's), which is ended whole, and writes into a file: what
# a try leaves running (once, after a pass, something held the test's output open until the suite's time-out)
# can neither keep this test from ending nor outlast it, and a try that hangs ends after try_seconds.
if [ -z "${BRISEL_GUI_TRY:-}" ]; then
  try_seconds=130
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  for try in 1 2; do
    BRISEL_GUI_TRY=$try timeout -k 10 $try_seconds bash "$0" "$@" </dev/null >"$log" 2>&1 &
    group=$!
    status=0
    wait $group || status=$?
    kill -KILL -- -$group 2>/dev/null || true
    cat "$log"
    [ $status = 0 ] && exit 0
    [ $status = 124 ] && echo "gimp_gui: try $try did not end within $try_seconds s"
    [ $try = 2 ] || echo "gimp_gui: the first try failed (above); trying once more"
  done
  exit 1
fi
# timeout ends a try with SIGTERM: the cleanup below still runs.
trap 'exit 143' TERM
# Whatever the caller's locale: xdotool reads a window's title (UTF-8, with an en dash in GIMP's) only in a
# UTF-8 locale, and finds no window by its name otherwise.
export LC_ALL=C.UTF-8
unset LANGUAGE

plug_in=$1
picture=$2
gimp_major=$3
prelude=$4
scenario=${5:-send}
case $gimp_major in 2 | 3) ;; *) echo "FAIL: unknown GIMP major version '$gimp_major'" >&2; exit 1 ;; esac
case $scenario in send | gimp-dies | gimp-quits | terminated) ;; *) echo "FAIL: unknown scenario '$scenario'" >&2; exit 1 ;; esac
[ -r "$prelude" ] || { echo "FAIL: no Script-Fu prelude at $prelude" >&2; exit 1; }
work=$(mktemp -d)
# Recovery copies stay in the test: a copy that a failed run left would be offered to the next, whose
# question would then stand in the way of its stroke.
export XDG_STATE_HOME="$work/state"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Whatever does not end on SIGTERM within 10 s (a GIMP waiting on a plug-in, seen once on a busy machine
  # after the test had passed) is killed, so that the test never hangs here.
  (
    sleep 10
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  ) </dev/null >/dev/null 2>&1 &  # holds no pipe of the caller's, which would wait for its sleep
  local killer=$!
  wait "${pids[@]}" 2>/dev/null || true
  kill "$killer" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/gimp.log" ] && { echo "--- GIMP said:" >&2; tail -n 30 "$work/gimp.log" >&2; }
  exit 1
}

# Polls a command until it succeeds, for at most $1 seconds.
wait_for() {
  local seconds=$1; shift
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

mkdir -p "$work/profile/plug-ins/brisel" "$work/out"
for sub in brushes gradients patterns palettes dynamics tool-presets; do mkdir -p "$work/profile/$sub"; done
cp "$plug_in" "$work/profile/plug-ins/brisel/brisel"
# Colors > Invert on a key of its own, for gimp-dies's edit of GIMP's (GIMP 2.10 reads menurc, GIMP 3 shortcutsrc).
echo '(gtk_accel_path "<Actions>/filters/filters-invert-perceptual" "<Primary><Alt>i")' >"$work/profile/menurc"
printf '(protocol-version 1)\n(file-version 1)\n(action "filters-invert-perceptual" "<Primary><Alt>i")\n' \
  >"$work/profile/shortcutsrc"
cp "$picture" "$work/picture.png"

# A display of our own, and a window manager that places and focuses windows as a desktop does.
exec 5< <(Xvfb -displayfd 1 -screen 0 1600x1000x24 -nolisten tcp 2>"$work/xvfb.log")
pids+=($!)
read -r -t 20 display <&5 || fail "Xvfb did not start: $(tail -n 5 "$work/xvfb.log")"
export DISPLAY=":$display"
unset QT_QPA_PLATFORM  # the suite's offscreen platform would keep Brisel's windows off the display
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
window_manager_up "$!" || fail "openbox did not start: $(tail -n 5 "$work/openbox.log")"

# GIMP, taking Script-Fu commands from a pipe we write to. It reads the pipe through a descriptor of its own
# and holds no end we write to, so its Script-Fu sees the pipe close and ends with this script, whatever way
# that goes.
mkfifo "$work/commands"
exec 6<>"$work/commands"
image_title='\[picture\].* – GIMP'
script_fu() { echo "$1" >&6; }
start_gimp() {
  local batch=(-b -)
  [ "$gimp_major" = 2 ] || batch=(--batch-interpreter plug-in-script-fu-eval -b -)
  env "GIMP${gimp_major}_DIRECTORY=$work/profile" gimp -n -s -f "$work/picture.png" "${batch[@]}" \
    <"$work/commands" 5<&- 6>&- >>"$work/gimp.log" 2>&1 &
  gimp_pid=$!
  pids+=($gimp_pid)
  gimp_window() { xdotool search --name "$image_title" | head -n 1 | grep -q .; }
  wait_for 120 gimp_window || fail "GIMP's image window did not open"
  if [ "$gimp_major" = 3 ]; then
    # A fresh GIMP 3 profile greets with a dialog over the image window; a painter closes it first.
    welcome() { xdotool search --name '^Welcome to GIMP' | head -n 1 | grep -q .; }
    if wait_for 20 welcome; then
      wmctrl -c 'Welcome to GIMP'
      wait_for 10 bash -c "! xdotool search --name '^Welcome to GIMP' | grep -q ." ||
        fail "GIMP's welcome dialog did not close"
    fi
  fi
  script_fu "(load \"$prelude\")"
}
start_gimp
save_as() {
  script_fu "(brisel-save (brisel-first-image) \"$work/out/$1\")"
  wait_for 30 test -s "$work/out/$1" || fail "GIMP did not save $1"
  sleep 0.5  # the file is complete once GIMP has closed it
}
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# Brisel on the picture's layer, as the Filters menu starts it.
start_brisel() {
  script_fu "(let ((image (brisel-first-image))) (brisel-paint image (list (brisel-drawable image))))"
  canvas_window() { xdotool search --name '^Brisel 1\.1 for PT Embers' | head -n 1 | grep -q .; }
  wait_for 60 canvas_window || fail "Brisel's canvas did not open"
  canvas=$(xdotool search --name '^Brisel 1\.1 for PT Embers' | head -n 1)
  sleep 1  # the canvas has its picture once its first paint is through
  eval "$(xdotool getwindowgeometry --shell "$canvas")"
}
# A message of Brisel's own (a question or a notice), visible.
message() { xdotool search --onlyvisible --name '^Brisel$' | head -n 1 | grep -q .; }
# Closed as the window manager's close button does; asked again every 5 s, as a painter would click again
# when a busy machine lost the first request.
close_canvas() {
  canvas_gone() { ! xdotool search --name '^Brisel 1\.1 for PT Embers' | grep -q .; }
  for attempt in 1 2 3 4 5 6; do
    wmctrl -i -c "$canvas" 2>/dev/null || true
    wait_for 5 canvas_gone && break
  done
  canvas_gone || fail "Brisel's canvas did not close"
}
start_brisel

# A stroke across the canvas, from a quarter in to the middle.
stroke_across "$X" "$Y" "$WIDTH" "$HEIGHT"
gimp_id=$(xdotool search --name "$image_title" | head -n 1)

if [ "$scenario" = gimp-dies ]; then
  # GIMP's own edit (an invert of the whole layer), a send, which shows Brisel that edit inside the box it
  # sent, and a second stroke over that box, not sent: the copy must bring back that stroke alone.
  timeout 10 xdotool windowactivate --sync "$gimp_id" && sleep 0.5 && xdotool key ctrl+alt+i && sleep 2
  timeout 10 xdotool windowactivate --sync "$canvas" && sleep 0.5 && xdotool key ctrl+s && sleep 2
  stroke_across "$((X + 20))" "$Y" "$WIDTH" "$HEIGHT"
fi
if [ "$scenario" != send ]; then
  brisel_pid=$(pgrep -f "^$work/profile/plug-ins/brisel/brisel " | head -n 1)
  [ -n "$brisel_pid" ] || fail "Brisel's process was not found"
  case $scenario in
    terminated) kill -TERM "$brisel_pid" ;;
    gimp-dies) kill -KILL "$gimp_pid" ;;
    gimp-quits)
      timeout 10 xdotool windowactivate --sync "$gimp_id" || wmctrl -a "[picture]" ||
        fail "GIMP's image window could not be activated (window manager running: $(window_manager_up && echo yes || echo no))"
      sleep 0.5
      xdotool key ctrl+q
      ;;
  esac
  if [ "$scenario" = terminated ]; then
    # GIMP hears why the run ended, and where the painting went.
    said() { grep -q "Brisel was ended by SIGTERM. A recovery copy of the painting is kept in" "$work/gimp.log"; }
    wait_for 30 said || fail "Brisel's run did not end with an error that names the copy"
    ! grep -q -i "crashed" "$work/gimp.log" || fail "GIMP reported a crash"
  else
    # The painter is told where the painting went, in a window of Brisel's own, which ends the process once
    # read.
    wait_for 60 message || fail "no message said where the painting went after GIMP ended"
    wmctrl -i -c "$(xdotool search --onlyvisible --name '^Brisel$' | head -n 1)"
  fi
  copies=("$XDG_STATE_HOME"/brisel/recovery/*.png)
  [ -f "${copies[0]}" ] || fail "no recovery copy was written"
  kept=$(differing_pixels "$work/picture.png" "${copies[0]}")
  [ "$kept" -gt 100 ] 2>/dev/null || fail "the recovery copy does not hold the stroke ($kept pixels differ)"
  ended() { ! pgrep -f "^$work/profile/plug-ins/brisel/brisel|^brisel --gimp-has-ended" >/dev/null; }
  wait_for 20 ended || fail "Brisel did not end"
  if [ "$scenario" != terminated ]; then
    # GIMP and Brisel again on the same picture and layer: the painting is offered back, and taken, it is sent
    # to GIMP's image when the canvas closes.
    wait_for 20 bash -c "! kill -0 $gimp_pid 2>/dev/null" || kill -KILL "$gimp_pid"
    start_gimp
    start_brisel
    wait_for 30 message || fail "the painting was not offered back at the next start"
    xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Brisel$' | head -n 1)" key alt+y
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Brisel\$' | grep -q ." || fail "the offer did not go"
    sleep 0.5
    close_canvas
    save_as restored.png
    restored=$(differing_pixels "$work/picture.png" "$work/out/restored.png")
    if [ "$scenario" = gimp-dies ]; then
      # The copy holds GIMP's invert inside the box sent; only the stroke, a small part of it, comes back.
      [ "$restored" -gt 100 ] && [ $((restored * 4)) -lt "$kept" ] ||
        fail "the painting taken back reached GIMP with $restored pixels changed (the copy: $kept): not the stroke alone"
    else
      [ "$restored" = "$kept" ] || fail "the painting taken back reached GIMP with $restored pixels changed, not $kept"
    fi
  fi
  script_fu "(gimp-quit 0)"
  echo "PASS: $scenario: the stroke was kept ($kept pixels) in ${copies[0]##*/}${restored:+, offered back and sent}"
  exit 0
fi
close_canvas

# The plug-in has returned once Script-Fu takes the next command.
save_as painted.png
painted=$(differing_pixels "$work/picture.png" "$work/out/painted.png")
[ "$painted" -gt 100 ] 2>/dev/null || fail "GIMP's image does not hold the stroke ($painted pixels differ)"

# One Ctrl+Z in GIMP's image window undoes the whole send.
timeout 10 xdotool windowactivate --sync "$gimp_id" || wmctrl -a "[picture]"
wait_for 10 bash -c "[ \"\$(xdotool getactivewindow)\" = $gimp_id ]" || fail "GIMP's image window did not take the focus"
sleep 0.5
xdotool key ctrl+z
sleep 1
save_as undone.png
undone=$(differing_pixels "$work/picture.png" "$work/out/undone.png")
[ "$undone" = 0 ] || fail "one Ctrl+Z left $undone pixels changed"
# GIMP's answers to the plug-in's own calls (the send) are never taken for GIMP going away.
! grep -q "GIMP has quit\|GIMP has ended" "$work/gimp.log" || fail "Brisel took GIMP's answers for GIMP going away"
! ls "$XDG_STATE_HOME"/brisel/recovery/*.png >/dev/null 2>&1 || fail "a recovery copy was left after the send"

script_fu "(gimp-quit 0)"
echo "PASS: the stroke reached GIMP ($painted pixels) and one Ctrl+Z undid it exactly"
