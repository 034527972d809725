#!/usr/bin/env bash
# Builds the linux preset and runs every benchmark, then prints their figures
# in one Markdown table (name, measured, baseline, ratio, goal, memory) with
# the machine they ran on.
#   scripts/bench.sh [RECORDS]   (goods records for bench_upload, default 100000)
# ORVIK_BENCH_BUILD=DIR builds and runs the benchmarks of another tree made
# from the linux preset (configured there when it has no cache yet).
# Benchmarks time the disk and the processor: run them on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
records=${1:-100000}

build=${ORVIK_BENCH_BUILD:-}
if [ -z "$build" ]; then
  bash scripts/build.sh linux
  build=build/linux
else
  bash scripts/setup.sh
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset linux -B "$build" -DORVIK_DIST=OFF >"$build.configure.log" 2>&1 ||
      { cat "$build.configure.log"; exit 1; }
  fi
  cmake --build "$build" -j 2 --target bench_log bench_upload bench_fiscal bench_input
fi

work=$(mktemp -d /tmp/orvik-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
benches=(
  "$build/tools/bench/bench_log"
  "$build/tools/bench/bench_upload $records"
  "$build/tools/bench/bench_fiscal"
  "$build/tools/bench/bench_input"
)
rows=$work/rows.tsv
: >"$rows"
failed=()
for bench in "${benches[@]}"; do
  read -r -a command <<<"$bench"
  echo "== $(basename "${command[0]}") ${command[*]:1}"
  if [ ! -x "${command[0]}" ]; then
    echo "missing: ${command[0]}"
    failed+=("$(basename "${command[0]}")")
    continue
  fi
  # Any call log a benchmark writes stays out of the user's folder.
  if ! XDG_DATA_HOME=$work/data "${command[@]}" >"$work/out.txt" 2>&1; then
    failed+=("$(basename "${command[0]}")")
  fi
  grep -v '^bench-tsv' "$work/out.txt" || true
  grep '^bench-tsv' "$work/out.txt" | cut -f2- >>"$rows" || true
done

memory=$(awk '/^MemTotal:/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo)
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo
echo "## Benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "Machine: $(nproc) processors, ${cpu:-unknown CPU}, $memory memory, Linux $(uname -r);" \
  "load average at the end $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "| benchmark | measured | baseline | ratio | goal | memory |"
echo "|---|---:|---:|---:|---|---:|"
# The ratio is measured over baseline (for rates, baseline time over measured
# time); a goal is met when the ratio is at most the goal.
awk -F'\t' '{
  goal = $5 == "" ? "" : sprintf("at most %s: %s", $5, ($4 + 0 <= $5 + 0 ? "met" : "MISSED"))
  memory = $6 == "" ? "-" : $6
  printf "| %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, goal, memory
}' "$rows"
if [ ${#failed[@]} -gt 0 ]; then
  echo
  echo "FAILED: ${failed[*]}"
  exit 1
fi
