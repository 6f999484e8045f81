#!/usr/bin/env bash
# ./kit try on what ./kit master wrote: the image alone, with nothing beside
# it, installs with the disc's own 32-bit programs and every range of Files
# decrypts back; with one byte of a listed file changed in the image's tree,
# the disc is refused and the report names that file; with --twin, the 64-bit
# twin beside the image installs it too. Where the lane cannot run, every row
# runs the twin and says so. Each try verifies the signatures of the programs
# it runs first: an unsigned disc is said to be unsigned; with CA (the
# certificate a signed disc chains to) all three verify, and a copy with one
# byte of the launcher changed, or tried without CA, is refused before anything
# is installed.
#   try_disc_test.sh DIST IMAGE MEDIAKIT WORK [CA]
set -euo pipefail
dist=$(cd "${1:?usage: try_disc_test.sh DIST IMAGE MEDIAKIT WORK [CA]}" && pwd)
image_file=${2:?missing IMAGE}
mediakit=${3:?missing MEDIAKIT}
work=${4:?missing WORK}
ca=${5:-}
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

# try IMAGE NAME [ARGS]: runs the try on IMAGE (with --ca CA when given); its
# output lands in WORK/NAME.out.
try() {
  rc=0
  "$source_dir/tools/kitcmd/try_disc.py" "$1" --work "$work/try" --mediakit "$mediakit" ${ca:+--ca "$ca"} "${@:3}" \
    >"$work/$2.out" 2>&1 || rc=$?
  sed 's/^/  | /' "$work/$2.out"
}
# signatures NAME: the report of the try NAME says each program's signature verified (or, without CA, that it is unsigned).
signatures() {
  local program
  for program in "Tarvolen.exe" "setup.msi" "Vesmark.dll in setup.msi"; do
    if [[ -n "$ca" ]]; then
      grep -A2 "^  $program ([^)]*): signature: " "$work/$1.out" | grep -qF "verifies against $ca" ||
        fail "$1: the report does not say $program's signature verifies"
    else
      grep -q "^  $program ([^)]*): signature: none (unsigned)" "$work/$1.out" ||
        fail "$1: the report does not say $program is unsigned"
    fi
  done
}

touch "$work/before"
echo "row: the image alone"
try "$alone/disc.iso" intact
[[ $rc == 0 ]] || fail "the intact disc: exit $rc, expected 0"
grep -q "^  programs: $programs" "$work/intact.out" || fail "the report does not say $programs programs ran"
signatures intact
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
signatures twin

if [[ -n "$ca" ]]; then
  # The launcher that is to run, changed by one byte after it was signed: the
  # disc's own under the lane, else the twin's.
  tampered="$work/tampered"
  xorriso -osirrox on -read_fs norock -indev "$image_file" -extract / "$tampered/disc" 2>>"$work/xorriso.log"
  cp -r "$dist/wine" "$tampered/wine"
  launcher="$tampered/$([[ -n "$lane_gap" ]] && echo wine || echo disc)/Tarvolen.exe"
  chmod -R u+w "$tampered"
  printf 'X' | dd of="$launcher" bs=1 seek=1100 conv=notrunc status=none
  echo "row: one byte of the signed $(realpath --relative-to="$tampered" "$launcher") changed"
  try "$tampered/disc" tampered
  [[ $rc == 1 ]] || fail "the changed launcher: exit $rc, expected 1"
  grep -q "^kit try: refused before installing anything: a signature does not verify (Tarvolen.exe: the file's digest differs" \
    "$work/tampered.out" || fail "the try does not refuse the changed launcher's signature"
  echo "row: the signed image without the certificate it chains to"
  ca_given=$ca
  ca=
  try "$image_file" untrusted
  ca=$ca_given
  [[ $rc == 1 ]] || fail "the untrusted signatures: exit $rc, expected 1"
  grep -q "^kit try: refused before installing anything: a signature does not verify (Tarvolen.exe: its certificate chain does not verify against this machine's certificates" \
    "$work/untrusted.out" || fail "the try does not refuse a signature it cannot trust"
  for row in tampered untrusted; do
    grep -q "VesmarkCheckItems" "$work/$row.out" && fail "the $row try ran the installer"
  done
fi

# The try works on its own copy of the disc.
[[ -z "$(find "$dist" "$image_file" "$alone" "$changed" -newer "$work/before")" ]] || fail "the try changed what it was given"

if ((failures)); then
  echo "try_disc_test: $failures failure(s)"
  exit 1
fi
echo "try_disc_test: ok"
