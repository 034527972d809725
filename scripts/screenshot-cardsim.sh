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
. "$root/scripts/lib/windowshot.sh"

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

# The tool starts the operation (a payment of 1234.50, or a weighing) and
# closes the window with its "Закрыть" button when the picture is taken.
wine_window_shot screenshot-cardsim "$build" "$tool" "$library" "docs/img/$folder-dialog.png" "${call[@]}"
