#!/usr/bin/env bash
# ./kit try --upgrade-from OLD --maintenance on the sample product mastered
# twice: version 4.1.0, and 4.2.0 with a major upgrade of it (copies of the
# sample's package source; the sample's own has no Upgrade table). One try
# installs 4.1, upgrades it to 4.2, repairs twice, leaves a feature out and
# adds it back, and removes the product without the disc; an OLD that is no
# earlier version, or one inside --work, is refused before Wine runs.
#   try_maintenance_test.sh WORK [--twin]
set -euo pipefail
work=${1:?usage: try_maintenance_test.sh WORK [--twin]}
twin=${2:-}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
mediakit="$source_dir/build/native/bin/mediakit"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[[ ! -e "$work" ]] || { chmod -R u+w "$work"; rm -rf "$work"; }
mkdir -p "$work"
work=$(cd "$work" && pwd)

python3 "$source_dir/examples/media/make_sample_disc.py" "$work/sample" >/dev/null
rm -f "$work/sample/"{disk1.id,Tarvolen.exe,Tarvolen.ini,setup.msi}
wxs="$source_dir/packaging/kestrel-ledger.wxs"
sed 's/Version="4\.2\.0"/Version="4.1.0"/' "$wxs" >"$work/old.wxs"
sed 's|^\( *\)<Media |\1<MajorUpgrade DowngradeErrorMessage="A newer version is installed."/>\n&|' "$wxs" >"$work/new.wxs"
grep -q 'Version="4.1.0"' "$work/old.wxs" && grep -q '<MajorUpgrade' "$work/new.wxs" ||
  { echo "try_maintenance_test: the package source no longer has the lines this test changes"; exit 1; }
for version in old new; do
  "$source_dir/tools/kitcmd/master.py" "$work/sample" --product KestrelLedger42 --id KL42-DISC1 \
    --package "$work/$version.wxs" --out "$work/$version" --iso "$work/$version/disc.iso" \
    >"$work/$version.log" 2>&1 || { tail -n 20 "$work/$version.log"; fail "mastering $version"; }
done

# try NAME ARGS...: a try of the new image; its output lands in WORK/NAME.out.
try() {
  local name=$1
  shift
  rc=0
  "$source_dir/tools/kitcmd/try_disc.py" "$work/new/disc.iso" --work "$work/try" --mediakit "$mediakit" \
    ${twin:+"$twin"} "$@" >"$work/$name.out" 2>&1 || rc=$?
  sed 's/^/  | /' "$work/$name.out"
}

echo "row: OLD is the disc itself"
try same --upgrade-from "$work/new/disc.iso"
[[ $rc == 2 ]] || fail "the disc as its own earlier version: exit $rc, expected 2"
grep -q "no major upgrade of it: the earlier ProductVersion 4.2.0 is not lower" "$work/same.out" ||
  fail "the refusal does not say why"
grep -q "^  installer:" "$work/same.out" && fail "Wine ran before the refusal"

echo "row: OLD inside --work"
mkdir -p "$work/try/inside"
try inside --upgrade-from "$work/try/inside"
[[ $rc == 2 ]] || fail "an OLD inside --work: exit $rc, expected 2"
grep -q "overlaps --upgrade-from" "$work/inside.out" || fail "the overlap is not named"
[[ -d "$work/try/inside" ]] || fail "the refused try changed --work"
rm -rf "$work/try"

echo "row: 4.1 upgraded to 4.2, then repaired, changed and removed"
try upgrade --upgrade-from "$work/old/disc.iso" --maintenance
[[ $rc == 0 ]] || fail "the upgrade and maintenance: exit $rc, expected 0"
for text in "the earlier version {.*} is registered" "^==> the disc over it, as a major upgrade" \
            "the earlier version {.*} is no longer registered" \
            "after the repair with REINSTALLMODE=omus: every range of Files encrypted once" \
            "after the repair with REINSTALLMODE=amus: every range of Files encrypted once" \
            "after the removal of feature Documents: .* the removed feature's 2 gone" \
            "after the addition of feature Documents: every range" \
            "after the uninstall: no file of the product left"; do
  grep -q "$text" "$work/upgrade.out" || fail "the report does not say '$text'"
done
for name in old-install install repair-omus repair-amus modify-remove modify-add uninstall; do
  [[ -f "$work/try/$name.log" ]] || fail "no $name.log kept"
done
[[ -z "$(grep -rlF -- KestrelLedger42 "$work/try"/*.log)" ]] || fail "a kept log carries the pass phrase"

if ((failures)); then
  echo "try_maintenance_test: $failures failure(s)"
  exit 1
fi
echo "try_maintenance_test: ok"
