#!/usr/bin/env bash
# Builds the sample product's package with wixl and rewrites its media layout
# so that the files install from the loose disc tree instead of a cabinet.
#   build_package.sh x64|x86 VESMARK_DLL DISC_FOLDER OUTPUT.msi
set -euo pipefail
arch=${1:?usage: build_package.sh x64|x86 VESMARK_DLL DISC_FOLDER OUTPUT.msi}
dll=${2:?missing VESMARK_DLL}
disc=${3:?missing DISC_FOLDER}
out=${4:?missing OUTPUT.msi}
here=$(dirname "$(readlink -f "$0")")
case "$arch" in x64|x86) ;; *) echo "build_package.sh: arch must be x64 or x86" >&2; exit 2 ;; esac
[[ -f "$dll" ]] || { echo "build_package.sh: no library at $dll" >&2; exit 2; }
[[ -d "$disc" ]] || { echo "build_package.sh: no disc folder at $disc" >&2; exit 2; }

tmp="$(readlink -f "$(dirname "$out")")/$(basename "$out").tmp"
rm -f "$tmp"
# wixl resolves sources relative to its working folder only: give it one.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$(readlink -f "$dll")" "$work/Vesmark.dll"
ln -s "$(readlink -f "$disc")" "$work/disc"
(cd "$work" && wixl -a "$arch" -D Arch="$arch" -D Dll=Vesmark.dll -D Disc=disc \
     -o "$tmp" "$here/kestrel-ledger.wxs")
files=$(msiinfo export "$tmp" File | tail -n +4 | wc -l)
# One disc, no cabinet; every file vital (512) and uncompressed (8192).
msibuild "$tmp" -q "DELETE FROM Media"
msibuild "$tmp" -q "INSERT INTO Media (DiskId, LastSequence, DiskPrompt) VALUES (1, $files, 'CD')"
msibuild "$tmp" -q "UPDATE File SET Attributes = 8704"
# Nothing refers to the cabinet any more.
msibuild "$tmp" -q "DELETE FROM _Streams WHERE Name = 'data.cab'"
mv -f "$tmp" "$out"
