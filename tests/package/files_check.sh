#!/usr/bin/env bash
# The packages in dist/, read from their files: each zip holds exactly what it should; both programs carry no
# debug sections, a manifest and the version; the 32-bit programs (which this machine cannot run) are PE32 for
# i386, import only DLLs that Windows 7 has and that the 64-bit ones import too, and carry the same resources;
# the help file holds every page of the guide with its Polish title, and a full-text search index.
# Usage: files_check.sh DIST_DIR VERSION DOCS_DIR
set -u
dist=${1:?usage: files_check.sh DIST_DIR VERSION}
version=${2:?usage: files_check.sh DIST_DIR VERSION DOCS_DIR}
docs=${3:?usage: files_check.sh DIST_DIR VERSION DOCS_DIR}
# Nothing packaged at all is not a fault of the packages: ctest reports the check as skipped (77).
ls "$dist"/Kd215-link-"$version"-*.zip >/dev/null 2>&1 ||
  { echo "SKIP: no Windows packages in $dist (scripts/package.sh win64 win32 makes them)"; exit 77; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# System DLLs of every Windows from 7 on; anything else would have to travel with the programs.
system_dlls=' advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll setupapi.dll shell32.dll user32.dll '

for flavour in win64 win32; do
  zip=$dist/Kd215-link-$version-$flavour.zip
  [[ -f $zip && -f $dist/Kd215-link-$version-setup-$flavour.exe ]] || { fail "$flavour packages missing in $dist"; continue; }
  listed=$(unzip -Z1 "$zip" | grep -v '/$' | grep -v '^pomoc/[^/]*\.\(html\|css\|png\|jpg\|gif\|svg\)$' | sort | tr '\n' ' ')
  [[ $listed == 'CZYTAJ.txt Kd215.chm Kd215.exe kd215ctl.exe ' ]] || fail "$zip holds $listed besides the guide's pages"
  unzip -Z1 "$zip" | grep -q '^pomoc/index\.html$' || fail "$zip has no pomoc/index.html"
  mkdir -p "$work/$flavour" && unzip -q "$zip" Kd215.exe kd215ctl.exe -d "$work/$flavour"
done

for exe in Kd215.exe kd215ctl.exe; do
  for flavour in win64 win32; do
    file=$work/$flavour/$exe
    [[ -f $file ]] || continue
    objdump -h "$file" | grep -q '\.debug' && fail "$flavour $exe has debug sections"
    objdump -p "$file" | awk '/DLL Name:/ { print tolower($3) }' | sort -u >"$file.dlls"
    while read -r dll; do
      [[ $system_dlls == *" $dll "* ]] || fail "$flavour $exe imports $dll"
    done <"$file.dlls"
    x86_64-w64-mingw32-windres -J coff -i "$file" -O rc >"$file.rc" 2>&1 || fail "$flavour $exe: no resources"
    grep -q '^1 24 ' "$file.rc" || fail "$flavour $exe has no manifest"
    grep -q "VALUE \"ProductVersion\", \"$version\"" "$file.rc" || fail "$flavour $exe is not version $version"
  done
  [[ -f $work/win32/$exe ]] || continue
  [[ $(objdump -f "$work/win32/$exe") == *'file format pei-i386'*'architecture: i386'* ]] || fail "win32 $exe is not PE32 for i386"
  cmp -s "$work/win32/$exe.dlls" "$work/win64/$exe.dlls" || fail "$exe: win32 imports $(tr '\n' ' ' <"$work/win32/$exe.dlls"), win64 $(tr '\n' ' ' <"$work/win64/$exe.dlls")"
  cmp -s "$work/win32/$exe.rc" "$work/win64/$exe.rc" || fail "$exe: the win32 and win64 resources differ"
done

# The help file as the viewer reads it: pages and titles in Windows-1250, the code page of Polish help,
# each title also in the topics' strings the viewer lists and searches, and the search index present.
if unzip -q "$dist/Kd215-link-$version-win64.zip" Kd215.chm -d "$work/help" && 7z x -y -o"$work/help/chm" "$work/help/Kd215.chm" >/dev/null; then
  chm=$work/help/chm
  [[ -s $chm/\$FIftiMain ]] || fail "Kd215.chm has no full-text search index"
  tr '\0' '\n' <"$chm/#STRINGS" | iconv -f cp1250 -t utf-8 >"$work/help/titles" 2>/dev/null || fail "Kd215.chm: titles not in Windows-1250"
  for page in "$docs"/*.html; do
    title=$(grep -o '<title>[^<]*</title>' "$page" | sed 's/<[^>]*>//g')
    [[ -f $chm/${page##*/} ]] || fail "Kd215.chm lacks ${page##*/}"
    grep -qxF "$title" "$work/help/titles" || fail "Kd215.chm: the title \"$title\" does not read right in Windows-1250"
  done
else
  fail "Kd215.chm does not extract from the win64 zip"
fi
((failures == 0)) || { echo "$failures package check(s) failed" >&2; exit 1; }
echo "package files checked: $(cd "$dist" && ls Kd215-link-"$version"-*)"
