#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Idempotent: a second run only checks what is already there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

need_root() { [ "$(id -u)" = 0 ] || { echo "setup.sh: run as root" >&2; exit 1; }; }

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format binutils
  libc++-14-dev libc++abi-14-dev libunwind-14-dev
  libgtest-dev libpugixml-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
  wine wine64 wine32:i386 xvfb xauth fonts-wine fonts-liberation xdotool imagemagick
  libx11-dev libxft-dev x11-utils fonts-dejavu-core xfonts-base # Linux windows: headers (never linked), tools, fonts
  zip unzip valgrind dpkg-dev locales file procps
  zbar-tools # the label printer's tests read its barcodes back
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The file each source step below looks for: a folder left half-made without
# it still needs the source entries that fetch it.
sources_present() {
  [ -f "$here/third_party/pugixml-src/src/pugixml.cpp" ] && [ -f "$here/third_party/expat-src/lib/xmlparse.c" ] \
    && [ -f "$here/third_party/zint-src/backend/library.c" ] \
    && [ -f "$here/third_party/stb-src/stb_truetype.h" ]
}

if [ ${#missing[@]} -gt 0 ] || ! sources_present; then
  need_root
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # Source entries, for the source packages that the builds compile themselves.
  if [ -f /etc/apt/sources.list.d/debian.sources ] && ! grep -q '^Types:.*deb-src' /etc/apt/sources.list.d/debian.sources \
     && [ ! -f /etc/apt/sources.list.d/debian-src.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/debian-src.sources
  fi
  # A mirror in the middle of its sync answers with lists of the wrong size:
  # ask again after a pause; in the end go on with the lists apt has (a
  # package they lack then fails the install below, with apt's message).
  updated=
  for pause in 15 30 60 0; do
    if apt-get update -qq; then updated=1; break; fi
    [ "$pause" -gt 0 ] || break
    echo "setup.sh: apt-get update failed; asking again in $pause s" >&2
    sleep "$pause"
  done
  [ -n "$updated" ] || echo "setup.sh: apt-get update kept failing; going on with the package lists apt has" >&2
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

# fetch_source PACKAGE FILE DEST: Debian's source package PACKAGE unpacked, with
# Debian's patches, into the ignored folder third_party/DEST, which is the
# package's folder that holds FILE (a path such as lib/xmlparse.c); its
# DEBIAN_VERSION file names the version. Nothing is done when DEST holds FILE.
# The archive may have lost files of a version (a security update whose .dsc
# or .debian.tar.xz answers 404): then an upstream tarball that came down is
# unpacked once its SHA-256 matches the .dsc's (a Debian revision changes the
# packaging, rarely the source), else every older version the package lists
# know is tried, newest first.
fetch_source() {
  local package=$1 file=$2 dest=$here/third_party/$3 tmp versions v src dsc orig want
  [ -f "$dest/$file" ] && return
  mkdir -p "$here/third_party"
  tmp=$(mktemp -d)
  versions=$(apt-cache showsrc "$package" 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -rV | uniq)
  [ -n "$versions" ] || { echo "setup.sh: no source version of $package is known to apt (deb-src entries?)" >&2; exit 1; }
  for v in $versions; do
    rm -rf "${tmp:?}"/*
    (cd "$tmp" && apt-get source -qq "$package=$v" >"$tmp.log" 2>&1) || true
    src=$(find "$tmp" -mindepth 2 -maxdepth 5 -type f -path "*/$file" | head -n 1)
    if [ -z "$src" ]; then
      dsc=$(find "$tmp" -maxdepth 1 -name "${package}_*.dsc" | head -n 1)
      orig=$(find "$tmp" -maxdepth 1 -name "${package}_*.orig.tar.*" | head -n 1)
      if [ -n "$dsc" ] && [ -n "$orig" ]; then
        want=$(awk -v f="$(basename "$orig")" '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && $3 == f { print $1 }' "$dsc")
        if [ -n "$want" ] && [ "$want" = "$(sha256sum "$orig" | awk '{ print $1 }')" ]; then
          mkdir -p "$tmp/orig" && tar -xf "$orig" -C "$tmp/orig"
          src=$(find "$tmp/orig" -mindepth 2 -maxdepth 5 -type f -path "*/$file" | head -n 1)
        fi
      fi
    fi
    if [ -n "$src" ]; then
      src=${src%/"$file"}
      rm -rf "$dest"
      mv "$src" "$dest"
      echo "$package $v" >"$dest/DEBIAN_VERSION"
      rm -rf "$tmp" "$tmp.log"
      return
    fi
    echo "setup.sh: $package $v could not be fetched, trying an older version" >&2
  done
  cat "$tmp.log" >&2
  echo "setup.sh: no version of $package's source could be fetched" >&2
  exit 1
}

# pugixml (the package check's MANIFEST.XML reader and the benchmark's baseline),
# expat (the XML parser of the scale and the receipt printer, built into every
# library) and zint (its backend: the barcode library the receipt printer's
# window draws every barcode with).
fetch_source pugixml src/pugixml.cpp pugixml-src
fetch_source expat lib/xmlparse.c expat-src
fetch_source zint backend/library.c zint-src
# stb: the label printer's image reading, PNG writing and font rasterising.
fetch_source libstb stb_truetype.h stb-src
echo "setup: all dependencies present"
