#!/usr/bin/env bash
# Builds everything (Linux x86_64, Windows x64 and x86), packs the ZIP archives
# and runs a demonstration session: the host CLI drives each real library the
# way the platform does, shows the tail of each call log, and ends with a
# whole sale across the counter and its twin with scripted faults.
#
# Unattended unless asked otherwise: the operator windows (the card terminal's
# operation window and the electronic scale's "Весы", which wait for a person)
# are answered through ORVIK_OPERATOR and operator.txt in the demonstration's
# own data folder build/demo-data, and the Linux libraries run without a
# display. The Wine card payment shows its real window on a Xvfb display of its
# own, where the script itself presses Enter.
#   ORVIK_DEMO_WINDOWS=1 bash scripts/demo.sh
# with DISPLAY set shows the Linux windows instead: the customer display, the
# receipt printer and the fiscal register's tape for the length of their
# steps, and the card payment and the weighings wait for you (a line says so
# before each); the scanner's and the card reader's windows stay 20 s, for
# you to type a code or a card.
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
control=$XDG_DATA_HOME/Orvik/operator.txt
rm -f "$control"

windows=
if [ "${ORVIK_DEMO_WINDOWS:-}" = 1 ]; then
  if [ -n "${DISPLAY:-}" ]; then
    windows=1
  else
    echo "demo: ORVIK_DEMO_WINDOWS=1 needs a display (DISPLAY is not set); running unattended"
  fi
fi
# The Linux libraries see the display only when windows were asked for.
linux() {
  if [ -n "$windows" ]; then "$@"; else DISPLAY= "$@"; fi
}
waits() { printf '\033[1m>> %s\033[0m\n' "$*"; }

section() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

section "Libraries and the package in dist/"
ls -l dist/

section "Label scale: SCALESIM_3001_64.so"
"$host" dist/SCALESIM_3001_64.so --script devices/scalesim/demo/scalesim.addin

if [ -n "$windows" ]; then
  section "Customer display: PANELSIM_3001_64.so, the window \"Дисплей покупателя\" at 50, 50 while the script runs"
else
  section "Customer display: PANELSIM_3001_64.so, no display: the rows are kept and written to PanelSim_3001_display.txt"
fi
linux "$host" dist/PANELSIM_3001_64.so --script devices/panelsim/demo/panelsim.addin

if [ -n "$windows" ]; then
  section "Card terminal: CARDSIM_2001_64.so, the operator is you"
  waits "The payment of 1234.50 opens the window \"Операция по банковскому терминалу\" on $DISPLAY and waits: Enter or \"Оплата\" approves, Escape or \"Закрыть\" refuses"
  ORVIK_OPERATOR=dialog "$host" dist/CARDSIM_2001_64.so --script devices/cardsim/demo/cardsim.addin
else
  section "Card terminal: CARDSIM_2001_64.so, ORVIK_OPERATOR=approve: approved at once, no window (ORVIK_DEMO_WINDOWS=1 shows it)"
  ORVIK_OPERATOR=approve linux "$host" dist/CARDSIM_2001_64.so --script devices/cardsim/demo/cardsim.addin
fi

section "The control file overrides the variable: fixed card number and reference, then a refusal"
printf 'approve\nCardNumber=4276 **** **** 0001\nRRNCode=000123456789\n' >"$control"
cat "$control"
ORVIK_OPERATOR=refuse linux "$host" -q dist/CARDSIM_2001_64.so 'Open($device)' \
  'PayByPaymentCard($device, $card, 1234.5, $receipt, $reference, $authcode, $slip)' 'Close($device)'
printf 'refuse\n' >"$control"
ORVIK_OPERATOR=approve linux "$host" -q dist/CARDSIM_2001_64.so 'Open($device)' \
  'ReturnPaymentByPaymentCard($device, $card, 100, $receipt, $reference, $authcode, $slip)' 'Close($device)'
rm -f "$control"

if [ -n "$windows" ]; then
  section "Electronic scale: WEIGHSIM_3001_64.so, the operator is you"
  waits "Each of the three weighings opens the window \"Весы\" on $DISPLAY and waits: type the gross weight and press Enter (Escape refuses)"
  ORVIK_OPERATOR=dialog "$host" -q dist/WEIGHSIM_3001_64.so --script devices/weighsim/demo/weighsim.addin
