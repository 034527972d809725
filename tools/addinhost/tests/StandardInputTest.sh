#!/usr/bin/env bash
# addinhost driven through a pipe, as an automated test drives it: the card
# terminal's answer is switched in operator.txt between two payments, and each
# statement is written only after the answer to the one before it has been
# read, with standard input still open. Then a net weight of 1000 kg, which
# must print in full.
#   StandardInputTest.sh ADDINHOST CARDSIM_LIBRARY WEIGHSIM_LIBRARY
set -u
host=$1 card=$2 weigh=$3
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data
mkdir -p "$XDG_DATA_HOME/Orvik"
unset ORVIK_OPERATOR DISPLAY
control=$XDG_DATA_HOME/Orvik/operator.txt

fail() {
  echo "FAIL: $*"
  echo "--- output:" && cat "$work/out"
  echo "--- errors:" && cat "$work/err"
  exit 1
}

# Waits up to 10 s for COUNT lines of the output that match PATTERN.
await() {
  for _ in $(seq 100); do
    [ "$(grep -c -- "$1" "$work/out")" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "no $2 lines matching '$1' in time"
}

mkfifo "$work/in"
"$host" -q "$card" --script - <"$work/in" >"$work/out" 2>"$work/err" &
pid=$!
exec 3>"$work/in"
pay='PayByPaymentCard($dev, $card, 100, $receipt, $reference, $code, $slip)'

echo 'Open($dev)' >&3
await '^  result: true' 1
printf 'approve\nCardNumber=4276 0001\n' >"$control"
echo "$pay" >&3
await '^  param 2: "4276 0001"' 1
printf 'refuse\n' >"$control"
echo "$pay" >&3
await '^  result: false' 1
echo 'Close($dev)' >&3
exec 3>&-
wait "$pid" || fail "addinhost ended with $?"
pid=
[ "$(grep -c '^> ' "$work/out")" -eq 4 ] || fail "not every statement ran once"
[ "$(grep -c '^$' "$work/out")" -eq 4 ] || fail "not every answer ends with an empty line"

rm -f "$control"
ORVIK_OPERATOR=approve "$host" -q "$weigh" 'SetParameter("DefaultWeight", 1000)' 'Open($dev)' \
  'GetWeight($dev, $kg)' 'Close($dev)' >"$work/out" 2>"$work/err" || fail "addinhost ended with $?"
grep -qx '  param 2: 1000' "$work/out" || fail "the net weight of 1000 kg is not printed in full"
echo "passed"
