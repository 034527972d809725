#!/usr/bin/env bash
# Checks what the Linux add-in libraries need at run time, so that they load on
# glibc 2.17 and newer (RHEL/CentOS 7, Astra Linux 1.6, Debian 8 and later)
# with nothing installed beside them:
# - NEEDED: only libc.so.6, libm.so.6, libdl.so.2, libpthread.so.0 and the
#   dynamic loader (no libstdc++, libgcc_s or XML parser), and no run-time
#   search path;
# - symbol versions: glibc's only, none newer than GLIBC_2.17;
# - no symbol that glibc 2.34 moved into libc.so.6 (pthread, dl, rt functions)
#   bound to libc.so.6: older glibc looks it up in its old file
#   (cmake/GlibcPins.cmake);
# - exports: the three functions the host resolves, and nothing of the C++
#   runtime built in.
# Prints each library's needed list and highest glibc version.
#   scripts/check-libraries.sh LIBRARY.so...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 LIBRARY.so..." >&2; exit 2; }
command -v readelf >/dev/null || { echo "check-libraries: readelf is missing (binutils, scripts/setup.sh)" >&2; exit 1; }

floor=GLIBC_2.17
allowed=" libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 ld-linux-x86-64.so.2 "
exports_expected="DestroyObject GetClassNames GetClassObject"

# The functions that today's libc.so.6 took over from libpthread, libdl, librt
# and others in glibc 2.34: they carry that version as their default.
libc=""
for dir in /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu /lib64 /usr/lib64; do
  [ -f "$dir/libc.so.6" ] && { libc=$dir/libc.so.6; break; }
done
[ -n "$libc" ] || { echo "check-libraries: libc.so.6 not found" >&2; exit 1; }
moved=" $(readelf --dyn-syms -W "$libc" | awk '$8 ~ /@@GLIBC_2\.34$/ { sub(/@@.*/, "", $8); print $8 }' | sort -u | tr '\n' ' ') "

status=0
fail() {
  echo "  FAIL: $*"
  status=1
}

for lib in "$@"; do
  [ -f "$lib" ] || { echo "$lib: missing"; status=1; continue; }
  echo "$(basename "$lib")"
  dynamic=$(readelf -d -W "$lib")
  needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic" | tr '\n' ' ')
  echo "  needed: ${needed% }"
  for n in $needed; do
    [[ "$allowed" == *" $n "* ]] || fail "needs $n"
  done
  grep -qE '\((RPATH|RUNPATH)\)' <<<"$dynamic" && fail "has a run-time search path: $(grep -E '\((RPATH|RUNPATH)\)' <<<"$dynamic")"

  # Version index -> "file version", from the version needs section.
  verneed=$(readelf -V -W "$lib" | awk '
    /Version needs section/ { on = 1; next }
    /Version (definition|symbols) section/ { on = 0 }
    on && /File:/ { for (i = 1; i <= NF; i++) if ($i == "File:") file = $(i + 1) }
    on && /Name:/ {
      for (i = 1; i <= NF; i++) { if ($i == "Name:") name = $(i + 1); if ($i == "Version:") idx = $(i + 1) }
      print idx, file, name
    }')
  versions=$(awk '{ print $3 }' <<<"$verneed" | sort -uV)
  for v in $versions; do
    [[ "$v" == GLIBC_* ]] || fail "needs symbol version $v"
  done
  highest=$(grep '^GLIBC_' <<<"$versions" | tail -n 1 || true)
  per_file=$(awk '{ print $2 }' <<<"$verneed" | sort -u | while read -r f; do
    printf '%s %s, ' "$f" "$(awk -v f="$f" '$2 == f { print $3 }' <<<"$verneed" | sort -V | tail -n 1)"
  done)
  echo "  highest glibc version: ${highest:-none} (${per_file%, })"
  if [ -n "$highest" ] && [ "$(printf '%s\n' "$highest" "$floor" | sort -V | tail -n 1)" != "$floor" ]; then
    fail "needs $highest, newer than $floor: $(readelf --dyn-syms -W "$lib" | awk -v v="$highest" '$8 ~ "@" v "$" { print $8 }' | tr '\n' ' ')"
  fi

  symbols=$(readelf --dyn-syms -W "$lib")
  # Imports bound to libc.so.6 that lived elsewhere before glibc 2.34.
  libc_indexes=" $(awk '$2 == "libc.so.6" { print $1 }' <<<"$verneed" | tr '\n' ' ') "
  while read -r name index; do
    [[ "$libc_indexes" == *" $index "* && "$moved" == *" $name "* ]] &&
      fail "$name is bound to libc.so.6, but older glibc has it elsewhere (cmake/GlibcPins.cmake)"
  done < <(awk '$7 == "UND" && $8 ~ /@/ { name = $8; sub(/@.*/, "", name); idx = $9; gsub(/[()]/, "", idx); print name, idx }' <<<"$symbols")

  exports=$(awk '$7 != "UND" && $7 != "Ndx" && ($5 == "GLOBAL" || $5 == "WEAK") && $8 != "" { print $8 }' <<<"$symbols" | sort | tr '\n' ' ')
  [ "${exports% }" = "$exports_expected" ] || fail "exports ${exports% } (expected $exports_expected)"
done
if [ $status -ne 0 ]; then
  echo "check-libraries: FAILED"
else
  echo "check-libraries: every library loads on glibc ${floor#GLIBC_} and newer with system libraries only"
fi
exit $status