else
  section "Electronic scale: WEIGHSIM_3001_64.so, ORVIK_OPERATOR=approve: no window, the weight from the setting DefaultWeight"
  ORVIK_OPERATOR=approve linux "$host" -q dist/WEIGHSIM_3001_64.so --script devices/weighsim/demo/weighsim.addin
fi
section "The control file's weight=2,345 less a tare of 0.345 kg; then a refusal, as a closed window \"Весы\""
printf 'approve\nweight=2,345\n' >"$control"
linux "$host" -q dist/WEIGHSIM_3001_64.so 'Open($device)' 'Calibrate($device, 0.345)' 'GetWeight($device, $weight)' \
  'Close($device)'
printf 'refuse\n' >"$control"
linux "$host" -q dist/WEIGHSIM_3001_64.so 'Open($device)' 'GetWeight($device, $weight)' 'GetLastError($error)' \
  'Close($device)'
rm -f "$control"

section "What the customer display shows, for a test to read: $XDG_DATA_HOME/Orvik/PanelSim_3001_display.txt"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/PanelSim_3001_display.txt"

if [ -n "$windows" ]; then
  section "Receipt printer: RECEIPTSIM_3001_64.so, the window \"Принтер чеков\" at 330, 50 while the script runs, and the tape file"
else
  section "Receipt printer: RECEIPTSIM_3001_64.so, no display: the tape goes to its file only"
fi
rm -f "$XDG_DATA_HOME/Orvik/ReceiptSim_3001_tape.txt" # the tape is appended to
linux "$host" dist/RECEIPTSIM_3001_64.so --script devices/receiptsim/demo/receiptsim.addin

section "What the receipt printer printed: $XDG_DATA_HOME/Orvik/ReceiptSim_3001_tape.txt"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/ReceiptSim_3001_tape.txt"

if [ -n "$windows" ]; then
  section "Label printer: LABELSIM_3001_64.so, the window \"Принтер этикеток\" at 360, 90 while the script runs, and the label files"
else
  section "Label printer: LABELSIM_3001_64.so, no display: every copy a PNG, every label a record line"
fi
rm -rf "$XDG_DATA_HOME/Orvik/LabelSim_3001_labels" "$XDG_DATA_HOME/Orvik/LabelSim_3001_labels.txt"
linux "$host" dist/LABELSIM_3001_64.so --script devices/labelsim/demo/labelsim.addin

section "What the label printer printed: $XDG_DATA_HOME/Orvik/LabelSim_3001_labels.txt and its PNG files"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/LabelSim_3001_labels.txt"
ls "$XDG_DATA_HOME/Orvik/LabelSim_3001_labels"

if [ -n "$windows" ]; then
  section "Fiscal register: FISCALSIM_3004_64.so, the window \"Фискальный регистратор\" while the script runs"
else
  section "Fiscal register: FISCALSIM_3004_64.so, no display: a whole shift, the tape to its file, each document to the journal"
fi
# The script resets the register first (the additional action ResetRegister),
# so that a shift left open by an interrupted run does not stop this one.
linux "$host" -q dist/FISCALSIM_3004_64.so --script devices/fiscalsim/demo/fiscalsim.addin

section "What the fiscal register printed (the tail): $XDG_DATA_HOME/Orvik/FiscalSim_3004_tape.txt"
tail -n 60 "$XDG_DATA_HOME/Orvik/FiscalSim_3004_tape.txt" | tr -d '\r'

section "The session's documents in the fiscal memory: $XDG_DATA_HOME/Orvik/FiscalSim_3004_journal.jsonl"
cat "$XDG_DATA_HOME/Orvik/FiscalSim_3004_journal.jsonl"
# The journals set aside by the resets of earlier runs are of no more use here.
find "$XDG_DATA_HOME/Orvik" -name 'FiscalSim_3004_journal.*-*.jsonl' -delete

