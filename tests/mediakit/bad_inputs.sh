#!/usr/bin/env bash
# mediakit on bad input, one row per class: each row names the exit code and a
# piece of the one-line message it must give, runs under a time-out (a hang is
# a failure), and afterwards nothing it must not touch has changed: the tree,
# a FIFO, a device node and symbolic links given as output, a file that two
# outputs name.
#   bad_inputs.sh MEDIAKIT SAMPLE_DISC EMBEDDED_LISTING EMBEDDED_MANIFEST WORK_FOLDER
set -uo pipefail
mediakit=$1 disc=$2 listing=$3 manifest=$4 work=$5
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# row EXIT "message piece" command...
row() {
  local want=$1 says=$2; shift 2
  timeout 20 "$@" >"$work/out.txt" 2>&1
  local got=$?
  if [[ $got -ne $want ]]; then
    fail "$*: exit $got, expected $want"; cat "$work/out.txt"
  elif ! grep -qF -- "$says" "$work/out.txt"; then
    fail "$*: does not say '$says'"; cat "$work/out.txt"
  elif [[ " $* " == *" verify "* && $want -eq 2 && $(wc -l <"$work/out.txt") -ne 1 ]]; then
    fail "$*: more than one line"; cat "$work/out.txt"
  fi
}
snapshot() { (cd "$work/tree" && find . -printf '%p %y %s %m\n' | sort && find . -type f -exec md5sum {} + | sort); }

rm -rf "$work" && mkdir -p "$work"
cp -a "$disc" "$work/tree" && chmod -R u+w "$work/tree"
mkfifo "$work/tree/Help/pipe" "$work/fifo"
ln -s "$work/linked.md5" "$work/link.md5"
ln -s "$work/fifo" "$work/fifo-link"
printf 'keep\r\n' >"$work/same.id"
ln -s "$work/same.id" "$work/same-link.id"
ln "$work/tree/Help/index.htm" "$work/hard.htm"
device=""
if mknod "$work/full" c 1 7 2>/dev/null; then device=$work/full; else echo "not root: the device-node row uses /dev/full itself"; device=/dev/full; fi
before=$(snapshot)

head -c 6000 "$listing" >"$work/cut.bin"
{ cat "$listing"; printf 'x'; } >"$work/trailing.bin"
{ printf '\0\0\0\0'; tail -c +5 "$listing"; } >"$work/root-index.bin"
awk 'NR == 3 { print tolower($0); next } { print }' "$manifest" >"$work/lower.md5"
{ printf '\xef\xbb\xbf'; cat "$manifest"; } >"$work/bom.md5"
{ cat "$manifest"; head -c 2100 /dev/zero | tr '\0' 'x'; printf '\r\n'; } >"$work/long.md5"
: >"$work/empty.md5"
printf '\\Help\\pipe\t%s\r\n' D41D8CD98F00B204E9800998ECF8427E >"$work/pipe.md5"
# A library without the data, its package, and that package without its custom actions.
"$(dirname "$0")/library_package.sh" "$work/bare" bare x64 >"$work/bare.log" 2>&1 || { fail "building the stand-in"; cat "$work/bare.log"; }
cp "$work/bare/bare.msi" "$work/no-action.msi" && msibuild "$work/no-action.msi" -q "DELETE FROM CustomAction"

