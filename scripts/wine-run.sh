#!/usr/bin/env bash
# Runs a Windows program of a build tree under Wine, as a test runner needs it:
#   scripts/wine-run.sh BUILD_DIR EXE [ARGS...]
#
# - one Wine prefix per build tree (BUILD_DIR/wineprefix), made once under a
#   lock: no .NET or HTML-engine installer, windows unmanaged (no window manager
#   under Xvfb), Russian ANSI code page 1251 as on a Russian user's Windows;
# - the glibc locale ru_RU.UTF-8 compiled into the tree once when the system
#   lacks it: without it Wine reads the command line as 7-bit ASCII and every
#   Cyrillic argument arrives mangled (the code page stays 1251 either way);
# - an X display: $DISPLAY when set, else one Xvfb per build tree, started once
#   and shared by every run of that tree;
# - the program's output goes to files and is printed afterwards: Wine's
#   background processes inherit the output handles and would keep a pipe open;
# - a watchdog (WINE_RUN_TIMEOUT seconds, default 280), then `wineserver -w`
#   by the last of the runs going on at once;
# - the Wine loader of the program's bitness (scripts/lib/wine.sh): x64
#   programs never depend on the kernel's 32-bit support;
# - the exit status is the program's (124 when the watchdog ended it), or 77
#   (skipped, with the reason) for an x86 program where this machine cannot
#   run 32-bit programs.
# Several runs of the same tree may go on at once.
set -u

if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR EXE [ARGS...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 2
exe=$2
shift 2
. "$(dirname "$0")/lib/wine.sh"
if ! loader=$(wine_loader_for "$exe" 2>&1); then
  case $(pe_machine "$exe") in
  x86)
    echo "wine-run: skipped: $loader"
    exit 77
    ;;
  esac
  echo "wine-run: $loader" >&2
  exit 1
fi

limit=${WINE_RUN_TIMEOUT:-280}
state=$build/wine-run
mkdir -p "$state"
export WINEPREFIX=$build/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Processes that Wine starts on its own (wineboot's helpers) use the same loader.
export WINELOADER=$loader
# Only Wine gets the Russian locale; the shell and its tools would complain
# about a locale the system has not generated.
locale_dir=$state/locale
wine_env=(env LC_ALL=ru_RU.UTF-8)

# Runs a setup command with a time limit and its output in the setup log. The
# lock descriptor is closed for it: a wineserver or Xvfb started here lives on
# and must not hold the lock.
setup() {
  timeout -k 10 "$1" "${@:2}" >>"$state/setup.log" 2>&1 </dev/null 9>&-
}

prepare_locale() {
  if [ ! -f "$locale_dir/ru_RU.UTF-8/LC_CTYPE" ] && ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
    mkdir -p "$locale_dir"
    setup 120 localedef -i ru_RU -f UTF-8 "$locale_dir/ru_RU.UTF-8"
  fi
  # localedef may warn and still make the locale: its files decide.
  [ -f "$locale_dir/ru_RU.UTF-8/LC_CTYPE" ] && echo "$locale_dir" >"$state/locpath.$$"
  return 0
}

prepare_prefix() {
  [ -f "$WINEPREFIX/.orvik-ready" ] && return 0
  # Every step may run again on a prefix made before (or half made by an
  # interrupted run): wineboot brings it up to date, reg add overwrites.
  echo "wine-run: preparing the Wine prefix $WINEPREFIX (about 25 s, once)" >&2
  setup 300 "${wine_env[@]}" "$loader" wineboot -i || { echo "wine-run: wineboot failed, see $state/setup.log" >&2; return 1; }
  setup 60 "${wine_env[@]}" "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f ||
    { echo "wine-run: reg add failed, see $state/setup.log" >&2; return 1; }
  setup 120 wineserver -w
  touch "$WINEPREFIX/.orvik-ready"
}

xvfb_alive() {
  local pid
  [ -s "$state/xvfb.pid" ] && [ -s "$state/xvfb.display" ] || return 1
  pid=$(cat "$state/xvfb.pid")
  [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q '^Xvfb ' &&
    [ -S "/tmp/.X11-unix/X$(cat "$state/xvfb.display")" ]
}

prepare_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  if ! xvfb_alive; then
    rm -f "$state/xvfb.pid" "$state/xvfb.display"
    # -displayfd picks a free display number itself: no race with other trees.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
      3>"$state/xvfb.display" >"$state/xvfb.log" 2>&1 </dev/null 9>&- &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$state/xvfb.display" ] && [ -S "/tmp/.X11-unix/X$(cat "$state/xvfb.display" 2>/dev/null)" ] && break
      sleep 0.1
    done
    xvfb_alive || { echo "wine-run: Xvfb did not start, see $state/xvfb.log" >&2; return 1; }
  fi
  DISPLAY=:$(cat "$state/xvfb.display")
  export DISPLAY
}

(
  flock -w 600 9 || { echo "wine-run: timed out waiting for the setup lock" >&2; exit 1; }
  prepare_locale
  [ -s "$state/locpath.$$" ] && wine_env+=(LOCPATH="$locale_dir")
  prepare_prefix && prepare_display && echo "${DISPLAY:-}" >"$state/display.$$"
) 9>"$state/lock" || exit 1
DISPLAY=$(cat "$state/display.$$")
export DISPLAY
[ -s "$state/locpath.$$" ] && wine_env+=(LOCPATH="$locale_dir")
rm -f "$state/display.$$" "$state/locpath.$$"

out=$(mktemp "$state/run.XXXXXX.out")
err=$(mktemp "$state/run.XXXXXX.err")
# Every run holds a shared lock while its program runs; the last one to end
# waits for the prefix's background processes (`wineserver -w` waits for every
# process of the prefix, so an earlier run would only wait for the others).
exec 8>"$state/active"
flock -s 8
timeout -k 10 "$limit" "${wine_env[@]}" "$loader" "$exe" "$@" >"$out" 2>"$err" </dev/null 8>&-
status=$?
[ $status -eq 124 ] && echo "wine-run: $exe ran longer than $limit s and was stopped" >>"$err"
flock -u 8
if flock -n -x 8; then
  exec 8>&-
  timeout -k 5 60 wineserver -w >/dev/null 2>&1 </dev/null
else
  exec 8>&-
fi
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