section "Fiscal register: marking codes; operator.txt has the marking system refuse one GTIN"
printf 'km.04620202001207=reject\n' >"$control"
cat "$control"
linux "$host" -q dist/FISCALSIM_3004_64.so --script devices/fiscalsim/demo/marking.addin
rm -f "$control"
section "The marked sale on the tape, and its notice in the fiscal memory"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/FiscalSim_3004_tape.txt" | grep -A 4 '^\[М'
grep -a '"marking_notice"' "$XDG_DATA_HOME/Orvik/FiscalSim_3004_journal.jsonl"
find "$XDG_DATA_HOME/Orvik" -name 'FiscalSim_3004_journal.*-*.jsonl' -delete

# The input devices: a scan or a card is a line of a file dropped into the
# device's spool folder <Component>_input/ beside its log (written under a
# temporary name, then renamed): the first file before the script opens the
# device, the second while addinhost waits for the events (--events N).
drop() { # FOLDER NAME TEXT (printf escapes)
  mkdir -p "$1" && printf "$3" >"$1/$2.tmp" && mv "$1/$2.tmp" "$1/$2"
}
# DATA_FOLDER COMPONENT FIRST LATE, then the command that runs addinhost.
input_demo() {
  local spool=$1/$2_input record=$1/$2_events.txt first=$3 late=$4
  shift 4
  rm -f "$record"
  drop "$spool" 001.txt "$first"
  (sleep 1 && drop "$spool" 002.txt "$late") &
  "$@" || echo "(the run failed)"
  wait
}
scan_first='4601234567893\n0104601234567893215abc~93dGVz\n'
scan_late='2000000000015\n'
card_first='%%B4111111111111111^IVANOV/IVAN^2512101?\t;4111111111111111=2512101?\n'
card_late='\t;9990001234=2912?\n'

# input_host LIBRARY EVENTS SCRIPT: addinhost runs the script and waits for
# the events. With windows, the device's input window stays open 20 s more
# (the statements go through standard input, which stays open that long) and
# what you type there arrives as events too.
input_host() {
  if [ -n "$windows" ]; then
    { cat "$3"; sleep 20; } | "$host" -q "$1" --events "$2" --script -
  else
    DISPLAY= "$host" -q "$1" --events "$2" --script "$3"
  fi
}
if [ -n "$windows" ]; then
  section "Barcode scanner: SCANSIM_3001_64.so, scans dropped into ScanSim_3001_input/ and typed by you"
  waits "The window \"Сканер штрихкода\" stands at 50, 170 for 20 s: type a code there and press Enter (or click a recent one), it arrives as an event"
else
  section "Barcode scanner: SCANSIM_3001_64.so, scans dropped into ScanSim_3001_input/ arrive as events (\"~\" stands for GS)"
fi
input_demo "$XDG_DATA_HOME/Orvik" ScanSim_3001 "$scan_first" "$scan_late" \
  input_host dist/SCANSIM_3001_64.so 3 devices/scansim/demo/scansim.addin
section "The scanner's record of the events the host took: $XDG_DATA_HOME/Orvik/ScanSim_3001_events.txt"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/ScanSim_3001_events.txt"

section "Magnetic card reader: MSRSIM_3001_64.so, cards (tracks separated by tabs) dropped into MsrSim_3001_input/"
[ -n "$windows" ] &&
  waits "The window \"Считыватель магнитных карт\" stands at 50, 430 for 20 s: type the tracks (Tab between them) and press Enter"
input_demo "$XDG_DATA_HOME/Orvik" MsrSim_3001 "$card_first" "$card_late" \
  input_host dist/MSRSIM_3001_64.so 2 devices/msrsim/demo/msrsim.addin
section "The reader's record: $XDG_DATA_HOME/Orvik/MsrSim_3001_events.txt"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/MsrSim_3001_events.txt"

section "Data collection terminal: DCTSIM_3001_64.so, goods in two batches, the collection from operator.txt"
rm -f "$XDG_DATA_HOME/Orvik/DctSim_3001_terminal.xml" "$XDG_DATA_HOME/Orvik/DctSim_3001_collected.txt"
printf 'approve\ncollect=4601234567893;2\ncollect=2000000000015;1,250\ncollect=4699999999999;1\ncollect=4601234567893;1\n' >"$control"
cat "$control"
linux "$host" dist/DCTSIM_3001_64.so --script devices/dctsim/demo/dctsim.addin
rm -f "$control"
section "The terminal's record of what it collected: $XDG_DATA_HOME/Orvik/DctSim_3001_collected.txt"
tr -d '\r' <"$XDG_DATA_HOME/Orvik/DctSim_3001_collected.txt"

