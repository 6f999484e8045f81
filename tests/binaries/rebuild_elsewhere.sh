#!/usr/bin/env bash
# Builds the named targets again, clean, in SCRATCH (another folder, another
# time) and fails unless each image and its .debug file come out byte for byte
# as the given build made them: then neither a clock nor a folder went in.
#   rebuild_elsewhere.sh SCRATCH TARGET=FILE... -- CMAKE_CONFIGURE_ARGS...
set -euo pipefail
scratch=${1:?usage: rebuild_elsewhere.sh SCRATCH TARGET=FILE... -- CMAKE_CONFIGURE_ARGS...}
shift
targets=() files=()
while (($#)) && [[ "$1" != -- ]]; do
  [[ "$1" == *=* ]] || { echo "rebuild_elsewhere.sh: '$1' is not TARGET=FILE" >&2; exit 2; }
  targets+=("${1%%=*}")
  files+=("${1#*=}")
  shift
done
[[ "${1:-}" == -- && ${#targets[@]} -gt 0 ]] || { echo "rebuild_elsewhere.sh: give TARGET=FILE... -- CMAKE_CONFIGURE_ARGS" >&2; exit 2; }
shift

rm -rf "$scratch"
log="$scratch.log"
if ! { cmake -B "$scratch" "$@" && cmake --build "$scratch" --target "${targets[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "rebuild_elsewhere.sh: the build in $scratch failed" >&2
  exit 1
fi

differ=0
for file in "${files[@]}"; do
  for made in "$file" "$file.debug"; do
    again="$scratch/bin/$(basename "$made")"
    if cmp -s "$made" "$again"; then
      echo "same: $(basename "$made") ($(stat -c %s "$made") bytes)"
    else
      echo "DIFFERS: $made and $again; first differing bytes (offset, octal values):"
      cmp -l "$made" "$again" 2>&1 | head -n 8 || true
      differ=1
    fi
  done
done
# Kept when something differs, for a closer look.
((differ)) || rm -rf "$scratch" "$log"
exit "$differ"
