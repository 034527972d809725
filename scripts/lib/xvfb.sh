# Shared by the scripts that show windows under Wine. Source it, then:
#   start_own_display WORKDIR [WxH]   starts a Xvfb of its own (800x600 unless
#                               told, 24 bits), exports DISPLAY and sets
#                               xvfb_pid; fails when it does not start
#   windows_path PATH           the Linux path as Wine sees it (drive Z:)
start_own_display() {
  local work=$1 size=${2:-800x600}
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=:$(cat "$work/display")
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