section "The same scale as a Windows x64 DLL, under Wine (no window)"
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

section "The same shift on the fiscal register's Windows x64 DLL, under Wine"
# Its data folder is the Wine prefix's %APPDATA%\\Orvik, which keeps the
# journal from run to run: the script's reset starts it anew each time. The
# tape window goes to a Xvfb display of Wine's own unless windows were asked for.
wine_out=$(mktemp)
wine_display=
[ -n "$windows" ] && wine_display=$DISPLAY
if DISPLAY=$wine_display bash scripts/wine-run.sh build/win64 build/win64/tools/addinhost/addinhost.exe -q \
    dist/FISCALSIM_3004_64.dll --script devices/fiscalsim/demo/fiscalsim.addin >"$wine_out" 2>&1; then
  cat "$wine_out"
else
  cat "$wine_out"
  echo "(the Wine run failed)"
fi
rm -f "$wine_out"

section "The scanner and the card reader as Windows x64 DLLs, under Wine: the same files, in the prefix's %APPDATA%\\Orvik"
# The prefix exists by now (the runs above made it); its data folder is the
# Windows user's roaming application data.
appdata=$(find build/win64/wineprefix/drive_c/users -mindepth 2 -maxdepth 3 -type d \
  \( -name Roaming -o -name 'Application Data' \) ! -path '*/Public/*' 2>/dev/null | head -n 1)
if [ -n "$appdata" ]; then
  wine_display=
  [ -n "$windows" ] && wine_display=$DISPLAY
  input_demo "$appdata/Orvik" ScanSim_3001 "$scan_first" "$scan_late" \
    env DISPLAY=$wine_display bash scripts/wine-run.sh build/win64 build/win64/tools/addinhost/addinhost.exe -q \
    dist/SCANSIM_3001_64.dll --events 3 --script devices/scansim/demo/scansim.addin
  input_demo "$appdata/Orvik" MsrSim_3001 "$card_first" "$card_late" \
    env DISPLAY=$wine_display bash scripts/wine-run.sh build/win64 build/win64/tools/addinhost/addinhost.exe -q \
    dist/MSRSIM_3001_64.dll --events 2 --script devices/msrsim/demo/msrsim.addin
else
  echo "(no Wine prefix with an application data folder in build/win64/wineprefix)"
fi

. scripts/lib/wine.sh
wine32_check
if [ -z "$WINE32_REASON" ]; then
  section "A card payment approved in the real window: CARDSIM_2001_32.dll under Wine, on a Xvfb display of its own where the script presses Enter"
  bash devices/cardsim/demo/wine-demo.sh build/win32 approve || echo "(the Wine run failed)"
else
  section "A card payment approved in the real window: CARDSIM_2001_64.dll under Wine, on a Xvfb display of its own where the script presses Enter"
  echo "(CARDSIM_2001_32.dll cannot run here: $WINE32_REASON; the x64 DLL stands in)"
  bash devices/cardsim/demo/wine-demo.sh build/win64 approve || echo "(the Wine run failed)"
fi

for log in "$XDG_DATA_HOME"/Orvik/*_emulator.log; do
  section "Tail of the call log $(basename "$log")"
  tail -n 24 "$log" | tr -d '\r'
done

# One whole sale across the counter, unattended, and its twin with two
# scripted faults (a declined card, a printer out of paper): first on the Linux
# libraries, then on the Windows x64 DLLs under Wine (scripts/sale/).
section "A whole sale on the Linux libraries: scanner, scale, display, card terminal, fiscal register, receipt printer"
bash scripts/sale/sale.sh linux
section "The same sale with two scripted faults: the bank declines the card, the receipt printer is out of paper"
bash scripts/sale/sale.sh linux faulty
section "The whole sale on the Windows x64 DLLs, under Wine"
bash scripts/sale/sale.sh win64 || echo "(the sale failed)"
section "Its twin with the two faults, under Wine"
bash scripts/sale/sale.sh win64 faulty || echo "(the sale failed)"
