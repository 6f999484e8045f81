#!/usr/bin/env bash
# ./kit master in one pass on a product folder that is not the sample: nested
# folders, a blank and a non-ASCII letter in names, an empty file and one over
# 64 MiB. The folder must be left exactly as it was, the staged disc and the
# image read back must verify, and ./kit try must install from the image and
# prove that the installer applied the disc's transform, a real one that
# msi_transform made. A disc whose Setup names a junk .mst must fail its try.
# The disc is signed with a certificate the test makes: its launcher, library
# and package (and the twin's) verify against it, the pass phrase is in no
# log, and ./kit try verifies all three before it installs.
#   master_own_tree_test.sh WORK_FOLDER
set -euo pipefail
work=${1:?usage: master_own_tree_test.sh WORK_FOLDER}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[[ ! -e "$work" ]] || { chmod -R u+w "$work"; rm -rf "$work"; }
mkdir -p "$work"
tree="$work/Orbit Planner"
mkdir -p "$tree/Data/Maps/Nord" "$tree/Help Files"
printf 'orbit table\r\n%.0s' {1..40} >"$tree/Data/orbits.db"
printf 'index\r\n' >"$tree/Data/Maps/Nord/Übersicht.txt"
printf '<html></html>\r\n' >"$tree/Help Files/start page.htm"
: >"$tree/Data/empty.dat"
head -c $((64 * 1024 * 1024 + 4097)) /dev/urandom >"$tree/Data/Maps/terrain.bin"
chmod 0444 "$tree/Data/orbits.db"
chmod 0750 "$tree/Data/Maps"
cat >"$work/orbit.wxs" <<'WXS'
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Orbit Planner 5" Language="1033" Version="5.0.0" Manufacturer="Orbit"
           UpgradeCode="3F2A1B0C-9D8E-4F7A-8B6C-5D4E3F2A1B0C">
    <Package InstallerVersion="200" Compressed="no" InstallScope="perMachine"/>
    <Media Id="1"/>
    <CustomActionRef Id="VesmarkCheckItems"/>
    <Property Id="Files" Value="orbits.db"/>
    <Property Id="RectPyrc" Value="8;100"/>
    <Property Id="ProductNameShort" Value="Orbit-5"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="_DBASE_" Name="Orbit Planner" SourceName="Data">
          <Component Id="VesmarkEncryptedFiles" Guid="8A7B6C5D-4E3F-4A1B-9C0D-1E2F3A4B5C6D">
            <File Id="orbits.db" Name="orbits.db" Source="$(var.Disc)/Data/orbits.db"/>
            <File Id="empty.dat" Name="empty.dat" Source="$(var.Disc)/Data/empty.dat"/>
            <RemoveFile Id="orbits.db.anew" Name="orbits.db" On="install"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1" Absent="disallow"><ComponentRef Id="VesmarkEncryptedFiles"/></Feature>
  </Product>
</Wix>
WXS
# A transform of the package's ProductName, made by the installer's own functions.
msi_transform="$source_dir/tools/msi_transform/msi_transform.sh"
table='CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL LOCALIZABLE PRIMARY KEY `Property`)'
msibuild "$work/base.msi" -q "$table"
msibuild "$work/base.msi" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('ProductName', 'Orbit Planner 5')"
cp "$work/base.msi" "$work/german.msi"
msibuild "$work/german.msi" -q "UPDATE \`Property\` SET \`Value\` = 'Orbit Planner 5 (Deutsch)' WHERE \`Property\` = 'ProductName'"
"$msi_transform" generate "$work/base.msi" "$work/german.msi" "$work/orbit-de.mst" || fail "msi_transform made no transform"

# A self-signed code-signing certificate; its pass phrase is read from a file only.
phrase="orbit signing phrase"
echo "$phrase" >"$work/signing-phrase.txt"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.pem" -days 30 \
  -subj "/CN=Orbit Release Signing/O=Orbit" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/signer.pfx" \
  -passout "file:$work/signing-phrase.txt"

