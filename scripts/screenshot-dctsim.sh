#!/usr/bin/env bash
# Takes docs/img/linux-dctsim-window.png and docs/img/dctsim-window.png: the
# data collection terminal's window as the Linux library shows it on X11 and
# as the Windows library shows it under Wine, on a Xvfb display of its own
# (no window manager: the Linux picture has no frame). The terminal is
# emptied, goods are uploaded, two records are typed into the window as a
# person does (code, Tab, quantity, Enter) and a third code is typed when the
# picture is taken; the host then downloads what was collected. Builds nothing:
# it needs the addinhost of both build trees and takes the libraries from
# dist/ (or from the build trees).
#   scripts/screenshot-dctsim.sh [LINUX_BUILD [WINDOWS_BUILD [OUT_DIR]]]
#   (defaults: build/linux, build/win64, docs/img)
# Needs Xvfb, xdotool, xwininfo and ImageMagick; without them it ends with
# status 77 (skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/xvfb.sh"
. "$root/scripts/lib/wine.sh"
for program in Xvfb import xdotool xwininfo; do
  command -v "$program" >/dev/null || { echo "screenshot-dctsim: $program is missing" >&2; exit 77; }
done
linux_build=$(cd "${1:-build/linux}" && pwd)
windows_build=$(cd "${2:-build/win64}" && pwd)
mkdir -p "${3:-docs/img}"
out_dir=$(cd "${3:-docs/img}" && pwd)
linux_host=$linux_build/tools/addinhost/addinhost
windows_host=$windows_build/tools/addinhost/addinhost.exe
for program in "$linux_host" "$windows_host"; do
  [ -f "$program" ] || { echo "screenshot-dctsim: no $program; build the presets first" >&2; exit 1; }
done
if [ "$(pe_machine "$windows_host")" = x64 ]; then bits=64; else bits=32; fi
library() { # FILE BUILD: the library from dist/, else from the build tree
  local file
  for file in "$root/dist/$1" "$2/devices/dctsim/$1"; do
    [ -f "$file" ] && { echo "$file"; return; }
  done
  echo "screenshot-dctsim: no $1 in dist/ or $2" >&2
  exit 1
}
linux_library=$(library DCTSIM_3001_64.so "$linux_build")
windows_library=$(library "DCTSIM_3001_$bits.dll" "$windows_build")

work=$(mktemp -d /tmp/screenshot-dctsim.XXXXXX)
xvfb_pid=
run_pid=
cleanup() {
  exec 4>&- 2>/dev/null || true
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Tall enough for the window, which stands at 400, 330.
start_own_display "$work" 1024x768 || exit 1

# begin COMMAND...: runs the host on statements written to descriptor 4 (say).
begin() {
  rm -f "$work/in"
  mkfifo "$work/in"
  "$@" <"$work/in" >"$work/run.log" 2>&1 &
  run_pid=$!
  exec 4>"$work/in"
}
say() { printf '%s\n' "$1" >&4; }
# finish: ends the host's input and waits for it.
finish() {
  exec 4>&-
  wait "$run_pid" || { cat "$work/run.log" >&2; echo "screenshot-dctsim: the host failed" >&2; exit 1; }
  run_pid=
}
# find_window OPTION NAME: waits for the window (xdotool search OPTION NAME); sets window.
find_window() {
  window=
  for _ in $(seq 600); do
    window=$(xdotool search "$1" "^$2\$" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$run_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$window" ] || { cat "$work/run.log" >&2; echo "screenshot-dctsim: no window $2" >&2; exit 1; }
  sleep 0.5 # let the window finish opening
  xdotool windowfocus --sync "$window" 2>/dev/null || true
}
# take OUT: the window's part of the screen.
take() {
  local x y w h
  sleep 0.5
  read -r x y w h < <(xwininfo -id "$window" |
    awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
  echo "$1: ${w}x${h} at $x,$y"
}
# The statements that make an empty terminal with three goods.
setup=('Open($t)' 'ClearTable($t)'
  'UploadTable($t, "<Table FullLoad=\"true\"><Record BarCode=\"4601234567893\" Name=\"Молоко 3,2% 1 л\"/><Record BarCode=\"4607001234562\" Name=\"Хлеб Бородинский\"/></Table>", "first")'
  'UploadTable($t, "<Table><Record BarCode=\"2000000000015\" Name=\"Сыр весовой\" MeasurementUnit=\"кг\"/></Table>", "last")')
# type_records: two records typed and sent, a third code typed.
type_records() {
  sleep 0.5
  xdotool type --delay 30 4601234567893
  xdotool key Tab
  xdotool type --delay 30 2
  xdotool key Return
  sleep 0.3
  xdotool type --delay 30 2000000000015
  xdotool key Tab
  xdotool type --delay 30 3
  xdotool key Return
  sleep 0.3
  xdotool type --delay 30 4607001234562
}
collected() { # what the host printed holds both records typed
  grep -q 'Quantity="2"' "$work/run.log" && grep -q 'Quantity="3"' "$work/run.log"
}

# Linux: the host reads its statements from a pipe and ends when it closes.
begin env -u ORVIK_OPERATOR XDG_DATA_HOME="$work/data" "$linux_host" -q --script - "$linux_library"
for statement in "${setup[@]}"; do say "$statement"; done
find_window --class DctSim
type_records
take "$out_dir/linux-dctsim-window.png"
say 'DownloadTable($t, $table)'
say 'Close($t)'
finish
collected || { cat "$work/run.log" >&2; echo "screenshot-dctsim: Linux: the records typed were not collected" >&2; exit 1; }

# Wine gives the host no input: it runs the statements, then waits for an
# event that never comes (10 s, status 6) with the window open; a second host
# downloads what the window collected (the prefix's data folder keeps it).
wine_host() {
  env -u ORVIK_OPERATOR WINE_RUN_TIMEOUT=120 scripts/wine-run.sh "$windows_build" "$windows_host" -q "$@"
}
# The terminal of the build tree's prefix starts empty (a test may have left its state).
rm -f "$windows_build"/wineprefix/drive_c/users/*/AppData/Roaming/Orvik/DctSim_3001_terminal.xml
wine_host --events 1 "$(windows_path "$windows_library")" "${setup[@]}" >"$work/run.log" 2>&1 </dev/null &
run_pid=$!
find_window --name "Терминал сбора данных"
type_records
take "$out_dir/dctsim-window.png"
wait "$run_pid" || true
run_pid=
wine_host "$(windows_path "$windows_library")" 'Open($t)' 'DownloadTable($t, $table)' 'ClearTable($t)' 'Close($t)' \
  >"$work/run.log" 2>&1 </dev/null
collected || { cat "$work/run.log" >&2; echo "screenshot-dctsim: Wine: the records typed were not collected" >&2; exit 1; }
