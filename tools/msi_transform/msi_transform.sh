#!/usr/bin/env bash
# Runs msi_transform.exe (built once into build/msi_transform/) under 64-bit
# Wine in a prefix of its own there; absolute host paths among the arguments
# are handed over as Z: paths.
#   msi_transform.sh generate BASE.msi CHANGED.msi OUT.mst
#   msi_transform.sh apply BASE.msi MST OUT.msi
set -euo pipefail
here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
build="${MSI_TRANSFORM_BUILD:-$here/../../build/msi_transform}"
mkdir -p "$build"
build=$(cd "$build" && pwd)
exe="$build/msi_transform.exe"
source "$here/../../tests/e2e/wine_prefix.sh"
(
  flock 9
  if [[ ! -x "$exe" || "$here/msi_transform.c" -nt "$exe" ]]; then
    x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$exe.part" "$here/msi_transform.c" -lmsi -lole32 -luuid
    mv "$exe.part" "$exe"
  fi
  if [[ ! -f "$build/prefix/system.reg" ]]; then
    rm -rf "$build/prefix"
    WINEPREFIX="$build/prefix" "$WINE64" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$build/prefix" wineserver -w
  fi
) 9>"$build/.lock"
export WINEPREFIX="$build/prefix"
args=()
for arg in "$@"; do
  if [[ "$arg" == /* ]]; then arg="Z:${arg//\//\\}"; fi
  args+=("$arg")
done
wine_run "$exe" "${args[@]}"
