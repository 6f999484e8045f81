#!/usr/bin/env bash
# Runs the real Tarvolen.exe under Wine with staged CD-ROM drives and lets
# Wine's msiexec tell, through its verbose log, what it was started with.
#   launcher_on_cdrom.sh WINE_RUN TARVOLEN_EXE RUN_COMMAND_LINE_EXE WORK_DIR
#
# Drives: C: (fixed) holds a matching disk1.id and must be passed over; M: is
# a CD-ROM of the product with another disc id; N: and O: are CD-ROMs with
# matching discs, so N: must win. The launcher sits in "C:\Kit Launcher\" as
# "Tarvolen Setup.exe", whose short name Wine makes up: only the settings file
# named after that short name holds the probing template. A second copy sits
# in "C:\Déploiement\" and is started unquoted through RUN_COMMAND_LINE_EXE,
# since Wine quotes the program name of every start of its own.
set -euo pipefail
usage="usage: launcher_on_cdrom.sh WINE_RUN TARVOLEN_EXE RUN_COMMAND_LINE_EXE WORK_DIR"
wine_run=${1:?$usage}
tarvolen=${2:?$usage}
run_command_line=${3:?$usage}
work=${4:?$usage}
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# Host names are UTF-8 and the active code page is 1252 whatever the machine's
# locale: "é" in a folder name is then the byte 0xE9 to the launcher.
export LC_ALL=C.UTF-8
failures=0
step() { echo "-- $*"; }
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Each run starts from a fresh prefix: the probe package stays installed.
rm -rf "$work"
mkdir -p "$work"

step "packages"
for disc in M N O; do
  mkdir -p "$work/disc$disc"
done
wixl -o "$work/discN/setup.msi" "$here/probe_package.wxs"
# A second build has its own product code, so it installs beside the first.
wixl -o "$work/discO/setup.msi" "$here/probe_package.wxs"
wixl -o "$work/discM/setup.msi" "$here/probe_package.wxs"
printf '[disk]\r\nProduct=Vesmark Probe\r\nId=DISC-8\r\n' >"$work/discM/disk1.id"
printf '[disk]\r\nProduct=Vesmark Probe\r\nId=DISC-7\r\n' >"$work/discN/disk1.id"
printf '[disk]\r\nProduct=Vesmark Probe\r\nId=DISC-7\r\n' >"$work/discO/disk1.id"

step "prefix with CD-ROM drives M: N: O:"
cat >"$work/drives.reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"m:"="cdrom"
"n:"="cdrom"
"o:"="cdrom"
REG
"$wine_run" --prefix "$WINEPREFIX" regedit /S 'Z:'"$(tr / '\\' <<<"$work/drives.reg")"
for disc in m n o; do
  ln -sfn "$work/disc${disc^^}" "$WINEPREFIX/dosdevices/$disc:"
done
wineserver -k  # the drive types are read again by the next process
printf '[disk]\r\nProduct=Vesmark Probe\r\nId=DISC-7\r\n' >"$WINEPREFIX/drive_c/disk1.id"

# Copies the launcher to a folder of drive C: under the name given, and sets
# short_base and short_dir from the short name Wine makes up for it.
place_launcher() {
  local host_dir=$1 windows_path=$2 short_program
  mkdir -p "$host_dir"
  cp "$tarvolen" "$host_dir/${windows_path##*\\}"
  short_program=$("$wine_run" --prefix "$WINEPREFIX" winepath -s "$windows_path" | tr -d '\r')
  short_base=${short_program##*\\}
  short_base=${short_base%.*}
  short_dir=${short_program%\\*}'\'
  step "short program path: $short_program"
}

launcher_dir="$WINEPREFIX/drive_c/Kit Launcher"
place_launcher "$launcher_dir" 'C:\Kit Launcher\Tarvolen Setup.exe'
[[ "$short_base" != "Tarvolen Setup" ]] || fail "Wine gave no short name; the test proves nothing"

probe_settings='[Info]\r\nProduct=Vesmark Probe\r\nId=DISC-7\r\n[Command]\r\nTransform=probe.mst\r\nSetup=/i [%%PACKAGE%%] /qn PROBE="[%%SRCDIR%%]|[%%WINDIR%%]|[%%TRANSFORM%%]" /l*v "probe.log"\r\n'
# shellcheck disable=SC2059
printf "$probe_settings" >"$launcher_dir/$short_base.ini"
printf '[Info]\r\nProduct=Vesmark Probe\r\nId=DISC-7\r\n[Command]\r\nSetup=/i [%%PACKAGE%%] /qn PROBE="the long name was read" /l*v "probe.log"\r\n' \
  >"$launcher_dir/Tarvolen Setup.ini"

# The log's name is relative: msiexec writes it into the directory it
# inherited, which must be the launcher directory.
expect_log() {
  local what=$1 dir=$2 database=$3 probe=$4 log="$2/probe.log"
  if [[ ! -f "$log" ]]; then
    fail "$what: no probe.log in the launcher directory (msiexec not started, or started elsewhere)"
    return
  fi
  local got_database got_probe
  got_database=$(sed -n 's/^Property(S): OriginalDatabase = //p' "$log" | tr -d '\r' | tail -n 1)
  got_probe=$(sed -n 's/^Property(S): PROBE = //p' "$log" | tr -d '\r' | tail -n 1)
  [[ "$got_database" == "$database" ]] || fail "$what: package '$got_database', expected '$database'"
  [[ "$got_probe" == "$probe" ]] || fail "$what: PROBE '$got_probe', expected '$probe'"
  echo "   package: $got_database"
  echo "   PROBE:   $got_probe"
  mv "$log" "$work/$what.log"
}

step "run without a command tail: the disc search"
"$wine_run" --prefix "$WINEPREFIX" 'C:\Kit Launcher\Tarvolen Setup.exe' || fail "exit code $? (expected 0)"
wineserver -w  # the launcher does not wait for msiexec; the test does
expect_log disc-search "$launcher_dir" 'N:\setup.msi' "$short_dir|C:\\windows|${short_dir}probe.mst"

step "run with a command tail: no disc search"
"$wine_run" --prefix "$WINEPREFIX" 'C:\Kit Launcher\Tarvolen Setup.exe' 'O:\setup.msi' || fail "exit code $? (expected 0)"
wineserver -w
expect_log command-tail "$launcher_dir" 'O:\setup.msi' "$short_dir|C:\\windows|${short_dir}probe.mst"

step "unquoted start from a folder with a byte of 0x80 or above, with a command tail"
accented_dir="$WINEPREFIX/drive_c/Déploiement"
place_launcher "$accented_dir" 'C:\Déploiement\Tarvolen.exe'
# shellcheck disable=SC2059
printf "$probe_settings" >"$accented_dir/$short_base.ini"
# M:'s disc does not match: only the tail can name its package.
"$wine_run" --prefix "$WINEPREFIX" "$run_command_line" 'C:\Déploiement\Tarvolen.exe M:\setup.msi' ||
  fail "exit code $? (expected 0)"
wineserver -w
expect_log unquoted-accented-path "$accented_dir" 'M:\setup.msi' \
  "$short_dir|C:\\windows|${short_dir}probe.mst"

wineserver -k || true
if ((failures > 0)); then
  echo "$failures problem(s); logs in $work" >&2
  exit 1
fi
rm -rf "$WINEPREFIX"  # over a gigabyte under the lane; the logs stay
echo "launcher on CD-ROM: all checks passed"
