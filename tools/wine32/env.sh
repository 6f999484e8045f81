# Where the i686 lane keeps its 32-bit Wine, and how a program runs under it;
# source this file (after setting KIT_ROOT to the repository).
#
# 32-bit Wine is not installed system-wide: its Debian packages are unpacked
# into a private root that QEMU's user-mode emulator (registered for i386 ELF
# through binfmt_misc) resolves absolute paths in. A copy of wine64 sits
# beside the root's 32-bit `wine`, since wine64 starts a 32-bit program with
# the loader found beside its own real path.

WINE32_HOME=${WINE32_HOME:-$KIT_ROOT/build/wine32}
WINE32_ROOT=$WINE32_HOME/root
WINE32_DEB_CACHE=${WINE32_DEB_CACHE:-/var/cache/kit-wine32/debs}
WINE32_LOADER=$WINE32_ROOT/usr/lib/wine/wine64
WINE32_I386_DLLS=$WINE32_ROOT/usr/lib/i386-linux-gnu/wine
WINE32_PRELOAD=/usr/lib/i386-linux-gnu/kit/libqemu_fixes.so   # inside the root
WINE32_BINFMT=/proc/sys/fs/binfmt_misc
WINE32_BINFMT_NAME=kit-qemu-i386
# Every Wine start is bounded: a hang fails the step instead of the lane.
WINE32_TIMEOUT=${WINE32_TIMEOUT:-300}

wine32_environment() {
  export QEMU_LD_PREFIX=$WINE32_ROOT
  # The 64-bit side finds its ntdll.so through the first entry, since its
  # copy sits away from the host's Wine; the i386 DLLs through the second.
  export WINEDLLPATH=/usr/lib/x86_64-linux-gnu/wine:$WINE32_I386_DLLS
  export WINESERVER=/usr/lib/wine/wineserver64
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# wine32_missing: prints the first part of the lane that is not in place
# (nothing when all is), so callers can skip with a reason.
wine32_missing() {
  [[ -f $WINE32_ROOT/.complete ]] || { echo "no 32-bit Wine root in $WINE32_ROOT (run ./kit deps32)"; return; }
  [[ -x $WINE32_LOADER ]] || { echo "no wine64 beside the 32-bit loader (run ./kit deps32)"; return; }
  [[ -f $WINE32_ROOT$WINE32_PRELOAD ]] || { echo "no QEMU fault library in the root (run ./kit deps32)"; return; }
  [[ -e $WINE32_BINFMT/register ]] || { echo "binfmt_misc is not mounted (run ./kit deps32 as root)"; return; }
  grep -qx enabled "$WINE32_BINFMT/$WINE32_BINFMT_NAME" 2>/dev/null ||
    echo "qemu-i386-static is not registered for i386 programs (run ./kit deps32 as root)"
}
