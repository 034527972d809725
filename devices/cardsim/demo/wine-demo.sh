#!/usr/bin/env bash
# The card terminal demonstration with its real operation window: runs the
# Windows addinhost of a build tree under Wine on a Xvfb display of its own
# against the library of the same bitness, and plays the operator, who answers
# every operation window with Enter (approve, the default) or Escape (refuse).
# Builds nothing.
#   devices/cardsim/demo/wine-demo.sh [BUILD_DIR] [approve|refuse]
#   (default BUILD_DIR: build/win32)
set -euo pipefail
cd "$(dirname "$0")/../../.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
. "$root/scripts/lib/wine.sh"
build=$(cd "${1:-build/win32}" && pwd)
answer=${2:-approve}
case $answer in
approve) key=Return ;;
refuse) key=Escape ;;
*)
  echo "usage: $0 [BUILD_DIR] [approve|refuse]" >&2
  exit 2
  ;;
esac
host=$build/tools/addinhost/addinhost.exe
[ -f "$host" ] || { echo "wine-demo: no $host; build the addinhost target first" >&2; exit 1; }
if [ "$(pe_machine "$host")" = x64 ]; then bits=64; else bits=32; fi
library=$root/dist/CARDSIM_2001_$bits.dll
[ -f "$library" ] || library=$build/devices/cardsim/CARDSIM_2001_$bits.dll
work=$(mktemp -d /tmp/cardsim-demo.XXXXXX)
xvfb_pid=
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
start_own_display "$work" || exit 1

WINE_RUN_TIMEOUT=120 scripts/wine-run.sh "$build" "$host" -q "$(windows_path "$library")" \
  --script "$(windows_path "$root/devices/cardsim/demo/cardsim.addin")" >"$work/out" 2>&1 </dev/null &
run=$!

# The operator: every operation window that appears gets one key press. Its
# title is compared whole, as the window list gives it.
answered=" "
while kill -0 "$run" 2>/dev/null; do
  for window in $(xdotool search --name . 2>/dev/null); do
    case $answered in *" $window "*) continue ;; esac
    if [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "Операция по банковскому терминалу" ]; then
      sleep 0.3 # let the window finish opening
      xdotool key --window "$window" "$key" 2>/dev/null || true
      answered="$answered$window "
    fi
  done
  sleep 0.2
done
status=0
wait "$run" || status=$?
cat "$work/out"
exit $status
