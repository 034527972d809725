#!/usr/bin/env bash
# Takes the README's pictures of the Linux windows on a Xvfb display of its own
# and checks the display's pixels: docs/img/linux-panelsim-display.png (the
# display with a running line), docs/img/linux-panelsim-test.png (the device
# test), docs/img/linux-cardsim-dialog.png (a payment of 1234.50),
# docs/img/linux-weighsim-dialog.png (the weighing window) and
# docs/img/linux-receiptsim-paper.png (the receipt printer's tape),
# docs/img/linux-labelsim-window.png (the label printer's window),
# docs/img/linux-fiscalsim-tape.png (the fiscal register's tape),
# docs/img/linux-scansim-window.png (the barcode scanner's window, three codes
# sent and a fourth typed) and docs/img/linux-msrsim-window.png (the card
# reader's window, a card sent and the next one's tracks typed). No window
# manager runs, so the pictures show the windows without frames.
# Builds nothing: the libraries come from dist/ (else from the build tree), the
# programs that show the windows (panelshot, addinhost) from the build tree.
#   scripts/screenshot-linux.sh [BUILD_DIR [OUT_DIR]]   (defaults: build/linux, docs/img)
# Needs Xvfb, xdotool, xwininfo and ImageMagick; without them it ends with
# status 77 (skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
for program in Xvfb import convert xdotool xwininfo; do
  command -v "$program" >/dev/null || { echo "screenshot-linux: $program is missing" >&2; exit 77; }
done
build=$(cd "${1:-build/linux}" && pwd)
mkdir -p "${2:-docs/img}"
out_dir=$(cd "${2:-docs/img}" && pwd)
panelshot=$build/tools/screenshots/panelshot
addinhost=$build/tools/addinhost/addinhost
for program in "$panelshot" "$addinhost"; do
  [ -x "$program" ] || { echo "screenshot-linux: no $program; build the linux preset first" >&2; exit 1; }
done
library() { # NAME: the library from dist/, else from the build tree
  local file
  for file in "$root/dist/$1" "$build/devices/$2/$1"; do
    [ -f "$file" ] && { echo "$file"; return; }
  done
  echo "screenshot-linux: no $1 in dist/ or $build" >&2
  exit 1
}
panelsim=$(library PANELSIM_3001_64.so panelsim)
cardsim=$(library CARDSIM_2001_64.so cardsim)

