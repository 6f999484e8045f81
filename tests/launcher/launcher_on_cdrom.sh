#!/usr/bin/env bash
# Runs the real Tarvolen.exe under Wine with staged CD-ROM drives and lets
# Wine's msiexec tell, through its verbose log, what it was started with.
#   launcher_on_cdrom.sh WINE_RUN TARVOLEN_EXE WORK_DIR
#
# Drives: C: (fixed) holds a matching disk1.id and must be passed over; M: is
# a CD-ROM of the product with another disc id; N: and O: are CD-ROMs with
# matching discs, so N: must win. The launcher sits in "C:\Kit Launcher\" as
# "Tarvolen Setup.exe", whose short name Wine makes up: only the settings file
# named after that short name holds the probing template.
set -euo pipefail
wine_run=${1:?usage: launcher_on_cdrom.sh WINE_RUN TARVOLEN_EXE WORK_DIR}
tarvolen=${2:?usage: launcher_on_cdrom.sh WINE_RUN TARVOLEN_EXE WORK_DIR}
work=${3:?usage: launcher_on_cdrom.sh WINE_RUN TARVOLEN_EXE WORK_DIR}
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
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

launcher_dir="$WINEPREFIX/drive_c/Kit Launcher"
mkdir -p "$launcher_dir"
cp "$tarvolen" "$launcher_dir/Tarvolen Setup.exe"
short_program=$("$wine_run" --prefix "$WINEPREFIX" winepath -s 'C:\Kit Launcher\Tarvolen Setup.exe' | tr -d '\r')
short_base=${short_program##*\\}
short_base=${short_base%.*}
short_dir=${short_program%\\*}'\'
step "short program path: $short_program"
[[ "$short_base" != "Tarvolen Setup" ]] || fail "Wine gave no short name; the test proves nothing"

printf '[Info]\r\nProduct=Vesmark Probe\r\nId=DISC-7\r\n[Command]\r\nTransform=probe.mst\r\nSetup=/i [%%PACKAGE%%] /qn PROBE="[%%SRCDIR%%]|[%%WINDIR%%]|[%%TRANSFORM%%]" /l*v "probe.log"\r\n' \
  >"$launcher_dir/$short_base.ini"
printf '[Info]\r\nProduct=Vesmark Probe\r\nId=DISC-7\r\n[Command]\r\nSetup=/i [%%PACKAGE%%] /qn PROBE="the long name was read" /l*v "probe.log"\r\n' \
  >"$launcher_dir/Tarvolen Setup.ini"

# The log's name is relative: msiexec writes it into the directory it
# inherited, which must be the launcher directory.
expect_log() {
  local what=$1 database=$2 probe=$3 log="$launcher_dir/probe.log"
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
expect_log disc-search 'N:\setup.msi' "$short_dir|C:\\windows|${short_dir}probe.mst"

step "run with a command tail: no disc search"
"$wine_run" --prefix "$WINEPREFIX" 'C:\Kit Launcher\Tarvolen Setup.exe' 'O:\setup.msi' || fail "exit code $? (expected 0)"
wineserver -w
expect_log command-tail 'O:\setup.msi' "$short_dir|C:\\windows|${short_dir}probe.mst"

wineserver -k || true
if ((failures > 0)); then
  echo "$failures problem(s); logs in $work" >&2
  exit 1
fi
echo "launcher on CD-ROM: all checks passed"
