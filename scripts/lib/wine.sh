# Shared by the scripts that run Windows programs under Wine. Source it, then:
#   pe_machine FILE      prints x64 or x86 (the PE header's machine), or nothing
#   wine32_check         sets WINE32_REASON: empty where this machine runs
#                        32-bit programs, else why not; checked once per process
#                        tree (the answer travels in ORVIK_WINE32)
#   wine_loader_for FILE prints the Wine loader for a program of FILE's bitness;
#                        fails, with the reason on standard error, where that
#                        bitness cannot run here
#
# /usr/bin/wine starts the 32-bit loader first, even for x64 programs, and a
# kernel without IA-32 support refuses it ("Exec format error"). x64 programs
# therefore always go to the 64-bit loader, which needs nothing 32-bit.

WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}
WINE64_LOADER=${WINE64_LOADER:-/usr/lib/wine/wine64}

pe_machine() {
  local offset machine
  # e_lfanew at 0x3C, then "PE\0\0" and the machine field.
  offset=$(od -An -tu4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 0
  [ -n "$offset" ] || return 0
  machine=$(od -An -tx2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
  8664) echo x64 ;;
  014c) echo x86 ;;
  esac
}

wine32_check() {
  if [ -z "${ORVIK_WINE32:-}" ]; then
    local said
    if [ ! -x "$WINE32_LOADER" ]; then
      ORVIK_WINE32="no:the 32-bit Wine loader $WINE32_LOADER is not installed"
    # Run by the shell itself, not through timeout or env: execvp would hand a
    # refused binary to /bin/sh and report its syntax error instead.
    elif said=$("$WINE32_LOADER" --version 2>&1 </dev/null); then
      ORVIK_WINE32=yes
    elif printf '%s' "$said" | grep -q 'Exec format error'; then
      ORVIK_WINE32="no:this kernel cannot run 32-bit programs ($WINE32_LOADER: Exec format error)"
    else
      ORVIK_WINE32="no:the 32-bit Wine loader does not start ($WINE32_LOADER: $(printf '%s' "$said" | tr '\n' ' ' | cut -c1-200))"
    fi
    export ORVIK_WINE32
  fi
  case $ORVIK_WINE32 in
  yes) WINE32_REASON= ;;
  *) WINE32_REASON=${ORVIK_WINE32#no:} ;;
  esac
}

wine_loader_for() {
  case $(pe_machine "$1") in
  x64)
    if [ -x "$WINE64_LOADER" ]; then
      echo "$WINE64_LOADER"
    elif command -v wine64 >/dev/null; then
      command -v wine64
    else
      echo "the 64-bit Wine loader $WINE64_LOADER is not installed" >&2
      return 1
    fi
    ;;
  x86)
    wine32_check
    if [ -n "$WINE32_REASON" ]; then
      echo "$WINE32_REASON" >&2
      return 1
    fi
    echo "$WINE32_LOADER"
    ;;
  *)
    echo "$1 is no x64 or x86 Windows program" >&2
    return 1
    ;;
  esac
}