work=$(mktemp -d /tmp/screenshot-linux.XXXXXX)
xvfb_pid=
run_pid=
cleanup() {
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_own_display "$work" || exit 1

failed=0
check() { # description, value, comparison
  if ! [ "$2" $3 ]; then
    echo "screenshot-linux: $1: $2, expected $3" >&2
    failed=1
  fi
}
green() { convert "$1" -crop "$2" +repage -fx 'g>0.5&&r<0.3&&b<0.3?1:0' -format '%[fx:round(mean*w*h)]' info:; }
foreign() { convert "$1" -crop "$2" +repage -fx 'r>0.05||b>0.05?1:0' -format '%[fx:round(mean*w*h)]' info:; }

# find_window CLASS: waits for the window of that class; sets window.
find_window() {
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --class "^$1\$" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$run_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$window" ] || { cat "$work/run.log" >&2; echo "screenshot-linux: no $1 window" >&2; exit 1; }
}

# take OUT: takes the screen and keeps the part of the window found; sets x y w h.
take() {
  read -r x y w h < <(xwininfo -id "$window" |
    awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$1"
  echo "$1: ${w}x${h} at $x,$y"
}

# shoot CLASS OUT SETTLE [X Y]: waits for the window of that class (moved to
# X, Y when given, for a window placed beyond the small screen's edge), lets
# it settle and takes it; sets x y w h.
shoot() {
  find_window "$1"
  [ $# -ge 5 ] && xdotool windowmove "$window" "$4" "$5"
  sleep "$3"
  take "$2"
}

# The display: row 1 fills the 20 columns, row 2 runs while the program sleeps.
"$panelshot" "$panelsim" display 5000 >"$work/run.log" 2>&1 &
run_pid=$!
shoot PanelSim "$out_dir/linux-panelsim-display.png" 2.2
check "display: size" "${w}x${h}" "= 244x64"
check "display: green pixels" "$(green "$out_dir/linux-panelsim-display.png" "${w}x${h}+0+0")" "-ge 300"
check "display: pixels neither black nor green" "$(foreign "$out_dir/linux-panelsim-display.png" "${w}x${h}+0+0")" "-eq 0"
wait "$run_pid"
run_pid=

# The device test, closed with Escape once it is taken.
"$panelshot" "$panelsim" test >"$work/run.log" 2>&1 &
run_pid=$!
shoot PanelSimTest "$out_dir/linux-panelsim-test.png" 2.2
check "test: green pixels" "$(green "$out_dir/linux-panelsim-test.png" "${w}x${h}+0+0")" "-ge 300"
xdotool key Escape
wait "$run_pid"
run_pid=

# operator_shot LIBRARY CLASS PICTURE CALL: the host calls CALL on an opened
# device, the modal window of CLASS it shows is taken, then closed with Escape.
operator_shot() {
  printf '%s\n' 'Open($id)' "$4" >"$work/call.txt"
  "$addinhost" -q --script "$work/call.txt" "$1" >"$work/run.log" 2>&1 &
  run_pid=$!
  shoot "$2" "$out_dir/$3" 0.5
  xdotool key Escape
  wait "$run_pid"
  run_pid=
}

# The card terminal's operation window for a payment.
operator_shot "$cardsim" CardSim linux-cardsim-dialog.png \
  'PayByPaymentCard($id, $card, 1234.5, $receipt, $rrn, $auth, $slip)'
# The electronic scale's weighing window, prefilled with the default weight.
operator_shot "$(library WEIGHSIM_3001_64.so weighsim)" WeighSim linux-weighsim-dialog.png 'GetWeight($id, $weight)'

# The receipt printer's paper: the demonstration receipt and the drawer.
receiptsim=$(library RECEIPTSIM_3001_64.so receiptsim)
receiptshot=$build/tools/screenshots/receiptshot
[ -x "$receiptshot" ] || { echo "screenshot-linux: no $receiptshot; build the linux preset first" >&2; exit 1; }
"$receiptshot" "$receiptsim" "$work/ready" "$work/done" devices/receiptsim/demo/receipt.xml >"$work/run.log" 2>&1 &
run_pid=$!
shoot ReceiptSim "$out_dir/linux-receiptsim-paper.png" 0.5
dark() { convert "$1" -crop "$2" +repage -fx 'r<0.3&&g<0.3&&b<0.3?1:0' -format '%[fx:round(mean*w*h)]' info:; }
check "paper: size" "${w}x${h}" "= 394x484"
check "paper: ink pixels" "$(dark "$out_dir/linux-receiptsim-paper.png" "${w}x${h}+0+0")" "-ge 2000"
touch "$work/done"
wait "$run_pid"
run_pid=

# The fiscal register's tape: a cash sale ending in its QR code, sold by a
# register of its own (a data folder in the work folder: a new register).
fiscalsim=$(library FISCALSIM_3004_64.so fiscalsim)
rm -f "$work/ready" "$work/done"
XDG_DATA_HOME=$work/data "$receiptshot" "$fiscalsim" "$work/ready" "$work/done" devices/fiscalsim/demo/sale-cash.xml \
  >"$work/run.log" 2>&1 &
run_pid=$!
shoot FiscalSim "$out_dir/linux-fiscalsim-tape.png" 0.5 20 20
check "tape: size" "${w}x${h}" "= 394x484"
check "tape: ink pixels" "$(dark "$out_dir/linux-fiscalsim-tape.png" "${w}x${h}+0+0")" "-ge 4000"
touch "$work/done"
wait "$run_pid"
run_pid=

# The label printer's window: the demonstration's two labels side by side at
# screen size (a data folder in the work folder), moved onto the 800x600
# screen as the fiscal register's tape is.
rm -f "$work/ready" "$work/done"
XDG_DATA_HOME=$work/data "$receiptshot" "$(library LABELSIM_3001_64.so labelsim)" "$work/ready" "$work/done" \
  devices/labelsim/demo/labels.xml >"$work/run.log" 2>&1 &
run_pid=$!
shoot LabelSim "$out_dir/linux-labelsim-window.png" 0.5 20 20
check "labels: size" "${w}x${h}" "= 462x167"
check "labels: ink pixels" "$(dark "$out_dir/linux-labelsim-window.png" "${w}x${h}+0+0")" "-ge 1000"
touch "$work/done"
wait "$run_pid"
run_pid=

# The input windows, typed into as a person does: addinhost opens the device
# (in a data folder of the work folder, so that no spool of the user's is
# read) and waits for the events of the inputs sent; the picture is taken
# with the last input typed but not yet sent, which Return then sends.
# input_shot_start LIBRARY CLASS Y EVENTS STATEMENT...: runs the host, waits
# for the window of CLASS, moves it to 50, Y (the card reader's stands below
# the small screen's edge) and leaves it to the caller, who types and shoots.
input_shot_start() {
  local library=$1 class=$2 top=$3 events=$4
  shift 4
  env -u ORVIK_OPERATOR XDG_DATA_HOME="$work/data" "$addinhost" -q --events "$events" "$library" "$@" \
    >"$work/run.log" 2>&1 &
  run_pid=$!
  find_window "$class"
  xdotool windowmove "$window" 50 "$top"
  sleep 0.3
}
input_shot_end() {
  local picture=$1
  sleep 0.5
  take "$picture"
  xdotool key Return
  wait "$run_pid" || { cat "$work/run.log" >&2; echo "screenshot-linux: $picture: not every event came" >&2; failed=1; }
  run_pid=
}
type_text() { xdotool type --delay 20 "$1"; }

# The barcode scanner: three codes sent (the newest on the first button), a
# fourth typed.
input_shot_start "$(library SCANSIM_3001_64.so scansim)" ScanSim 170 4 'Open($scanner)'
for code in 4601234567893 2000000000015 4607001234561; do
  type_text "$code"
  xdotool key Return
  sleep 0.2
done
type_text 4670012345671
input_shot_end "$out_dir/linux-scansim-window.png"
check "scanner: size" "${w}x${h}" "= 360x298"
check "scanner: ink pixels" "$(dark "$out_dir/linux-scansim-window.png" "${w}x${h}+0+0")" "-ge 1000"

# The magnetic card reader: one card sent, tracks 1 and 2 of the next typed.
input_shot_start "$(library MSRSIM_3001_64.so msrsim)" MsrSim 50 2 'SetParameter("Prefix", 37)' \
  'SetParameter("Suffix", 63)' 'Open($reader)'
type_text "B4276550012345678^PETROVA/ANNA^2711"
xdotool key Tab
type_text "4276550012345678=2711"
xdotool key Return
sleep 0.2
type_text "B4111111111111111^IVANOV/IVAN^2512"
xdotool key Tab
type_text "4111111111111111=2512"
input_shot_end "$out_dir/linux-msrsim-window.png"
check "card reader: size" "${w}x${h}" "= 360x366"
check "card reader: ink pixels" "$(dark "$out_dir/linux-msrsim-window.png" "${w}x${h}+0+0")" "-ge 1000"
exit $failed
