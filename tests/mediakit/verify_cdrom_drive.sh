#!/usr/bin/env bash
# mediakit.exe checks a disc where Windows has it, on CD-ROM drive E: of a
# fresh prefix: the intact sample disc passes (exit 0), a copy with one byte
# of one file changed fails (exit 1) naming that file and only it. WINE_RUN
# is cmake/wine-run.sh (x86_64) or the i686 lane's tools/wine32/wine32-run.sh.
#   verify_cdrom_drive.sh WINE_RUN MEDIAKIT_EXE SAMPLE_DISC LISTING MANIFEST WORK_FOLDER
set -uo pipefail
wine_run=$1 mediakit=$2 disc=$3 listing=$4 manifest=$5 work=$6
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work"
cp "$listing" "$work/listing.bin" && cp "$manifest" "$work/manifest.md5"
# The copy keeps the disc's read-only files: only the changed file's bytes differ.
cp -a "$disc" "$work/changed"
chmod u+w "$work/changed/license.txt"
printf 'X' | dd of="$work/changed/license.txt" bs=1 seek=20 conv=notrunc status=none
chmod u-w "$work/changed/license.txt"
prefix=$work/prefix
"$wine_run" --prefix "$prefix" cmd /c exit || { echo "no Wine prefix could be made in $prefix"; exit 2; }
cd "$work" || exit 2

# check FOLDER WANT_EXIT: verify FOLDER as drive E: with the listing and the manifest.
check() {
  ln -sfn "$(readlink -f "$1")" "$prefix/dosdevices/e:"
  "$wine_run" --prefix "$prefix" reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f >/dev/null 2>&1
  WINEPREFIX=$prefix timeout 60 wineserver -k 2>/dev/null
  "$wine_run" --prefix "$prefix" "$mediakit" verify 'E:\' --listing listing.bin --manifest manifest.md5 >out.txt 2>&1
  local got=$?
  [[ $got -eq $2 ]] || { fail "verify E:\\ of $(basename "$1"): exit $got, expected $2"; cat out.txt; }
}

check "$disc" 0
grep -qx 'E:\\: matches listing.bin' out.txt || fail "the intact disc does not match the listing"
grep -q '^E:\\: content matches manifest.md5 ' out.txt || fail "the intact disc's content does not match"

check "$work/changed" 1
grep -q '^changed  \\license.txt  expected [0-9A-F]\{32\}  found [0-9A-F]\{32\}$' out.txt \
  || fail "the changed file is not named with both digests"
[[ $(grep -c '^changed ' out.txt) -eq 1 ]] || { fail "more than the changed file is told"; cat out.txt; }
grep -qx 'E:\\: matches listing.bin' out.txt || fail "a changed byte altered the listing check"

WINEPREFIX=$prefix timeout 60 wineserver -k 2>/dev/null
cd / && chmod -R u+w "$work" && rm -rf "$work"
[[ $failures -eq 0 ]] && echo "mediakit.exe passes the intact disc on E: and names the changed file"
exit $((failures != 0))
