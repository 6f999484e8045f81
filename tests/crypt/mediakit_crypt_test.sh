#!/usr/bin/env bash
# mediakit crypt on real files: the documented example bytes, decryption back
# to the original bytes and size, and refusals that change nothing.
#   mediakit_crypt_test.sh path/to/mediakit
set -euo pipefail
mediakit=${1:?usage: mediakit_crypt_test.sh MEDIAKIT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The worked example of docs/cipher.md.
printf 'Vesmark range sample' > example.bin
"$mediakit" crypt encrypt --pass 'sample pass 7' --range '0;-1' example.bin >/dev/null
[[ $(od -An -tx1 example.bin | tr -d ' \n') == 218709ddb20cb26ca7bb4921218533f9eb773121 ]] ||
  fail "example ciphertext differs: $(od -An -tx1 example.bin | tr -d ' \n')"

# Several files, one range reaching past the end of the short one, which
# encrypt reports with the size that gives it back.
head -c 300000 /dev/urandom > large.bin
head -c 50 /dev/urandom > short.bin
cp large.bin large.orig
cp short.bin short.orig
said=$("$mediakit" crypt encrypt --pass 'p w' --range '40,100' large.bin short.bin)
[[ $said == *"short.bin (lengthened by 90 bytes, from 50 to 140; decrypt with --size 50"* ]] ||
  fail "encrypt did not report the lengthening of short.bin: $said"
[[ $(grep -c lengthened <<<"$said") == 1 ]] || fail "encrypt reported more than short.bin as lengthened: $said"
cmp -s large.bin large.orig && fail "large.bin was not encrypted"
cmp -s <(head -c 40 large.bin) <(head -c 40 large.orig) || fail "large.bin changed before the range"
cmp -s <(tail -c +141 large.bin) <(tail -c +141 large.orig) || fail "large.bin changed after the range"
[[ $(stat -c %s short.bin) == 140 ]] || fail "short.bin is $(stat -c %s short.bin) bytes, expected 140"
cp short.bin short.cut
"$mediakit" crypt decrypt --pass 'p w' --range '40,100' large.bin short.bin >/dev/null
cmp -s large.bin large.orig || fail "decryption did not restore large.bin"
{ cat short.orig; head -c 90 /dev/zero; } > short.expected
cmp -s short.bin short.expected || fail "decryption did not restore short.bin (zeros past its old end)"
"$mediakit" crypt decrypt --pass 'p w' --range '40,100' --size 50 short.cut >/dev/null
cmp -s short.cut short.orig || fail "decryption with --size 50 did not give short.bin back exactly"

# The pass phrase keys with its bytes in the code page, as CryptFile reads it
# from the package: "Pässwört" in 1252 and "Pдsswцrt" in 1251 are the same
# bytes, so the same key; 31 letters ä are 31 bytes, which fits.
printf 'Vesmark range sample' > west.bin
cp west.bin east.bin
"$mediakit" crypt encrypt --pass 'Pässwört' --range '0;-1' west.bin >/dev/null
"$mediakit" crypt encrypt --pass 'Pдsswцrt' --codepage 1251 --range '0;-1' east.bin >/dev/null ||
  fail "a pass phrase in code page 1251 was refused"
cmp -s west.bin east.bin || fail "one pass phrase's bytes in two code pages did not key alike"
umlauts=$(printf 'ä%.0s' {1..31})
"$mediakit" crypt decrypt --pass "$umlauts" --range '0;5' west.bin >/dev/null || fail "31 letters ä (31 bytes) were refused"


cp large.bin before.bin
expect_refusal() {
  local why=$1
  shift
  local status=0 message
  message=$("$mediakit" "$@" 2>&1 >/dev/null) || status=$?
  [[ $status == 2 ]] || fail "$why: exit $status, expected 2"
  [[ -n "$message" ]] || fail "$why: no message"
  cmp -s large.bin before.bin || fail "$why: large.bin changed"
}
expect_refusal "one number" crypt encrypt --pass x --range 5 large.bin
expect_refusal "negative start" crypt encrypt --pass x --range '-3;5' large.bin
expect_refusal "length below -1" crypt encrypt --pass x --range '0;-2' large.bin
expect_refusal "32-character pass" crypt encrypt --pass "$(printf 'p%.0s' {1..32})" --range '0;5' large.bin
expect_refusal "32 letters ä, 32 bytes in 1252" crypt encrypt --pass "${umlauts}ä" --range '0;5' large.bin
expect_refusal "a missing file among present ones" crypt encrypt --pass x --range '0;5' large.bin gone.bin
expect_refusal "a file listed twice" crypt encrypt --pass x --range '0;5' large.bin ./large.bin
head -c 10 /dev/urandom > readonly.bin
chmod 0444 readonly.bin
expect_refusal "a read-only file after a writable one (refused also to root)" \
  crypt encrypt --pass x --range '0;5' large.bin readonly.bin
expect_refusal "a range ending past 2 GiB" crypt encrypt --pass x --range '2147483600;100' large.bin
expect_refusal "--size larger than the file" crypt decrypt --pass x --range '0;5' --size 300001 large.bin
expect_refusal "no mode" crypt --pass x --range '0;5' large.bin

((failures == 0)) || exit 1
echo "mediakit crypt: all checks passed"
