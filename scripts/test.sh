#!/usr/bin/env bash
# Runs the whole test suite: the Linux unit and end-to-end tests, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows DLLs of both
# bitnesses end to end under Wine with Xvfb, and a bounded fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=(linux linux-asan win64 win32 fuzz)
bash scripts/build.sh "${presets[@]}"
# The archives of the libraries just built: the package test checks them.
bash scripts/package.sh

failed=()
for preset in linux linux-asan win64 win32; do
  echo "== tests: $preset"
  ctest --preset "$preset" -j 2 || failed+=("$preset")
done
echo "== fuzzing (bounded)"
ctest --test-dir build/fuzz --output-on-failure || failed+=(fuzz)

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test runs passed"
