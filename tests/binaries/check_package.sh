#!/usr/bin/env bash
# Inspects a built package of the sample product: the platform, the library
# it carries, the three actions and where they run, the loose-tree layout.
#   check_package.sh PACKAGE.msi VESMARK_DLL Intel|x64
set -euo pipefail
msi=${1:?usage: check_package.sh PACKAGE.msi VESMARK_DLL Intel|x64}
dll=${2:?missing VESMARK_DLL}
platform=${3:?missing Intel|x64}
failures=0
fail() { echo "FAIL: $msi: $*" >&2; failures=$((failures + 1)); }
table() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }

template=$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')
[[ "$template" == "$platform;1033" ]] || fail "template '$template', expected '$platform;1033'"
msiinfo extract "$msi" Binary.VesmarkDll | cmp -s - "$dll" || fail "does not carry $dll as Binary VesmarkDll"

actions=$(table CustomAction | awk -F'\t' '{print $1 ":" $2 ":" $3 ":" $4}' | sort | tr '\n' ' ')
expected="CheckContentOfItems:1:VesmarkDll:CheckContentOfItems CheckItems:1:VesmarkDll:CheckItems CryptFile:65:VesmarkDll:CryptFile "
[[ "$actions" == "$expected" ]] || fail "custom actions '$actions', expected '$expected'"

sequence() { table InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a {print $3}'; }
order=(ResolveSource CheckItems CheckContentOfItems InstallInitialize)
for ((i = 1; i < ${#order[@]}; i++)); do
  before=$(sequence "${order[i - 1]}")
  after=$(sequence "${order[i]}")
  [[ -n "$before" && -n "$after" && "$before" -lt "$after" ]] ||
    fail "${order[i - 1]} ($before) must run before ${order[i]} ($after)"
done
finalize=$(sequence InstallFinalize)
crypt=$(sequence CryptFile)
[[ -n "$crypt" && "$crypt" -gt "$finalize" ]] || fail "CryptFile ($crypt) must run after InstallFinalize ($finalize)"

media=$(table Media)
[[ $(wc -l <<<"$media") -eq 1 && -z "$(cut -f4 <<<"$media")" ]] || fail "media '$media': one disc without a cabinet expected"
table File | awk -F'\t' '$7 != 8704 {bad = 1} END {exit bad}' || fail "a file is not vital and uncompressed (8704)"
msiinfo streams "$msi" | grep -qx 'data.cab' && fail "still carries the cabinet stream"
for property in Files RectPyrc ProductNameShort; do
  [[ -n "$(table Property | awk -F'\t' -v p="$property" '$1 == p {print $2}')" ]] || fail "no $property property"
done

if ((failures > 0)); then
  exit 1
fi
echo "$msi: $platform package; carries $(basename "$dll"); CheckItems and CheckContentOfItems after ResolveSource ($(sequence ResolveSource)) and before InstallInitialize; CryptFile after InstallFinalize; files from the loose disc tree"
