#!/usr/bin/env bash
# ./kit inspect's script on what it is for: the shipped library, an image
# that still carries its debug information, a package with that library,
# and files it must refuse; a signed copy of the library and a signed
# package with it, alone and as a disc folder and image, each signature
# verified against the test's own certificate, and found untrusted without
# it or broken once a byte changed.
#   inspect_file_test.sh WORK VESMARK_DLL UNSTRIPPED_DLL MEDIAKIT
set -euo pipefail
work=${1:?usage: inspect_file_test.sh WORK VESMARK_DLL UNSTRIPPED_DLL MEDIAKIT}
dll=$(readlink -f "${2:?missing VESMARK_DLL}")
unstripped=${3:?missing UNSTRIPPED_DLL}
mediakit=${4:?missing MEDIAKIT}
here=$(dirname "$(readlink -f "$0")")
inspect="$here/../../tools/kitcmd/inspect_file.py"

rm -rf "$work" && mkdir -p "$work"
(cd "$work" && ln -s "$dll" Vesmark.dll && wixl -a x86 -D Dll=Vesmark.dll -o inspected.msi "$here/inspected.wxs")
# A row added later is stored last: the sequence must be shown in order all the same.
msibuild "$work/inspected.msi" -q \
  "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('LaunchConditions', 'NOT Installed', 100)"
echo "neither a package nor an image" >"$work/notes.txt"
# A self-signed certificate, the library and a package with it signed by it
# on 2023-11-14 22:13:20, and a disc of both.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 30 \
  -subj "/CN=Inspect Signer/O=Kit Tests" 2>/dev/null
echo "inspect phrase" >"$work/pass.txt"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" -passout "file:$work/pass.txt"
sign() { osslsigncode sign -pkcs12 "$work/signer.pfx" -readpass "$work/pass.txt" -h sha256 -time 1700000000 \
  -in "$1" -out "$2" >/dev/null; }
sign "$dll" "$work/signed.dll"
(cd "$work" && ln -s signed.dll Signed.dll && wixl -a x86 -D Dll=Signed.dll -o unsigned.msi "$here/inspected.wxs")
sign "$work/unsigned.msi" "$work/signed.msi"
cp "$work/signed.dll" "$work/changed.dll"
printf 'X' | dd of="$work/changed.dll" bs=1 seek=1100 conv=notrunc status=none
mkdir "$work/disc"
cp "$work/signed.dll" "$work/disc/Tarvolen.exe"
cp "$work/signed.msi" "$work/disc/SETUP.MSI"
xorriso -as mkisofs -J -r -o "$work/disc.iso" "$work/disc" 2>/dev/null

failures=0
# The output is searched as one line, with $nl where its lines break (grep
# would take a line break in a pattern for a list of patterns).
nl=$'\036'
# expect CASE STATUS FILE PATTERN...: the exit status, and each extended
# regular expression found in the output; a pattern led by ! must not be found.
expect() {
  local name=$1 status=$2 file=$3 out=$work/out got=0 pattern before=$failures
  shift 3
  "$inspect" --mediakit "$mediakit" "${options[@]}" "$file" 2>&1 | tr '\n' "$nl" >"$out" || got=${PIPESTATUS[0]}
  [[ $got == "$status" ]] || { echo "FAIL $name: exit $got, expected $status"; failures=$((failures + 1)); }
  for pattern in "$@"; do
    if [[ $pattern == !* ]]; then
      ! grep -Eq -- "${pattern#!}" "$out" || { echo "FAIL $name: shows '${pattern#!}'"; failures=$((failures + 1)); }
    else
      grep -Eq -- "$pattern" "$out" || { echo "FAIL $name: no '$pattern'"; failures=$((failures + 1)); }
    fi
  done
  ((failures == before)) || { echo "--- output of $name:"; tr "$nl" '\n' <"$out"; }
}

