#!/usr/bin/env bash
# A disk that fills while a range is written: each file must stay byte for
# byte as it was. Mounts a small tmpfs of its own and fills it (root); where
# mounting is refused, limits the size of written files with ulimit -f
# instead, which makes the same writes fail partway.
#   full_disk_test.sh mediakit MEDIAKIT
#   full_disk_test.sh library [RUNNER...] CRYPT_TESTS   (its CryptFileFullDiskTest cases)
# KIT_FULL_DISK_NO_MOUNT=1 takes the ulimit way also for root.
set -euo pipefail
what=${1:?usage: full_disk_test.sh mediakit MEDIAKIT | library [RUNNER...] CRYPT_TESTS}
shift
(($#)) || { echo "full_disk_test.sh: no program given" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kit-full-disk.XXXXXX")
disk=$work/disk
mkdir "$disk"
cleanup() {
  if mountpoint -q "$disk"; then umount "$disk"; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# grow.bin: 8 KiB whose range reaches 60 KiB past its end. sparse.bin: 4 KiB,
# a 92 KiB hole, 4 KiB; its range lies over the hole. Both ranges cross 32 KiB.
grow_range='4096;65536'
sparse_range='4096;94208'
make_files() {
  head -c 8192 /dev/urandom > "$disk/grow.bin"
  head -c 4096 /dev/urandom > "$disk/sparse.bin"
  truncate -s 98304 "$disk/sparse.bin"
  head -c 4096 /dev/urandom >> "$disk/sparse.bin"
  head -c 8192 /dev/urandom > "$disk/probe.bin"
  cp "$disk/grow.bin" "$disk/sparse.bin" "$work/"
}

if [[ -z "${KIT_FULL_DISK_NO_MOUNT:-}" ]] && mount -t tmpfs -o size=256k tmpfs "$disk" 2>/dev/null; then
  kind=tmpfs
  make_files
  # 8 KiB stay free, so that the writes fill the disk partway before failing.
  head -c 8192 /dev/zero > "$disk/slack"
  head -c 1048576 /dev/zero > "$disk/filler" 2>/dev/null || true
  rm "$disk/slack"
  free=$(df -B1 --output=avail "$disk" | tail -n 1 | tr -d ' ')
  ((free < 65536)) || { echo "full_disk_test: $free bytes still free; the disk is not full" >&2; exit 1; }
  echo "full_disk_test: a 256 KiB tmpfs of its own, filled to $free bytes free"
else
  kind=ulimit
  make_files
  echo "full_disk_test: no tmpfs (not root, or refused): ulimit -f 32 makes writes past 32 KiB fail instead"
fi

# The command with the file-size limit in the ulimit way; a write past it then
# fails with EFBIG instead of killing the process.
limited() {
  if [[ $kind == ulimit ]]; then
    (trap '' XFSZ; ulimit -f 32; "$@")
  else
    "$@"
  fi
}

same_as_before() {
  local name=$1
  cmp -s "$disk/$name" "$work/$name" ||
    fail "$name is not as it was ($(stat -c %s "$disk/$name") bytes, was $(stat -c %s "$work/$name"))"
}

case "$what" in
  mediakit)
    mediakit=$1
    for item in "grow.bin $grow_range" "sparse.bin $sparse_range"; do
      read -r name range <<<"$item"
      status=0
      message=$(limited "$mediakit" crypt encrypt --pass 'full disk' --range "$range" "$disk/$name" 2>&1) ||
        status=$?
      [[ $status == 2 ]] || fail "$name: exit $status, expected 2"
      [[ $message == *"not changed: no room on the disk"* ]] || fail "$name: message '$message'"
      [[ $message != *DAMAGED* ]] || fail "$name: reported damaged: '$message'"
      same_as_before "$name"
    done
    ;;
  library)
    program=${*: -1}
    # Wine sees the host's folders through drive Z:.
    path_for() {
      if [[ $program == *.exe ]]; then printf 'Z:%s' "${1//\//\\}"; else printf '%s' "$1"; fi
    }
    # The test program starts once unlimited, so that a Wine prefix it may
    # have to make is not made under the limit.
    [[ $kind == tmpfs ]] || "$@" --gtest_list_tests > /dev/null
    export KIT_FULL_DISK_KIND=$kind
    export KIT_FULL_DISK_PROBE=$(path_for "$disk/probe.bin")
    export KIT_FULL_DISK_CASES="$(path_for "$disk/grow.bin"),${grow_range/;/,};$(path_for "$disk/sparse.bin"),${sparse_range/;/,}"
    status=0
    output=$(limited "$@" --gtest_filter='CryptFileFullDiskTest.*' 2>&1) || status=$?
    echo "$output"
    [[ $status == 0 ]] || fail "the test program exited with $status"
    ran=$(grep -c '^\[       OK \] CryptFileFullDiskTest\.' <<<"$output" || true)
    [[ $ran == 2 ]] || fail "$ran of 2 full-disk cases ran to OK (skipped or missing)"
    same_as_before grow.bin
    same_as_before sparse.bin
    ;;
  *)
    echo "full_disk_test.sh: unknown '$what'" >&2
    exit 2
    ;;
esac

((failures == 0)) || exit 1
echo "full disk ($kind, $what): every file as it was"
