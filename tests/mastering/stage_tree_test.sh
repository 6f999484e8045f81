#!/usr/bin/env bash
# The names a disc cannot carry, one row per kind, each refused with its
# reason before anything is staged; and what --exclude and the warnings do.
set -euo pipefail
stage=$(cd "$(dirname "$0")/../.." && pwd)/tools/kitcmd/stage_tree.py
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# row NAME MAKE EXIT TEXT [OPTIONS...]: a tree with one good file plus what
# MAKE adds; stage_tree.py must exit EXIT and say TEXT.
row() {
  local name=$1 make=$2 want_rc=$3 want_text=$4
  shift 4
  local tree="$work/$name" out rc=0
  mkdir -p "$tree/Docs"
  printf 'fine\r\n' >"$tree/Docs/readme.txt"
  (cd "$tree" && eval "$make")
  out=$(python3 "$stage" "$tree" "$work/$name-staged" "$@" 2>&1) || rc=$?
  [[ "$rc" == "$want_rc" ]] || fail "$name: exit $rc, expected $want_rc ($out)"
  [[ "$out" == *"$want_text"* ]] || fail "$name: '$out' does not say '$want_text'"
  if [[ "$want_rc" != 0 && -e "$work/$name-staged" ]]; then fail "$name: something was staged"; fi
}

dirs=$(printf 'd%.0s' {1..100})/$(printf 'e%.0s' {1..100})  # E:\ + 201 + \ = 205
wide=$(printf 'あ%.0s' {1..80})  # 160 bytes in code page 932
row device-name       'touch Docs/aux.txt'                  2 'Docs/aux.txt: is a device name'
row device-digit-zero 'touch Docs/com0.log'                 2 'Docs/com0.log: is a device name'
row device-superscript 'touch "Docs/LPT³"'                   2 'Docs/LPT³: is a device name'
row device-console    'touch "Docs/conout\$.txt"'           2 'Docs/conout$.txt: is a device name'
row device-blank-dot  'touch "Docs/nul .tar.gz" "Docs/prn..txt"' 2 '2 name(s) a disc cannot carry'
row device-look-alike 'touch Docs/com10.txt Docs/console.txt Docs/nul_x' 0 'staged 4 files'
row forbidden-char    'touch "Docs/a?b.txt"'                2 'Docs/a?b.txt: holds ?'
row control-char      'touch "Docs/a$(printf "\t")b"'       2 'holds a control character'
row trailing-dot      'touch "Docs/notes."'                 2 'ends with a dot or a blank'
row trailing-blank    'mkdir "Old "'                        2 'Old : ends with a dot or a blank'
row joliet-semicolon  'touch "Docs/notes;v2.txt"'           2 "holds ;, which the disc's Joliet names write as _"
row joliet-beyond-bmp 'touch "Docs/😀.txt"'                 2 'beyond U+FFFF' --codepage 65001
row joliet-long-folder "mkdir $(printf 'f%.0s' {1..104})"   2 "is 104 characters; the disc's Joliet names cut it to 103"
row joliet-long-file  "touch $(printf 'f%.0s' {1..101}).txt" 2 "is 105 characters; the disc's Joliet names cut it to 104"
row joliet-at-limit   "mkdir $(printf 'f%.0s' {1..103}) && touch $(printf 'g%.0s' {1..100}).txt $(printf 'h%.0s' {1..103})" \
                      0 'staged 3 files in 2 folders'
row case-twins        'touch Docs/README.txt'               2 'differs from README.txt only in letter case'
row symbolic-link     'ln -s readme.txt Docs/link.txt'      2 'Docs/link.txt: is a symbolic link'
row fifo              'mkfifo Docs/pipe'                    2 'Docs/pipe: is neither a file nor a folder'
row not-in-code-page  'touch "Docs/Ωmega.txt"'              2 'cannot be written in code page 1252'
row in-code-page-1253 'touch "Docs/Ωmega.txt"'              0 'staged 2 files' --codepage 1253
row in-code-page-1251 'mkdir Документы && touch Документы/Отчёт.txt' 0 'staged 2 files' --codepage 1251
row in-code-page-1250 'touch Docs/Łódź.htm'                 0 'staged 2 files' --codepage 1250
# A folder outside the code page is one refusal, its file another: nothing is taken for a folder.
row folder-not-in-code-page 'mkdir Документы && touch Документы/Отчёт.txt' 2 '2 name(s) a disc cannot carry'
# 表 and ソ end in byte 0x5C, the backslash, in code page 932: a disc carries them.
row 932-backslash-byte 'mkdir 表示 && touch 表示/ソフト.txt'  0 'staged 2 files' --codepage 932
row 932-path-in-bytes "mkdir $wide && touch $wide/$(printf 'y%.0s' {1..96})" 2 'is 260 bytes in code page 932' --codepage 932
row path-too-long     "mkdir -p $dirs && touch $dirs/$(printf 'x%.0s' {1..55})" 2 'over the installer'"'"'s 259'
row path-at-limit     "mkdir -p $dirs && touch $dirs/$(printf 'x%.0s' {1..54})" 0 'staged 2 files'
row reads-back-other  'touch "Docs/〜.txt"'                 2 'reads back as ～.txt in code page 932' --codepage 932
row excluded          'touch "Docs/a?b.txt" Docs/x.tmp'     0 'staged 1 files' --exclude 'a?b.txt' --exclude 'Docs/*.tmp'
row leftovers-warned  'touch Docs/draft.txt~ .hidden'       0 'warning: .hidden: a dot-file'

