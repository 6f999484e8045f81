#!/usr/bin/env bash
# Mastering the same folder twice, in two time zones, signed, gives every
# output byte for byte, the launcher with the product's version block and icon
# too; with SOURCE_DATE_EPOCH the disc's own files, the package and the
# signatures carry that date, and a changed product file gives the package a
# new ProductCode; without the launcher's options its version block follows
# --product and the package.
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
# The product's icon: the kit's 16-pixel image alone.
/usr/bin/python3 - "$source_dir/launcher/res/Tarvolen.ico" "$work/planner.ico" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
size, offset = struct.unpack_from("<II", data, 6 + 8)
open(sys.argv[2], "wb").write(struct.pack("<HHH", 0, 1, 1) + data[6:6 + 8] + struct.pack("<II", size, 22)
                              + data[offset:offset + size])
PY
company='Sternwarte Müller & Söhne "Nord"'

echo "planner phrase" >"$work/phrase.txt"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.pem" -days 30 \
  -subj "/CN=Planner Signing" 2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/signer.pfx" -passout "file:$work/phrase.txt"

master() {  # OUT: masters the tree into OUT with its package and image, signed
  local out=$1
  shift
  "$source_dir/tools/kitcmd/master.py" "$tree" --product "Planner 5" --id PLAN5-DISC1 --out "$out" \
    --package "$work/planner.wxs" --iso "$out/disc.iso" --sign "$work/signer.pfx" \
    --sign-password-file "$work/phrase.txt" "$@" >"$out.log" 2>&1 || true
  [[ -f "$out/disc.iso" ]] || { tail -n 20 "$out.log"; fail "no image in $out"; }
}
# launcher_is EXE ICON NAME=TEXT...: the version block's texts and numbers (file
# and product version from the fixed part) and the icon's images, read with pefile.
launcher_is() {
  /usr/bin/python3 - "$@" <<'PY' || fail "$1 does not carry the product's version block and icon"
import struct, sys
import pefile
pe = pefile.PE(sys.argv[1])
texts = {k.decode(): v.decode() for info in pe.FileInfo[0] for t in getattr(info, "StringTable", [])
         for k, v in t.entries.items()}
f = pe.VS_FIXEDFILEINFO[0]
for ms, ls, name in ((f.FileVersionMS, f.FileVersionLS, "fixed FileVersion"),
                     (f.ProductVersionMS, f.ProductVersionLS, "fixed ProductVersion")):
    texts[name] = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
wrong = ["%s is %r" % (name, texts.get(name)) for name, want in (a.split("=", 1) for a in sys.argv[3:])
         if texts.get(name) != want]
icon = open(sys.argv[2], "rb").read()
wanted = [icon[o:o + n] for n, o in (struct.unpack_from("<II", icon, 6 + 16 * i + 8)
                                     for i in range(struct.unpack_from("<H", icon, 4)[0]))]
found = [pe.get_data(e.directory.entries[0].data.struct.OffsetToData, e.directory.entries[0].data.struct.Size)
         for t in pe.DIRECTORY_ENTRY_RESOURCE.entries if t.id == 3 for e in t.directory.entries]
if found != wanted:
    wrong.append("its icon holds %d images, not those of %s" % (len(found), sys.argv[2]))
print("\n".join("%s: %s" % (sys.argv[1], w) for w in wrong))
sys.exit(1 if wrong else 0)
PY
}
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

own=(--company "$company" --version 5.65535.0.12 --description 'Planner 5 "Setup"' --icon "$work/planner.ico")
master "$work/first" "${own[@]}"
sleep 1  # a clock or a time zone that leaks into an output now shows
TZ=JST-9 master "$work/second" "${own[@]}"
launcher_is "$work/first/disc/Tarvolen.exe" "$work/planner.ico" "CompanyName=$company" "ProductName=Planner 5" \
  'FileDescription=Planner 5 "Setup"' FileVersion=5.65535.0.12 ProductVersion=5.65535.0.12 \
  "fixed FileVersion=5.65535.0.12" "fixed ProductVersion=5.65535.0.12"
"$source_dir/tests/binaries/check_pe.py" exe "$work/first/disc/Tarvolen.exe" >/dev/null ||
  fail "the product's Tarvolen.exe does not pass the shipped program's inspection"
cmp -s "$work/first/Tarvolen.exe" "$work/first/disc/Tarvolen.exe" || fail "OUT's Tarvolen.exe is not the disc's"
for name in listing.bin manifest.md5 Vesmark.dll Tarvolen.exe Tarvolen.exe.debug disk1.id Tarvolen.ini setup.msi \
            disc.iso wine/Vesmark.dll wine/setup.msi; do
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
launcher_is "$work/changed/disc/Tarvolen.exe" "$source_dir/launcher/res/Tarvolen.ico" "CompanyName=Planner 5" \
  "ProductName=Planner 5" "FileDescription=Planner 5 setup" FileVersion=5.0.0.0 "fixed ProductVersion=5.0.0.0"

if ((failures > 0)); then
  echo "master_twice_test: $failures failure(s)"
  exit 1
fi
echo "master_twice_test: two signed runs gave the same bytes; the dates, the signing times, the ProductCode and the launcher's version block follow the inputs"
