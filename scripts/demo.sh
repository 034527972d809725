#!/usr/bin/env bash
# Builds everything (Linux x86_64, Windows x64 and x86), packs the add-in ZIP,
# and runs a demonstration session: the host CLI drives each real library the
# way the platform does, then shows the tail of each call log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh linux win64 win32
bash scripts/package.sh

host=build/linux/tools/addinhost/addinhost
# The logs of this session go to a folder of the build tree, not to the user's own.
export XDG_DATA_HOME=$PWD/build/demo-data
mkdir -p "$XDG_DATA_HOME/Orvik"
# The operator's answer of the shell that runs the demonstration is not its own.
unset ORVIK_OPERATOR
rm -f "$XDG_DATA_HOME/Orvik/operator.txt"

section() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

section "Libraries and the package in dist/"
ls -l dist/

section "Label scale: SCALESIM_3001_64.so"
"$host" dist/SCALESIM_3001_64.so --script devices/scalesim/demo/scalesim.addin

section "Customer display: PANELSIM_3001_64.so (on Linux the rows are kept, no window is shown)"
"$host" dist/PANELSIM_3001_64.so --script devices/panelsim/demo/panelsim.addin

section "Card terminal: CARDSIM_2001_64.so (on Linux every card operation is refused, as a closed window)"
"$host" dist/CARDSIM_2001_64.so --script devices/cardsim/demo/cardsim.addin

section "Card terminal unattended, as an automated test runs it: ORVIK_OPERATOR=approve, no window"
ORVIK_OPERATOR=approve "$host" -q dist/CARDSIM_2001_64.so 'Open($device)' \
  'PayByPaymentCard($device, $card, 1234.5, $receipt, $reference, $authcode, $slip)' 'Close($device)'

section "The control file overrides the variable: fixed card number and reference, then a refusal"
control=$XDG_DATA_HOME/Orvik/operator.txt
printf 'approve\nCardNumber=4276 **** **** 0001\nRRNCode=000123456789\n' >"$control"
cat "$control"
ORVIK_OPERATOR=refuse "$host" -q dist/CARDSIM_2001_64.so 'Open($device)' \
  'PayByPaymentCard($device, $card, 1234.5, $receipt, $reference, $authcode, $slip)' 'Close($device)'
printf 'refuse\n' >"$control"
ORVIK_OPERATOR=approve "$host" -q dist/CARDSIM_2001_64.so 'Open($device)' \
  'ReturnPaymentByPaymentCard($device, $card, 100, $receipt, $reference, $authcode, $slip)' 'Close($device)'
rm -f "$control"

section "Electronic scale unattended: WEIGHSIM_3001_64.so, ORVIK_OPERATOR=approve, the weight from the setting DefaultWeight"
ORVIK_OPERATOR=approve "$host" -q dist/WEIGHSIM_3001_64.so --script devices/weighsim/demo/weighsim.addin
section "The control file's weight=2,345 less a tare of 0.345 kg; then a refusal, as a closed window \"Весы\""
printf 'approve\nweight=2,345\n' >"$control"
"$host" -q dist/WEIGHSIM_3001_64.so 'Open($device)' 'Calibrate($device, 0.345)' 'GetWeight($device, $weight)' \
  'Close($device)'
printf 'refuse\n' >"$control"
"$host" -q dist/WEIGHSIM_3001_64.so 'Open($device)' 'GetWeight($device, $weight)' 'GetLastError($error)' \
  'Close($device)'
rm -f "$control"

section "What the customer display shows, without a screen: $XDG_DATA_HOME/Orvik/PanelSim_3001_display.txt"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/PanelSim_3001_display.txt"

section "Receipt printer: RECEIPTSIM_3001_64.so (no display here: the tape goes to its file only)"
rm -f "$XDG_DATA_HOME/Orvik/ReceiptSim_3001_tape.txt" # the tape is appended to
DISPLAY= "$host" dist/RECEIPTSIM_3001_64.so --script devices/receiptsim/demo/receiptsim.addin

section "What the receipt printer printed: $XDG_DATA_HOME/Orvik/ReceiptSim_3001_tape.txt"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/ReceiptSim_3001_tape.txt"

section "The same scale as a Windows x64 DLL, under Wine"
wine_out=$(mktemp)
if bash scripts/wine-run.sh build/win64 build/win64/tools/addinhost/addinhost.exe -q \
    dist/SCALESIM_3001_64.dll 'Open($dev)' 'UploadGoods($dev, @devices/scalesim/demo/goods.xml, "first")' \
    'UploadGoods($dev, "<Table/>", "first")' 'GetLastError($e)' 'Close($dev)' >"$wine_out" 2>&1; then
  cat "$wine_out"
else
  cat "$wine_out"
  echo "(the Wine run failed)"
fi
rm -f "$wine_out"

. scripts/lib/wine.sh
wine32_check
if [ -z "$WINE32_REASON" ]; then
  section "A card payment approved in the real window: CARDSIM_2001_32.dll under Wine (the operator presses Enter)"
  bash devices/cardsim/demo/wine-demo.sh build/win32 approve || echo "(the Wine run failed)"
else
  section "A card payment approved in the real window: CARDSIM_2001_64.dll under Wine (the operator presses Enter)"
  echo "(CARDSIM_2001_32.dll cannot run here: $WINE32_REASON; the x64 DLL stands in)"
  bash devices/cardsim/demo/wine-demo.sh build/win64 approve || echo "(the Wine run failed)"
fi

for log in "$XDG_DATA_HOME"/Orvik/*_emulator.log; do
  section "Tail of the call log $(basename "$log")"
  tail -n 24 "$log" | tr -d '\r'
done