# What the rule lets through comes back from an image under the same names
# when read as Windows reads it (Joliet, no Rock Ridge).
if command -v xorriso >/dev/null; then
  xorriso -as mkisofs -J -joliet-long -r -o "$work/limit.iso" "$work/joliet-at-limit-staged" >/dev/null 2>&1
  xorriso -osirrox on -read_fs norock -indev "$work/limit.iso" -extract / "$work/limit-read" >/dev/null 2>&1
  [[ "$(cd "$work/limit-read" && find . | sort)" == "$(cd "$work/joliet-at-limit-staged" && find . | sort)" ]] ||
    fail "joliet-at-limit: the image's Joliet names differ from the staged ones"
fi

# swapped NAME VICTIM: VICTIM (a file or a folder) becomes a symbolic link to
# a secret after the names were checked and before the copy: refused, and
# nothing staged, not even the copy begun before it.
swapped() {
  local tree="$work/$1" victim=$2 out rc=0
  mkdir -p "$tree/A/B" "$work/secret"
  printf 'one' >"$tree/A/first.txt"
  printf 'two' >"$tree/A/B/second.txt"
  printf 'secret' >"$work/secret/second.txt"
  out=$(python3 - "$stage" "$tree" "$work/$1-staged" "$victim" "$work/secret" 2>&1 <<'PY'
import os, shutil, sys
stage, tree, target, victim, secret = sys.argv[1:]
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(stage))
import stage_tree as module
scan = module.Stager.scan
def scan_then_swap(self, relative=""):
    scan(self, relative)
    if relative == "":
        path = os.path.join(tree, victim)
        shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        os.symlink(os.path.join(secret, os.path.basename(victim)) if "." in victim else secret, path)
module.Stager.scan = scan_then_swap
sys.argv = ["stage_tree.py", tree, target]
sys.exit(module.main())
PY
) || rc=$?
  [[ "$rc" == 2 ]] || fail "$1: exit $rc, expected 2 ($out)"
  [[ "$out" == *"$victim: was replaced by a symbolic link after its name was checked"* ]] || fail "$1: '$out' does not say why"
  [[ ! -e "$work/$1-staged" ]] || fail "$1: something was staged"
}
swapped file-swapped-for-link A/B/second.txt
swapped folder-swapped-for-link A/B

# A staged tree holds the same bytes, and the folder it came from is left as it was.
tree="$work/intact"
mkdir -p "$tree/A folder/Ünter"
printf 'data' >"$tree/A folder/Ünter/f.dat"
: >"$tree/empty.dat"
chmod 0400 "$tree/empty.dat"
before=$(cd "$tree" && find . -printf '%p %m %s %T@\n' | sort)
python3 "$stage" "$tree" "$work/intact-staged" >/dev/null || fail "intact: refused"
after=$(cd "$tree" && find . -printf '%p %m %s %T@\n' | sort)
[[ "$before" == "$after" ]] || fail "intact: the source folder changed"
cmp -s "$tree/A folder/Ünter/f.dat" "$work/intact-staged/A folder/Ünter/f.dat" || fail "intact: a file differs"
# The folder itself may be given through a symbolic link.
ln -s intact "$work/intact-link"
python3 "$stage" "$work/intact-link" "$work/link-staged" >/dev/null || fail "a folder given through a link was refused"

if ((failures > 0)); then
  echo "stage_tree_test: $failures failure(s)"
  exit 1
fi
echo "stage_tree_test: all rows as expected"