# listing
row 2 "corrupt at byte 5784" "$mediakit" listing show "$work/cut.bin"
row 2 "data follows the last folder record" "$mediakit" verify "$disc" --listing "$work/trailing.bin"
row 2 "corrupt at byte 0" "$mediakit" verify "$disc" --listing "$work/root-index.bin"
row 2 "a folder, not a listing file" "$mediakit" listing show "$work"
# manifest
row 2 "line 3: not a row" "$mediakit" verify "$disc" --manifest "$work/lower.md5"
row 2 "byte-order mark" "$mediakit" verify "$disc" --manifest "$work/bom.md5"
row 2 "line 45: longer than 2047" "$mediakit" verify "$disc" --manifest "$work/long.md5"
row 2 "the manifest is empty" "$mediakit" verify "$disc" --manifest "$work/empty.md5"
row 2 "no such manifest file" "$mediakit" verify "$disc" --manifest "$work/absent.md5"
row 2 "a character device, not a manifest file" "$mediakit" verify "$disc" --manifest /dev/zero
row 2 "no file matches the options" "$mediakit" manifest build "$disc" --include '*.none' -o "$work/none.md5"
# the data a package or a library embeds; each refusal is one line
row 2 "$work/same.id: not an installer package" "$mediakit" verify "$disc" --package "$work/same.id"
row 2 "$work/same.id: the library is not a PE image whose resources can be read: no MZ header" "$mediakit" verify "$disc" --dll "$work/same.id"
row 2 "the library embeds no listing (BIN 101)" "$mediakit" verify "$disc" --dll "$work/bare/bare.dll"
row 2 "its library (Binary row 'VesmarkDll') embeds no listing (BIN 101)" "$mediakit" verify "$disc" --package "$work/bare/bare.msi"
row 2 "the package calls no CheckItems from its Binary table" "$mediakit" verify "$disc" --package "$work/no-action.msi"
row 2 "a FIFO, not a package file" "$mediakit" verify "$disc" --package "$work/fifo"
row 2 "--package or --dll, one of them" "$mediakit" verify "$disc" --package "$work/bare/bare.msi" --listing "$listing"
row 2 "--package or --dll, one of them" "$mediakit" verify "$disc" --package "$work/bare/bare.msi" --dll "$work/bare/bare.dll"
# tree
row 2 "not a folder" "$mediakit" verify "$work/absent" --listing "$listing"
row 2 "\\Help\\pipe: a FIFO, not a regular file" "$mediakit" manifest build "$work/tree" -o "$work/m.md5"
row 2 "\\Help\\pipe: a FIFO, not a regular file" "$mediakit" listing build "$work/tree" -o "$work/l.bin"
row 1 "found nothing: a FIFO, not a regular file (never read)" "$mediakit" verify "$work/tree" --manifest "$work/pipe.md5"
row 1 "extra    \\Help\\pipe  (a FIFO" "$mediakit" verify "$work/tree" --listing "$listing"
# command line and outputs
row 2 "code page 99999 is not known" "$mediakit" listing build "$disc" -o "$work/x.bin" --codepage 99999
row 2 "give --listing FILE" "$mediakit" verify "$disc"
row 2 "required" "$mediakit" manifest build "$disc"
row 2 "a folder; give a file name" "$mediakit" manifest build "$disc" -o "$work"
row 2 "a FIFO; only a regular file is replaced" "$mediakit" listing build "$disc" -o "$work/fifo"
row 2 "a character device; only a regular file is replaced" "$mediakit" manifest build "$disc" -o "$device"
row 2 "a symbolic link to a FIFO; only a regular file is replaced" "$mediakit" discid --product P --id I -o "$work/fifo-link"
row 0 "rows" "$mediakit" manifest build "$disc" -o "$work/link.md5"
row 2 "lies inside $work/tree, which it is made from" "$mediakit" manifest build "$work/tree" -o "$work/tree/m.md5"
row 2 "are one file; give each its own" "$mediakit" discid --product P --id I -o "$work/same.id" --settings "$work/same-link.id"
row 2 "--size: an empty value is not a number" "$mediakit" crypt decrypt --pass x --range '0;5' --size "" "$work/tree/Help/index.htm"
row 2 "'0x4E3' is not a decimal number" "$mediakit" listing build "$disc" -o "$work/x.bin" --codepage 0x4E3
row 2 "the same file as $work/tree/Help/index.htm" "$mediakit" crypt encrypt --pass x --range '0;5' "$work/tree/Help/index.htm" "$work/hard.htm"
row 2 "--pass cannot be written in code page 1252" "$mediakit" crypt encrypt --pass "Ωmega" --range '0;5' "$work/tree/Help/index.htm"
# disc identification: a value the launcher would read otherwise than written
pad() { printf "%${1}s" '' | tr ' ' "$2"; }  # pad COUNT CHARACTER
discid=("$mediakit" discid -o "$work/d.id" --settings "$work/s.ini")
row 2 "--id '$(pad 40 i)' has 40 characters; the launcher reads at most 39" "${discid[@]}" --product P --id "$(pad 40 i)"
row 2 "has 255 characters; the launcher reads at most 254" "${discid[@]}" --product "$(pad 255 p)" --id I
row 2 "--product ' Vesmark' begins with a blank" "${discid[@]}" --product " Vesmark" --id I
row 2 "--id 'VD5 ' ends with a blank" "${discid[@]}" --product P --id "VD5 "
row 2 "--product '\"Vesmark\"' is enclosed in quotes" "${discid[@]}" --product '"Vesmark"' --id I
row 2 "--id must not be empty" "${discid[@]}" --product P --id ""
row 2 "--product 'Ωmega' cannot be written in code page 1252" "${discid[@]}" --product "Ωmega" --id I
row 2 "--template has 1024 characters; the launcher reads at most 1023" "${discid[@]}" --product P --id I --template "/i [%PACKAGE%] $(pad 1009 q)"
row 2 "--transform has 260 characters; the launcher reads at most 259" "${discid[@]}" --product P --id I --transform "$(pad 256 t).mst"
row 2 "'[%PAKAGE%]' is no placeholder the launcher knows" "${discid[@]}" --product P --id I --template "/i [%PAKAGE%]"
row 2 "the launcher reads '[%P]' as [%PACKAGE%]" "${discid[@]}" --product P --id I --template "/i [%P] /qb"
row 0 "wrote $work/exact.ini" "$mediakit" discid --product "$(pad 254 p)" --id "$(pad 39 i)" -o "$work/exact.id" \
  --settings "$work/exact.ini" --transform "$(pad 255 t).mst" --template "/i [%PACKAGE%] [%SRCDIR%][%WINDIR%][%WINSYSDIR%][%TRANSFORM%] [$(pad 960 q)"
