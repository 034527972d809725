#!/usr/bin/env bash
# Configures and builds the given presets (default: linux win64 win32), after
# making sure every dependency is installed.
#   scripts/build.sh [preset ...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux win64 win32)
jobs=$(nproc)
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cache=build/$preset/CMakeCache.txt
  if [ ! -f "$cache" ] || [ CMakePresets.json -nt "$cache" ]; then
    # Afresh when the presets changed: a build tree keeps its compilers.
    mkdir -p build
    cmake --fresh --preset "$preset" >"build/$preset.configure.log" 2>&1 || { cat "build/$preset.configure.log"; exit 1; }
  fi
  cmake --build --preset "$preset" -j "$jobs"
done
