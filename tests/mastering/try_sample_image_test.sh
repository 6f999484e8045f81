#!/usr/bin/env bash
# The sample product mastered as ./kit demo masters it, and ./kit try on its
# image: the disc's own 32-bit programs install it (the twin where the lane
# cannot run), and the same image with one changed byte is refused.
#   try_sample_image_test.sh WORK_FOLDER
set -euo pipefail
work=${1:?usage: try_sample_image_test.sh WORK_FOLDER}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
[[ ! -e "$work" ]] || { chmod -R u+w "$work"; rm -rf "$work"; }
mkdir -p "$work"
"$source_dir/tools/kitcmd/master.py" --out "$work/dist" >"$work/master.log" 2>&1 ||
  { tail -n 30 "$work/master.log"; echo "FAIL: the sample product did not master"; exit 1; }
"$source_dir/tests/mastering/try_disc_test.sh" "$work/dist" "$work/dist/disc.iso" \
  "$source_dir/build/native/bin/mediakit" "$work/try-test"
