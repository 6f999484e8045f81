#!/usr/bin/env bash
# mediakit's manifest on the generated sample disc: the manifest it builds
# with the sample's options is the one Vesmark embeds, byte for byte; verify
# --manifest tells an intact tree with 0, each changed file with its expected
# and found digest and 1, a listed file that is not there as a note, and bad
# input with 2; --json and --quiet tell the same outcome to scripts.
#   manifest_and_verify.sh MEDIAKIT SAMPLE_DISC EMBEDDED_MANIFEST EMBEDDED_LISTING WORK_FOLDER
set -uo pipefail
mediakit=$1 disc=$2 embedded=$3 listing=$4 work=$5
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_exit() {  # expected-code description command...
  local want=$1 what=$2; shift 2
  "$@" >"$work/out.txt" 2>&1
  local got=$?
  [[ $got -eq $want ]] || { fail "$what: exit $got, expected $want"; cat "$work/out.txt"; }
}
upper_md5() { md5sum "$1" | cut -c1-32 | tr a-f A-F; }

rm -rf "$work" && mkdir -p "$work"
sample_options=(--exclude disk1.id --exclude autorun.inf --exclude '*/*/*')
expect_exit 0 "manifest build" "$mediakit" manifest build "$disc" -o "$work/sample.md5" "${sample_options[@]}"
cmp "$work/sample.md5" "$embedded" || fail "the built manifest differs from the embedded one"
expect_exit 0 "manifest build again" "$mediakit" manifest build "$disc" -o "$work/again.md5" "${sample_options[@]}"
cmp "$work/sample.md5" "$work/again.md5" || fail "two builds of the same tree differ"

