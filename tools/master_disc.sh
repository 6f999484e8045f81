#!/usr/bin/env bash
# The release engineer's job for one disc tree: make the listing and the
# manifest from it, build the 32-bit Tarvolen.exe and Vesmark.dll with that
# data embedded, write disk1.id and the launcher settings, verify the tree
# against the fresh data and inspect the binaries.
# Called by ./kit master, which has built mediakit and the win32 launcher.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
mediakit="$source_dir/build/native/bin/mediakit"
tarvolen="$source_dir/build/win32/bin/Tarvolen.exe"
check_pe="$source_dir/tests/binaries/check_pe.py"
pe_resource="$source_dir/tests/binaries/pe_resource.py"

usage() {
  cat <<'USAGE'
Usage: ./kit master [DIR] [--product P --id I] [--out FOLDER] [--template TEXT] [--codepage N]

Masters the disc tree DIR (default: the sample product's disc, assembled in
build/master/sample-disc) into FOLDER (default dist/):
  listing.bin, manifest.md5   the data, made from DIR
  Vesmark.dll, Tarvolen.exe   32-bit, with that data embedded, stripped; their
                              debug information beside them in *.debug (not for the disc)
  disk1.id, Tarvolen.ini      the disc identification and matching launcher settings
DIR must be the whole tree as it will be pressed, with disk1.id, Tarvolen.exe
and Tarvolen.ini at its root: the listing lists them too. Missing or different
ones are reported, with what to copy where. "setup.msi" is exempt from size and
attribute checks and never in the manifest, so the package may be rebuilt with
the new Vesmark.dll afterwards (for the sample disc, master builds its Intel
package as setup.msi too).
  --product P, --id I   identifiers for disk1.id (default: those of DIR/disk1.id)
  --template TEXT       [Command] Setup of Tarvolen.ini (default "/i [%PACKAGE%]")
  --codepage N          ANSI code page of the names in the listing (default 1252)
Exit status: 0 mastered and verified, 1 DIR does not match what was mastered, 2 error.
USAGE
}

dir="" out="$source_dir/dist" product="" disc_id="" template="/i [%PACKAGE%]" codepage=1252 sample=0
while (($#)); do
  case "$1" in
    --product) product=${2:?--product needs a value}; shift 2 ;;
    --id) disc_id=${2:?--id needs a value}; shift 2 ;;
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    --template) template=${2:?--template needs a value}; shift 2 ;;
    --codepage) codepage=${2:?--codepage needs a number}; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "kit master: unknown option '$1'" >&2; usage >&2; exit 2 ;;
    *) [[ -z "$dir" ]] || { echo "kit master: one DIR only" >&2; exit 2; }; dir=$1; shift ;;
  esac
done

ini_value() { sed -n "s/^[[:space:]]*$2[[:space:]]*=[[:space:]]*\(.*\)$/\1/Ip" "$1" | tr -d '\r' | head -n 1 | sed 's/[[:space:]]*$//'; }

if [[ -z "$dir" ]]; then
  sample=1
  dir="$source_dir/build/master/sample-disc"
  echo "==> assembling the sample disc in $dir"
  "$source_dir/tools/assemble_sample_disc.sh" "$dir" "$tarvolen" "$mediakit" "$template"
fi
[[ -d "$dir" ]] || { echo "kit master: $dir is not a folder" >&2; exit 2; }
dir=$(cd "$dir" && pwd)
if [[ -z "$product" || -z "$disc_id" ]]; then
  [[ -f "$dir/disk1.id" ]] || { echo "kit master: $dir has no disk1.id; give --product and --id" >&2; exit 2; }
  product=${product:-$(ini_value "$dir/disk1.id" Product)}
  disc_id=${disc_id:-$(ini_value "$dir/disk1.id" Id)}
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)

echo "==> making the listing and the manifest of $dir"
"$mediakit" listing build "$dir" -o "$out/listing.bin" --disc --codepage "$codepage" 2>"$out/mastering.log" \
  || { cat "$out/mastering.log" >&2; exit 2; }
