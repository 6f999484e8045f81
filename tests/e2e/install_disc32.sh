#!/usr/bin/env bash
# The sample disc as it ships, installed under 32-bit Wine: the Intel package
# carrying the 32-bit Vesmark.dll, the shipped Tarvolen.exe started from
# CD-ROM drive E:, and the installer running the library's actions in its
# 32-bit custom-action server. The intact disc installs, and each file of
# "Files" has its range encrypted and decrypts back to the disc's file; a copy
# of the disc with one byte of a listed file changed is refused and installs
# none of them.
#   install_disc32.sh WINE_RUN TARVOLEN_EXE MEDIAKIT WORK_DIR
set -euo pipefail
usage="usage: install_disc32.sh WINE_RUN TARVOLEN_EXE MEDIAKIT WORK_DIR"
wine_run=${1:?$usage}
tarvolen=${2:?$usage}
mediakit=${3:?$usage}
work=${4:?$usage}
here=$(cd "$(dirname "$0")" && pwd)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[[ ! -d "$work" ]] || chmod -R u+w "$work"
rm -rf "$work"
mkdir -p "$work"
"$here/stage_disc.sh" "$work" "$tarvolen" "$mediakit" x86 >"$work/stage.log" 2>&1 ||
  { cat "$work/stage.log" >&2; exit 1; }
property() { msiinfo export "$work/setup.msi" Property | tr -d '\r' | awk -F'\t' -v p="$1" '$1 == p {print $2}'; }
pass=$(property ProductNameShort)
range=$(property RectPyrc)
read -r -a files <<<"$(property Files | tr ';,' '  ')"
((${#files[@]})) || { echo "the package names no file to encrypt" >&2; exit 1; }

# install NAME DISC: starts E:\Tarvolen.exe in a fresh prefix of its own with
# DISC as CD-ROM drive E:, and waits for the installer it starts; sets
# $log and $installed (where the package puts its files).
install() {
  local name=$1 disc=$2 prefix="$work/$1/prefix"
  "$wine_run" --prefix "$prefix" cmd /c exit
  ln -sfn "$disc" "$prefix/dosdevices/e:"
  "$wine_run" --prefix "$prefix" reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f >/dev/null
  WINEPREFIX=$prefix timeout 60 wineserver -k || true
  mkdir -p "$prefix/drive_c/kit"   # the settings' template logs there
  "$wine_run" --prefix "$prefix" 'E:\Tarvolen.exe' || fail "$name: the launcher exited with $?"
  # The launcher does not wait for the installer; the test does.
  WINEPREFIX=$prefix timeout 600 wineserver -w || fail "$name: the installer was still running after 600 s"
  WINEPREFIX=$prefix timeout 60 wineserver -k || true
  log="$prefix/drive_c/kit/install.log"
  installed="$prefix/drive_c/Program Files (x86)/Kestrel Ledger"
  [[ -f "$log" ]] || fail "$name: no installer log (the installer did not start)"
}
# Wine writes "Return value 1" for an action that passed and 0 for one that failed.
result() { tr -d '\0' <"$log" | sed -n "s/^Action ended .*: $1\. Return value \([0-9]*\)\./\1/p" | tail -n 1; }

echo "-- the intact disc"
install intact "$work/disc"
[[ "$(result INSTALL)" == 1 ]] || fail "intact: the installation did not succeed (INSTALL: '$(result INSTALL)')"
for file in "${files[@]}"; do
  copy="$work/intact/$file"
  if ! cp "$installed/$file" "$copy" 2>/dev/null; then
    fail "intact: $file was not installed"
    continue
  fi
  ! cmp -s "$copy" "$work/disc/$file" || fail "intact: $file was not encrypted"
  "$mediakit" crypt decrypt --pass "$pass" --range "$range" "$copy" >/dev/null
  cmp -s "$copy" "$work/disc/$file" || fail "intact: $file does not decrypt to the disc's file"
  echo "   $file: range $range encrypted, decrypts to the disc's file"
done

echo "-- the disc with one byte of a listed file changed"
changed="$work/changed-disc"
cp -a "$work/disc" "$changed"
chmod u+w "$changed/Help/accounts.htm"
"$mediakit" crypt encrypt --pass change --range '100;1' "$changed/Help/accounts.htm" >/dev/null
chmod a-w "$changed/Help/accounts.htm"
install changed "$changed"
[[ "$(result VesmarkCheckContentOfItems)" == 0 ]] ||
  fail "changed: CheckContentOfItems did not fail (result '$(result VesmarkCheckContentOfItems)')"
[[ "$(result INSTALL)" == 0 ]] || fail "changed: the installation was not refused (INSTALL: '$(result INSTALL)')"
for file in "${files[@]}"; do
  [[ ! -e "$installed/$file" ]] || fail "changed: $file was installed"
done

if ((failures > 0)); then
  echo "$failures problem(s); logs in $work" >&2
  exit 1
fi
# A passed run keeps its logs, not its prefixes (over a gigabyte each).
for name in intact changed; do
  WINEPREFIX="$work/$name/prefix" timeout 60 wineserver -k 2>/dev/null || true
  rm -rf "$work/$name/prefix"
done
echo "install from the 32-bit disc: all checks passed"
