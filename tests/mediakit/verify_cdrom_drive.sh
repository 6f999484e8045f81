#!/usr/bin/env bash
# mediakit.exe checks a disc where Windows has it, on CD-ROM drive E: of a
# fresh wine64 prefix: the intact sample disc passes (exit 0), a copy with one
# byte of one file changed fails (exit 1) naming that file and only it.
#   verify_cdrom_drive.sh MEDIAKIT_EXE SAMPLE_DISC LISTING MANIFEST WORK_FOLDER
set -uo pipefail
mediakit=$1 disc=$2 listing=$3 manifest=$4 work=$5
source "$(dirname "$0")/../e2e/wine_prefix.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work"
cp "$listing" "$work/listing.bin" && cp "$manifest" "$work/manifest.md5"
# The copy keeps the disc's read-only files: only the changed file's bytes differ.
cp -a "$disc" "$work/changed"
chmod u+w "$work/changed/license.txt"
printf 'X' | dd of="$work/changed/license.txt" bs=1 seek=20 conv=notrunc status=none
chmod u-w "$work/changed/license.txt"
wine_prefix "$work/prefix"
cd "$work" || exit 2

# check FOLDER WANT_EXIT: verify FOLDER as drive E: with the listing and the manifest.
check() {
  wine_cdrom e "$1"
  wine_run "$mediakit" verify 'E:\' --listing listing.bin --manifest manifest.md5 >out.txt 2>&1
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

wineserver -k 2>/dev/null || true
cd / && rm -rf "$work"
[[ $failures -eq 0 ]] && echo "mediakit.exe passes the intact disc on E: and names the changed file"
exit $((failures != 0))
