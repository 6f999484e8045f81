#!/usr/bin/env bash
# ./kit inspect's script on what it is for: the shipped library, an image
# that still carries its debug information, a package with that library,
# and files it must refuse.
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

failures=0
# The output is searched as one line, with $nl where its lines break (grep
# would take a line break in a pattern for a list of patterns).
nl=$'\036'
# expect CASE STATUS FILE PATTERN...: the exit status, and each extended
# regular expression found in the output; a pattern led by ! must not be found.
expect() {
  local name=$1 status=$2 file=$3 out=$work/out got=0 pattern before=$failures
  shift 3
  "$inspect" --mediakit "$mediakit" "$file" 2>&1 | tr '\n' "$nl" >"$out" || got=${PIPESTATUS[0]}
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

expect "shipped library" 0 "$dll" \
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
expect "missing file" 2 "$work/missing.msi" "inspect: .*missing.msi: No such file or directory"
expect "unknown file" 2 "$work/notes.txt" "neither a Windows Installer package nor a PE image"

((failures == 0)) || exit 1
echo "inspect_file_test: 5 cases passed"
