#!/bin/sh
# Runs one bounded fuzzing run (the fuzzer and its arguments) for the test
# command. When the run fails only because the leak check's own tracer thread
# crashed at the end (a fault of the sanitizer runtime, "Tracer caught
# signal", with no finding of ours before it), it is made once more; any real
# finding fails at once.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for attempt in 1 2; do
  status=0
  "$@" > "$log" 2>&1 || status=$?
  cat "$log"
  [ "$status" = 0 ] && exit 0
  if [ "$attempt" = 1 ] && grep -q 'Tracer caught signal' "$log" &&
     ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer: detected)|runtime error|deadly signal|ERROR: libFuzzer' "$log"; then
    echo "run-bounded: the leak check's tracer crashed, not the code under test; running again"
    continue
  fi
  exit "$status"
done
