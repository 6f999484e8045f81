# Wine prefixes and CD-ROM drives for end-to-end runs; source this file.
# Seen with Wine 8.0: a folder becomes CD-ROM drive X: through a dosdevices
# link plus the drive type in the registry, read again after wineserver -k.

WINE64=/usr/lib/wine/wine64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# wine_prefix DIR: a fresh prefix in DIR, copied from a booted template next
# to it (booting one costs about ten seconds, copying under one).
wine_prefix() {
  local dir=$1 template
  template="$(dirname "$dir")/.prefix-template"
  (
    flock 9
    if [[ ! -f "$template/system.reg" ]]; then
      rm -rf "$template"
      WINEPREFIX="$template" "$WINE64" wineboot -i >/dev/null 2>&1
      WINEPREFIX="$template" wineserver -w
    fi
  ) 9>"$template.lock"
  rm -rf "$dir"
  cp -a "$template" "$dir"
  export WINEPREFIX="$dir"
}

# wine_cdrom LETTER FOLDER: FOLDER becomes CD-ROM drive LETTER: of $WINEPREFIX.
wine_cdrom() {
  local letter=${1,,} folder=$2
  ln -sfn "$(readlink -f "$folder")" "$WINEPREFIX/dosdevices/$letter:"
  "$WINE64" reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
}

# wine_run PROGRAM ARGS...: runs a Windows program and waits until every
# process it started in the prefix has ended; the program's exit code is kept.
wine_run() {
  local rc=0
  "$WINE64" "$@" || rc=$?
  wineserver -w
  return "$rc"
}

# wine_host_path 'C:\x\y': the host path of a Windows path in $WINEPREFIX.
wine_host_path() {
  local path=$1 letter rest
  letter=${path:0:1}
  rest=${path:2}
  rest=${rest//\\//}
  echo "$(readlink -f "$WINEPREFIX/dosdevices/${letter,,}:")$rest"
}
