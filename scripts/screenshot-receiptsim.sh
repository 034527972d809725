#!/usr/bin/env bash
# Takes docs/img/receiptsim-paper.png: the receipt printer's paper window with
# the demonstration receipt and the opened drawer, as the Windows library shows
# it under Wine on a Xvfb display. Builds nothing: it needs a Windows build
# tree that holds the receiptshot tool (tools/screenshots), and takes the
# library of the same bitness from dist/ (or from that build tree).
#   scripts/screenshot-receiptsim.sh [BUILD_DIR]   (default: build/win64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
. "$root/scripts/lib/wine.sh"

build=$(cd "${1:-build/win64}" && pwd)
tool=$build/tools/screenshots/receiptshot.exe
[ -f "$tool" ] || { echo "screenshot-receiptsim: no $tool; build a Windows preset first" >&2; exit 1; }
if [ "$(pe_machine "$tool")" = x64 ]; then bits=64; else bits=32; fi
library=$root/dist/RECEIPTSIM_3001_$bits.dll
[ -f "$library" ] || library=$build/devices/receiptsim/RECEIPTSIM_3001_$bits.dll
[ -f "$library" ] || { echo "screenshot-receiptsim: no RECEIPTSIM_3001_$bits.dll" >&2; exit 1; }

work=$(mktemp -d /tmp/screenshot-receiptsim.XXXXXX)
xvfb_pid=
tool_pid=
cleanup() {
  touch "$work/done"
  [ -n "$tool_pid" ] && wait "$tool_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_own_display "$work" || exit 1

# The tool prints the receipt, writes the window's screen rectangle to "ready"
# once it is painted, and ends when "done" appears.
WINE_RUN_TIMEOUT=120 scripts/wine-run.sh "$build" "$tool" "$(windows_path "$library")" \
  "$(windows_path "$root/devices/receiptsim/demo/receipt.xml")" "$(windows_path "$work/ready")" \
  "$(windows_path "$work/done")" >"$work/tool.log" 2>&1 </dev/null &
tool_pid=$!
for _ in $(seq 900); do
  [ -s "$work/ready" ] && break
  kill -0 "$tool_pid" 2>/dev/null || break
  sleep 0.2
done
[ -s "$work/ready" ] || { echo "screenshot-receiptsim: the paper window did not appear" >&2; cat "$work/tool.log" >&2; exit 1; }
read -r x y w h <"$work/ready"
sleep 0.5 # let the last paint reach the X server
mkdir -p docs/img
import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage docs/img/receiptsim-paper.png
touch "$work/done"
wait "$tool_pid" || { echo "screenshot-receiptsim: the tool failed" >&2; cat "$work/tool.log" >&2; exit 1; }
tool_pid=
echo "docs/img/receiptsim-paper.png: ${w}x${h} ($(basename "$library"))"
