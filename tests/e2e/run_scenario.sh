#!/usr/bin/env bash
# One end-to-end scenario on a disc staged by stage_disc.sh: a fresh Wine
# prefix, the disc (changed as the scenario says) on CD-ROM drive E:, the real
# Tarvolen.exe started, and the results read from msiexec's verbose log and the
# file system, never from an exit code alone.
#   run_scenario.sh WORK_FOLDER SCENARIO MEDIAKIT
# Scenarios: intact, changed-byte, extra-file, missing-file, case-only,
#            case-renamed-changed, command-tail, no-matching-disc,
#            immediate-mode, deferred-action-data, minimal-package,
#            minimal-package-immediate, repair-missing-file, modify,
#            uninstall-without-disc, major-upgrade-early,
#            major-upgrade-after-files, major-upgrade-after-finalize
set -euo pipefail
work=$(cd "${1:?usage: run_scenario.sh WORK_FOLDER SCENARIO MEDIAKIT}" && pwd)
scenario=${2:?missing SCENARIO}
mediakit=${3:?missing MEDIAKIT}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_prefix.sh
source "$here/wine_prefix.sh"

dir="$work/scenarios/$scenario"
failures=0
say() { echo "  $*"; }
fail() { echo "  FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$dir"
mkdir -p "$dir"
cp -a "$work/disc" "$dir/disc"
disc="$dir/disc"
# Beside the scenarios, not in one: they share the booted prefix it is
# copied from, one of its size instead of one per scenario.
wine_prefix "$work/scenarios/$scenario.prefix"
mkdir -p "$WINEPREFIX/drive_c/kit"
log="$WINEPREFIX/drive_c/kit/install.log"
installed="$WINEPREFIX/drive_c/Program Files/Kestrel Ledger"
# The package on the disc and the disc folder its files are installed from.
package="$work/setup.msi"
source_folder="$disc"

property() { msiinfo export "$package" Property | awk -F'\t' -v k="$1" '$1 == k {print $2}' | tr -d '\r'; }
# "Return value" of an action in the verbose log: Wine writes 1 for success and
# 0 for failure; empty when the action did not run.
action_result() { { grep -a "Action ended .*: $1\. Return value" "$log" 2>/dev/null || true; } | tail -n 1 | sed 's/.*Return value \([0-9]*\)\./\1/'; }
# A file the manifest lists, one folder below the root.
listed_file() { awk -F'\t' 'NR > 0 && $1 ~ /^\\[^\\]*\\[^\\]*$/ {print $1; exit}' "$work/manifest.md5" | tr -d '\r' | tr '\\' '/' | sed 's|^/||'; }

expect_action() {
  local action=$1 wanted=$2 got
  got=$(action_result "$action")
  case "$got" in 1) say "$action: passed" ;; 0) say "$action: failed (1603)" ;; *) say "$action: did not run" ;; esac
  [[ "$got" == "$wanted" ]] || fail "$action returned '${got:-nothing}', expected '$wanted'"
}

