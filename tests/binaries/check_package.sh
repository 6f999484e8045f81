#!/usr/bin/env bash
# Inspects a built package that uses the Vesmark fragment: the platform, the
# library it carries, the actions and where they run, the loose-tree layout.
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

# Action, type, source and target of each of the fragment's custom actions:
# DLL actions (1) checked, ignored (+64), deferred (+1024) without
# impersonation (+2048); set-property actions (51); hidden targets (+8192).
actions=$(table CustomAction | awk -F'\t' '$1 ~ /^Vesmark/ {print $1 ":" $2 ":" $3 ":" $4}' | sort | tr '\n' ' ')
expected="VesmarkCheckContentOfItems:1:VesmarkDll:CheckContentOfItems VesmarkCheckItems:1:VesmarkDll:CheckItems \
VesmarkCryptFile:65:VesmarkDll:CryptFile VesmarkCryptFileDeferred:11329:VesmarkDll:CryptFile \
VesmarkSetCryptFileDeferred:8243:VesmarkCryptFileDeferred:[_DBASE_]|[Files]|[RectPyrc]|[ProductNameShort] "
[[ "$actions" == "$expected" ]] || fail "custom actions '$actions', expected '$expected'"

sequence() { table InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a {print $3}'; }
order=(CostInitialize ResolveSource VesmarkCheckItems VesmarkCheckContentOfItems
       InstallInitialize RemoveFiles InstallFiles VesmarkSetCryptFileDeferred VesmarkCryptFileDeferred InstallFinalize
       VesmarkCryptFile)
for ((i = 1; i < ${#order[@]}; i++)); do
  before=$(sequence "${order[i - 1]}")
  after=$(sequence "${order[i]}")
  [[ -n "$before" && -n "$after" && "$before" -lt "$after" ]] ||
    fail "${order[i - 1]} ($before) must run before ${order[i]} ($after)"
done

media=$(table Media)
[[ $(wc -l <<<"$media") -eq 1 && -z "$(cut -f4 <<<"$media")" ]] || fail "media '$media': one disc without a cabinet expected"
table File | awk -F'\t' 'int($7 / 16384) % 2 {bad = 1} END {exit bad}' || fail "a file carries the compressed bit (16384)"
msiinfo streams "$msi" | grep -qi '\.cab$' && fail "carries a cabinet stream"
# The compressed bit of the word count would make the installer ignore the folders' source names.
words=$(msiinfo suminfo "$msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
(( (words & 2) == 0 )) || fail "summary word count $words still says compressed"
[[ $(table Directory | awk -F'\t' '$1 == "_DBASE_" {print $3}') == *:* ]] || fail "_DBASE_ has no source name"
for property in Files RectPyrc ProductNameShort; do
  [[ -n "$(table Property | awk -F'\t' -v p="$property" '$1 == p {print $2}')" ]] || fail "no $property property"
done

hidden=$(table Property | awk -F'\t' '$1 == "MsiHiddenProperties" {print $2}')
for property in ProductNameShort VesmarkCryptFileDeferred; do
  [[ ";$hidden;" == *";$property;"* ]] || fail "$property is not in MsiHiddenProperties ('$hidden')"
done

if ((failures > 0)); then
  exit 1
fi
echo "$msi: $platform package; carries $(basename "$dll"); the checks after ResolveSource ($(sequence ResolveSource)) and before InstallInitialize; CryptFile deferred before InstallFinalize or immediate after it; files from the loose disc tree"
