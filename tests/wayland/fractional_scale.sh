#!/usr/bin/env bash
# Brisel under sway at 125 % (a fractional scale, which Qt reads from 6.5 on): at 100 % zoom each picture pixel
# is one screen pixel (a 1-pixel checkerboard comes out exact, not blurred or stretched), and a click paints
# its dab under the pointer. sway runs nested in Xvfb (its x11 backend), which takes xdotool's pointer and
# whose screen is sway's output. Skipped (77) without sway, Xvfb, xdotool or Qt's Wayland plug-in, and for
# Qt before 6.5, where the compositor scales the window.
#   fractional_scale.sh BRISEL QT_VERSION
set -euo pipefail
brisel=$1 qt_version=$2
skip() { echo "$*: not checked"; exit 77; }
[ "$(printf '%s\n' 6.5 "$qt_version" | sort -V | head -n 1)" = 6.5 ] || skip "Qt $qt_version leaves fractional scales to the compositor"
for tool in sway Xvfb xdotool convert import compare; do command -v $tool >/dev/null || skip "$tool is not installed"; done

work=$(mktemp -d)
chmod 700 "$work"
trap 'kill $(jobs -p) 2>/dev/null || true; sleep 0.5; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; echo "(screenshots kept in $work)"; trap - EXIT; kill $(jobs -p) 2>/dev/null || true; exit 1; }
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.1; done
}
export XDG_RUNTIME_DIR=$work XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config
unset WAYLAND_DISPLAY DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_SCALE_FACTOR_ROUNDING_POLICY
Xvfb -displayfd 5 -screen 0 800x600x24 5>"$work/display" 2>/dev/null &
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
# The canvas floats (as it does as another program's child); the panel, whose place is not checked here,
# waits on the scratchpad.
cat >"$work/sway.conf" <<'CONF'
output X11-1 resolution 800x600 position 0 0 scale 1.25
for_window [title="^Brisel 1"] floating enable
for_window [title="^Brisel Tools$"] move scratchpad
CONF
WLR_BACKENDS=x11 WLR_RENDERER=pixman WLR_X11_OUTPUTS=1 sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
socket() { ls "$work"/wayland-* | grep -v lock | grep -q .; }
wait_for 20 socket || fail "sway did not start: $(tail -n 5 "$work/sway.log")"
export WAYLAND_DISPLAY=$(basename "$(ls "$work"/wayland-* | grep -v lock | head -n 1)")
export SWAYSOCK=$(ls "$work"/sway-ipc.* | head -n 1)

# Left a 1-pixel checkerboard, right white; a red corner pixel top left and a blue one bottom right.
convert -size 160x240 pattern:gray50 -size 160x240 xc:white +append -fill red -draw 'point 0,0' \
  -fill blue -draw 'point 319,239' -type TrueColor PNG24:"$work/picture.png"
cp "$work/picture.png" "$work/painted.png"
QT_QPA_PLATFORM=wayland "$brisel" "$work/painted.png" >"$work/out" 2>"$work/err" &
shown() { grep -q '"name": "Brisel 1.1' <<<"$(swaymsg -t get_tree)"; }
if ! wait_for 30 shown; then
  grep -q 'platform plugin "wayland"' "$work/err" && skip "Qt's Wayland plug-in is not installed (qt6-wayland)"
  fail "the canvas did not open: $(cat "$work/err")"
fi
xdotool mousemove 1 1
sleep 1.5  # the compositor's scale reaches the window after it appeared, and the canvas takes its size then
import -window root "$work/before.png"

# Where the red pixel is, in screen pixels: the only pure red on the screen.
corner=$(convert "$work/before.png" -alpha off -fill black +opaque '#FF0000' -format '%@' info: 2>/dev/null)
[[ $corner =~ ^1x1\+([0-9]+)\+([0-9]+)$ ]] || fail "no single pure red pixel on screen (found: $corner): the picture is scaled"
x=${BASH_REMATCH[1]} y=${BASH_REMATCH[2]}
convert "$work/before.png" -crop "320x240+$x+$y" +repage "$work/canvas.png"
differ=$(compare -metric AE "$work/canvas.png" "$work/picture.png" null: 2>&1 || true)
[ "$differ" = 0 ] || fail "$differ of the picture's pixels differ on screen at 100 % zoom"

# A click on the white half paints a dab centred under the pointer (within a pixel).
xdotool mousemove $((x + 240)) $((y + 120)) click 1 mousemove 1 1
sleep 0.7
import -window root "$work/after.png"
box=$(convert "$work/before.png" "$work/after.png" -compose difference -composite -threshold 0 -format '%@' info: 2>/dev/null)
[[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "the click painted nothing"
read -r w h bx by <<<"${BASH_REMATCH[*]:1}"
off_x=$((2 * bx + w - 1 - 2 * (x + 240))) off_y=$((2 * by + h - 1 - 2 * (y + 120)))  # twice the offset
[ ${off_x#-} -le 2 ] && [ ${off_y#-} -le 2 ] ||
  fail "the dab ($box) is not under the pointer ($((x + 240)),$((y + 120)))"
echo "PASS: 320 x 240 picture pixels on as many screen pixels at 125 %; the dab ${box} under the pointer"
