#!/usr/bin/env bash
# Installs Brisel's Krita plug-in for one user, and enables it in Krita's settings.
#
#   host/krita/install_plugin.sh PROGRAM [DATA_HOME [CONFIG_HOME]]
#
# PROGRAM is the brisel the plug-in starts (written beside it as program.txt). DATA_HOME and CONFIG_HOME
# default to $XDG_DATA_HOME (~/.local/share) and $XDG_CONFIG_HOME (~/.config): the plug-in goes into
# DATA_HOME/krita/pykrita/, and "enable_brisel_krita=true" into the [python] section of CONFIG_HOME/kritarc.
# A running Krita rewrites kritarc as it quits, so it is left alone then, with a word on what to do.
set -euo pipefail

program=$1
data=${2:-${XDG_DATA_HOME:-$HOME/.local/share}}
config=${3:-${XDG_CONFIG_HOME:-$HOME/.config}}
here=$(cd "$(dirname "$0")" && pwd)
pykrita="$data/krita/pykrita"

mkdir -p "$pykrita"
rm -rf "$pykrita/brisel_krita"
cp -r "$here/plugin/brisel_krita" "$pykrita/"
rm -rf "$pykrita/brisel_krita/__pycache__"
cp "$here/plugin/brisel_krita.desktop" "$pykrita/"
printf '%s\n' "$program" > "$pykrita/brisel_krita/program.txt"

kritarc="$config/kritarc"
# Whether a Krita of this user that keeps its settings in this kritarc is running. One with other settings (a
# test's, another profile's) does not rewrite it; one whose environment cannot be read is taken as this one's.
krita_keeps_kritarc() {
  local pid environment home xdg
  for pid in $(pgrep -u "$(id -u)" -x krita 2>/dev/null); do
    environment=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null) || return 0
    home=$(sed -n 's/^HOME=//p' <<<"$environment")
    xdg=$(sed -n 's/^XDG_CONFIG_HOME=//p' <<<"$environment")
    [ "$(realpath -m "${xdg:-$home/.config}")" = "$(realpath -m "$config")" ] && return 0
  done
  return 1
}
if krita_keeps_kritarc; then
  echo "Installed the plug-in in $pykrita. Krita is running: quit it, then enable Brisel in Settings >" \
       "Configure Krita > Python Plugin Manager and restart Krita."
  exit 0
fi
mkdir -p "$config"
touch "$kritarc"
python3 - "$kritarc" <<'PY'
import sys
path = sys.argv[1]
lines = open(path, encoding="utf-8").read().splitlines()
key = "enable_brisel_krita=true"
out, section, done = [], None, False
for line in lines:
    if line.startswith("["):
        if section == "[python]" and not done:
            out.append(key)
            done = True
        section = line.strip()
    elif section == "[python]" and line.startswith("enable_brisel_krita="):
        line, done = key, True
    out.append(line)
if not done:
    if section != "[python]":
        out += ["", "[python]"]
    out.append(key)
open(path, "w", encoding="utf-8").write("\n".join(out) + "\n")
PY
echo "Installed the plug-in in $pykrita and enabled it in $kritarc: start Krita, open a picture, select a" \
     "paint layer and choose Tools > Scripts > Paint in Brisel..."
