#!/usr/bin/env bash
# The names a disc cannot carry, one row per kind, each refused with its
# reason before anything is staged; and what --exclude and the warnings do.
set -euo pipefail
stage=$(cd "$(dirname "$0")/../.." && pwd)/tools/stage_tree.py
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

long=$(printf 'x%.0s' {1..252})  # E:\Deep\ + 252 = 260
wide=$(printf '表%.0s' {1..84})  # E:\ + 84 + \ + 44 of them: 132 letters, 260 bytes in code page 932
row device-name       'touch Docs/aux.txt'                  2 'Docs/aux.txt: is a device name'
row forbidden-char    'touch "Docs/a?b.txt"'                2 'Docs/a?b.txt: holds ?'
row control-char      'touch "Docs/a$(printf "\t")b"'       2 'holds a control character'
row trailing-dot      'touch "Docs/notes."'                 2 'ends with a dot or a blank'
row trailing-blank    'mkdir "Old "'                        2 'Old : ends with a dot or a blank'
row case-twins        'touch Docs/README.txt'               2 'differs from README.txt only in letter case'
row symbolic-link     'ln -s readme.txt Docs/link.txt'      2 'Docs/link.txt: is a symbolic link'
row fifo              'mkfifo Docs/pipe'                    2 'Docs/pipe: is neither a file nor a folder'
row not-in-code-page  'touch "Docs/Ωmega.txt"'              2 'cannot be written in code page 1252'
row in-code-page-1253 'touch "Docs/Ωmega.txt"'              0 'staged 2 files' --codepage 1253
row folder-not-in-page 'mkdir Файлы && touch Файлы/Łódź.txt Файлы/Файл.txt' 2 '2 name(s) a disc cannot carry' --codepage 1250
row trail-byte-5c-932 'mkdir 表示 && touch 表示/ソフト.txt'  0 'staged 2 files' --codepage 932
row reads-back-other  'touch "Docs/〜.txt"'                 2 'reads back as ～.txt in code page 932' --codepage 932
row path-bytes-932    "mkdir -p ${wide:0:84} && touch ${wide:0:84}/${wide:0:44}" 2 '260 bytes in code page 932' --codepage 932
row path-too-long     "mkdir -p Deep && touch Deep/$long"   2 'over the installer'"'"'s 259'
row path-at-limit     "mkdir -p Deep && touch Deep/${long:1}" 0 'staged 2 files'
row excluded          'touch "Docs/a?b.txt" Docs/x.tmp'     0 'staged 1 files' --exclude 'a?b.txt' --exclude 'Docs/*.tmp'
row leftovers-warned  'touch Docs/draft.txt~ .hidden'       0 'warning: .hidden: a dot-file'

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

if ((failures > 0)); then
  echo "stage_tree_test: $failures failure(s)"
  exit 1
fi
echo "stage_tree_test: all rows as expected"
