#!/usr/bin/env bash
# Checks that includes run one way, text/ <- bridge/ <- core/ <- devices/ with
# window/ beside core/ (on text/ only) and below devices/, and that the device
# code holds no platform window code: no Win32 or X11 header or type outside
# window/ (and outside the tests that drive real windows from outside).
#   scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
failed=0
fail() { echo "check-layers: $*" >&2; failed=1; }

# The headers of a layer (its own folder, its tests excluded).
headers() { find "$1" -path "$1/tests" -prune -o -name '*.h' -print | xargs -r -n1 basename | sort -u; }
# The product sources of a layer (tests and fuzzers excluded).
sources() { find "$1" \( -path '*/tests' -o -path '*/fuzz' -o -path '*/demo' \) -prune -o \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.inc' \) -print; }

# A layer may not include the headers of a layer above it (or beside it).
forbid() { # LAYER, LAYERS IT MUST NOT INCLUDE...
  local layer=$1 other header file
  shift
  for other in "$@"; do
    for header in $(headers "$other"); do
      while IFS= read -r file; do
        fail "$file includes $header of $other/"
      done < <(sources "$layer" | xargs -r grep -l "^#include \"$header\"" || true)
    done
  done
}
forbid text bridge core window devices
forbid bridge core window devices
forbid core window devices
forbid window bridge core devices

# Platform window code lives in window/ only.
while IFS= read -r file; do
  fail "$file has platform window code"
done < <(sources devices | xargs -r grep -lE '#include <(windows\.h|X11/)|\b(HWND|HDC|HINSTANCE|LRESULT|WPARAM|XEvent|Display ?\*|Window_win\.h|X11_x11\.h)\b' || true)
while IFS= read -r file; do
  fail "$file has X11 or window code outside window/"
done < <(sources core | xargs -r grep -lE '#include <X11/|\b(HWND|HDC|XEvent|RegisterClassW|CreateWindowExW|DialogBoxParamW)\b' || true)

# X11 files are named for X11.
while IFS= read -r file; do
  fail "$file includes X11 but is not named _x11"
done < <(grep -rlE '#include <X11/|"X11_x11\.h"' --include='*.cpp' --include='*.h' window | grep -v '_x11\.' || true)

[ "$failed" = 0 ] && echo "check-layers: the layers hold"
exit "$failed"
