#!/usr/bin/env bash
# Takes docs/img/scansim-window.png and docs/img/msrsim-window.png: the barcode
# scanner's and the magnetic card reader's input windows as the Windows
# libraries show them under Wine on a Xvfb display of their own, typed into
# with xdotool as a person does (three codes sent and a fourth typed; a card
# sent and the next one's tracks typed). The Windows addinhost opens the
# device and waits for the events of what is sent; the picture is taken with
# the last input typed, which Return then sends. Builds nothing: it needs a
# Windows build tree with addinhost and takes the libraries of the same
# bitness from dist/ (or from that build tree).
#   scripts/screenshot-input.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/win64, docs/img)
# Needs Xvfb, xdotool, xwininfo and ImageMagick; without them it ends with
# status 77 (skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
. "$root/scripts/lib/wine.sh"
for program in Xvfb import xdotool xwininfo; do
  command -v "$program" >/dev/null || { echo "screenshot-input: $program is missing" >&2; exit 77; }
done
build=$(cd "${1:-build/win64}" && pwd)
mkdir -p "${2:-docs/img}"
out_dir=$(cd "${2:-docs/img}" && pwd)
host=$build/tools/addinhost/addinhost.exe
[ -f "$host" ] || { echo "screenshot-input: no $host; build a Windows preset first" >&2; exit 1; }
if [ "$(pe_machine "$host")" = x64 ]; then bits=64; else bits=32; fi
library() { # NAME FOLDER: the DLL from dist/, else from the build tree
  local file
  for file in "$root/dist/${1}_$bits.dll" "$build/devices/$2/${1}_$bits.dll"; do
    [ -f "$file" ] && { echo "$file"; return; }
  done
  echo "screenshot-input: no ${1}_$bits.dll in dist/ or $build" >&2
  exit 1
}
scansim=$(library SCANSIM_3001 scansim)
msrsim=$(library MSRSIM_3001 msrsim)

work=$(mktemp -d /tmp/screenshot-input.XXXXXX)
xvfb_pid=
run_pid=
cleanup() {
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Tall enough for the card reader's window, which stands at 50, 430.
start_own_display "$work" 800x768 || exit 1
failed=0

# start LIBRARY TITLE EVENTS STATEMENT...: runs the host under Wine (the
# operator's answer of this shell is not the host's: the window shows), waits
# for the window of that title, gives it the keyboard; sets window.
start() {
  local library=$1 title=$2 events=$3
  shift 3
  env -u ORVIK_OPERATOR WINE_RUN_TIMEOUT=120 scripts/wine-run.sh "$build" "$host" -q --events "$events" \
    "$(windows_path "$library")" "$@" >"$work/run.log" 2>&1 </dev/null &
  run_pid=$!
  window=
  for _ in $(seq 600); do
    window=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$run_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$window" ] || { cat "$work/run.log" >&2; echo "screenshot-input: no window \"$title\"" >&2; exit 1; }
  sleep 0.5 # let the window finish opening
  xdotool windowfocus --sync "$window" 2>/dev/null || true
}
# finish PICTURE: takes the window, sends the input typed and waits for the host.
finish() {
  local x y w h
  sleep 0.5
  read -r x y w h < <(xwininfo -id "$window" |
    awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
  echo "$1: ${w}x${h} at $x,$y ($(basename "$library"))"
  xdotool key Return
  if ! wait "$run_pid"; then
    cat "$work/run.log" >&2
    echo "screenshot-input: $1: not every event came" >&2
    failed=1
  fi
  run_pid=
}
type_text() { xdotool type --delay 30 "$1"; }

library=$scansim
start "$scansim" "Сканер штрихкода" 4 'Open($scanner)'
for code in 4601234567893 2000000000015 4607001234561; do
  type_text "$code"
  xdotool key Return
  sleep 0.3
done
type_text 4670012345671
finish "$out_dir/scansim-window.png"

library=$msrsim
start "$msrsim" "Считыватель магнитных карт" 2 'SetParameter("Prefix", 37)' 'SetParameter("Suffix", 63)' \
  'Open($reader)'
# No "/" between the names: Wine reads the keys by a keyboard layout of its own
# guess, on which xdotool's "/" comes out as "\".
type_text "B4276550012345678^PETROVA ANNA^2711"
xdotool key Tab
type_text "4276550012345678=2711"
xdotool key Return
sleep 0.3
type_text "B4111111111111111^IVANOV IVAN^2512"
xdotool key Tab
type_text "4111111111111111=2512"
finish "$out_dir/msrsim-window.png"
exit $failed
