#!/usr/bin/env bash
# ./kit package on a small disc: what it builds from a source that uses the
# fragment, and that it refuses a package whose files the disc does not hold
# where the installer reads them.
#   build_package_test.sh VESMARK_DLL
set -euo pipefail
dll=${1:?usage: build_package_test.sh VESMARK_DLL}
build=$(cd "$(dirname "$0")/../.." && pwd)/tools/kitcmd/build_package.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/disc/Data"
printf 'ledger data\r\n' >"$work/disc/Data/ledger.db"
mkdir -p "$work/disc/Данные"
cp "$work/disc/Data/ledger.db" "$work/disc/Данные/ledger.db"
printf 'notes\r\n' >"$work/disc/notes.txt"

# The same file's other version beside the sources, for a package built from it.
printf 'an older ledger, longer\r\n' >"$work/ledger.db"

# source_with SOURCE_NAME FRAGMENT_LINE FILE_SOURCE REMOVE_FILE_LINE PRODUCT_ATTRIBUTES FILE_ATTRIBUTES:
# a package installing ledger.db, loose on the disc.
source_with() {
  cat <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Probe" $5 Language="1033" Version="1.0.0" Manufacturer="Probe"
           UpgradeCode="5B0E2D4C-7A19-4C3E-8F62-1D9B3A7C5E20">
    <Package InstallerVersion="200" Compressed="no" InstallScope="perMachine"/>
    <Media Id="1"/>
    $2
    <Property Id="Files" Value="ledger.db"/>
    <Property Id="RectPyrc" Value="0;4"/>
    <Property Id="ProductNameShort" Value="probe"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="_DBASE_" Name="Probe" $1>
          <Component Id="VesmarkEncryptedFiles" Guid="6C1F3E5D-8B2A-4D4F-9A73-2E0C4B8D6F31">
            <File Id="ledger.db" Name="ledger.db" Source="$3" $6/>
            $4
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="VesmarkEncryptedFiles"/></Feature>
  </Product>
</Wix>
WXS
}
table() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r'; }

anew='<RemoveFile Id="ledger.db.anew" Name="ledger.db" On="install"/>'
# name | SourceName attribute | fragment line | File source | removed on install | exit | what the output must say
#   | Product attributes | options | File attributes
while IFS='|' read -r name source_name fragment file_source removal want_rc want_text product options file_attributes; do
  [[ "$removal" == yes ]] && removal=$anew || removal=
  source_with "$source_name" "$fragment" "$file_source" "$removal" "$product" "$file_attributes" >"$work/$name.wxs"
  rc=0
  # shellcheck disable=SC2086
  out=$("$build" "$work/$name.wxs" --arch x64 --dll "$dll" --disc "$work/disc" $options \
        -o "$work/$name.msi" 2>&1) || rc=$?
  [[ "$rc" == "$want_rc" ]] || fail "$name: exit $rc, expected $want_rc ($out)"
  [[ "$out" == *"$want_text"* ]] || fail "$name: output '$out' does not say '$want_text'"
done <<'ROWS'
sub-folder|SourceName="Data"|<CustomActionRef Id="VesmarkCheckItems"/>|$(var.Disc)/Data/ledger.db|yes|0|1 files installed from the loose disc tree|||Compressed="no"
folder-not-stated||<CustomActionRef Id="VesmarkCheckItems"/>|$(var.Disc)/Data/ledger.db|yes|2|reads it from <disc>\Probe\ledger.db
built-from-other-files|SourceName="Data"|<CustomActionRef Id="VesmarkCheckItems"/>|ledger.db|yes|2|the package was built with
encrypted-file-not-removed|SourceName="Data"|<CustomActionRef Id="VesmarkCheckItems"/>|$(var.Disc)/Data/ledger.db|no|2|Files names ledger.db, but no <RemoveFile
without-the-fragment|SourceName="Data"||$(var.Disc)/Data/ledger.db|no|0|does not reference the Vesmark fragment
in-code-page|SourceName="Данные"|<CustomActionRef Id="VesmarkCheckItems"/>|$(var.Disc)/Данные/ledger.db|yes|0|x64 package in code page 1251||--codepage 1251
not-in-code-page|SourceName="Данные"|<CustomActionRef Id="VesmarkCheckItems"/>|$(var.Disc)/Данные/ledger.db|yes|2|'Данные' in the source cannot be written in code page 1250||--codepage 1250
declared-page-taken|SourceName="Data"|<CustomActionRef Id="VesmarkCheckItems"/>|$(var.Disc)/Data/ledger.db|yes|0|x64 package in code page 1250|Codepage="1250"|
declares-other-page|SourceName="Data"|<CustomActionRef Id="VesmarkCheckItems"/>|$(var.Disc)/Data/ledger.db|yes|2|declares the database's code page (Product Codepage) 1250|Codepage="1250"|--codepage 1251
ROWS

# What the built package carries for the installer.
msi="$work/sub-folder.msi"
if [[ -f "$msi" ]]; then
  [[ $(table "$msi" Directory | awk -F'\t' '$1 == "_DBASE_" {print $3}') == "Probe:Data" ]] ||
    fail "_DBASE_ does not carry the source name Data"
  words=$(msiinfo suminfo "$msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
  (( (words & 2) == 0 )) || fail "the word count $words still says compressed"
  [[ $(table "$msi" Media) == $'1\t1\t\t\t\t' ]] || fail "Media holds '$(table "$msi" Media)', not disc 1 without a cabinet"
  [[ $(table "$msi" File | cut -f7) == 8704 ]] || fail "ledger.db, Compressed=\"no\", is not vital and non-compressed (8704)"
  [[ $(table "$msi" InstallExecuteSequence | awk -F'\t' '$1 == "VesmarkCryptFile" {print $2}') == '$VesmarkEncryptedFiles=3'* ]] ||
    fail "the component condition lost its \$"
  msiinfo extract "$msi" Binary.VesmarkDll | cmp -s - "$dll" || fail "the package does not carry $dll"
  [[ $(table "$msi" RemoveFile) == $'ledger.db.anew\tVesmarkEncryptedFiles\tledger.db\t_DBASE_\t1' ]] ||
    fail "RemoveFile holds '$(table "$msi" RemoveFile)', not ledger.db removed on install from _DBASE_"
fi
# The folder's name in the disc's code page, which both of the package's code pages give.
msi="$work/in-code-page.msi"
if [[ -f "$msi" ]]; then
  [[ $(table "$msi" Directory | awk -F'\t' '$1 == "_DBASE_" {print $3}') == "Probe:Данные" ]] ||
    fail "_DBASE_ does not carry the source name Данные"
  [[ $(msiinfo export "$msi" _ForceCodepage | tr -d '\0\r' | sed -n '3s/\t.*//p') == 1251 ]] ||
    fail "the database is not in code page 1251"
  [[ $(table "$msi" _SummaryInformation | awk -F'\t' '$1 == 1 {print $2}') == 1251 ]] ||
    fail "the summary information is not in code page 1251"
fi
[[ -z "$(table "$work/without-the-fragment.msi" CustomAction 2>/dev/null)" ]] ||
  fail "a package without the fragment got custom actions"
# A File that leaves Compressed to the package keeps its attributes: vital only.
[[ $(table "$work/without-the-fragment.msi" File 2>/dev/null | cut -f7) == 512 ]] ||
  fail "ledger.db without Compressed does not carry the attributes 512"

if ((failures > 0)); then
  echo "build_package_test: $failures failure(s)"
  exit 1
fi
echo "build_package_test: all rows as expected"
