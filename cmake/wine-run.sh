#!/usr/bin/env bash
# Runs a Windows test program under wine64 in a prefix owned by the build:
#   wine-run.sh --prefix DIR program.exe [args...]
# The prefix is made on first use; a lock keeps parallel tests from making it twice.
set -euo pipefail
if [[ "${1:-}" == --prefix ]]; then
  export WINEPREFIX="$2"
  shift 2
fi
: "${WINEPREFIX:?wine-run.sh needs --prefix DIR or WINEPREFIX}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
