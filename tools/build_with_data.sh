#!/usr/bin/env bash
# Builds Vesmark.dll with a given listing and manifest embedded, in a build
# folder of its own so the repository's builds keep their data.
#   build_with_data.sh PRESET BUILD_FOLDER LISTING MANIFEST
# Prints the path of the built library. A win32 library comes out as the
# shipped one does (cmake/ShippedBuild.cmake): stripped, its debug information
# in Vesmark.dll.debug beside it, and the same bytes wherever it is built.
set -euo pipefail
preset=${1:?usage: build_with_data.sh PRESET BUILD_FOLDER LISTING MANIFEST}
build=${2:?missing BUILD_FOLDER}
listing=$(readlink -f "${3:?missing LISTING}")
manifest=$(readlink -f "${4:?missing MANIFEST}")
cd "$(dirname "$(readlink -f "$0")")/.."
mkdir -p "$build"
build=$(cd "$build" && pwd)
log="$build/build-with-data.log"
if ! { cmake --preset "$preset" -B "$build" -DVESMARK_LISTING="$listing" -DVESMARK_MANIFEST="$manifest" &&
       cmake --build "$build" --target Vesmark; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "build_with_data.sh: building Vesmark.dll failed (log: $log)" >&2
  exit 1
fi
echo "$build/bin/Vesmark.dll"
