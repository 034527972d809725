#!/usr/bin/env bash
# One whole sale across the counter, unattended, driven by the addinhost
# scripts beside this file, one per device in the order a sale uses them:
# the register's shift opened (shift.addin), two codes scanned (scan.addin), the loose apples weighed less the bag
# (weigh.addin), the customer display (display.addin), the card payment
# (pay.addin), the fiscal receipt and the drawer (receipt-*.addin), the slip on
# the receipt printer (slip.addin). Then what a tester looks at: the display's
# record, the receipt on the fiscal tape, its journal line, the slip.
#
#   bash scripts/sale/sale.sh linux [faulty]   the Linux libraries of dist/
#   bash scripts/sale/sale.sh win64 [faulty]   the Windows x64 DLLs, under Wine
#
# "faulty" runs the same sale with two scripted faults of operator.txt: the
# bank declines the card (fail.PayByPaymentCard), so the receipt is paid in
# cash; the receipt printer is out of paper (fail.PrintTextDocument), so the
# slip fails with that message and nothing is printed.
# Linux uses the data folder of XDG_DATA_HOME (as the demonstration sets it);
# Wine the prefix's %APPDATA%\Orvik. Run from the repository's root after a
# build (bash scripts/demo.sh builds everything and runs both).
set -euo pipefail
cd "$(dirname "$0")/../.."
target=${1:?usage: sale.sh linux|win64 [faulty]}
faulty=${2:-}
here=scripts/sale

case $target in
linux)
  data=${XDG_DATA_HOME:-$HOME/.local/share}/Orvik
  suffix=64.so
  host() { DISPLAY= build/linux/tools/addinhost/addinhost -q "$@"; }
  ;;
win64)
  suffix=64.dll
  host() { bash scripts/wine-run.sh build/win64 build/win64/tools/addinhost/addinhost.exe -q "$@"; }
  # The prefix's data folder: made by a first run of the host when new.
  prefix=$PWD/build/win64/wineprefix
  host dist/PANELSIM_3001_$suffix 'GetInterfaceRevision()' >/dev/null 2>&1 || true
  data=$(find "$prefix/drive_c/users" -maxdepth 4 -type d -name Orvik -path '*Roaming*' | head -n 1)
  [ -n "$data" ] || { echo "sale: no data folder in $prefix" >&2; exit 1; }
  ;;
*)
  echo "usage: sale.sh linux|win64 [faulty]" >&2
  exit 2
  ;;
esac
mkdir -p "$data"
control=$data/operator.txt
step() { printf '\n\033[1m-- %s\033[0m\n' "$*"; }
size() { if [ -f "$1" ]; then stat -c %s "$1"; else echo 0; fi; }
# What a file got since a size taken before, without the CRs of its line ends.
since() { if [ -f "$1" ]; then tail -c +$(($2 + 1)) "$1" | tr -d '\r'; fi; }

step "Before the sale: a new fiscal register and an open shift"
rm -f "$control"
host dist/FISCALSIM_3004_$suffix --script $here/shift.addin
# The journals the demonstration's resets set aside are of no more use.
find "$data" -name 'FiscalSim_3004_journal.*-*.jsonl' -delete

step "Two codes scanned: the files 0001.txt and 0002.txt dropped in $data/ScanSim_3001_input/"
mkdir -p "$data/ScanSim_3001_input"
printf '4607001771180\r\n' >"$data/ScanSim_3001_input/0001.tmp"
mv "$data/ScanSim_3001_input/0001.tmp" "$data/ScanSim_3001_input/0001.txt"
printf '4620036001015\r\n' >"$data/ScanSim_3001_input/0002.tmp"
mv "$data/ScanSim_3001_input/0002.tmp" "$data/ScanSim_3001_input/0002.txt"
host dist/SCANSIM_3001_$suffix --events 2 --script $here/scan.addin

step "The apples weighed: 0.845 kg on the platform (operator.txt), less 0.045 kg of tare"
printf 'approve\nweight=0,845\n' >"$control"
host dist/WEIGHSIM_3001_$suffix --script $here/weigh.addin

step "The customer display: each line, then the total"
rm -f "$control"
host dist/PANELSIM_3001_$suffix --script $here/display.addin

if [ -z "$faulty" ]; then
  step "The card payment of 253.72, approved with a fixed card number"
  printf 'approve\nCardNumber=4276 **** **** 0001\nRRNCode=000123456789\nAuthorizationCode=A1B2C3\n' >"$control"
  cat "$control"
else
  step "The card payment of 253.72, declined by the bank (a scripted fault)"
  printf 'approve\nCardNumber=4276 **** **** 0001\nfail.PayByPaymentCard=Отказ банка: недостаточно средств\n' >"$control"
  cat "$control"
fi
host dist/CARDSIM_2001_$suffix --script $here/pay.addin
rm -f "$control"

tape=$data/FiscalSim_3004_tape.txt
journal=$data/FiscalSim_3004_journal.jsonl
tapeBefore=$(size "$tape")
if [ -z "$faulty" ]; then
  step "The fiscal receipt paid by card, and the drawer"
  host dist/FISCALSIM_3004_$suffix --script $here/receipt-card.addin
else
  step "The fiscal receipt paid in cash instead, and the drawer"
  host dist/FISCALSIM_3004_$suffix --script $here/receipt-cash.addin
fi

paper=$data/ReceiptSim_3001_tape.txt
paperBefore=$(size "$paper")
if [ -z "$faulty" ]; then
  step "The slip on the receipt printer"
else
  step "The slip on the receipt printer, which is out of paper (a scripted fault)"
  printf 'fail.PrintTextDocument=Нет бумаги\n' >"$control"
  cat "$control"
fi
host dist/RECEIPTSIM_3001_$suffix --script $here/slip.addin
rm -f "$control"

step "What the customer display shows: PanelSim_3001_display.txt"
tr -d '\r' <"$data/PanelSim_3001_display.txt"
step "The receipt on the fiscal tape: FiscalSim_3004_tape.txt"
since "$tape" "$tapeBefore"
step "The receipt in the fiscal memory: the journal's last line"
grep '"type":"receipt"' "$journal" | tail -n 1
step "The slip: what ReceiptSim_3001_tape.txt got"
slip=$(since "$paper" "$paperBefore")
if [ -n "$slip" ]; then printf '%s\n' "$slip"; else echo "(nothing printed)"; fi