"$mediakit" manifest build "$dir" -o "$out/manifest.md5" 2>>"$out/mastering.log" \
  || { cat "$out/mastering.log" >&2; exit 2; }

echo "==> building the 32-bit Vesmark.dll with that data"
dll=$("$source_dir/tools/build_with_data.sh" win32 "$source_dir/build/master/win32" "$out/listing.bin" "$out/manifest.md5")
cp "$dll" "$out/Vesmark.dll"
cp "$dll.debug" "$out/Vesmark.dll.debug"
cp "$tarvolen" "$out/Tarvolen.exe"
cp "$tarvolen.debug" "$out/Tarvolen.exe.debug"

echo "==> writing disk1.id and Tarvolen.ini"
"$mediakit" discid --product "$product" --id "$disc_id" -o "$out/disk1.id" \
  --settings "$out/Tarvolen.ini" --template "$template" >/dev/null

status=0
echo "==> checking the root of $dir against what was written"
for name in disk1.id Tarvolen.exe Tarvolen.ini; do
  if [[ ! -f "$dir/$name" ]]; then
    echo "    $name: missing from the tree; copy $out/$name to $dir/ and master again"
    status=1
  elif ! cmp -s "$dir/$name" "$out/$name"; then
    echo "    $name: differs from $out/$name; copy it to $dir/ and master again"
    status=1
  else
    echo "    $name: same"
  fi
done

echo "==> verifying $dir against the fresh listing and manifest"
verified=0
"$mediakit" verify "$dir" --listing "$out/listing.bin" --manifest "$out/manifest.md5" || verified=$?
((verified == 0)) || status=$((verified > status ? verified : status))

echo "==> inspecting the binaries"
"$check_pe" dll "$out/Vesmark.dll" || status=2
"$check_pe" exe "$out/Tarvolen.exe" || status=2
for pair in "101 listing.bin" "103 manifest.md5"; do
  set -- $pair
  if "$pe_resource" "$out/Vesmark.dll" BIN "$1" | cmp -s - "$out/$2"; then
    echo "Vesmark.dll: BIN $1 equals $2"
  else
    echo "Vesmark.dll: BIN $1 differs from $2" >&2
    status=2
  fi
done

outputs=(listing.bin manifest.md5 Vesmark.dll Tarvolen.exe disk1.id Tarvolen.ini)
if ((sample)); then
  # The sample product's own package, as shipped: Intel, with the new library.
  echo "==> building the sample product's package (Intel) with that Vesmark.dll"
  python3 "$source_dir/tools/build_package.py" "$source_dir/packaging/kestrel-ledger.wxs" --arch x86 \
    --dll "$out/Vesmark.dll" --disc "$dir" -o "$out/setup.msi"
  "$source_dir/tests/binaries/check_package.sh" "$out/setup.msi" "$out/Vesmark.dll" Intel || status=2
  outputs+=(setup.msi)
fi

echo
echo "Mastered $dir"
echo "  $(find "$dir" -mindepth 1 -type d | wc -l) folders, $(find "$dir" -type f | wc -l) files;" \
     "manifest rows: $(grep -c . "$out/manifest.md5")"
echo "  product $product, disc $disc_id"
for name in "${outputs[@]}"; do
  printf '  %-13s %9d bytes  md5 %s\n' "$name" "$(stat -c %s "$out/$name")" "$(md5sum "$out/$name" | cut -d' ' -f1)"
  # The shipped binaries build to the same bytes from the same inputs, so
  # their digests identify a release.
  case $name in Vesmark.dll|Tarvolen.exe)
    printf '  %-29s  sha256 %s (debug information: %s.debug)\n' "" "$(sha256sum "$out/$name" | cut -d' ' -f1)" "$name" ;;
  esac
done
case $status in
  0) echo "Result: mastered and verified." ;;
  1) echo "Result: the tree does not match what was mastered (see above)." ;;
  *) echo "Result: error (see above)." ;;
esac
exit "$status"
