#!/usr/bin/env bash
# Stages the sample product's disc for end-to-end runs, as a release engineer
# would master it: the generated tree, disk1.id and the matching launcher
# settings, Tarvolen.exe, a Vesmark.dll whose embedded listing and manifest are
# made from this very tree, and the package built with that library as setup.msi.
#   stage_disc.sh WORK_FOLDER TARVOLEN_EXE MEDIAKIT [x64|x86]
# x64 (the default) builds the 64-bit library and package that run under
# wine64; x86 the 32-bit library, built as it ships, and the Intel package.
# Leaves WORK_FOLDER/disc (read-only, as pressed), listing.bin, manifest.md5,
# Vesmark.dll, setup.msi, minimal.msi and their -immediate.msi variants.
set -euo pipefail
work=${1:?usage: stage_disc.sh WORK_FOLDER TARVOLEN_EXE MEDIAKIT [x64|x86]}
tarvolen=${2:?missing TARVOLEN_EXE}
mediakit=${3:?missing MEDIAKIT}
arch=${4:-x64}
case "$arch" in
  x64) preset=win64 platform=x64 ;;
  x86) preset=win32 platform=Intel ;;
  *) echo "stage_disc.sh: architecture '$arch' is neither x64 nor x86" >&2; exit 2 ;;
esac
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
# The log goes to the C: drive of whichever prefix runs the disc.
template='/i [%PACKAGE%] /qn /l*v "C:\kit\install.log"'

mkdir -p "$work"
work=$(cd "$work" && pwd)
disc="$work/disc"

echo "staging the sample disc in $disc"
"$source_dir/tools/assemble_sample_disc.sh" "$disc" "$tarvolen" "$mediakit" "$template"

echo "making the listing and the manifest of the staged tree"
"$mediakit" listing build "$disc" -o "$work/listing.bin" --disc >"$work/mastering.log" 2>&1 \
  || { cat "$work/mastering.log" >&2; exit 1; }
"$mediakit" manifest build "$disc" -o "$work/manifest.md5" >>"$work/mastering.log" 2>&1 \
  || { cat "$work/mastering.log" >&2; exit 1; }

echo "building Vesmark.dll ($preset) with that data embedded"
dll=$("$source_dir/tools/build_with_data.sh" "$preset" "$work/dll-build" "$work/listing.bin" "$work/manifest.md5")
cp "$dll" "$work/Vesmark.dll"

echo "building the packages ($arch, files installed from the loose disc tree)"
package() { "$source_dir/tools/kitcmd/build_package.py" "$1" --arch "$arch" --dll "$work/Vesmark.dll" --disc "$disc" -o "$2"; }
package "$source_dir/packaging/kestrel-ledger.wxs" "$work/setup.msi"
"$source_dir/tests/binaries/check_package.sh" "$work/setup.msi" "$work/Vesmark.dll" "$platform"
# The integration guide's minimal package, built from the guide's own text; it
# installs from the disc folder Templates.
awk '/<!-- minimal-package -->/ {m = 1; next} m && /^```xml/ {p = 1; next} p && /^```/ {exit} p' \
  "$source_dir/docs/integration.md" >"$work/minimal.wxs"
package "$work/minimal.wxs" "$work/minimal.msi"
# Each package also with encryption after InstallFinalize, with the user's rights.
for name in setup minimal; do
  cp "$work/$name.msi" "$work/$name-immediate.msi"
  msibuild "$work/$name-immediate.msi" -q "INSERT INTO Property (Property, Value) VALUES ('VesmarkCryptMode', 'immediate')"
done
chmod u+w "$disc/setup.msi"
cp "$work/setup.msi" "$disc/setup.msi"
chmod a-w "$disc/setup.msi"
echo "staged: $(find "$disc" -type f | wc -l) files, $(find "$disc" -mindepth 1 -type d | wc -l) folders"
