#!/usr/bin/env bash
# Takes the README's pictures of the customer display under Xvfb and checks
# their pixels: docs/img/panelsim-display.png (the display window with a
# running line) and docs/img/panelsim-test.png (the device-test window).
# Builds nothing: the library comes from dist/ (else from the build tree), the
# program that shows the windows (panelshot.exe) from the build tree.
#   scripts/screenshot-panelsim.sh [BUILD_DIR [OUT_DIR [LIBRARY]]]
#   (defaults: build/win64, docs/img, the library as above)
# The build trees' tests run it with their own library and a folder of their
# own. Needs Wine, Xvfb and ImageMagick (import, convert); without them, or
# for an x86 tool where this machine cannot run 32-bit programs, it ends with
# status 77 (skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
. "$root/scripts/lib/wine.sh"
for program in Xvfb import convert; do
  command -v "$program" >/dev/null || { echo "screenshot-panelsim: $program is missing" >&2; exit 77; }
done
build=$(cd "${1:-build/win64}" && pwd)
mkdir -p "${2:-docs/img}"
out_dir=$(cd "${2:-docs/img}" && pwd)
tool=$build/tools/screenshots/panelshot.exe
[ -f "$tool" ] || { echo "screenshot-panelsim: no $tool; build the panelshot target first" >&2; exit 1; }
if ! reason=$(wine_loader_for "$tool" 2>&1 >/dev/null); then
  echo "screenshot-panelsim: skipped: $reason"
  exit 77
fi
if [ "$(pe_machine "$tool")" = x64 ]; then bits=64; else bits=32; fi
library=${3:-$root/dist/PANELSIM_3001_$bits.dll}
[ -f "$library" ] || library=$build/devices/panelsim/PANELSIM_3001_$bits.dll
[ -f "$library" ] || { echo "screenshot-panelsim: no PANELSIM_3001_$bits.dll in dist/ or $build" >&2; exit 1; }
work=$(mktemp -d /tmp/panelsim-shot.XXXXXX)
xvfb_pid=
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
start_own_display "$work" || exit 1

# Green pixels (pure green text, anti-aliased shades included) in a part of a
# picture: WxH+X+Y.
green() { convert "$1" -crop "$2" +repage -fx 'g>0.5&&r<0.3&&b<0.3?1:0' -format '%[fx:round(mean*w*h)]' info:; }
# Pixels that carry any red or blue: neither black nor green.
foreign() { convert "$1" -crop "$2" +repage -fx 'r>0.05||b>0.05?1:0' -format '%[fx:round(mean*w*h)]' info:; }
# The crop geometry of a cell (0-based row and column) inside the client area.
cell() { printf '12x30+%d+%d' $((client_x + 1 + 12 * $2)) $((client_y + 1 + 30 * $1)); }

failed=0
check() { # description, value, comparison
  if ! [ "$2" $3 ]; then
    echo "screenshot-panelsim: $1: $2, expected $3" >&2
    failed=1
  fi
}

# shoot MODE: shows the window, takes the whole screen once it has settled,
# keeps the window's part and checks the client area.
shoot() {
  local mode=$1 out=$out_dir/panelsim-$1.png
  rm -f "$work/rect"
  WINE_RUN_TIMEOUT=90 scripts/wine-run.sh "$build" "$tool" "$(windows_path "$library")" "$mode" \
    "$(windows_path "$work/rect")" 3000 >"$work/$mode.log" 2>&1 </dev/null &
  local run=$!
  for _ in $(seq 600); do
    [ -s "$work/rect" ] && break
    kill -0 "$run" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$work/rect" ]; then
    wait "$run" || true
    cat "$work/$mode.log" >&2
    echo "screenshot-panelsim: the $mode window did not appear" >&2
    exit 1
  fi
  read -r x y w h client_x client_y client_w client_h < <(tr -d '\r' <"$work/rect")
  import -window root "$work/screen.png"
  wait "$run" || { cat "$work/$mode.log" >&2; echo "screenshot-panelsim: panelshot $mode failed" >&2; exit 1; }
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$out"

  local area="${client_w}x${client_h}+${client_x}+${client_y}"
  check "$mode: client area" "${client_w}x${client_h}" "= 244x64"
  check "$mode: green pixels in the client area" "$(green "$work/screen.png" "$area")" "-ge 300"
  check "$mode: pixels neither black nor green in the client area" "$(foreign "$work/screen.png" "$area")" "-eq 0"
  echo "$out: window ${w}x${h} at $x,$y; client ${client_w}x${client_h}," \
    "$(green "$work/screen.png" "$area") green pixels"
}

# The display: row 1 "Итого: 1 234,50 руб." fills the 20 columns, with a blank
# in column 7 (0-based 6); row 2 runs.
shoot display
check "display: cell 1 of row 1" "$(green "$work/screen.png" "$(cell 0 0)")" "-gt 10"
check "display: cell 7 of row 1 (a blank)" "$(green "$work/screen.png" "$(cell 0 6)")" "-eq 0"
check "display: cell 20 of row 1" "$(green "$work/screen.png" "$(cell 0 19)")" "-gt 0"
# Row 2 runs: which of its cells are blank depends on when the picture is taken.
check "display: row 2" "$(green "$work/screen.png" "240x30+$((client_x + 1))+$((client_y + 31))")" "-gt 300"

# The device test: row 1 "Тест устройства:" (16 characters, a blank in
# column 5), row 2 the digit groups on their way.
shoot test
check "test: cell 1 of row 1" "$(green "$work/screen.png" "$(cell 0 0)")" "-gt 10"
check "test: cell 5 of row 1 (a blank)" "$(green "$work/screen.png" "$(cell 0 4)")" "-eq 0"
check "test: cell 17 of row 1 (past the text)" "$(green "$work/screen.png" "$(cell 0 16)")" "-eq 0"

exit $failed
