#!/usr/bin/env bash
# Inspects a shipped 32-bit binary with objdump and fails on any difference
# from what the installer and Windows expect of it.
#   check_pe.sh dll Vesmark.dll
#   check_pe.sh exe Tarvolen.exe
set -euo pipefail
kind=${1:?usage: check_pe.sh dll|exe FILE}
file=${2:?usage: check_pe.sh dll|exe FILE}
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
  exe)
    ((!is_dll)) || fail "a DLL, not a program"
    grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers" || fail "not the Windows GUI subsystem"
    check_imports "kernel32.dll user32.dll shell32.dll msvcrt.dll"
    # Resource types at the top of the resource tree: 3 icon, 14 icon group,
    # 16 version, 24 manifest.
    types=" "
    for id in $(awk '/Resource Directory section/ {t=1} t && /^[0-9a-f]+   Entry: ID:/ {print $4}' <<<"$headers"); do
      types+="$((${id%,})) "
    done
    [[ "$types" == *" 3 "* && "$types" == *" 14 "* ]] || fail "has no icon"
    # The resource data as text (UTF-16 names lose their zero bytes), for the
    # manifest's content and the version block's key.
    rsrc=$(mktemp)
    trap 'rm -f "$rsrc"' EXIT
    "${OBJCOPY:-i686-w64-mingw32-objcopy}" -O binary --only-section=.rsrc "$file" "$rsrc" 2>/dev/null || true
    resources=$(LC_ALL=C tr -d '\000' <"$rsrc" | LC_ALL=C tr -c '[:print:]' ' ')
    [[ "$types" == *" 16 "* ]] && grep -q 'VS_VERSION_INFO' <<<"$resources" || fail "has no version block"
    if [[ "$types" != *" 24 "* ]]; then
      fail "has no manifest"
    else
      grep -Eq '<assemblyIdentity[^>]*"Microsoft\.Windows\.Common-Controls"[^>]*version="6\.0\.0\.0"' <<<"$resources" ||
        grep -Eq '<assemblyIdentity[^>]*version="6\.0\.0\.0"[^>]*"Microsoft\.Windows\.Common-Controls"' <<<"$resources" ||
        fail "manifest without the Common-Controls 6.0.0.0 dependency"
      grep -Eq 'requestedExecutionLevel[^>]*level="asInvoker"' <<<"$resources" ||
        fail "manifest does not request asInvoker"
    fi
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
