#!/usr/bin/env bash
# Runs the whole test suite: the Linux unit and end-to-end tests, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows DLLs of both
# bitnesses end to end under Wine with Xvfb, and a bounded fuzzing run. Ends
# with one line per target (passed, failed, skipped, and why each skip) and a
# total; fails on any real failure. x86 programs are skipped, not failed,
# where this machine cannot run 32-bit programs (scripts/lib/wine.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=(linux linux-asan win64 win32 fuzz)
bash scripts/build.sh "${presets[@]}"
# The archives of the libraries just built: the package test checks them.
bash scripts/package.sh
# Whether 32-bit programs run here is asked once; every Wine run reads the answer.
. scripts/lib/wine.sh
wine32_check
[ -z "$WINE32_REASON" ] || echo "test: x86 runs will be skipped: $WINE32_REASON"

summary=()
total_passed=0 total_failed=0 total_skipped=0
# run_ctest TARGET BUILD_DIR [ctest options]: runs one build tree's tests and
# adds its line to the summary.
run_ctest() {
  local target=$1 dir=$2 out passed failed skipped reasons
  shift 2
  echo "== tests: $target"
  out=$(mktemp)
  ctest --test-dir "$dir" -j 2 --output-on-failure "$@" | tee "$out" || true
  passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed +' "$out" || true)
  skipped=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped +' "$out" || true)
  failed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*' "$out" || true)
  failed=$((failed - skipped))
  # A run that found no test, or broke before its tests, is a failure too.
  if [ $((passed + failed + skipped)) -eq 0 ]; then failed=1; fi
  # Each skipped test's reason: the "skipped: ..." line of its own output.
  reasons=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped +' "$out" |
    sed -E 's/^.*Test +#[0-9]+: ([^ ]+) .*$/\1/' | while read -r name; do
    awk -v name="$name" '$0 ~ "^[0-9]+/[0-9]+ Testing: " name "$" { inside = 1; next }
      inside && /<end of output>/ { exit }
      inside && /skipped: / { sub(/^.*skipped: /, ""); print; exit }' "$dir/Testing/Temporary/LastTest.log" |
      grep . || echo "no reason given"
  done | sort | uniq -c | sed -E 's/^ *([0-9]+) (.*)$/\1 × \2/' | paste -sd ';' - || true)
  rm -f "$out"
  summary+=("$(printf '%-11s %d passed, %d failed, %d skipped' "$target:" "$passed" "$failed" "$skipped")${reasons:+ (${reasons//;/; })}")
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
}

for preset in linux linux-asan win64 win32; do
  run_ctest "$preset" "build/$preset"
done
run_ctest fuzz build/fuzz

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
[ "$total_failed" -eq 0 ]
