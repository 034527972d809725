#!/usr/bin/env bash
# Takes docs/img/cardsim-dialog.png: the card terminal's operation window for a
# payment of 1234.50, as the 32-bit library shows it under Wine on a Xvfb
# display. Builds nothing: it needs a Windows build tree that holds the
# cardshot tool (tools/screenshots), and takes the library of the same
# bitness from dist/ (or from that build tree).
#   scripts/screenshot-cardsim.sh [BUILD_DIR]
#   (default: build/win32, or build/win64 where 32-bit programs cannot run)
# SHOT_DEVICE=weighsim takes docs/img/weighsim-dialog.png instead: the
# electronic scale's weighing window (scripts/screenshot-weighsim.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
. "$root/scripts/lib/wine.sh"

build=${1:-}
if [ -z "$build" ]; then
  # The 32-bit tree where this machine runs 32-bit programs, else the x64 one.
  for candidate in build/win32 build/win64; do
    if [ -f "$candidate/tools/screenshots/cardshot.exe" ] &&
      wine_loader_for "$candidate/tools/screenshots/cardshot.exe" >/dev/null 2>&1; then
      build=$candidate
      break
    fi
  done
fi
if [ -z "$build" ] || [ ! -f "$build/tools/screenshots/cardshot.exe" ]; then
  echo "screenshot-cardsim: no build tree with tools/screenshots/cardshot.exe; build the win32 preset first" >&2
  exit 1
fi
build=$(cd "$build" && pwd)
tool=$build/tools/screenshots/cardshot.exe
if [ "$(pe_machine "$tool")" = x64 ]; then bits=64; else bits=32; fi
base=CARDSIM_2001 folder=cardsim call=(1234.5 PayByPaymentCard)
if [ "${SHOT_DEVICE:-}" = weighsim ]; then
  base=WEIGHSIM_3001 folder=weighsim call=(0 GetWeight Orvik_WeighSim_3001)
fi
library=$root/dist/${base}_$bits.dll
[ -f "$library" ] || library=$build/devices/$folder/${base}_$bits.dll
[ -f "$library" ] || { echo "screenshot-cardsim: no ${base}_$bits.dll in dist/ or $build" >&2; exit 1; }

work=$(mktemp -d /tmp/screenshot-cardsim.XXXXXX)
xvfb_pid=
tool_pid=
cleanup() {
  touch "$work/done"
  [ -n "$tool_pid" ] && wait "$tool_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, so that nothing else is on the picture.
start_own_display "$work" || exit 1

# The tool shows the window, writes its screen rectangle to "ready" once it is
# painted, and closes it when "done" appears. wine-run.sh gives it the build
# tree's Wine prefix, the Russian code page and a time limit.
WINE_RUN_TIMEOUT=120 scripts/wine-run.sh "$build" "$tool" "$(windows_path "$library")" \
  "$(windows_path "$work/ready")" "$(windows_path "$work/done")" "${call[@]}" \
  >"$work/tool.log" 2>&1 </dev/null &
tool_pid=$!

for _ in $(seq 900); do
  [ -s "$work/ready" ] && break
  kill -0 "$tool_pid" 2>/dev/null || break
  sleep 0.2
done
if [ ! -s "$work/ready" ]; then
  echo "screenshot-cardsim: the $folder window did not appear" >&2
  cat "$work/tool.log" >&2
  exit 1
fi
read -r x y w h <"$work/ready"
sleep 0.5 # let the last paint reach the X server

mkdir -p docs/img
import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "docs/img/$folder-dialog.png"
touch "$work/done"
wait "$tool_pid" || { echo "screenshot-cardsim: the tool failed" >&2; cat "$work/tool.log" >&2; exit 1; }
tool_pid=
echo "docs/img/$folder-dialog.png: ${w}x${h} ($(basename "$library"))"
