#!/usr/bin/env bash
# Memory checks in one command:
#  1. the whole Linux test suite built with AddressSanitizer and
#     UndefinedBehaviorSanitizer (preset linux-asan);
#  2. the Linux tests of the linux preset under valgrind memcheck (every
#     error and every definite or possible leak fails the test; only
#     valgrind's own suppressions of system libraries apply);
#  3. the goods-list fuzzer for a bounded time (preset fuzz).
# Every step runs even when an earlier one fails; a summary ends the output.
#   scripts/check-memory.sh
# Environment:
#   ORVIK_FUZZ_SECONDS=N        fuzzing time (default 60)
#   ORVIK_VALGRIND_FULL=1       run under valgrind also the cases that are
#                               shortened or left out by default (slow)
#   ORVIK_MEMCHECK_PREFIX=DIR/x build trees DIR/xlinux-asan, DIR/xlinux,
#                               DIR/xfuzz instead of build/<preset> (made and
#                               configured here without dist/ output)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
prefix=${ORVIK_MEMCHECK_PREFIX:-build/}
fuzz_seconds=${ORVIK_FUZZ_SECONDS:-60}

# Tests that drive a Linux program through a script: ctest's memory checker
# would run valgrind on bash, so they run on their own with the program
# under valgrind (the scripts honour ORVIK_TEST_WRAPPER).
script_tests='^(package_tests|method_reference)$'
# Cases left out under valgrind unless ORVIK_VALGRIND_FULL=1 (the sanitizer
# run covers them whole): HostileGoods.HundredMegabytes checks 100 MB goods
# texts, which takes over a minute under valgrind.
# The rest of the suite takes about two minutes under valgrind.
heavy_cases='HostileGoods.HundredMegabytes'
valgrind_options=(--error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,possible
  --num-callers=40 --child-silent-after-fork=yes --track-origins=yes)

results=()
failed=0
note() { results+=("$1"); }

build() { # preset -> builds the tree, sets $tree
  local preset=$1
  tree=$prefix$preset
  if [ "$tree" = "build/$preset" ]; then
    bash scripts/build.sh "$preset"
    return
  fi
  if [ ! -f "$tree/CMakeCache.txt" ]; then
    mkdir -p "$(dirname "$tree")"
    cmake --preset "$preset" -B "$tree" -DORVIK_DIST=OFF >"$tree.configure.log" 2>&1 ||
      { cat "$tree.configure.log"; return 1; }
  fi
  cmake --build "$tree" -j 2
}

bash scripts/setup.sh || exit 1
[ -f dist/Orvik_RetailEmulators.zip ] ||
  echo "note: no dist/Orvik_RetailEmulators.zip: package_tests will be skipped (scripts/package.sh)"

# ---- 1. sanitizers
echo "== 1. AddressSanitizer + UndefinedBehaviorSanitizer: the whole Linux test suite"
if build linux-asan; then
  if ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$tree" -j 2 --output-on-failure; then
    note "sanitizers ($tree): passed, $(ctest --test-dir "$tree" -N | sed -n 's/^Total Tests: //p') tests"
  else
    note "sanitizers ($tree): FAILED"
    failed=1
  fi
else
  note "sanitizers: the linux-asan build FAILED"
  failed=1
fi

# ---- 2. valgrind
echo "== 2. valgrind memcheck: the Linux tests of the linux preset"
if ! command -v valgrind >/dev/null; then
  note "valgrind: not installed (scripts/setup.sh)"
  failed=1
elif build linux; then
  # GoogleTest honours GTEST_FILTER; it is left unset for every case.
  filter=()
  shortened="every case"
  if [ "${ORVIK_VALGRIND_FULL:-0}" != 1 ]; then
    filter=(GTEST_FILTER=-$heavy_cases)
    shortened="without $heavy_cases"
  fi
  valgrind_ok=1
  # ctest's memory checker: one valgrind log per test in Testing/Temporary
  # (those of an earlier run go first: test numbers may have changed).
  rm -f "$tree"/Testing/Temporary/MemoryChecker.*.log
  if ! env "${filter[@]}" ctest --test-dir "$tree" -T memcheck -E "$script_tests" --output-on-failure \
    --overwrite MemoryCheckCommand="$(command -v valgrind)" \
    --overwrite MemoryCheckCommandOptions="${valgrind_options[*]}"; then
    valgrind_ok=0
  fi
  # ctest passes a test with a valgrind error when the program hid the exit
  # code; the logs tell.
  for log in "$tree"/Testing/Temporary/MemoryChecker.*.log; do
    [ -f "$log" ] || continue
    if grep -q 'ERROR SUMMARY: [1-9]' "$log"; then
      echo "valgrind errors in $log:"
      grep -m 1 -B 2 -A 40 'ERROR SUMMARY\|Invalid\|uninitialised\|definitely lost\|possibly lost' "$log" | head -80
      valgrind_ok=0
    fi
  done
  if ! env ORVIK_TEST_WRAPPER="valgrind ${valgrind_options[*]}" "${filter[@]}" \
    ctest --test-dir "$tree" -R "$script_tests" --output-on-failure; then
    valgrind_ok=0
  fi
  if [ $valgrind_ok = 1 ]; then
    note "valgrind ($tree): passed, $(ctest --test-dir "$tree" -N | sed -n 's/^Total Tests: //p') tests, $shortened"
  else
    note "valgrind ($tree): FAILED"
    failed=1
  fi
else
  note "valgrind: the linux build FAILED"
  failed=1
fi

# ---- 3. fuzzing
echo "== 3. libFuzzer: the goods check for $fuzz_seconds s"
if build fuzz; then
  fuzz_dir=$tree/devices/scalesim/fuzz
  mkdir -p "$fuzz_dir/corpus"
  # New inputs are kept in the build tree's corpus for the next run.
  if (cd "$fuzz_dir" && ./goods_fuzz -max_total_time="$fuzz_seconds" -max_len=16384 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -dict="$root/devices/scalesim/fuzz/goods.dict" \
    corpus "$root/devices/scalesim/fuzz/seeds") >"$fuzz_dir/check-memory.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz_dir/check-memory.log")
    note "fuzzing ($tree): clean, ${runs:-?} executions in $fuzz_seconds s, corpus $(ls "$fuzz_dir/corpus" | wc -l) inputs"
  else
    tail -n 60 "$fuzz_dir/check-memory.log"
    note "fuzzing ($tree): FAILED (crash input in $fuzz_dir, log $fuzz_dir/check-memory.log)"
    failed=1
  fi
else
  note "fuzzing: the fuzz build FAILED"
  failed=1
fi

echo
echo "== memory checks"
for line in "${results[@]}"; do echo "- $line"; done
exit $failed
