#!/usr/bin/env bash
# Inspects a shipped 32-bit binary with objdump and fails on any difference
# from what the installer and Windows expect of it.
#   check_pe.sh dll Vesmark.dll
set -euo pipefail
kind=${1:?usage: check_pe.sh dll FILE}
file=${2:?usage: check_pe.sh dll FILE}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failures=0

fail() {
  echo "FAIL: $file: $*" >&2
  failures=$((failures + 1))
}

headers=$("$objdump" -p "$file") || { echo "FAIL: $file: objdump cannot read it" >&2; exit 1; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not an image for i386"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || fail "not PE32"
characteristics=$(sed -n 's/^Characteristics 0x\([0-9a-fA-F]*\).*/\1/p' <<<"$headers" | head -n 1)
is_dll=$(( 16#${characteristics:-0} & 0x2000 ))

# Imported DLL names, lower-case, sorted and unique.
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
# Exported names from the name pointer table.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^\t\[/ {print $NF; next} t && !/^\t\[/ {t=0}' <<<"$headers" | sort | tr '\n' ' ')

check_imports() {
  local allowed=" $1 " name
  [[ -n "$imports" ]] || fail "imports nothing"
  for name in $imports; do
    [[ "$allowed" == *" $name "* ]] || fail "imports $name (allowed: $1)"
  done
}

case "$kind" in
  dll)
    ((is_dll)) || fail "not a DLL"
    check_imports "kernel32.dll advapi32.dll msi.dll msvcrt.dll"
    expected="CheckContentOfItems CheckItems CryptFile "
    [[ "$exports" == "$expected" ]] || fail "exports '$exports', expected '$expected'"
    ;;
  *)
    echo "check_pe.sh: unknown kind '$kind'" >&2
    exit 2
    ;;
esac

if ((failures > 0)); then
  echo "$file: $failures problem(s)" >&2
  exit 1
fi
echo "$file: PE32 i386 $kind; imports: $imports; exports: $exports"
