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
chmod u+w "$copy/Help" "$copy/Samples" "$copy/Redist"
echo extra >"$copy/Help/desktop.ini"
rm -f "$copy/Samples/readme.txt"
rm -rf "$copy/Redist/Fonts"
expect_exit 1 "verify of a changed copy" "$mediakit" verify "$copy" --listing "$embedded"
grep -q '^extra  *\\Help\\desktop.ini' "$work/out.txt" || fail "extra file not told"
grep -q '^missing  *\\Samples\\readme.txt' "$work/out.txt" || fail "missing file not told"
grep -q '^missing  *\\Redist\\Fonts\\' "$work/out.txt" || fail "missing folder not told"
grep -q '3 difference(s): 2 missing, 1 extra, 0 changed' "$work/out.txt" || fail "summary wrong"
expect_exit 1 "verify --first" "$mediakit" verify "$copy" --listing "$embedded" --first
[[ $(grep -cE '^(missing|extra|changed) ' "$work/out.txt") -eq 1 ]] || fail "--first told more than one difference"

head -c 6000 "$embedded" >"$work/cut.bin"
expect_exit 2 "show of a cut listing" "$mediakit" listing show "$work/cut.bin"
grep -q 'corrupt at byte 5784' "$work/out.txt" || fail "the break is not placed"
expect_exit 2 "verify against a cut listing" "$mediakit" verify "$disc" --listing "$work/cut.bin"
expect_exit 2 "verify of a missing tree" "$mediakit" verify "$work/absent" --listing "$embedded"
expect_exit 2 "unknown code page" "$mediakit" listing build "$disc" -o "$work/x.bin" --codepage 99999
[[ ! -e "$work/x.bin" ]] || fail "a failed build left a file"
expect_exit 2 "missing arguments" "$mediakit" verify "$disc"

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
