#!/usr/bin/env bash
# Puts in place what the i686 lane needs, leaving the system's 64-bit Wine as
# it is: qemu-user-static and a 32-bit C compiler from Debian, the i386
# packages of 32-bit Wine unpacked into a private root (the .deb files kept in
# a cache outside build/), the library that works around two QEMU 7.2 faults,
# and qemu-i386-static registered for i386 ELF programs.
# Each step looks first and does nothing when its result is there.
#   deps32.sh    (from ./kit deps32; needs root, else it says why and skips)
set -euo pipefail
KIT_ROOT=${KIT_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
# shellcheck source=env.sh
source "$KIT_ROOT/tools/wine32/env.sh"
HOST_PACKAGES=(qemu-user-static gcc-multilib libz-mingw-w64)
did=0
say() { echo "deps32: $*"; did=1; }
skip() { echo "kit deps32: skipped: $*"; exit 0; }

[[ $(id -u) -eq 0 ]] || skip "the i386 architecture, packages and binfmt_misc registration need root"

installed() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed$'; }

lists_updated=0
apt_update() {
  ((lists_updated)) && return 0
  say "apt-get update"
  # A mirror may fail one index (seen: "File has unexpected size", bookworm-security
  # i386): the lists that did download still serve the plan below.
  apt-get update -qq || echo "deps32: apt-get update reported errors; going on with the lists it has"
  lists_updated=1
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture"
  dpkg --add-architecture i386
  apt_update
fi

missing=()
for p in "${HOST_PACKAGES[@]}"; do installed "$p" || missing+=("$p"); done
if ((${#missing[@]})); then
  apt_update
  say "installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    skip "apt-get install ${missing[*]} failed"
fi

# i386_plan: name=version of each i386 package a system with nothing installed
# needs for 32-bit Wine. The host's own packages are left out of the resolution
# on purpose: the root is private, and a host library newer than its i386 twin
# in the lists (Multi-Arch: same wants one version) would make it unsolvable.
i386_plan() {
  local status
  status=$(mktemp)
  apt-get -o Dir::State::status="$status" install -s --no-install-recommends wine32:i386 libwine:i386 2>/dev/null |
    sed -n 's/^Inst \([^ ]*:i386\) \(\[[^]]*\] \)\{0,1\}(\([^ ]*\) .*/\1=\3/p'
  rm -f "$status"
}

# The private root. Only the i386 packages apt would install are unpacked:
# what the host already has for all architectures (fonts, data) is not needed.
if [[ ! -f $WINE32_ROOT/.complete ]]; then
  plan=$(i386_plan)
  if [[ -z $plan ]]; then
    apt_update
    plan=$(i386_plan)
  fi
  [[ -n $plan ]] || skip "apt names no i386 packages for wine32:i386 libwine:i386"
  mkdir -p "$WINE32_DEB_CACHE"
  fetch=()
  for pin in $plan; do
    name=${pin%%:*} version=${pin#*=}
    [[ -f $WINE32_DEB_CACHE/${name}_${version//:/%3a}_i386.deb ]] || fetch+=("$pin")
  done
  if ((${#fetch[@]})); then
    say "downloading ${#fetch[@]} i386 packages into $WINE32_DEB_CACHE"
    # apt-get download drops root rights to _apt, which must be able to write there.
    chown _apt "$WINE32_DEB_CACHE" 2>/dev/null || true
    (cd "$WINE32_DEB_CACHE" && apt-get download -qq "${fetch[@]}") || skip "apt-get download failed (no network?)"
  fi
  say "unpacking $(wc -w <<<"$plan") i386 packages into $WINE32_ROOT"
  rm -rf "$WINE32_ROOT"
  mkdir -p "$WINE32_ROOT"
  for pin in $plan; do
    name=${pin%%:*} version=${pin#*=}
    dpkg -x "$WINE32_DEB_CACHE/${name}_${version//:/%3a}_i386.deb" "$WINE32_ROOT"
  done
  # What libwine's maintainer script does: mingw's zlib1.dll marked as a Wine
  # builtin (the text at byte 64); without it user32 does not load.
  zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
  {
    head -c 64 "$zlib"
    printf 'Wine builtin DLL'
    head -c 16 /dev/zero
    tail -c +97 "$zlib"
  } >"$WINE32_I386_DLLS/i386-windows/zlib1.dll"
  echo "$plan" >"$WINE32_ROOT/.complete"
fi

if [[ ! -f $WINE32_ROOT$WINE32_PRELOAD || $KIT_ROOT/tools/wine32/qemu_fixes.c -nt $WINE32_ROOT$WINE32_PRELOAD ]]; then
  say "building the QEMU fault library (gcc -m32) into the root"
  mkdir -p "$(dirname "$WINE32_ROOT$WINE32_PRELOAD")"
  gcc -m32 -O2 -Wall -Wextra -shared -fPIC -o "$WINE32_ROOT$WINE32_PRELOAD" \
    "$KIT_ROOT/tools/wine32/qemu_fixes.c" -ldl
fi
# The emulator resolves /etc/ld.so.preload inside the root: 32-bit processes only.
if [[ "$(cat "$WINE32_ROOT/etc/ld.so.preload" 2>/dev/null)" != "$WINE32_PRELOAD" ]]; then
  say "preloading it into the root's 32-bit processes"
  mkdir -p "$WINE32_ROOT/etc"
  echo "$WINE32_PRELOAD" >"$WINE32_ROOT/etc/ld.so.preload"
fi

# The root's own library cache: else its loader takes the host's cache and
# with it the host's 32-bit libc (libc6-i386), whatever its version.
if [[ ! -f $WINE32_ROOT/etc/ld.so.cache ]]; then
  say "making the root's library cache"
  echo 'include /etc/ld.so.conf.d/*.conf' >"$WINE32_ROOT/etc/ld.so.conf"
  ldconfig -r "$WINE32_ROOT"
fi

# A copy, not a link: wine64 looks beside its real path for the 32-bit loader.
if ! cmp -s /usr/lib/wine/wine64 "$WINE32_LOADER"; then
  say "copying wine64 beside the root's 32-bit wine"
  cp /usr/lib/wine/wine64 "$WINE32_LOADER"
fi

if [[ ! -e $WINE32_BINFMT/register ]]; then
  say "mounting binfmt_misc"
  mount -t binfmt_misc binfmt_misc "$WINE32_BINFMT" 2>/dev/null || skip "cannot mount binfmt_misc (not permitted here)"
fi
if ! grep -qx enabled "$WINE32_BINFMT/$WINE32_BINFMT_NAME" 2>/dev/null; then
  say "registering qemu-i386-static for i386 programs"
  # F: the emulator is opened now, so it is found inside any root or namespace.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":$WINE32_BINFMT_NAME:M::$magic:$mask:/usr/bin/qemu-i386-static:F" >"$WINE32_BINFMT/register" 2>/dev/null ||
    skip "cannot register qemu-i386-static with binfmt_misc (another handler for i386, or not permitted)"
fi

((did)) || echo "kit deps32: everything in place"