# A value's length is its bytes in the code page: 254 letters ä are 254 bytes in 1252, written as such.
umlauts=$(printf 'ä%.0s' {1..254})
row 0 "wrote $work/umlaut.id" "$mediakit" discid --product "$umlauts" --id I -o "$work/umlaut.id"
cmp -s <(head -c 270 "$work/umlaut.id" | tail -c 254) <(printf '\xe4%.0s' {1..254}) || fail "umlaut.id is not in code page 1252"
# README's example: blanks inside are written as they are, the way install_disc_test reads them back.
row 0 "wrote $work/Tarvolen.ini" "$mediakit" discid --product "Vesmark Desktop 5" --id VD5-DISC-1 -o "$work/disk1.id" \
  --settings "$work/Tarvolen.ini" --transform 1031.mst --template '/i "[%PACKAGE%]" TRANSFORMS="[%TRANSFORM%]" /qb'
[[ "$(cat "$work/disk1.id")" == $'[disk]\r\nProduct=Vesmark Desktop 5\r\nId=VD5-DISC-1\r' ]] || fail "disk1.id: $(cat -A "$work/disk1.id")"
grep -qx $'Product=Vesmark Desktop 5\r' "$work/Tarvolen.ini" || fail "Tarvolen.ini does not carry the product as given"

[[ "$(snapshot)" == "$before" ]] || fail "the tree changed"
[[ -p "$work/fifo" ]] || fail "the FIFO given as output is no longer a FIFO"
[[ -c "$device" ]] || fail "the device node given as output is no longer one"
[[ -L "$work/link.md5" && -s "$work/linked.md5" ]] || fail "the link was replaced instead of followed"
[[ -L "$work/fifo-link" && -p "$work/fifo" ]] || fail "the link to the FIFO or the FIFO was replaced"
[[ "$(cat "$work/same.id")" == $'keep\r' && -L "$work/same-link.id" ]] || fail "the file two outputs named changed"
cmp -s "$work/hard.htm" "$work/tree/Help/index.htm" || fail "the hard link's file changed"
ls "$work" | grep -q '^\.' && fail "a temporary file was left behind: $(ls -A "$work" | grep '^\.')"
[[ ! -e "$work/x.bin" && ! -e "$work/none.md5" && ! -e "$work/m.md5" && ! -e "$work/l.bin" && ! -e "$work/d.id" && ! -e "$work/s.ini" && ! -e "$work/tree/m.md5" ]] \
  || fail "a failed command left its output"

rm -rf "$work"
if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "mediakit on bad input: every row as expected"
