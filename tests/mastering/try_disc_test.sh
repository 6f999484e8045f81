#!/usr/bin/env bash
# ./kit try on what ./kit master wrote: the image alone, with nothing beside
# it, installs with the disc's own 32-bit programs and every range of Files
# decrypts back; with one byte of a listed file changed in the image's tree,
# the disc is refused and the report names that file; with --twin, the 64-bit
# twin beside the image installs it too. Where the lane cannot run, every row
# runs the twin and says so.
#   try_disc_test.sh DIST IMAGE MEDIAKIT WORK
set -euo pipefail
dist=$(cd "${1:?usage: try_disc_test.sh DIST IMAGE MEDIAKIT WORK}" && pwd)
image_file=${2:?missing IMAGE}
mediakit=${3:?missing MEDIAKIT}
work=${4:?missing WORK}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[[ -d "$work" ]] && chmod -R u+w "$work"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

lane_gap=$(KIT_ROOT=$source_dir bash -c 'source "$0" && wine32_missing' "$source_dir/tools/wine32/env.sh")
# The image alone; and its tree with one byte changed in a listed file one
# folder below the root, imaged again. The twin goes beside both only where
# the lane cannot run.
alone="$work/alone"
changed="$work/changed"
mkdir -p "$alone" "$changed"
cp "$image_file" "$alone/disc.iso"
xorriso -osirrox on -read_fs norock -indev "$image_file" -extract / "$changed/disc" 2>"$work/xorriso.log"
if [[ -n "$lane_gap" ]]; then
  ln -s "$dist/wine" "$alone/wine"
  ln -s "$dist/wine" "$changed/wine"
  programs="the 64-bit twin"
else
  programs="the disc's own"
fi
listed=$(tr -d '\r' <"$dist/manifest.md5" | while IFS=$'\t' read -r path _; do
  host="$changed/disc/$(echo "${path#\\}" | tr '\\' '/')"
  if [[ "$path" =~ ^\\[^\\]*\\[^\\]*$ && $(stat -c %s "$host") -gt 100 ]]; then echo "$path"; break; fi
done)
file="$changed/disc/$(echo "${listed#\\}" | tr '\\' '/')"
chmod u+w "$file"
byte=$(od -An -tu1 -j100 -N1 "$file" | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$file" bs=1 seek=100 conv=notrunc status=none
chmod -R a-w "$changed/disc"
xorriso -as mkisofs -J -joliet-long -r -V CHANGED -o "$changed/disc.iso" "$changed/disc" 2>>"$work/xorriso.log"

# try IMAGE NAME [ARGS]: runs the try on IMAGE; its output lands in WORK/NAME.out.
try() {
  rc=0
  "$source_dir/tools/kitcmd/try_disc.py" "$1" --work "$work/try" --mediakit "$mediakit" "${@:3}" \
    >"$work/$2.out" 2>&1 || rc=$?
  sed 's/^/  | /' "$work/$2.out"
}

touch "$work/before"
echo "row: the image alone"
try "$alone/disc.iso" intact
[[ $rc == 0 ]] || fail "the intact disc: exit $rc, expected 0"
grep -q "^  programs: $programs" "$work/intact.out" || fail "the report does not say $programs programs ran"
# The first name of the package's Files.
encrypted=$(msiinfo export "$dist/setup.msi" Property | awk -F'\t' '$1 == "Files" {print $2}' | tr -d '\r' |
  tr ',;' '\n\n' | sed -n '/./{p;q}')
grep -q "^  $encrypted: bytes .* encrypted.* back byte for byte" "$work/intact.out" \
  || fail "the report does not prove $encrypted encrypted and decrypted back"
# What the try keeps by default: no prefix, and nothing carrying the pass phrase.
phrase=$(msiinfo export "$dist/setup.msi" Property | awk -F'\t' '$1 == "ProductNameShort" {print $2}' | tr -d '\r')
[[ ! -e "$work/try/prefix" && ! -e "$work/try/.prefix-template" ]] || fail "the try kept its Wine prefix"
[[ -z "$(grep -rlF -- "$phrase" "$work/try")" ]] || fail "a file the try kept carries the pass phrase"

echo "row: one byte changed in $listed"
try "$changed/disc.iso" changed
[[ $rc == 1 ]] || fail "the changed disc: exit $rc, expected 1"
grep -qF "changed  $listed " "$work/changed.out" || fail "the report does not name $listed as changed"
grep -q "^  VesmarkCheckContentOfItems: failed" "$work/changed.out" || fail "the content check did not fail"

echo "row: --twin, the twin beside the image"
try "$image_file" twin --twin
[[ $rc == 0 ]] || fail "the twin: exit $rc, expected 0"
grep -q "^  programs: the 64-bit twin in wine/, as --twin asks" "$work/twin.out" ||
  fail "the report does not say the twin ran"

# The try works on its own copy of the disc.
[[ -z "$(find "$dist" "$image_file" "$alone" "$changed" -newer "$work/before")" ]] || fail "the try changed what it was given"

if ((failures)); then
  echo "try_disc_test: $failures failure(s)"
  exit 1
fi
echo "try_disc_test: ok"
