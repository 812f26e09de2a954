#!/usr/bin/env bash
# Takes the README's picture on an X server of its own: the tool's player
# window ("orvane gui") with a chain of two effects, and the Orvane Painter
# test plug-in's editor opened for chain position 1 ("orvane edit 1").
# Writes docs/screenshots/orvane-gui.png and orvane-editor.png.
set -euo pipefail
ORVANE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ORVANE_ROOT/tools/install-deps.sh"
missing=()
for p in x11-apps imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq || true
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
. "$ORVANE_ROOT/tools/wine-env.sh"
. "$ORVANE_ROOT/tools/build.sh"
orvane_build x64

# A Wine prefix of its own for the pictures.
export WINEPREFIX="$ORVANE_BUILD/screenshot-prefix"
size=800x620
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing a Wine prefix in $WINEPREFIX"
  "$WINE64" wineboot -i >/dev/null 2>&1 || true
fi
orvane_wine_fonts "$WINEPREFIX"

# A private screen, so no other window gets into the picture.
screen=""
for n in 81 82 83 84 85 86 87 88; do
  [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  if [ -e "/tmp/.X11-unix/X$n" ]; then screen=":$n"; break; fi
  kill "$xvfb_pid" 2>/dev/null || true
done
[ -n "$screen" ] || { echo "error: no free X display for the screenshot" >&2; exit 1; }
export DISPLAY=$screen

profile=$(mktemp -d)
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$profile"
}
trap cleanup EXIT

bin="$ORVANE_BUILD/x64/bin"
tool() { "$WINE64" "$bin/orvane.exe" --profile "Z:$profile" --quiet "$@"; }
tool add "$bin/plugins/painter.dll" >/dev/null
tool add "$bin/plugins/gain.dll" >/dev/null
tool chain add "Orvane Painter" >/dev/null
tool chain add "Orvane Gain" >/dev/null

out="$ORVANE_ROOT/docs/screenshots"
mkdir -p "$out"
# Each window runs on a Wine desktop, which draws frames and title bars
# without a window manager, until its picture is taken. Then the processes
# of this shot, known by the throwaway profile in their command lines, are
# ended; nothing they would have saved matters.
shoot() {
  local name=$1; shift
  "$WINE64" explorer.exe "/desktop=orvane,$size" "$bin/orvane.exe" --profile "Z:$profile" --quiet "$@" \
    >/dev/null 2>&1 &
  sleep 6
  xwd -root -silent | convert xwd:- "$out/$name.png"
  for p in $(pgrep -f -- "$profile" || true); do kill -9 "$p" 2>/dev/null || true; done
  sleep 1
  echo "Wrote $out/$name.png"
}
shoot orvane-gui gui
shoot orvane-editor edit 1
