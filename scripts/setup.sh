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
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The file each source step below looks for: a folder left half-made without
# it still needs the source entries that fetch it.
sources_present() {
  [ -f "$here/third_party/pugixml-src/src/pugixml.cpp" ] && [ -f "$here/third_party/expat-src/lib/xmlparse.c" ] \
    && [ -f "$here/third_party/qrcodegen-src/c/qrcodegen.c" ]
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
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

# pugixml source, unpacked into an ignored folder.
if [ ! -f "$here/third_party/pugixml-src/src/pugixml.cpp" ]; then
  mkdir -p "$here/third_party"
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq pugixml >/dev/null 2>&1)
  src=$(find "$tmp" -maxdepth 1 -type d -name 'pugixml-*' | head -n 1)
  [ -n "$src" ] && [ -f "$src/src/pugixml.cpp" ] || { echo "setup.sh: pugixml source not found" >&2; exit 1; }
  rm -rf "$here/third_party/pugixml-src"
  mv "$src" "$here/third_party/pugixml-src"
  rm -rf "$tmp"
fi
# expat source (the XML parser of the scale, built into every library),
# unpacked with Debian's patches into an ignored folder. The newest revision's
# files may be missing from the archive (a security update whose .dsc answers
# 404): then every other version the package lists know is tried, newest first.
if [ ! -f "$here/third_party/expat-src/lib/xmlparse.c" ]; then
  mkdir -p "$here/third_party"
  tmp=$(mktemp -d)
  versions=$(apt-cache showsrc expat 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -rV | uniq)
  [ -n "$versions" ] || { echo "setup.sh: no source version of expat is known to apt (deb-src entries?)" >&2; exit 1; }
  got=
  for v in $versions; do
    rm -rf "${tmp:?}"/*
    if (cd "$tmp" && apt-get source -qq "expat=$v" >"$tmp.log" 2>&1); then
      src=$(find "$tmp" -maxdepth 4 -type f -path '*/expat/lib/xmlparse.c' | head -n 1)
      if [ -n "$src" ]; then got=$v; break; fi
    fi
    echo "setup.sh: expat $v could not be fetched, trying an older version" >&2
  done
  [ -n "$got" ] || { cat "$tmp.log" >&2; echo "setup.sh: no version of expat's source could be fetched" >&2; exit 1; }
  rm -rf "$here/third_party/expat-src"
  mv "$(dirname "$(dirname "$src")")" "$here/third_party/expat-src"
  echo "$got" >"$here/third_party/expat-src/DEBIAN_VERSION"
  rm -rf "$tmp" "$tmp.log"
fi
# QR Code generator source (the receipt printer's window draws QR codes with
# its C library), Debian's qr-code-generator. The archive may have lost the
# revision's .debian.tar.xz (404) while keeping the .dsc and the upstream
# tarball: then that tarball is unpacked once its SHA-256 matches the .dsc's
# (Debian's revision changes only the packaging, not the library's source).
if [ ! -f "$here/third_party/qrcodegen-src/c/qrcodegen.c" ]; then
  mkdir -p "$here/third_party"
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq qr-code-generator >"$tmp.log" 2>&1) || true
  src=$(find "$tmp" -maxdepth 3 -type f -path '*/c/qrcodegen.c' | head -n 1)
  if [ -z "$src" ]; then
    dsc=$(find "$tmp" -maxdepth 1 -name 'qr-code-generator_*.dsc' | head -n 1)
    orig=$(find "$tmp" -maxdepth 1 -name 'qr-code-generator_*.orig.tar.*' | head -n 1)
    [ -n "$dsc" ] && [ -n "$orig" ] || { cat "$tmp.log" >&2; echo "setup.sh: qr-code-generator's source could not be fetched" >&2; exit 1; }
    want=$(awk -v f="$(basename "$orig")" '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && $3 == f { print $1 }' "$dsc")
    have=$(sha256sum "$orig" | awk '{ print $1 }')
    [ -n "$want" ] && [ "$want" = "$have" ] || { echo "setup.sh: $(basename "$orig") does not match its .dsc" >&2; exit 1; }
    tar -xf "$orig" -C "$tmp"
    src=$(find "$tmp" -maxdepth 3 -type f -path '*/c/qrcodegen.c' | head -n 1)
    [ -n "$src" ] || { echo "setup.sh: qrcodegen.c not found in $(basename "$orig")" >&2; exit 1; }
  fi
  rm -rf "$here/third_party/qrcodegen-src"
  mv "$(dirname "$(dirname "$src")")" "$here/third_party/qrcodegen-src"
  basename "$(find "$tmp" -maxdepth 1 -name 'qr-code-generator_*.dsc' | head -n 1)" .dsc >"$here/third_party/qrcodegen-src/DEBIAN_VERSION"
  rm -rf "$tmp" "$tmp.log"
fi
echo "setup: all dependencies present"
