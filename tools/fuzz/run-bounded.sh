#!/bin/sh
# One bounded fuzzing run of the test command: FUZZER N runs host_fuzz for
# 20 s from the seed N (the first byte picks the library), its new inputs kept
# in corpusN and its call logs in logsN. When the run fails only because the
# leak check's own tracer thread crashed at the end (a fault of the sanitizer
# runtime, "Tracer caught signal", with no finding of ours before it), the run
# is made once more; any real finding fails at once.
fuzzer=$1
n=$2
mkdir -p "corpus$n" "logs$n" "seeds$n"
printf '%s' "$n" > "seeds$n/seed"
log="run$n.log"
for attempt in 1 2; do
  status=0
  ORVIK_FUZZ_LOG_HOME="$PWD/logs$n" "$fuzzer" -max_total_time=20 -max_len=100 -timeout=10 -rss_limit_mb=2048 \
    "corpus$n" "seeds$n" > "$log" 2>&1 || status=$?
  cat "$log"
  [ "$status" = 0 ] && exit 0
  if [ "$attempt" = 1 ] && grep -q 'Tracer caught signal' "$log" &&
     ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer: detected)|runtime error|deadly signal|ERROR: libFuzzer' "$log"; then
    echo "run-bounded: the leak check's tracer crashed, not the code under test; running again"
    continue
  fi
  exit "$status"
done
