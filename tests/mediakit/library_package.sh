#!/usr/bin/env bash
# A stand-in for Vesmark.dll and its package, for mediakit verify --dll and
# --package: a library built by mingw-w64 whose resources are laid out as
# kit_embed_resources lays out Vesmark's (BIN 101 language 0, BIN 103 language
# 1049), or with none, and a wixl package that calls its CheckItems from the
# Binary table as Vesmark's fragment does.
#   library_package.sh FOLDER NAME x64|x86 [LISTING MANIFEST]
# Makes FOLDER/NAME.dll and FOLDER/NAME.msi.
set -euo pipefail
folder=${1:?usage: library_package.sh FOLDER NAME x64|x86 [LISTING MANIFEST]} name=${2:?} arch=${3:?}
case "$arch" in
  x64) triplet=x86_64-w64-mingw32 entry=Entry ;;
  x86) triplet=i686-w64-mingw32 entry=_Entry@12 ;;
  *) echo "library_package.sh: '$arch' is neither x64 nor x86" >&2; exit 2 ;;
esac
data=()
(($# == 5)) && data=("$(readlink -f "$4")" "$(readlink -f "$5")")
mkdir -p "$folder"
cd "$folder"
cat >"$name.c" <<'C'
int __stdcall Entry(void* module, unsigned reason, void* reserved) { return 1; }
__declspec(dllexport) unsigned __stdcall CheckItems(unsigned long session) { return 0; }
C
objects=()
if ((${#data[@]})); then
  printf 'LANGUAGE 0, 0\n101 BIN "%s"\nLANGUAGE 25, 1\n103 BIN "%s"\n' "${data[@]}" >"$name.rc"
  "$triplet-windres" "$name.rc" -O coff -o "$name.res.o"
  objects=("$name.res.o")
fi
"$triplet-gcc" -shared -nostdlib -Wl,-e,"$entry" -o "$name.dll" "$name.c" "${objects[@]}"
cat >"$name.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Library stand-in" Language="1033" Version="1.0.0" Manufacturer="Kit"
           UpgradeCode="6A3D2C1B-0E4F-4A5B-9C8D-7E6F5A4B3C2D">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Media Id="1" Cabinet="none.cab" EmbedCab="yes"/>
    <Binary Id="VesmarkDll" SourceFile="$name.dll"/>
    <CustomAction Id="VesmarkCheckItems" BinaryKey="VesmarkDll" DllEntry="CheckItems"/>
    <Directory Id="TARGETDIR" Name="SourceDir"/>
    <InstallExecuteSequence><Custom Action="VesmarkCheckItems" Sequence="1"/></InstallExecuteSequence>
  </Product>
</Wix>
WXS
wixl -a "$arch" -o "$name.msi" "$name.wxs"
