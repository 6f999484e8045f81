#!/usr/bin/env bash
# The release engineer's job in one pass: stage a product's folder as a disc
# with the launcher, its settings and disk1.id, make the listing and the
# manifest of that staged tree, build the 32-bit binaries with the data, build
# the package, verify, and write and prove a disc image.
# Called by ./kit master, which has built mediakit and both launchers.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
mediakit="$source_dir/build/native/bin/mediakit"
tarvolen="$source_dir/build/win32/bin/Tarvolen.exe"
tarvolen64="$source_dir/build/win64/bin/Tarvolen.exe"
check_pe="$source_dir/tests/binaries/check_pe.py"
pe_resource="$source_dir/tests/binaries/pe_resource.py"
# What this run puts at the disc's root beside the product's files.
root_files=(disk1.id Tarvolen.exe Tarvolen.ini setup.msi)

usage() {
  cat <<'USAGE'
Usage: ./kit master DIR --product P --id I [--package WXS] [--iso FILE] [options]
       ./kit master            (the sample product, with its package and image)

Stages the product's folder DIR as a disc in OUT/disc (OUT is dist/ in the
current folder unless --out says otherwise) and masters it; DIR is only read.
  OUT/disc/                   DIR's files, plus disk1.id, Tarvolen.exe, Tarvolen.ini
                              and setup.msi (the package, or a 0-byte stand-in)
  OUT/listing.bin, manifest.md5   the data, made from OUT/disc
  OUT/Vesmark.dll, Tarvolen.exe   32-bit, that data embedded; *.debug beside them
  OUT/disk1.id, Tarvolen.ini      copies of what went onto the disc
  OUT/wine/                   with --package: the 64-bit launcher, library and package
                              that ./kit try runs under this machine's 64-bit Wine
Names a disc cannot carry are refused before anything is built. The listing
carries setup.msi, which the check exempts from size and attributes, so a
package built later can be dropped in without mastering again.
  --product P, --id I   identifiers for disk1.id and the launcher (blanks allowed)
  --package WXS         build the package from this WiX source, which references
                        Vesmark's fragment (docs/integration.md), into OUT/disc/setup.msi
  --iso FILE            write an ISO 9660 image with Joliet names, read it back and
                        verify what it holds
  --label L             the image's volume label (default: the disc id; A-Z 0-9 _, up to 16)
  --exclude GLOB        leave matching files off the disc (repeatable; a glob with a
                        slash matches the path below DIR, one without any name)
  --template TEXT       [Command] Setup of Tarvolen.ini (default "/i [%PACKAGE%]")
  --codepage N          ANSI code page of the names (default 1252); the package is
                        written in it, and ./kit try installs in it
  --out FOLDER          where everything goes (default dist/); OUT/disc is replaced
Then try it: ./kit try OUT/disc.iso (or OUT/disc).
Exit status: 0 mastered and verified, 1 the staged disc or image does not
verify, 2 refused names, bad usage or a failed build.
USAGE
}

dir="" out="dist" product="" disc_id="" template="/i [%PACKAGE%]" codepage=1252
package="" iso="" label="" excludes=() sample=0
while (($#)); do
  case "$1" in
    --product) product=${2?--product needs a value}; shift 2 ;;
    --id) disc_id=${2?--id needs a value}; shift 2 ;;
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    --template) template=${2:?--template needs a value}; shift 2 ;;
    --codepage) codepage=${2:?--codepage needs a number}; shift 2 ;;
    --package) package=${2:?--package needs a WiX source}; shift 2 ;;
    --iso) iso=${2:?--iso needs a file name}; shift 2 ;;
    --label) label=${2:?--label needs a value}; shift 2 ;;
    --exclude) excludes+=(--exclude "${2:?--exclude needs a glob}"); shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "kit master: unknown option '$1'" >&2; usage >&2; exit 2 ;;
    *) [[ -z "$dir" ]] || { echo "kit master: one DIR only" >&2; exit 2; }; dir=$1; shift ;;
  esac
done
fail() { echo "kit master: $*" >&2; exit 2; }
step() { echo "==> $*"; }

if [[ -z "$dir" ]]; then
  sample=1
  dir="$source_dir/build/master/sample-product"
  step "generating the sample product's files in $dir"
  rm -rf "$dir"
  python3 "$source_dir/examples/media/make_sample_disc.py" "$dir" >/dev/null
  # The generator writes a whole disc's root; mastering makes its own.
  for name in "${root_files[@]}"; do rm -f "$dir/$name"; done
  product=${product:-KestrelLedger42} disc_id=${disc_id:-KL42-DISC1}
  package=${package:-$source_dir/packaging/kestrel-ledger.wxs}
  iso=${iso:-$out/disc.iso}
