#!/usr/bin/env bash
# ./kit try on an ISO image of the staged disc, laid out as ./kit master writes
# dist/: the intact disc installs and every range of Files decrypts back; with
# one byte of a listed file changed, the disc is refused and the report names
# that file.
#   try_disc_test.sh E2E_WORK TARVOLEN_EXE MEDIAKIT WORK
set -euo pipefail
e2e=$(cd "${1:?usage: try_disc_test.sh E2E_WORK TARVOLEN_EXE MEDIAKIT WORK}" && pwd)
tarvolen=${2:?missing TARVOLEN_EXE}
mediakit=${3:?missing MEDIAKIT}
work=${4:?missing WORK}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[[ -d "$work" ]] && chmod -R u+w "$work"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

image() { xorriso -as mkisofs -J -joliet-long -r -V KL42_DISC1 -o "$1/disc.iso" "$1/disc" 2>"$1/xorriso.log"; }

# The staged disc carries the 64-bit package as its setup.msi, which is all
# the try reads of it; the twin is what master writes beside the disc.
dist="$work/dist"
mkdir -p "$dist/wine"
cp -a "$e2e/disc" "$dist/disc"
cp "$e2e/setup.msi" "$e2e/Vesmark.dll" "$dist/wine/"
cp "$tarvolen" "$dist/wine/Tarvolen.exe"
cp "$e2e/listing.bin" "$e2e/manifest.md5" "$dist/"
image "$dist"

# The same layout with one byte changed in a file the manifest lists, one
# folder below the root.
changed="$work/changed"
cp -a "$dist" "$changed"
listed=$(awk -F'\t' '$1 ~ /^\\[^\\]*\\[^\\]*$/ {print $1; exit}' "$e2e/manifest.md5" | tr -d '\r')
file="$changed/disc/$(echo "${listed#\\}" | tr '\\' '/')"
chmod u+w "$file"
byte=$(od -An -tu1 -j100 -N1 "$file" | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$file" bs=1 seek=100 conv=notrunc status=none
chmod a-w "$file"
image "$changed"

# try DIST NAME: runs the try on DIST's image; its output lands in WORK/NAME.out.
try() {
  rc=0
  "$source_dir/tools/try_disc.py" "$1/disc.iso" --work "$work/try" --mediakit "$mediakit" >"$work/$2.out" 2>&1 || rc=$?
  sed 's/^/  | /' "$work/$2.out"
}

touch "$work/before"
echo "row: intact image"
try "$dist" intact
[[ $rc == 0 ]] || fail "the intact disc: exit $rc, expected 0"
# The first name of the package's Files.
encrypted=$(msiinfo export "$e2e/setup.msi" Property | awk -F'\t' '$1 == "Files" {print $2}' | tr -d '\r' |
  tr ',;' '\n\n' | sed -n '/./{p;q}')
grep -q "^  $encrypted: bytes .* encrypted.* back byte for byte" "$work/intact.out" \
  || fail "the report does not prove $encrypted encrypted and decrypted back"

echo "row: one byte changed in $listed"
try "$changed" changed
[[ $rc == 1 ]] || fail "the changed disc: exit $rc, expected 1"
grep -qF "changed  $listed " "$work/changed.out" || fail "the report does not name $listed as changed"
grep -q "^  VesmarkCheckContentOfItems: failed" "$work/changed.out" || fail "the content check did not fail"

# The try works on its own copy of the disc.
[[ -z "$(find "$dist" "$changed" -newer "$work/before")" ]] || fail "the try changed the folder it was given"

if ((failures)); then
  echo "try_disc_test: $failures failure(s)"
  exit 1
fi
echo "try_disc_test: ok"
