#!/usr/bin/env bash
# Checks the add-in archives of dist/ as the platform receives them: unpacks
# Orvik_RetailEmulators.zip and the device archives into a temporary
# folder and runs the package test program on them (a Windows program of a
# build tree under Wine, through scripts/wine-run.sh).
#   scripts/check-package.sh BUILD_DIR PROGRAM [gtest options]
# Without dist/Orvik_RetailEmulators.zip (scripts/package.sh makes it) it ends
# with status 77: skipped. ORVIK_DIST_DIR names another folder of archives;
# ORVIK_TEST_WRAPPER a command to run a Linux program under (e.g. valgrind).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR PROGRAM [gtest options]" >&2
  exit 2
fi
build=$1
program=$2
shift 2
dist=${ORVIK_DIST_DIR:-$root/dist}
archives=(Orvik_RetailEmulators Orvik_ScaleSim Orvik_PanelSim Orvik_CardSim
  Orvik_WeighSim Orvik_ReceiptSim Orvik_FiscalSim Orvik_ScanSim Orvik_MsrSim Orvik_LabelSim Orvik_DctSim)

if [ ! -f "$dist/${archives[0]}.zip" ]; then
  echo "check-package: skipped: no $dist/${archives[0]}.zip (run scripts/package.sh)"
  exit 77
fi
command -v unzip >/dev/null || { echo "check-package: unzip is missing (scripts/setup.sh)" >&2; exit 1; }

work=$(mktemp -d /tmp/orvik-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
folders=()
for name in "${archives[@]}"; do
  zip=$dist/$name.zip
  [ -f "$zip" ] || { echo "check-package: $zip is missing" >&2; exit 1; }
  # -n: never overwrite, so a ZIP holding one name twice cannot swap a file.
  unzip -q -n "$zip" -d "$work/$name"
  folders+=("$work/$name")
done

status=0
case "$program" in
*.exe)
  windows=()
  for folder in "${folders[@]}"; do windows+=("Z:${folder//\//\\}"); done
  bash "$root/scripts/wine-run.sh" "$build" "$program" "$@" "${windows[@]}" || status=$?
  ;;
*)
  # The libraries' call logs go to the temporary folder.
  mkdir -p "$work/data"
  read -r -a wrapper <<<"${ORVIK_TEST_WRAPPER:-}"
  XDG_DATA_HOME=$work/data "${wrapper[@]}" "$program" "$@" "${folders[@]}" || status=$?
  ;;
esac
exit $status
