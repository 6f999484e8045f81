#!/usr/bin/env bash
# Writes the sample product's disc as it is pressed: the generated tree with
# disk1.id, the launcher and its settings at the root, all read-only.
#   assemble_sample_disc.sh DISC_FOLDER TARVOLEN_EXE MEDIAKIT [SETUP_TEMPLATE]
set -euo pipefail
disc=${1:?usage: assemble_sample_disc.sh DISC_FOLDER TARVOLEN_EXE MEDIAKIT [SETUP_TEMPLATE]}
tarvolen=${2:?missing TARVOLEN_EXE}
mediakit=${3:?missing MEDIAKIT}
template=${4:-/i [%PACKAGE%]}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
# The sample product's identifiers, as its generated disk1.id carries them.
product=KestrelLedger42
disc_id=KL42-DISC1

for tool in "$tarvolen" "$mediakit"; do
  [[ -f "$tool" ]] || { echo "assemble_sample_disc.sh: $tool is missing; build it first (./kit build)" >&2; exit 2; }
done
python3 "$source_dir/examples/media/make_sample_disc.py" "$disc" >/dev/null
chmod u+w "$disc/disk1.id"
"$mediakit" discid --product "$product" --id "$disc_id" -o "$disc/disk1.id" \
  --settings "$disc/Tarvolen.ini" --template "$template" >/dev/null
cp "$tarvolen" "$disc/Tarvolen.exe"
chmod a-w "$disc/disk1.id" "$disc/Tarvolen.ini" "$disc/Tarvolen.exe"
