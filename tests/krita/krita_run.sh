#!/usr/bin/env bash
# One Krita start under Xvfb, in a profile of its own, with the plug-in as installed by
# host/krita/install_plugin.sh. Exits 77 (skipped) where Krita or a tool is missing.
#
#   tests/krita/krita_run.sh PROBE BRISEL SOURCE_DIR [cases | krita-quits | krita-dies]
#
# cases (the default) plays tests/krita/scenario.py, brisel-krita-probe standing in for Brisel's window but in
# its last case, and reads the findings. krita-quits and krita-dies play tests/krita/lifecycle.py (a stroke on
# Brisel's canvas, not sent), then quit Krita or kill it, and check that Brisel kept the stroke in a recovery
# copy and ended (after its message, for a Krita that died; Krita started again then, and Brisel on the same
# layer, the painting is offered back and sent).
set -uo pipefail

probe=$1
brisel=$2
source_dir=$3
mode=${4:-cases}
for tool in krita Xvfb openbox xdotool wmctrl xprop; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed (scripts/install-deps installs it)"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/brisel-krita-test.XXXXXX")
xvfb_pid= krita_pid= openbox_pid=
cleanup() {
  [ -n "$krita_pid" ] && kill "$krita_pid" 2>/dev/null
  [ -n "$openbox_pid" ] && kill "$openbox_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
       XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$source_dir/host/krita/install_plugin.sh" "$probe" >/dev/null || { echo "FAILED: the plug-in did not install"; exit 1; }

# A display of our own, whose number Xvfb picks and tells: two runs side by side (ctest -j) never pick the
# same one.
exec 5< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>"$work/xvfb.log")
xvfb_pid=$!
read -r -t 30 display <&5 || { echo "FAILED: Xvfb did not start: $(tail -n 5 "$work/xvfb.log")"; exit 1; }
export DISPLAY=":$display"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
openbox >"$work/openbox.log" 2>&1 &
openbox_pid=$!
. "$source_dir/tests/support/desktop.sh"
window_manager_up "$openbox_pid" || { echo "FAILED: openbox did not start: $(tail -n 5 "$work/openbox.log")"; exit 1; }

scenario=scenario.py
[ "$mode" = cases ] || scenario=lifecycle.py
[ "$mode" = krita-quits ] && export BRISEL_KRITA_END=quit
export BRISEL_KRITA_PROBE_PROGRAM="$probe" BRISEL_KRITA_WINDOW_PROGRAM="$brisel" \
       BRISEL_KRITA_SCENARIO="$source_dir/tests/krita/$scenario" BRISEL_KRITA_RESULT="$work/result.json"
started=$(date +%s.%N)
krita --nosplash >"$work/krita.log" 2>&1 &
krita_pid=$!
for _ in $(seq 1800); do
  [ -s "$work/result.json" ] && break
  kill -0 "$krita_pid" 2>/dev/null || break
  sleep 0.1
done
ended=$(date +%s.%N)
if [ ! -s "$work/result.json" ]; then
  echo "FAILED: Krita wrote no findings; the end of its log:"
  tail -n 40 "$work/krita.log"
  exit 1
fi

if [ "$mode" != cases ]; then
  fail() { echo "FAILED ($mode): $*"; grep -E '^(brisel|brisel-krita):' "$work/krita.log" | sed 's/^/  /'; exit 1; }
  grep -q '"stroke": 0' "$work/result.json" || fail "the stroke could not be painted: $(cat "$work/result.json")"
  brisel_pid=$(pgrep -P "$krita_pid" -x "$(basename "$brisel")" | head -n 1)
  [ -n "$brisel_pid" ] || fail "no Brisel runs under Krita"
  [ "$mode" = krita-dies ] && kill -9 "$krita_pid"
  copies="$XDG_STATE_HOME/brisel/recovery"
  copy_kept() { compgen -G "$copies/*.png" >/dev/null; }
  for _ in $(seq 300); do copy_kept && break; sleep 0.1; done
  copy_kept || fail "no recovery copy in $copies"
  if [ "$mode" = krita-dies ]; then
    message() { xdotool search --onlyvisible --name '^Brisel$' | head -n 1 | grep -q .; }
    for _ in $(seq 200); do message && break; sleep 0.1; done
    message || fail "Brisel said nothing after Krita died"
    wmctrl -i -c "$(xdotool search --onlyvisible --name '^Brisel$' | head -n 1)"
  fi
  for _ in $(seq 300); do kill -0 "$brisel_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$brisel_pid" 2>/dev/null && fail "Brisel still runs"
  copy=$(basename "$(ls "$copies"/*.png | head -n 1)")
  if [ "$mode" = krita-dies ]; then
    # Krita and Brisel again on the same document and layer: the painting is offered back, and taken, it is
    # sent to the layer when the canvas closes.
    kill "$krita_pid" 2>/dev/null
    wait "$krita_pid" 2>/dev/null
    rm -f "$work/result.json"
    BRISEL_KRITA_END=reopen krita --nosplash >"$work/krita-again.log" 2>&1 &
    krita_pid=$!
    for _ in $(seq 1200); do [ -s "$work/result.json" ] && break; sleep 0.1; done
    python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); sys.exit(not (r["taken back"] == 0 and r["code"] == 0 and r["changed"] > 0))' \
      "$work/result.json" 2>/dev/null || fail "the painting did not come back: $(cat "$work/result.json" 2>/dev/null)"
    copy="$copy, taken back: $(cat "$work/result.json")"
  fi
  echo "$mode: passed (the copy: $copy)"
  exit 0
fi
grep '^brisel-krita:' "$work/krita.log" | grep -v '^brisel-krita: started' | sed 's/^/  /'
python3 - "$work/result.json" "$started" "$ended" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))
total = float(sys.argv[3]) - float(sys.argv[2])
print("Krita start and every case: {:.1f} s, of which the cases {:.1f} s".format(total, result["seconds"]))
failed = 0
if "error" in result:
    print("FAILED: the scenario stopped on an error:\n" + result["error"])
    failed = 1
for name, case in result["cases"].items():
    sends = ", ".join("{} s ({})".format(s, kind) for s, kind in case.get("sends", []))
    print("{}: {} (the session {} s; sends applied in {})".format(
        name, "FAILED" if case["failures"] else "passed", case.get("seconds"), sends or "none"))
    for failure in case["failures"]:
        print("   " + failure)
    failed += bool(case["failures"])
sys.exit(1 if failed else 0)
PY
