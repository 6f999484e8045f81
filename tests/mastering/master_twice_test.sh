#!/usr/bin/env bash
# Mastering the same folder twice, in two time zones, signed, gives every
# output byte for byte; with SOURCE_DATE_EPOCH the disc's own files, the
# package and the signatures carry that date, and a changed product file gives
# the package a new ProductCode.
#   master_twice_test.sh WORK_FOLDER
set -euo pipefail
work=${1:?usage: master_twice_test.sh WORK_FOLDER}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
mediakit="$source_dir/build/native/bin/mediakit"
# A compiler cache gives the debug information of a cached object its first build's paths.
export CCACHE_DISABLE=1
unset SOURCE_DATE_EPOCH
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[[ ! -e "$work" ]] || { chmod -R u+w "$work"; rm -rf "$work"; }
tree="$work/Planner"
mkdir -p "$tree/Data/Maps"
printf 'orbit table\r\n' >"$tree/Data/orbits.db"
printf 'map\r\n' >"$tree/Data/Maps/north.map"
touch -d @1500000000 "$tree/Data/orbits.db" "$tree/Data/Maps/north.map" "$tree/Data/Maps" "$tree/Data" "$tree"
sed -n '/^<?xml/,/^<\/Wix>/p' "$source_dir/tests/mastering/master_own_tree_test.sh" | grep -v empty.dat >"$work/planner.wxs"

echo "planner phrase" >"$work/phrase.txt"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.pem" -days 30 \
  -subj "/CN=Planner Signing" 2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/signer.pfx" -passout "file:$work/phrase.txt"

master() {  # OUT: masters the tree into OUT with its package and image, signed
  "$source_dir/tools/kitcmd/master.py" "$tree" --product "Planner 5" --id PLAN5-DISC1 --out "$1" \
    --package "$work/planner.wxs" --iso "$1/disc.iso" --sign "$work/signer.pfx" \
    --sign-password-file "$work/phrase.txt" >"$1.log" 2>&1 || true
  [[ -f "$1/disc.iso" ]] || { tail -n 20 "$1.log"; fail "no image in $1"; }
}
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

master "$work/first"
sleep 1  # a clock or a time zone that leaks into an output now shows
TZ=JST-9 master "$work/second"
for name in listing.bin manifest.md5 Vesmark.dll Tarvolen.exe disk1.id Tarvolen.ini setup.msi disc.iso \
            wine/Vesmark.dll wine/setup.msi; do
  cmp -s "$work/first/$name" "$work/second/$name" || fail "$name differs between two runs on the same folder"
done
"$mediakit" listing show "$work/first/listing.bin" | grep -q "Tarvolen.ini.*2017-07-14 02:40:00" ||
  fail "the disc's own files are not dated by the newest product file"

printf 'orbit tablf\r\n' >"$tree/Data/orbits.db"
touch -d @1500000000 "$tree/Data/orbits.db"
SOURCE_DATE_EPOCH=1600000000 master "$work/changed"
"$mediakit" listing show "$work/changed/listing.bin" | grep -q "Tarvolen.ini.*2020-09-13 12:26:40" ||
  fail "the disc's own files are not dated by SOURCE_DATE_EPOCH"
msiinfo suminfo "$work/changed/setup.msi" | grep -q "Created: Sun Sep 13 12:26:40 2020" ||
  fail "the package is not dated by SOURCE_DATE_EPOCH"
for name in Tarvolen.exe Vesmark.dll setup.msi wine/setup.msi; do
  "$source_dir/tools/kitcmd/inspect_file.py" --ca "$work/signer.pem" "$work/changed/$name" |
    grep -A1 "signing time Sep 13 12:26:40 2020 GMT" | grep -q "verifies against" ||
    fail "$name is not signed as of SOURCE_DATE_EPOCH, or its signature does not verify"
done
[[ "$(product_code "$work/changed/setup.msi")" != "$(product_code "$work/first/setup.msi")" ]] ||
  fail "a changed product file kept the derived ProductCode"

if ((failures > 0)); then
  echo "master_twice_test: $failures failure(s)"
  exit 1
fi
echo "master_twice_test: two signed runs gave the same bytes; the dates, the signing times and the ProductCode follow the inputs"
