#!/usr/bin/env bash
# A product named in the disc's own code page, end to end, one row per code
# page: its folder, file and product names and the Files value in that code
# page, mastered with --codepage N into an image, and ./kit try installing it
# under an installer in that ANSI code page: every file under its right name,
# every range of Files decrypting back. The 932 row has names whose second
# bytes are 0x5C, the backslash, and starts the launcher from such a folder.
#   master_code_pages_test.sh WORK_FOLDER [CODEPAGE...]
set -euo pipefail
work=${1:?usage: master_code_pages_test.sh WORK_FOLDER [CODEPAGE...]}
shift
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
mediakit="$source_dir/build/native/bin/mediakit"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[[ ! -e "$work" ]] || { chmod -R u+w "$work"; rm -rf "$work"; }
mkdir -p "$work"

# codepage | product | folder | encrypted file | other file | sub-folder/file | launcher folder
rows='1251|Учёт 5|Данные|Отчёт.txt|Сводка.db|Справка/Файл.htm|C:\kit\Установка
1250|Próba Łódź|Łódź|Łódź.htm|Żółw.dat|Pomoc/Ćma.htm|C:\kit\Instalacja
932|表計算ソフト|表示|ソフト表.txt|能力.dat|申請/予定表.htm|C:\kit\インストール表'

while IFS="|" read -r -u 3 page product folder file other helpfile launcher; do
  [[ $# == 0 || " $* " == *" $page "* ]] || continue
  echo "row: code page $page"
  row="$work/$page"
  tree="$row/product"
  mkdir -p "$tree/$folder/${helpfile%/*}"
  printf 'first file of code page %s\r\n%.0s' "$page" {1..8} >"$tree/$folder/$file"
  printf 'second file\r\n%.0s' {1..8} >"$tree/$folder/$other"
  printf '<html></html>\r\n' >"$tree/$folder/$helpfile"
  cat >"$row/product.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="$product" Language="1033" Version="5.0.0" Manufacturer="$product"
           UpgradeCode="1E2D3C4B-5A69-4788-9A0B-C1D2E3F4A5B6">
    <Package InstallerVersion="200" Compressed="no" InstallScope="perMachine"/>
    <Media Id="1"/>
    <CustomActionRef Id="VesmarkCheckItems"/>
    <Property Id="Files" Value="$file;$other"/>
    <Property Id="RectPyrc" Value="4;40"/>
    <Property Id="ProductNameShort" Value="CodePage$page"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="_DBASE_" Name="$folder" SourceName="$folder">
          <Component Id="VesmarkEncryptedFiles" Guid="2F3E4D5C-6B7A-4899-8A1B-D2E3F4A5B6C7">
            <File Id="first" Name="$file" Source="\$(var.Disc)/$folder/$file"/>
            <File Id="second" Name="$other" Source="\$(var.Disc)/$folder/$other"/>
            <RemoveFile Id="first.anew" Name="$file" On="install"/>
            <RemoveFile Id="second.anew" Name="$other" On="install"/>
          </Component>
          <Directory Id="help" Name="${helpfile%/*}">
            <Component Id="Help" Guid="3A4F5E6D-7C8B-49AA-9B2C-E3F4A5B6C7D8">
              <File Id="help" Name="${helpfile#*/}" Source="\$(var.Disc)/$folder/$helpfile"/>
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1" Absent="disallow">
      <ComponentRef Id="VesmarkEncryptedFiles"/><ComponentRef Id="Help"/>
    </Feature>
  </Product>
</Wix>
WXS
  rc=0
  "$source_dir/tools/kitcmd/master.py" "$tree" --product "CodePage$page" --id "CP$page-DISC1" \
    --codepage "$page" --out "$row/dist" --package "$row/product.wxs" --iso "$row/dist/disc.iso" \
    >"$row/master.out" 2>&1 || rc=$?
  tail -n 4 "$row/master.out"
  [[ $rc == 0 ]] || { fail "$page: master exited $rc"; tail -n 25 "$row/master.out"; continue; }
  for msi in "$row/dist/setup.msi" "$row/dist/wine/setup.msi"; do
    database=$(msiinfo export "$msi" _ForceCodepage | tr -d '\0\r' | sed -n '3s/\t.*//p')
    summary=$(msiinfo export "$msi" _SummaryInformation | tr -d '\r' | awk -F'\t' '$1 == 1 {print $2}')
    [[ "$database $summary" == "$page $page" ]] ||
      fail "$page: $msi has database code page '$database', summary '$summary'"
  done

  "$source_dir/tools/kitcmd/try_disc.py" "$row/dist/disc.iso" --work "$row/try" --mediakit "$mediakit" \
    --launcher-folder "$launcher" >"$row/try.out" 2>&1 || rc=$?
  sed 's/^/  | /' "$row/try.out"
  [[ $rc == 0 ]] || fail "$page: try exited $rc"
  for text in "installer: ANSI code page $page" "there under its name (3 files)" \
              "$file: bytes 4..43 encrypted" "$other: bytes 4..43 encrypted"; do
    grep -qF "$text" "$row/try.out" || fail "$page: the try did not say '$text'"
  done
  # A passed row keeps its output, not its Wine prefixes (most of a gigabyte).
  ((failures)) || { chmod -R u+w "$row/try"; rm -rf "$row/try"; }
done 3<<<"$rows"

if ((failures > 0)); then
  echo "master_code_pages_test: $failures failure(s)"
  exit 1
fi
echo "master_code_pages_test: every row mastered, installed under its name and decrypted back"