fi
[[ -d "$dir" ]] || fail "$dir is not a folder"
[[ -n "$product" && -n "$disc_id" ]] || fail "give the disc's identifiers with --product and --id"
[[ -z "$package" || -f "$package" ]] || fail "no WiX source at $package"
label=${label:-$(tr 'a-z-' 'A-Z_' <<<"$disc_id" | tr -cd 'A-Z0-9_' | head -c 16)}
[[ "$label" =~ ^[A-Z0-9_]{1,16}$ ]] || fail "the volume label '$label' must be 1 to 16 of A-Z, 0-9 and _"
dir=$(cd "$dir" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
if [[ -n "$iso" ]]; then
  mkdir -p "$(dirname "$iso")"
  iso="$(cd "$(dirname "$iso")" && pwd)/$(basename "$iso")"
fi
case "$out/" in "$dir"/*) fail "the output folder $out lies inside $dir" ;; esac
disc="$out/disc"
log="$out/mastering.log"
: >"$log"
# run COMMAND...: runs a tool with its chatter in the log; on failure shows its end and stops.
run() { "$@" >>"$log" 2>&1 || { tail -n 20 "$log" >&2; fail "$(basename "$1") failed (log: $log)"; }; }

for name in "${root_files[@]}"; do
  [[ ! -e "$dir/$name" ]] || echo "warning: $name in $dir is replaced by the one this run makes" >&2
done
root_excludes=()
for name in "${root_files[@]}"; do root_excludes+=(--exclude "/$name"); done

step "checking the names in $dir and staging the disc in $disc"
[[ ! -e "$disc" ]] || { chmod -R u+w "$disc"; rm -rf "$disc"; }
python3 "$source_dir/tools/stage_tree.py" "$dir" "$disc" --codepage "$codepage" \
  "${excludes[@]}" "${root_excludes[@]}" || exit 2
"$mediakit" discid --product "$product" --id "$disc_id" -o "$disc/disk1.id" \
  --settings "$disc/Tarvolen.ini" --template "$template" >>"$log" 2>&1 || { tail -n 5 "$log" >&2; exit 2; }
cp "$tarvolen" "$disc/Tarvolen.exe"
: >"$disc/setup.msi"
# A pressed disc reports every file read-only: so must the staged tree.
find "$disc" -type f -exec chmod a-w {} +

step "making the listing and the manifest of the staged disc"
run "$mediakit" listing build "$disc" -o "$out/listing.bin" --disc --codepage "$codepage"
run "$mediakit" manifest build "$disc" -o "$out/manifest.md5" --codepage "$codepage"

step "building the 32-bit Vesmark.dll with that data"
dll=$("$source_dir/tools/build_with_data.sh" win32 "$source_dir/build/master/win32" "$out/listing.bin" "$out/manifest.md5")
cp "$dll" "$out/Vesmark.dll"
cp "$dll.debug" "$out/Vesmark.dll.debug"
cp "$tarvolen" "$out/Tarvolen.exe"
cp "$tarvolen.debug" "$out/Tarvolen.exe.debug"
cp "$disc/disk1.id" "$disc/Tarvolen.ini" "$out/"
chmod u+w "$out/disk1.id" "$out/Tarvolen.ini"

status=0
outputs=(listing.bin manifest.md5 Vesmark.dll Tarvolen.exe disk1.id Tarvolen.ini)
rm -rf "$out/wine"
if [[ -n "$package" ]]; then
  step "building the package from $package (Intel) into the disc"
  package_tool=(python3 "$source_dir/tools/build_package.py" "$package" --disc "$disc" --codepage "$codepage")
  run "${package_tool[@]}" --arch x86 --dll "$out/Vesmark.dll" -o "$out/setup.msi"
  "$source_dir/tests/binaries/check_package.sh" "$out/setup.msi" "$out/Vesmark.dll" Intel || status=2
  chmod u+w "$disc/setup.msi"
  cp "$out/setup.msi" "$disc/setup.msi"
  chmod a-w "$disc/setup.msi"
  outputs+=(setup.msi)
  # This machine's Wine runs 64-bit programs only: ./kit try runs these.
  step "building the 64-bit twin for ./kit try in $out/wine"
  mkdir -p "$out/wine"
  dll64=$("$source_dir/tools/build_with_data.sh" win64 "$source_dir/build/master/win64" "$out/listing.bin" "$out/manifest.md5")
  cp "$dll64" "$out/wine/Vesmark.dll"
  cp "$tarvolen64" "$out/wine/Tarvolen.exe"
  run "${package_tool[@]}" --arch x64 --dll "$out/wine/Vesmark.dll" -o "$out/wine/setup.msi"
fi

step "verifying the staged disc against the fresh listing and manifest"
verified=0
"$mediakit" verify "$disc" --listing "$out/listing.bin" --manifest "$out/manifest.md5" --codepage "$codepage" ||
  verified=$?
((verified == 0)) || status=$((verified > status ? verified : status))

step "inspecting the binaries"
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

if [[ -n "$iso" ]]; then
  step "writing the image $iso (ISO 9660 with Joliet names, label $label)"
  rm -f "$iso"
  run xorriso -as mkisofs -J -joliet-long -r -V "$label" -o "$iso" "$disc"
  # The image is proven by what Windows reads from it: its Joliet names.
  step "reading the image back and verifying what it holds"
  readback="$out/.image-readback"
  [[ ! -e "$readback" ]] || { chmod -R u+w "$readback"; rm -rf "$readback"; }
  run xorriso -osirrox on -rockridge off -joliet on -indev "$iso" -extract / "$readback"
  verified=0
  "$mediakit" verify "$readback" --listing "$out/listing.bin" --manifest "$out/manifest.md5" --codepage "$codepage" ||
    verified=$?
  if ((verified == 0)); then echo "the image holds the disc as mastered"; else status=$((verified > status ? verified : status)); fi
  chmod -R u+w "$readback"
  rm -rf "$readback"
fi

echo
echo "Mastered $dir as $disc"
echo "  $(find "$disc" -mindepth 1 -type d | wc -l) folders, $(find "$disc" -type f | wc -l) files;" \
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
[[ -z "$iso" ]] || printf '  %-13s %9d bytes  sha256 %s\n' "$(basename "$iso")" "$(stat -c %s "$iso")" \
  "$(sha256sum "$iso" | cut -d' ' -f1)"
[[ -n "$package" ]] || echo "  no package built: setup.msi on the disc is a stand-in (--package WXS builds it)"
case $status in
  0) echo "Result: mastered and verified."
     [[ -z "$package" ]] || echo "Next: ./kit try ${iso:-$disc}" ;;
  1) echo "Result: the staged disc or the image does not match what was mastered (see above)." ;;
  *) echo "Result: error (see above)." ;;
esac
exit "$status"
