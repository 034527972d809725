#!/usr/bin/env bash
# Takes docs/img/receiptsim-paper.png: the receipt printer's paper window with
# the demonstration receipt and the opened drawer, as the Windows library shows
# it under Wine on a Xvfb display. Builds nothing: it needs a Windows build
# tree that holds the receiptshot tool (tools/screenshots), and takes the
# library of the same bitness from dist/ (or from that build tree).
# With SHOT_DEVICE=fiscalsim (scripts/screenshot-fiscalsim.sh) it takes
# docs/img/fiscalsim-tape.png instead: the fiscal register's tape window with
# the demonstration's cash sale, which ends in its QR code; with
# SHOT_DEVICE=labelsim docs/img/labelsim-window.png: the label printer's
# window with the demonstration's first labels.
#   scripts/screenshot-receiptsim.sh [BUILD_DIR]   (default: build/win64)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
. "$root/scripts/lib/wine.sh"
. "$root/scripts/lib/windowshot.sh"

case ${SHOT_DEVICE:-receiptsim} in
receiptsim)
  name=RECEIPTSIM_3001 device=receiptsim picture=docs/img/receiptsim-paper.png
  document=devices/receiptsim/demo/receipt.xml
  ;;
fiscalsim)
  name=FISCALSIM_3004 device=fiscalsim picture=docs/img/fiscalsim-tape.png
  document=devices/fiscalsim/demo/sale-cash.xml
  ;;
labelsim)
  name=LABELSIM_3001 device=labelsim picture=docs/img/labelsim-window.png
  document=devices/labelsim/demo/labels.xml
  ;;
*)
  echo "screenshot-receiptsim: unknown SHOT_DEVICE=$SHOT_DEVICE" >&2
  exit 2
  ;;
esac
build=$(cd "${1:-build/win64}" && pwd)
tool=$build/tools/screenshots/receiptshot.exe
[ -f "$tool" ] || { echo "screenshot-receiptsim: no $tool; build a Windows preset first" >&2; exit 1; }
if [ "$(pe_machine "$tool")" = x64 ]; then bits=64; else bits=32; fi
library=$root/dist/${name}_$bits.dll
[ -f "$library" ] || library=$build/devices/$device/${name}_$bits.dll
[ -f "$library" ] || { echo "screenshot-receiptsim: no ${name}_$bits.dll" >&2; exit 1; }

# The tool prints the document: the printer's with the drawer opened after
# it, or the register's receipt in a shift of its own.
wine_window_shot screenshot-$device "$build" "$tool" "$library" "$picture" "$(windows_path "$root/$document")"
