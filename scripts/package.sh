#!/usr/bin/env bash
# Builds the Windows packages into dist/: for x64 and x86 a zip (the two programs, the guide compiled to
# Kd215.chm and as HTML, CZYTAJ.txt) and an NSIS installer of the same files. Release builds, stripped.
# Usage: scripts/package.sh [win64|win32]...   (both when none is named)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

docs=$root/docs
guide_folder=pomoc  # the guide's HTML inside the packages
[[ -f $docs/CZYTAJ.txt ]] || { echo "package: $docs/CZYTAJ.txt is missing (the guide's branch brings it)" >&2; exit 1; }
ls "$docs"/*.html >/dev/null 2>&1 || { echo "package: no guide pages in $docs" >&2; exit 1; }

# The guide, once for both: compiled in a copy so that chmcmd leaves nothing in the source tree.
help=build/package/help
rm -rf "$help" && mkdir -p "$help" && cp -r "$docs/." "$help/"
project=$(cd "$help" && ls ./*.hhp 2>/dev/null | head -n1)
if [[ -z $project ]]; then
  project=kd215.hhp
  printf '[OPTIONS]\nCompiled file=Kd215.chm\nDefault topic=index.html\nTitle=Kd215 link\nLanguage=0x415\n\n[FILES]\n' \
    >"$help/$project"
  (cd "$help" && ls ./*.html) >>"$help/$project"
fi
# The project names its output relative to itself.
chm=$help/$(sed -n 's/^Compiled file=//p' "$help/$project" | tr -d '\r' | tr '\\' /)
rm -f "$chm" && mkdir -p "$(dirname "$chm")"
(cd "$help" && chmcmd "$project" >chmcmd.log 2>&1) || { cat "$help/chmcmd.log" >&2; exit 1; }
[[ -s $chm ]] || { echo "package: chmcmd wrote no $chm, see $help/chmcmd.log" >&2; exit 1; }

jobs=2
mkdir -p dist
(($#)) || set -- win64 win32
for flavour in "$@"; do
  case $flavour in
    win64) arch=x86_64 ;;
    win32) arch=i686 ;;
    *) echo "package: unknown flavour '$flavour' (win64 or win32)" >&2; exit 2 ;;
  esac
  tree=build/mingw-$arch
  cmake -S . -B "$tree" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$tree.configure.log" 2>&1 || { cat "$tree.configure.log"; exit 1; }
  cmake --build "$tree" -j "$jobs" --target Kd215 kd215ctl
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")

  stage=$root/build/package/$flavour/Kd215-link
  rm -rf "$(dirname "$stage")" && mkdir -p "$stage/$guide_folder"
  cmake --install "$tree" --prefix "$stage" >/dev/null
  "$arch-w64-mingw32-strip" "$stage/Kd215.exe" "$stage/kd215ctl.exe"
  cp "$chm" "$stage/Kd215.chm"
  cp "$docs/CZYTAJ.txt" "$stage/"
  (cd "$docs" && find . -maxdepth 1 -type f ! -name '*.hh[pck]' ! -name CZYTAJ.txt ! -name '.*' \
    -exec cp {} "$stage/$guide_folder/" \;)
  for sub in "$docs"/*/; do  # images and the like beside the pages
    [[ -d $sub ]] && cp -r "$sub" "$stage/$guide_folder/"
  done

  zip=dist/Kd215-link-$version-$flavour.zip
  rm -f "$zip"
  (cd "$stage" && zip -q -r -X "$root/$zip" .)

  # The uninstaller removes exactly the files installed, deepest folders first.
  (cd "$stage" && find . -type f | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
   find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|') >"$stage.uninstall.nsh"
  setup=dist/Kd215-link-$version-setup-$flavour.exe
  makensis -V2 -DVERSION="$version" -DARCH="$flavour" -DSTAGE="$stage" -DICON="$root/resources/kd215.ico" \
    -DOUTFILE="$root/$setup" packaging/kd215.nsi
  echo "package: $zip, $setup"
done