snapshot() { (cd "$tree" && find . -printf '%p %m %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }
before=$(snapshot)

out=$("$source_dir/tools/kitcmd/master.py" "$tree" --product "Orbit Planner 5" --id ORBIT5-DISC1 \
      --out "$work/dist" --package "$work/orbit.wxs" --iso "$work/dist/orbit.iso" --label ORBIT5 \
      --transform "$work/orbit-de.mst" --sign "$work/signer.pfx" --sign-password-file "$work/signing-phrase.txt" 2>&1) || true
echo "$out" | tail -n 25
[[ "$(snapshot)" == "$before" ]] || fail "the product folder changed"
for text in "Intel package; carries Vesmark.dll" "BIN 101 equals listing.bin" "the image holds the disc as mastered" \
            "transform orbit-de.mst at the disc's root" "disc/Tarvolen.exe: signed by /CN=Orbit Release Signing/O=Orbit" \
            "Tarvolen.exe, Vesmark.dll and setup.msi (the twin's too) signed by" "Result: mastered and verified."; do
  [[ "$out" == *"$text"* ]] || fail "master did not say '$text'"
done
disc="$work/dist/disc"
for name in disk1.id Tarvolen.exe Tarvolen.ini setup.msi orbit-de.mst "Data/Maps/Nord/Übersicht.txt" "Help Files/start page.htm"; do
  [[ -f "$disc/$name" ]] || fail "the staged disc has no $name"
done
cmp -s "$tree/Data/Maps/terrain.bin" "$disc/Data/Maps/terrain.bin" || fail "the large file was not staged whole"
[[ -z "$(find "$disc" -type f -perm /222)" ]] || fail "a staged file is writable, unlike a pressed one"
grep -qx 'Product=Orbit Planner 5' <(tr -d '\r' <"$disc/disk1.id") || fail "disk1.id does not carry the product"
for line in 'Transform=orbit-de.mst' 'Setup=/i [%PACKAGE%] TRANSFORMS="[%TRANSFORM%]"'; do
  grep -qxF "$line" <(tr -d '\r' <"$disc/Tarvolen.ini") || fail "Tarvolen.ini does not say $line"
done
for name in Tarvolen.exe Vesmark.dll setup.msi; do
  [[ -f "$work/dist/wine/$name" ]] || fail "no 64-bit $name for ./kit try"
done
# Each signature verifies: the image's three, and the twin's.
inspect="$source_dir/tools/kitcmd/inspect_file.py"
verified="verifies against $work/signer.pem"
[[ $("$inspect" --ca "$work/signer.pem" "$work/dist/orbit.iso" | grep -cF "$verified") == 3 ]] ||
  fail "the image's launcher, package and library do not carry three signatures that verify"
for name in Tarvolen.exe Vesmark.dll setup.msi; do
  "$inspect" --ca "$work/signer.pem" "$work/dist/wine/$name" | grep -qF "$verified" ||
    fail "the twin's $name carries no signature that verifies"
done
cmp -s "$work/dist/Tarvolen.exe" "$disc/Tarvolen.exe" || fail "OUT/Tarvolen.exe is not the disc's signed launcher"
[[ -z "$(grep -rlF -- "$phrase" "$work/dist" <(echo "$out"))" ]] || fail "the signing pass phrase is in a log or an output"

# The image installs under the installer, and a changed byte in it is named.
"$source_dir/tests/mastering/try_disc_test.sh" "$work/dist" "$work/dist/orbit.iso" \
  "$source_dir/build/native/bin/mediakit" "$work/try-test" "$work/signer.pem" || fail "./kit try did not prove the image"
grep -qF "applied: ProductName 'Orbit Planner 5' -> 'Orbit Planner 5 (Deutsch)', as the log's property dump gives it" \
  "$work/try-test/intact.out" || fail "the try does not prove the transform's ProductName applied"

# A 23-byte .mst that Setup names is no transform: the install may go through, the try must not.
junk="$work/Junk Planner"
mkdir -p "$junk/Data"
cp "$tree/Data/orbits.db" "$tree/Data/empty.dat" "$junk/Data/"
printf 'not a transform at all\n' >"$junk/1031.mst"
rc=0
"$source_dir/tools/kitcmd/master.py" "$junk" --product "Orbit Planner 5" --id ORBIT5-DISC1 --out "$work/junk-dist" \
  --package "$work/orbit.wxs" --template '/i [%PACKAGE%] TRANSFORMS=1031.mst' >"$work/junk-master.out" 2>&1 || rc=$?
[[ $rc == 0 ]] || { fail "the junk transform's disc: master exited $rc"; tail -n 5 "$work/junk-master.out"; }
rc=0
"$source_dir/tools/kitcmd/try_disc.py" "$work/junk-dist/disc" --work "$work/junk-try" \
  --mediakit "$source_dir/build/native/bin/mediakit" >"$work/junk-try.out" 2>&1 || rc=$?
sed 's/^/  | /' "$work/junk-try.out"
[[ $rc == 1 ]] || fail "the junk transform's try: exit $rc, expected 1"
grep -qF "FAIL: 1031.mst is not a transform" "$work/junk-try.out" || fail "the try does not name 1031.mst as no transform"

if ((failures > 0)); then
  echo "master_own_tree_test: $failures failure(s)"
  exit 1
fi
echo "master_own_tree_test: mastered and signed in one pass, folder untouched, image and signatures verified and tried"
