#!/usr/bin/env bash
# Runs a Windows program under the lane's Wine (32-bit programs through the
# 32-bit loader of the private root) in a 64-bit prefix owned by the build:
#   wine32-run.sh --prefix DIR program.exe [args...]
# With no program it only makes the prefix.
# The prefix is made on first use, as a copy of one booted prefix the lane
# keeps. Every start is bounded by WINE32_TIMEOUT seconds.
set -euo pipefail
KIT_ROOT=${KIT_ROOT:-$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)}
# shellcheck source=env.sh
source "$KIT_ROOT/tools/wine32/env.sh"
if [[ "${1:-}" == --prefix ]]; then
  export WINEPREFIX="$2"
  shift 2
fi
: "${WINEPREFIX:?wine32-run.sh needs --prefix DIR or WINEPREFIX}"
wine32_environment
mkdir -p "$(dirname "$WINEPREFIX")"

# end_stale_server DIR: a prefix names its server's folder in its wineserver
# file, where servers are told apart by the prefix folder's device and inode;
# a copy shares the booted prefix's folder, so one still serving a removed
# copy whose inode the new copy DIR reuses would answer for DIR. It is ended.
end_stale_server() { WINEPREFIX=$1 timeout 30 wineserver -k >/dev/null 2>&1 || true; }

# boot DIR: a new prefix in DIR, its 32-bit side filled; wineboot's output
# goes to DIR.boot.log and is shown when it fails.
boot() {
  local dir=$1 log="$1.boot.log" step
  rm -rf "$dir"
  mkdir "$dir"
  : >"$log"
  for step in -i -u; do
    WINEPREFIX=$dir timeout 300 "$WINE32_LOADER" wineboot "$step" >>"$log" 2>&1 &&
      WINEPREFIX=$dir timeout 120 wineserver -w >>"$log" 2>&1 || {
      echo "wine32-run.sh: wineboot $step failed in $dir; its output:" >&2
      cat "$log" >&2
      exit 1
    }
    # wineboot fills syswow64 from a 32-bit rundll32 it starts from there;
    # without that file it starts nothing and 32-bit programs find no kernel32.
    [[ $step != -i ]] || cp "$WINE32_I386_DLLS/i386-windows/rundll32.exe" "$dir/drive_c/windows/syswow64/"
  done
  [[ -f "$dir/drive_c/windows/syswow64/kernel32.dll" ]] || {
    echo "wine32-run.sh: wineboot did not fill $dir/drive_c/windows/syswow64" >&2
    exit 1
  }
  touch "$dir/.syswow64-filled"
}

# Booting under the emulator takes most of a minute, copying a booted prefix
# seconds: the lane boots one, in its own folder, and copies it for each new
# prefix. Locks keep parallel callers from booting or copying twice.
booted=$WINE32_HOME/booted-prefix
(
  flock 9
  if [[ ! -f "$WINEPREFIX/.syswow64-filled" ]]; then
    (
      flock 8
      [[ -f "$booted/.syswow64-filled" ]] || boot "$booted"
      if [[ "$WINEPREFIX" != "$booted" ]]; then
        rm -rf "$WINEPREFIX" "$WINEPREFIX.part"
        cp -a "$booted" "$WINEPREFIX.part"
        mv "$WINEPREFIX.part" "$WINEPREFIX"
        end_stale_server "$WINEPREFIX"
      fi
    ) 8>"$booted.lock"
  fi
) 9>"$WINEPREFIX.lock"
(($#)) || exit 0
exec timeout "$WINE32_TIMEOUT" "$WINE32_LOADER" "$@"
