#!/usr/bin/env bash
# addinhost and a device's events: every event printed as one line, and
# --events N waits for N events, failing with status 6 when fewer come.
#   EventsTest.sh ADDINHOST EVENTSIM_LIBRARY
set -u
host=$1 library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data
spool=$XDG_DATA_HOME/Orvik/EventSim_3001_input
mkdir -p "$spool"
unset ORVIK_OPERATOR DISPLAY

fail() {
  echo "FAIL: $*"
  echo "--- output:" && cat "$work/out"
  exit 1
}

# Two codes dropped before Open, one while addinhost waits after its last statement.
printf '4601234567893\r\n\n2000000000015\n' >"$spool/001.txt"
(sleep 0.5 && printf 'late\n' >"$spool/002.tmp" && mv "$spool/002.tmp" "$spool/002.txt") &
"$host" -q "$library" --events 3 'Open($dev)' >"$work/out" 2>&1
code=$?
wait
[ "$code" = 0 ] || fail "exit status $code with three events"
grep -qx 'event: EventSim_3001#1 | Штрихкод | 4601234567893' "$work/out" || fail "first event"
grep -qx 'event: EventSim_3001#1 | Штрихкод | 2000000000015' "$work/out" || fail "second event"
grep -qx 'event: EventSim_3001#1 | Штрихкод | late' "$work/out" || fail "the event that came during the wait"
[ "$(grep -c '^event: ' "$work/out")" = 3 ] || fail "three events, once each"
[ -z "$(ls -A "$spool")" ] || fail "files left in the spool"

# Fewer events than asked for: status 6 after the wait, and the count said.
printf '1\n' >"$spool/003.txt"
start=$(date +%s)
"$host" -q "$library" --events 2 'Open($dev)' >"$work/out" 2>&1
code=$?
[ "$code" = 6 ] || fail "exit status $code with one of two events"
grep -q '1 of 2 events arrived' "$work/out" || fail "the count of events"
[ $(($(date +%s) - start)) -ge 9 ] || fail "gave up before 10 s"
echo "addinhost events: ok"
