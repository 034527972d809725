# Shared by the scripts that take the picture of a device window under Wine.
# Source it after xvfb.sh, then:
#   wine_window_shot NAME BUILD TOOL LIBRARY OUT [ARG...]
# starts a Xvfb display of its own, so that nothing else is on the picture,
# and runs the screenshot tool TOOL of the Windows build tree BUILD under Wine
# (scripts/wine-run.sh: the tree's prefix, the Russian code page, a time
# limit) with the Windows paths of LIBRARY, a "ready" and a "done" file, then
# the ARGs. The tool shows the window, writes its screen rectangle
# ("x y w h") to ready once it is painted and ends when done appears. The
# picture goes to OUT; NAME begins the messages. Fails when no window came or
# the tool failed.
wine_window_shot() (
  set -euo pipefail
  local name=$1 build=$2 tool=$3 library=$4 out=$5
  shift 5
  local work x y w h
  work=$(mktemp -d "/tmp/$name.XXXXXX")
  xvfb_pid=
  tool_pid=
  cleanup() {
    touch "$work/done"
    [ -n "$tool_pid" ] && wait "$tool_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
  }
  trap cleanup EXIT
  start_own_display "$work" || exit 1
  WINE_RUN_TIMEOUT=120 scripts/wine-run.sh "$build" "$tool" "$(windows_path "$library")" \
    "$(windows_path "$work/ready")" "$(windows_path "$work/done")" "$@" >"$work/tool.log" 2>&1 </dev/null &
  tool_pid=$!
  for _ in $(seq 900); do
    [ -s "$work/ready" ] && break
    kill -0 "$tool_pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ ! -s "$work/ready" ]; then
    echo "$name: the window did not appear" >&2
    cat "$work/tool.log" >&2
    exit 1
  fi
  read -r x y w h <"$work/ready"
  sleep 0.5 # let the last paint reach the X server
  mkdir -p "$(dirname "$out")"
  import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
  touch "$work/done"
  wait "$tool_pid" || { echo "$name: the tool failed" >&2; cat "$work/tool.log" >&2; exit 1; }
  tool_pid=
  echo "$out: ${w}x${h} ($(basename "$library"))"
)
