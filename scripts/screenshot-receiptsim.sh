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
. "$root/scripts/lib/windowshot.sh"

build=$(cd "${1:-build/win64}" && pwd)
tool=$build/tools/screenshots/receiptshot.exe
[ -f "$tool" ] || { echo "screenshot-receiptsim: no $tool; build a Windows preset first" >&2; exit 1; }
if [ "$(pe_machine "$tool")" = x64 ]; then bits=64; else bits=32; fi
library=$root/dist/RECEIPTSIM_3001_$bits.dll
[ -f "$library" ] || library=$build/devices/receiptsim/RECEIPTSIM_3001_$bits.dll
[ -f "$library" ] || { echo "screenshot-receiptsim: no RECEIPTSIM_3001_$bits.dll" >&2; exit 1; }

# The tool prints the demonstration receipt and opens the drawer.
wine_window_shot screenshot-receiptsim "$build" "$tool" "$library" docs/img/receiptsim-paper.png \
  "$(windows_path "$root/devices/receiptsim/demo/receipt.xml")"