expect_exit 0 "manifest of every file" "$mediakit" manifest build "$disc" -o "$work/all.md5"
[[ $(grep -c $'\r$' "$work/all.md5") -eq 124 ]] || fail "the whole tree should give 124 CR LF rows"
grep -qi 'setup\.msi' "$work/all.md5" && fail "setup.msi is listed"
row=$(grep -a '^\\Redist\\Fonts\\kestrel-mono\.ttf'$'\t' "$work/all.md5" | tr -d '\r')
[[ "${row#*$'\t'}" == "$(upper_md5 "$disc/Redist/Fonts/kestrel-mono.ttf")" ]] || fail "a row does not carry md5sum's digest: $row"
LC_ALL=C sort -c "$work/all.md5" || fail "rows are not sorted by path"
expect_exit 0 "--include by path" "$mediakit" manifest build "$disc" -o "$work/help.md5" --include 'Help/*.htm'
[[ $(grep -c . "$work/help.md5") -eq 18 ]] || fail "Help/*.htm should choose the 18 help pages"
expect_exit 0 "--include by name, any case" "$mediakit" manifest build "$disc" -o "$work/txt.md5" --include '*.TXT' --exclude 'Samples/*'
grep -q '^\\Samples' "$work/txt.md5" && fail "--exclude Samples/* left a row in Samples"
grep -q '^\\Redist\\Runtime\\runtime\.txt' "$work/txt.md5" || fail "*.TXT did not match runtime.txt two folders down"
# Bracket sets (negated, ranges), '?' and quoting, in any case: fnmatch's on POSIX, Windows' own matcher.
globs=('Samples/Budgets/BUDGET-20[12][!0-8].klb' 1 'invoice-100?.kli' 9 '*/*/[b-c]*.kld' 3 'Help/*\.htm' 18 '?' 0)  # no file has a one-letter name: nothing is written
for ((i = 0; i < ${#globs[@]}; i += 2)); do
  "$mediakit" manifest build "$disc" -o "$work/glob.md5" --include "${globs[i]}" >/dev/null 2>&1
  rows=$(grep -c . "$work/glob.md5" 2>/dev/null)
  [[ ${rows:-0} -eq ${globs[i + 1]} ]] || fail "--include '${globs[i]}' chose ${rows:-0} files, not ${globs[i + 1]}"
  rm -f "$work/glob.md5"
done

expect_exit 0 "verify of the sample disc" "$mediakit" verify "$disc" --manifest "$embedded"
grep -q 'content matches .* (44 of 44 listed files digested)' "$work/out.txt" || fail "summary of a matching tree"
expect_exit 0 "verify with listing and manifest" "$mediakit" verify "$disc" --manifest "$embedded" --listing "$listing"

# The same checks with the data a library embeds, read from a 64-bit package's
# Binary table and from a 32-bit library's file.
stand_in=$(dirname "$0")/library_package.sh
{ "$stand_in" "$work/x64" data x64 "$listing" "$embedded" && "$stand_in" "$work/x86" data x86 "$listing" "$embedded"; } \
  >"$work/stand-in.log" 2>&1 || { fail "building the library stand-ins"; cat "$work/stand-in.log"; }
package=$work/x64/data.msi
expect_exit 0 "verify --package" "$mediakit" verify "$disc" --package "$package" --codepage 1252
grep -qF "matches $package's listing" "$work/out.txt" && grep -qF "content matches $package's manifest (44 of 44" "$work/out.txt" \
  || fail "verify --package: summaries of a matching tree"
expect_exit 0 "verify --dll" "$mediakit" verify "$disc" --dll "$work/x86/data.dll"
one=$work/one-byte
cp -a "$disc" "$one" && chmod u+w "$one/license.txt"
printf 'X' | dd of="$one/license.txt" bs=1 seek=20 conv=notrunc status=none
chmod a-w "$one/license.txt"  # read-only again, as on the disc: only the byte differs
expect_exit 1 "verify --package of a tree with one changed byte" "$mediakit" verify "$one" --package "$package"
grep -q "^changed  \\\\license.txt  expected $(grep -a '^\\license\.txt'$'\t' "$embedded" | cut -f2 | tr -d '\r')  found " "$work/out.txt" \
  && grep -qF "matches $package's listing" "$work/out.txt" || fail "verify --package: the changed byte is not told as in the manifest check"

copy=$work/copy
cp -a "$disc" "$copy"
chmod -R u+w "$copy"
printf 'X' | dd of="$copy/license.txt" bs=1 seek=20 conv=notrunc status=none
printf 'Y' | dd of="$copy/Templates/quote.rtf" bs=1 seek=5 conv=notrunc status=none
rm "$copy/readme.txt"
expect_exit 1 "verify of a changed copy" "$mediakit" verify "$copy" --manifest "$embedded"
expected=$(grep -a '^\\license\.txt'$'\t' "$embedded" | cut -f2 | tr -d '\r')
grep -q "^changed  \\\\license.txt  expected $expected  found $(upper_md5 "$copy/license.txt")\$" "$work/out.txt" \
  || fail "the changed root file is not told with both digests"
grep -q '^changed  \\Templates\\quote.rtf  expected ' "$work/out.txt" || fail "the changed file one folder down is not told"
grep -q '^note     \\readme.txt  listed in the manifest, not on the disc' "$work/out.txt" || fail "the missing file is not noted"
grep -q '2 changed file(s) .* (43 of 44 listed files digested, 1 not on the disc)' "$work/out.txt" || fail "summary of a changed tree"
expect_exit 1 "verify --first" "$mediakit" verify "$copy" --manifest "$embedded" --first
[[ $(grep -c '^changed ' "$work/out.txt") -eq 1 ]] || fail "--first told more than one change"

cp "$disc/license.txt" "$copy/license.txt"; cp "$disc/Templates/quote.rtf" "$copy/Templates/quote.rtf"
expect_exit 0 "a listed file missing alone does not fail" "$mediakit" verify "$copy" --manifest "$embedded"
grep -q '^note ' "$work/out.txt" || fail "the missing file is not noted"

# For scripts: one JSON object a line, the summary last; --quiet says nothing.
json=$work/json
cp -a "$disc" "$json"
chmod u+w "$json" "$json/Help" "$json/license.txt"
rm "$json/readme.txt"
echo extra >"$json/Help/desktop.ini"
printf 'X' >>"$json/license.txt"
expect_exit 1 "verify --json of a changed copy" "$mediakit" verify "$json" --listing "$listing" --manifest "$embedded" --json
python3 - "$work/out.txt" "$(upper_md5 "$json/license.txt")" <<'PY' || fail "verify --json: records or summary wrong"
import json, sys
records = [json.loads(line) for line in open(sys.argv[1], encoding='utf-8')]
found = sorted((r['check'], r['kind'], r['path']) for r in records[:-1])
assert found == [('listing', 'changed', '\\license.txt'), ('listing', 'extra', '\\Help\\desktop.ini'),
                 ('listing', 'missing', '\\readme.txt'), ('manifest', 'changed', '\\license.txt'),
                 ('manifest', 'note', '\\readme.txt')], found
changed = {r['check']: r for r in records if r.get('kind') == 'changed'}
assert changed['listing']['found']['size'] == changed['listing']['expected']['size'] + 1, changed
assert changed['manifest']['found_md5'] == sys.argv[2], changed
summary = records[-1]['summary']
assert summary == {'exit_code': 1,
                   'listing': {'passes': False, 'missing': 1, 'extra': 1, 'changed': 1, 'errors': 0},
                   'manifest': {'passes': False, 'listed': 44, 'digested': 43, 'changed': 1,
                                'not_on_disc': 1, 'errors': 0}}, summary
PY
expect_exit 1 "verify --quiet of a changed copy" "$mediakit" verify "$json" --listing "$listing" --manifest "$embedded" --quiet
[[ -s "$work/out.txt" ]] && fail "verify --quiet told something of a changed copy"
expect_exit 0 "verify --quiet of the sample disc" "$mediakit" verify "$disc" --listing "$listing" --manifest "$embedded" --quiet
[[ -s "$work/out.txt" ]] && fail "verify --quiet told something of a matching tree"
expect_exit 0 "--version" "$mediakit" --version
grep -qxE 'mediakit [0-9]+\.[0-9]+\.[0-9]+' "$work/out.txt" || fail "--version does not print the tool and its version"

# Only the root's setup.msi is the package; a redistributable's setup.msi is
# listed, digested and compared by size and attributes like any file.
redist=$work/redist
cp -a "$disc" "$redist"
chmod -R u+w "$redist"
printf 'redistributable package' >"$redist/Redist/setup.msi"
expect_exit 0 "manifest of a tree with two setup.msi" "$mediakit" manifest build "$redist" -o "$work/redist.md5"
grep -q '^\\Redist\\setup\.msi'$'\t' "$work/redist.md5" || fail "Redist\\setup.msi is not listed"
grep -qi '^\\setup\.msi' "$work/redist.md5" && fail "the root's setup.msi is listed"
expect_exit 0 "listing of a tree with two setup.msi" "$mediakit" listing build "$redist" -o "$work/redist.bin"
expect_exit 0 "listing show" "$mediakit" listing show "$work/redist.bin"
[[ $(grep -c '^# .*setup.msi: the package' "$work/out.txt") -eq 1 ]] || fail "show marks other than the root's setup.msi as the package"
grep -q '^# \\setup.msi: the package' "$work/out.txt" || fail "show does not mark the root's setup.msi"
printf 'tampered  redistributable' >"$redist/setup.msi"
expect_exit 0 "verify with the package replaced" "$mediakit" verify "$redist" --listing "$work/redist.bin" --manifest "$work/redist.md5"
printf 'Redistributable package' >"$redist/Redist/setup.msi"
expect_exit 1 "verify with Redist\\setup.msi changed, same size" "$mediakit" verify "$redist" --manifest "$work/redist.md5"
grep -q '^changed  \\Redist\\setup.msi  expected ' "$work/out.txt" || fail "the changed Redist\\setup.msi is not told"
printf 'a longer redistributable package' >"$redist/Redist/setup.msi"
expect_exit 1 "verify with Redist\\setup.msi of another size" "$mediakit" verify "$redist" --listing "$work/redist.bin"
grep -q '^changed  *\\Redist\\setup.msi' "$work/out.txt" || fail "the resized Redist\\setup.msi is not told"

expect_exit 2 "build of a missing tree" "$mediakit" manifest build "$work/absent" -o "$work/x.md5"
[[ ! -e "$work/x.md5" ]] || fail "a failed build left a file"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "mediakit manifest and verify --manifest: all checks passed"
