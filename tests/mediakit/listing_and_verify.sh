#!/usr/bin/env bash
# mediakit on the generated sample disc: the listing it builds is the one
# Vesmark embeds, byte for byte; verify tells a matching tree with 0, each
# difference on its own line with 1, and bad input with 2.
#   listing_and_verify.sh MEDIAKIT SAMPLE_DISC EMBEDDED_LISTING WORK_FOLDER
set -uo pipefail
mediakit=$1 disc=$2 embedded=$3 work=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_exit() {  # expected-code description command...
  local want=$1 what=$2; shift 2
  "$@" >"$work/out.txt" 2>&1
  local got=$?
  [[ $got -eq $want ]] || { fail "$what: exit $got, expected $want"; cat "$work/out.txt"; }
}

rm -rf "$work" && mkdir -p "$work"
expect_exit 0 "listing build" "$mediakit" listing build "$disc" -o "$work/listing.bin" --disc
cmp "$work/listing.bin" "$embedded" || fail "the built listing differs from the embedded one"
expect_exit 0 "listing show" "$mediakit" listing show "$work/listing.bin"
[[ $(grep -c $'\tfile\t' "$work/out.txt") -eq 125 ]] || fail "show does not list 125 files"

expect_exit 0 "verify of the sample disc" "$mediakit" verify "$disc" --listing "$embedded"

copy=$work/copy
cp -a "$disc" "$copy"
chmod u+w "$copy" "$copy/Help" "$copy/Samples" "$copy/Redist"
echo extra >"$copy/Help/desktop.ini"
rm -f "$copy/Samples/readme.txt"
rm -rf "$copy/Redist/Fonts"
# Same size and attributes, a name only a case-sensitive host folder can hold beside the original.
cp -p "$copy/readme.txt" "$copy/README.TXT"
expect_exit 1 "verify of a changed copy" "$mediakit" verify "$copy" --listing "$embedded"
grep -q '^extra  *\\Help\\desktop.ini' "$work/out.txt" || fail "extra file not told"
grep -q '^extra  *\\README.TXT .*differs only in letter case' "$work/out.txt" || fail "case twin not told"
grep -q '^missing  *\\Samples\\readme.txt' "$work/out.txt" || fail "missing file not told"
grep -q '^missing  *\\Redist\\Fonts\\' "$work/out.txt" || fail "missing folder not told"
grep -q '4 difference(s): 2 missing, 2 extra, 0 changed' "$work/out.txt" || fail "summary wrong"
expect_exit 1 "verify --first" "$mediakit" verify "$copy" --listing "$embedded" --first
[[ $(grep -cE '^(missing|extra|changed) ' "$work/out.txt") -eq 1 ]] || fail "--first told more than one difference"


# 3,000 nested folders with 100-character names: showing every full path would
# print over a gigabyte; the output must stay near the listing's own size.
python3 - "$work/deep.bin" <<'PY'
import struct, sys
record = lambda index, folders: struct.pack('<iii', index, folders, 0)
entry = struct.pack('<I', 0x10) + bytes(40) + b'f' * 100 + bytes(160) + bytes(14) + bytes(2)
depth = 3000
data = b''.join(record(-1 if level == 0 else 0, 1) + entry for level in range(depth)) + record(0, 0)
open(sys.argv[1], 'wb').write(data)
PY
expect_exit 0 "show of a deep listing" "$mediakit" listing show "$work/deep.bin"
shown=$(stat -c %s "$work/out.txt") size=$(stat -c %s "$work/deep.bin")
((shown < 2 * size)) || fail "show printed $shown bytes for a listing of $size"
grep -q '^\\\.\.\.\\f' "$work/out.txt" || fail "long paths are not shortened to their end"

mkdir -p "$work/named"
touch "$work/named/$(printf 'caf\xc3\xa9 \xe2\x82\xac.txt')" "$work/named/$(printf '\xe4\xb8\xad.txt')"
expect_exit 2 "name outside the code page" "$mediakit" listing build "$work/named" -o "$work/n.bin"
grep -q '.txt: the name cannot be written in code page 1252' "$work/out.txt" || fail "the unrepresentable name is not named"
rm -f "$work/named/$(printf '\xe4\xb8\xad.txt')"
expect_exit 0 "name inside the code page" "$mediakit" listing build "$work/named" -o "$work/n.bin"
grep -qa $'caf\xe9 \x80.txt' "$work/n.bin" || fail "the name is not written in code page 1252"

chmod -R u+w "$work" && rm -rf "$work"
[[ $failures -eq 0 ]] && echo "all mediakit checks passed"
exit $((failures != 0))