expect_installed() {
  local original installed_file
  [[ -d "$installed" ]] || { fail "nothing installed in $installed"; return; }
  local files range pass start length
  files=$(property Files)
  range=$(property RectPyrc)
  pass=$(property ProductNameShort)
  start=${range%%;*}
  length=${range#*;}
  say "installed: $(ls "$installed" | tr '\n' ' ')"
  for name in $(echo "$files" | tr ',;' '  '); do
    original="$source_folder/$name"
    installed_file="$installed/$name"
    # A length of -1 stands for the file's size.
    length=${range#*;}
    ((length >= 0)) || length=$(stat -c %s "$original")
    if cmp -s "$original" "$installed_file"; then
      fail "$name was not encrypted"
      continue
    fi
    # Outside the range nothing may change.
    if ! cmp -s <(head -c "$start" "$original") <(head -c "$start" "$installed_file") ||
       ! cmp -s <(tail -c +"$((start + length + 1))" "$original") <(tail -c +"$((start + length + 1))" "$installed_file"); then
      fail "$name changed outside bytes $start..$((start + length - 1))"
    fi
    cp "$installed_file" "$dir/$name.decrypted"
    chmod u+w "$dir/$name.decrypted"
    "$mediakit" crypt decrypt --pass "$pass" --range "$range" "$dir/$name.decrypted" >/dev/null
    if cmp -s "$original" "$dir/$name.decrypted"; then
      say "$name: bytes $start..$((start + length - 1)) encrypted; decrypt restores it byte for byte"
    else
      fail "$name: decrypting the installed file does not give the original back"
    fi
  done
  for path in "$installed"/*; do
    name=$(basename "$path")
    case ";$(echo "$files" | tr ',' ';');" in *";$name;"*) continue ;; esac
    cmp -s "$source_folder/$name" "$path" || fail "$name is not in Files but changed"
  done
}

expect_nothing_installed() {
  if [[ -e "$installed" ]] && [[ -n "$(ls -A "$installed" 2>/dev/null)" ]]; then
    fail "files were left installed: $(ls "$installed" | tr '\n' ' ')"
  else
    say "nothing left installed"
  fi
}

expect_install_result() {
  local wanted=$1 got
  got=$(action_result INSTALL)
  case "$got" in 1) say "installation: succeeded" ;; 0) say "installation: failed" ;; *) say "installation: did not run" ;; esac
  [[ "$got" == "$wanted" ]] || fail "the installation ended with '${got:-nothing}', expected '$wanted'"
}

start_launcher_from_disc() {
  wine_cdrom e "$disc"
  local rc=0
  wine_run 'E:\Tarvolen.exe' || rc=$?
  [[ "$rc" == 0 ]] || fail "Tarvolen.exe exited with $rc"
}

chmod_writable() { chmod u+w "$@"; }

# use_package FILE: FILE becomes the disc's setup.msi.
use_package() {
  package=$1
  chmod u+w "$disc" "$disc/setup.msi"
  cp "$package" "$disc/setup.msi"
  chmod a-w "$disc/setup.msi" "$disc"
}

# A successful first installation from the disc, as the maintenance scenarios start.
install_from_disc() {
  start_launcher_from_disc
  expect_install_result 1
  [[ -d "$installed" ]] || fail "the first installation installed nothing"
}

# maintain NAME MSIEXEC_ARGS...: a maintenance run of msiexec, which must
# succeed without running the checks; its log becomes the one read.
maintain() {
  local name=$1
  shift
  log="$WINEPREFIX/drive_c/kit/$name.log"
  say "msiexec $*"
  wine_run msiexec "$@" /qn /l*v "C:\\kit\\$name.log" || true
  expect_install_result 1
  expect_no_checks
}

uninstall_without_disc() {
  rm -f "$WINEPREFIX/dosdevices/e:"
  say "took the disc out of E:"
  maintain uninstall /x "$(property ProductCode)"
  expect_nothing_installed
}

# Maintenance and removal need no disc and must not check it.
expect_no_checks() {
  local action
  for action in ResolveSource VesmarkCheckItems VesmarkCheckContentOfItems; do
    [[ -z "$(action_result "$action")" ]] || fail "$action ran"
  done
  say "no check ran"
}

# expect_mode deferred|immediate: which of the two encryption actions ran.
expect_mode() {
  if [[ "$1" == deferred ]]; then
    expect_action VesmarkCryptFileDeferred 1
    expect_action VesmarkCryptFile ""
  else
    expect_action VesmarkCryptFile 1
    expect_action VesmarkCryptFileDeferred ""
  fi
}

# next_version SEQUENCE: the staged package as the product's next version, a
# major upgrade that removes the installed one at SEQUENCE of its execute
# sequence. Its files carry no hashes, so the installer keeps an existing
# unversioned file of the same size, as Windows keeps one changed after its
# creation: the previous version's encrypted files, unless they are removed first.
next_version() {
  local sequence=$1 next="$dir/setup-next.msi" code
  code=$(tr a-z A-Z </proc/sys/kernel/random/uuid)
  cp "$work/setup.msi" "$next"
  chmod u+w "$next"
  msibuild "$next" \
    -q "UPDATE Property SET Value = '{$code}' WHERE Property = 'ProductCode'" \
    -q "UPDATE Property SET Value = '4.3.0' WHERE Property = 'ProductVersion'" \
    -q "INSERT INTO Property (Property, Value) VALUES ('SecureCustomProperties', 'VESMARK_OLDER')" \
    -q "INSERT INTO Upgrade (UpgradeCode, VersionMin, VersionMax, Language, Attributes, Remove, ActionProperty) VALUES ('$(property UpgradeCode)', '4.2.0', '4.3.0', '', 256, '', 'VESMARK_OLDER')" \
    -q "DELETE FROM InstallExecuteSequence WHERE Action = 'FindRelatedProducts' OR Action = 'RemoveExistingProducts'" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('FindRelatedProducts', 25)" \
    -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveExistingProducts', $sequence)" \
    -q "DELETE FROM MsiFileHash"
  # A new package code: the revision number of the summary information.
  msiinfo export "$next" _SummaryInformation | tr -d '\r' |
    awk -F'\t' -v OFS='\t' -v code="{$(tr a-z A-Z </proc/sys/kernel/random/uuid)}" 'NR > 3 && $1 == 9 {$2 = code} {print}' \
    >"$dir/_SummaryInformation.idt"
  msibuild "$next" -i "$dir/_SummaryInformation.idt"
  echo "$next"
}

# Flips the low bit of the byte at offset 100: same size, other content.
flip_byte() {
  local file=$1 byte
  chmod_writable "$file"
  byte=$(od -An -tu1 -j100 -N1 "$file" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$file" bs=1 seek=100 conv=notrunc status=none
  chmod a-w "$file"
}

echo "scenario $scenario"
case "$scenario" in
  intact)
    start_launcher_from_disc
    expect_action VesmarkCheckItems 1
    expect_action VesmarkCheckContentOfItems 1
    expect_install_result 1
    expect_mode deferred
    expect_installed
    ;;
  immediate-mode)
    use_package "$work/setup-immediate.msi"
    start_launcher_from_disc
    expect_action VesmarkCheckItems 1
    expect_install_result 1
    expect_mode immediate
    expect_installed
    ;;
  deferred-action-data)
    # The deferred action reads only its CustomActionData: with one file named
    # there, the other files of "Files" stay as they are.
    cp "$work/setup.msi" "$dir/setup.msi"
    msibuild "$dir/setup.msi" -q "UPDATE CustomAction SET Target = '[_DBASE_]|currency.dat|[RectPyrc]|[ProductNameShort]' WHERE Action = 'VesmarkSetCryptFileDeferred'"
    use_package "$dir/setup.msi"
    start_launcher_from_disc
    expect_install_result 1
    expect_mode deferred
    cmp -s "$disc/currency.dat" "$installed/currency.dat" && fail "currency.dat was not encrypted"
    for name in sampledb.kld taxrates.csv; do
      cmp -s "$disc/$name" "$installed/$name" || fail "$name was encrypted, though only Files named it"
    done
    say "only currency.dat, the file CustomActionData names, was encrypted"
    ;;
  minimal-package|minimal-package-immediate)
    # The integration guide's minimal package through its whole life in one
    # prefix: its files lie in the disc folder Templates and are encrypted whole.
    mode=deferred
    [[ "$scenario" == *-immediate ]] && mode=immediate
    if [[ $mode == immediate ]]; then use_package "$work/minimal-immediate.msi"; else use_package "$work/minimal.msi"; fi
    installed="$WINEPREFIX/drive_c/Program Files (x86)/Kestrel Templates"
    source_folder="$disc/Templates"
    start_launcher_from_disc
    expect_action VesmarkCheckItems 1
    expect_install_result 1
    expect_mode $mode
    expect_installed
    maintain repair /i 'E:\setup.msi' REINSTALL=ALL REINSTALLMODE=omus
    expect_mode $mode
    expect_installed
    maintain modify /i 'E:\setup.msi' ADDLOCAL=Templates
    expect_installed
    uninstall_without_disc
    ;;
  repair-missing-file)
    install_from_disc
    rm -f "$installed/currency.dat"
    say "deleted the installed currency.dat"
    maintain repair /i 'E:\setup.msi' REINSTALL=ALL REINSTALLMODE=amus
    expect_installed
    ;;
  modify)
    install_from_disc
    maintain modify /i 'E:\setup.msi' REMOVE=Documents
    [[ -e "$installed/readme.txt" ]] && fail "readme.txt of the removed feature is still there"
    expect_installed
    ;;
  uninstall-without-disc)
    install_from_disc
    uninstall_without_disc
    ;;
  major-upgrade-*)
    # Version 4.2 installed and encrypted, then 4.3 from the disc removes it
    # before it installs anything, after InstallFiles, or after InstallFinalize.
    case "$scenario" in
      *-early) sequence=1401 ;;
      *-after-files) sequence=4001 ;;
      *) sequence=6601 ;;
    esac
    install_from_disc
    expect_installed
    older=$(property ProductCode)
    use_package "$(next_version $sequence)"
    log="$WINEPREFIX/drive_c/kit/upgrade.log"
    say "msiexec /i E:\setup.msi, version 4.3 with RemoveExistingProducts at $sequence"
    wine_run msiexec /i 'E:\setup.msi' /qn /l*v 'C:\kit\upgrade.log' || true
    expect_install_result 1
    expect_action VesmarkCheckItems 1
    found=$(grep -a 'Property(S): VESMARK_OLDER = ' "$log" | tail -n 1 | sed 's/.*= //' | tr -d '\r')
    [[ "$found" == "$older" ]] || fail "the upgrade found '${found}' installed, expected $older"
    expect_action RemoveExistingProducts 1
    if "$WINE64" reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$older" >/dev/null 2>&1; then
      fail "version 4.2 ($older) is still registered"
    else
      say "version 4.2 is no longer registered"
    fi
    expect_mode deferred
    expect_installed
    ;;
  changed-byte)
    file=$(listed_file)
    flip_byte "$disc/$file"
    say "changed one byte of $file"
    start_launcher_from_disc
    expect_action VesmarkCheckItems 1
    expect_action VesmarkCheckContentOfItems 0
    expect_install_result 0
    expect_nothing_installed
    ;;
  extra-file)
    chmod u+w "$disc/Redist"
    printf 'dropped here\r\n' >"$disc/Redist/Thumbs.db"
    chmod a-w "$disc/Redist/Thumbs.db"
    say "added Redist/Thumbs.db"
    start_launcher_from_disc
    expect_action VesmarkCheckItems 0
    expect_action VesmarkCheckContentOfItems ""
    expect_install_result 0
    expect_nothing_installed
    ;;
  missing-file)
    file=$(listed_file)
    rm -f "$disc/$file"
    say "removed $file"
    start_launcher_from_disc
    expect_action VesmarkCheckItems 0
    expect_install_result 0
    expect_nothing_installed
    ;;
  case-only)
    file=$(listed_file)
    upper="$(dirname "$file")/$(basename "$file" | tr 'a-z' 'A-Z')"
    mv "$disc/$file" "$disc/$upper"
    say "renamed $file to $upper"
    start_launcher_from_disc
    expect_action VesmarkCheckItems 1
    expect_action VesmarkCheckContentOfItems 1
    expect_install_result 1
    ;;
  case-renamed-changed)
    # Names match without regard to case, so the listing check passes; the
    # content check must still look the file up and refuse its changed byte.
    file=$(listed_file)
    folder=$(dirname "$file")
    chmod_writable "$disc"
    mv "$disc/$folder" "$disc/${folder^^}"
    chmod a-w "$disc"
    flip_byte "$disc/${folder^^}/$(basename "$file")"
    say "renamed $folder to ${folder^^} and changed one byte of $(basename "$file") in it"
    start_launcher_from_disc
    expect_action VesmarkCheckItems 1
    expect_action VesmarkCheckContentOfItems 0
    expect_install_result 0
    expect_nothing_installed
    ;;
  command-tail)
    # The disc also sits in E:, so a launcher that searched drives would find it:
    # the log names the package the launcher was given instead.
    wine_cdrom e "$disc"
    copy='C:\Kit Disc'
    cp -a "$disc" "$WINEPREFIX/drive_c/Kit Disc"
    mkdir -p "$WINEPREFIX/drive_c/kit/launcher"
    cp "$disc/Tarvolen.exe" "$disc/Tarvolen.ini" "$WINEPREFIX/drive_c/kit/launcher/"
    rc=0
    # Wine quotes an argument that holds a blank, so the command tail is the
    # quoted path, as when a user starts the launcher from a shell.
    wine_run 'C:\kit\launcher\Tarvolen.exe' "$copy\\setup.msi" || rc=$?
    [[ "$rc" == 0 ]] || fail "Tarvolen.exe exited with $rc"
    database=$(grep -a 'Property(S): OriginalDatabase = ' "$log" 2>/dev/null | tail -n 1 | sed 's/.*= //' | tr -d '\r')
    say "msiexec opened: ${database:-nothing}"
    [[ "$database" == "$copy\\setup.msi" ]] || fail "msiexec opened '${database}', expected '$copy\\setup.msi'"
    expect_action VesmarkCheckItems 1
    expect_install_result 1
    ;;
  no-matching-disc)
    chmod u+w "$disc/disk1.id"
    "$mediakit" discid --product KestrelLedger42 --id KL42-DISC9 -o "$disc/disk1.id" >/dev/null
    chmod a-w "$disc/disk1.id"
    say "disk1.id carries Id KL42-DISC9, the settings KL42-DISC1"
    start_launcher_from_disc
    if [[ -e "$log" ]]; then fail "msiexec was started"; else say "nothing started"; fi
    ;;
  *)
    echo "run_scenario.sh: unknown scenario '$scenario'" >&2
    exit 2
    ;;
esac

if ((failures > 0)); then
  say "log: $log (the prefix is kept for a look)"
  echo "scenario $scenario: FAILED ($failures)"
  exit 1
fi
# A prefix takes over a gigabyte: a passed scenario keeps only its logs.
wineserver -k 2>/dev/null || true
rm -rf "$dir/logs"
mv "$WINEPREFIX/drive_c/kit" "$dir/logs" 2>/dev/null || mkdir -p "$dir/logs"
rm -rf "$WINEPREFIX"
say "logs: $dir/logs"
echo "scenario $scenario: ok"
