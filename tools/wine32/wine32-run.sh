#!/usr/bin/env bash
# Runs a Windows program under the lane's Wine (32-bit programs through the
# 32-bit loader of the private root) in a 64-bit prefix owned by the build:
#   wine32-run.sh --prefix DIR program.exe [args...]
# The prefix is made on first use; a lock keeps parallel tests from making it
# twice. Every start is bounded by WINE32_TIMEOUT seconds.
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
(
  flock 9
  if [[ ! -f "$WINEPREFIX/.syswow64-filled" ]]; then
    rm -rf "$WINEPREFIX"
    timeout 300 "$WINE32_LOADER" wineboot -i >/dev/null 2>&1
    timeout 120 wineserver -w
    # wineboot fills syswow64 from a 32-bit rundll32 it starts from there;
    # without that file it starts nothing and 32-bit programs find no kernel32.
    cp "$WINE32_I386_DLLS/i386-windows/rundll32.exe" "$WINEPREFIX/drive_c/windows/syswow64/"
    timeout 300 "$WINE32_LOADER" wineboot -u >/dev/null 2>&1
    timeout 120 wineserver -w
    [[ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]] || {
      echo "wine32-run.sh: wineboot did not fill $WINEPREFIX/drive_c/windows/syswow64" >&2
      exit 1
    }
    touch "$WINEPREFIX/.syswow64-filled"
  fi
) 9>"$WINEPREFIX.lock"
exec timeout "$WINE32_TIMEOUT" "$WINE32_LOADER" "$@"
