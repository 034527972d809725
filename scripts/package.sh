#!/usr/bin/env bash
# Packs the libraries of dist/ into the ZIP archives the platform imports:
# one with all the libraries (Orvik_RetailEmulators.zip) and one per device,
# each with its MANIFEST.XML naming every library's system and architecture.
set -euo pipefail
cd "$(dirname "$0")/.."

entry() { # file -> one component element
  local file=$1 os arch
  case "$file" in
    *.dll) os=Windows ;;
    *.so) os=Linux ;;
  esac
  case "$file" in
    *_32.dll) arch=i386 ;;
    *) arch=x86_64 ;;
  esac
  printf '  <component os="%s" path="%s" type="native" arch="%s"/>\n' "$os" "$file" "$arch"
}

pack() { # archive-name file...
  local zip=$1
  shift
  local dir
  dir=$(mktemp -d)
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n'
    printf '<bundle xmlns="http://v8.1c.ru/8.2/addin/bundle">\n'
    for f in "$@"; do
      [ -f "dist/$f" ] || { echo "package.sh: dist/$f is missing (build the linux, win64 and win32 presets first)" >&2; exit 1; }
      cp "dist/$f" "$dir/"
      entry "$f"
    done
    printf '</bundle>\n'
  } >"$dir/MANIFEST.XML"
  rm -f "dist/$zip"
  (cd "$dir" && zip -q -X "$OLDPWD/dist/$zip" MANIFEST.XML "$@")
  rm -rf "$dir"
  echo "dist/$zip"
}

scale=(SCALESIM_3001_32.dll SCALESIM_3001_64.dll SCALESIM_3001_64.so)
panel=(PANELSIM_3001_32.dll PANELSIM_3001_64.dll PANELSIM_3001_64.so)
card=(CARDSIM_2001_32.dll CARDSIM_2001_64.dll CARDSIM_2001_64.so)
weigh=(WEIGHSIM_3001_32.dll WEIGHSIM_3001_64.dll WEIGHSIM_3001_64.so)
receipt=(RECEIPTSIM_3001_32.dll RECEIPTSIM_3001_64.dll RECEIPTSIM_3001_64.so)
fiscal=(FISCALSIM_3004_32.dll FISCALSIM_3004_64.dll FISCALSIM_3004_64.so)
scan=(SCANSIM_3001_32.dll SCANSIM_3001_64.dll SCANSIM_3001_64.so)
msr=(MSRSIM_3001_32.dll MSRSIM_3001_64.dll MSRSIM_3001_64.so)
label=(LABELSIM_3001_32.dll LABELSIM_3001_64.dll LABELSIM_3001_64.so)
dct=(DCTSIM_3001_32.dll DCTSIM_3001_64.dll DCTSIM_3001_64.so)
pack Orvik_RetailEmulators.zip "${scale[@]}" "${panel[@]}" "${card[@]}" "${weigh[@]}" "${receipt[@]}" \
  "${fiscal[@]}" "${scan[@]}" "${msr[@]}" "${label[@]}" "${dct[@]}"
pack Orvik_ScaleSim.zip "${scale[@]}"
pack Orvik_PanelSim.zip "${panel[@]}"
pack Orvik_CardSim.zip "${card[@]}"
pack Orvik_WeighSim.zip "${weigh[@]}"
pack Orvik_ReceiptSim.zip "${receipt[@]}"
pack Orvik_FiscalSim.zip "${fiscal[@]}"
pack Orvik_ScanSim.zip "${scan[@]}"
pack Orvik_MsrSim.zip "${msr[@]}"
pack Orvik_LabelSim.zip "${label[@]}"
pack Orvik_DctSim.zip "${dct[@]}"