options=()
expect "shipped library" 0 "$dll" "signature: none \(unsigned\)" \
  "PE32 image, i386 DLL" "exports: CheckContentOfItems CheckItems CryptFile" \
  "imports: advapi32.dll kernel32.dll msi.dll msvcrt.dll" "SHA-256 $(sha256sum "$dll" | cut -d' ' -f1)" \
  "time stamps: none" "debug information: none in the image; names Vesmark.dll.debug \(CRC-32 0x[0-9a-f]{8}\), beside it" \
  "BIN 103, language 1049" "BIN 101, the listing.*$nl    \\\\Help\\\\"$'\t'"folder" \
  "BIN 103, the manifest \([0-9]+ bytes, [0-9]+ rows\):$nl    \\\\[^\\]" \
  "version block: file version [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+, product version [0-9.]+$nl    CompanyName: [^$nl]+$nl.*    OriginalFilename: Vesmark\.dll"
expect "image with debug information" 0 "$unstripped" \
  "debug information: carried: \.debug_aranges, \.debug_info" "exports: CheckItems Extra" "version block: none"
expect "package" 0 "$work/inspected.msi" \
  "Windows Installer package" "Template: Intel;1033" "Tables \([0-9]+\): .*CustomAction \(3\)" \
  "ProductNameShort = \*+ \(not shown\)" "!PhraseOfThe" \
  "CheckItems +type 1: DLL from Binary 'VesmarkDll', entry CheckItems; immediate; return checked" \
  "CryptFile +type 3137: DLL from Binary 'VesmarkDll', entry CryptFile; deferred; no impersonation \(runs as LocalSystem\); return ignored" \
  "SetPhrase +type [0-9]+: sets property 'ProductNameShort' to '\*+ \(not shown\)'" \
  "10  SetPhrase \(custom action\)  if NOT Installed$nl +100  LaunchConditions  if NOT Installed$nl.*860  CheckItems \(custom action\)  if NOT Installed AND SourceDir$nl.*6590  CryptFile \(custom action\)$nl +6600  InstallFinalize" \
  "VesmarkDll: PE32 image, i386 DLL.*BIN 101, the listing.*\\\\Help\\\\"$'\t'"folder"

verified="verifies against $work/cert.pem \(revocation not checked\)"
signature="signature: /CN=Inspect Signer/O=Kit Tests, issued by /CN=Inspect Signer/O=Kit Tests$nl +SHA-256; \
certificate valid [A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} 20[0-9]{2} GMT to [^;]+; signing time Nov 14 22:13:20 2023 GMT; no time stamp"
options=(--ca "$work/cert.pem")
expect "signed library" 0 "$work/signed.dll" "size: .*$nl  $signature$nl    $verified$nl  time stamps: none"
expect "signed package" 0 "$work/signed.msi" "size: [^$nl]*$nl  $signature$nl    $verified$nl  Subject: Inspected" \
  "VesmarkDll: PE32 image, i386 DLL[^$nl]*$nl    size: [^$nl]*$nl    $signature$nl      $verified"
expect "signed library changed" 0 "$work/changed.dll" \
  "$nl  +does not verify: the file's digest differs from the signed one: it changed after it was signed"
for disc in "$work/disc" "$work/disc.iso"; do
  expect "disc ${disc##*/}" 0 "$disc" "a disc$nl  Tarvolen.exe: [^$nl]*$nl    $signature$nl      $verified$nl  \
SETUP.MSI: [^$nl]*$nl    $signature$nl      $verified$nl    the library whose CheckItems it calls: [^$nl]*$nl      $signature$nl        $verified"
done
options=()
expect "signed library without its certificate" 0 "$work/signed.dll" \
  "does not verify: its certificate chain does not verify against this machine's certificates: self-signed certificate"
expect "missing file" 2 "$work/missing.msi" "inspect: .*missing.msi: No such file or directory"
expect "unknown file" 2 "$work/notes.txt" "neither a Windows Installer package nor a PE image"

((failures == 0)) || exit 1
echo "inspect_file_test: 11 cases passed"
