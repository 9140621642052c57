#!/usr/bin/env bash
# Builds the packages into dist/: for Windows x64 and x86 a zip (the two programs, the guide compiled to
# Kd215.chm and as HTML, CZYTAJ.txt) and an NSIS installer of the same files; for Debian amd64 a .deb of
# kd215ctl, kd215-sim, the manual page and the bash completion; for any HTTPS host a zip of Kd215 link
# w przeglądarce (index.html and everything it loads at its root). Release builds, stripped.
# Usage: scripts/package.sh [--configure-only] [win64|win32|deb|web]...   (the first three when none is named)
# --configure-only stops each flavour once its Release tree is configured (and the guide compiled): what
# a fresh clone needs before the compilers run, checked quickly by tests/package/fresh_clone_test.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
configure_only=0
if [[ ${1:-} == --configure-only ]]; then configure_only=1; shift; fi
bash scripts/install-deps.sh
jobs=2
# A fresh clone has neither: every step below writes its logs and trees into build/.
mkdir -p build dist
(($#)) || set -- win64 win32 deb

# The Debian package, built by dpkg-deb from a tree of its own with all of Debian's hardening flags;
# its dependencies are the shared libraries the two programs use, as dpkg-shlibdeps names them.
debian_package() {
  local tree=build/deb stage=build/package/deb/root version arch doc
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  cmake -S . -B "$tree" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DKD215_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >"$tree.configure.log" 2>&1 ||
    { cat "$tree.configure.log"; exit 1; }
  ((configure_only)) && { echo "package: $tree configured"; return; }
  cmake --build "$tree" -j "$jobs" --target kd215ctl kd215-sim kd215ctl-docs-files
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
  arch=$(dpkg --print-architecture)
  rm -rf "$(dirname "$stage")" && mkdir -p "$stage/DEBIAN"
  DESTDIR=$root/$stage cmake --install "$tree" --prefix /usr >/dev/null
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/usr/bin/"*
  gzip -9n "$stage/usr/share/man/man1/kd215ctl.1"
  doc=$stage/usr/share/doc/kd215ctl
  mkdir -p "$doc" "$stage/usr/share/lintian/overrides"
  cp packaging/debian/copyright "$doc/"
  sed "s/@VERSION@/$version/" packaging/debian/changelog | gzip -9n >"$doc/changelog.gz"
  # Overrides travel without their comments; packaging/debian/lintian-overrides says why each is there.
  grep -v '^#' packaging/debian/lintian-overrides >"$stage/usr/share/lintian/overrides/kd215ctl"

  # dpkg-shlibdeps reads the package's name from a debian/control; a scratch one beside the stage does.
  local scratch=build/package/deb/shlibs depends
  mkdir -p "$scratch/debian" && printf 'Source: kd215ctl\n\nPackage: kd215ctl\nArchitecture: any\n' >"$scratch/debian/control"
  depends=$(cd "$scratch" && dpkg-shlibdeps -O "$root/$stage/usr/bin/kd215ctl" "$root/$stage/usr/bin/kd215-sim" |
    sed -n 's/^shlibs:Depends=//p')
  [[ -n $depends ]] || { echo "package: dpkg-shlibdeps named no dependencies" >&2; exit 1; }
  sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
    -e "s/@SIZE@/$(du -sk --exclude=DEBIAN "$stage" | cut -f1)/" packaging/debian/control >"$stage/DEBIAN/control"
  find "$stage" -type d -exec chmod 0755 {} + && find "$stage" -type f -exec chmod 0644 {} +
  chmod 0755 "$stage/usr/bin/"*
  (cd "$stage" && find usr -type f -exec md5sum {} + | sort -k2) >"$stage/DEBIAN/md5sums"
  local deb=dist/kd215ctl_${version}_$arch.deb
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
  echo "package: $deb"
}

# The page and its engine as scripts/run-web.sh builds them, zipped with the site's files at the root.
web_package() {
  local version site=build/web/site zip
  bash scripts/run-web.sh --build-only >/dev/null
  version=$(sed -n 's/^project(kd215link VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  [[ -f $site/index.html && -f $site/kd215.wasm && -f $site/sw.js ]] || { echo "package: the page in $site is incomplete" >&2; exit 1; }
  zip=dist/Kd215-link-$version-web.zip
  rm -f "$zip"
  (cd "$site" && zip -q -r -X "$root/$zip" .)
  echo "package: $zip"
}

windows=0
for flavour in "$@"; do
  case $flavour in
    deb) debian_package ;;
    web) web_package ;;
    win64|win32) windows=1 ;;
    *) echo "package: unknown flavour '$flavour' (win64, win32, deb or web)" >&2; exit 2 ;;
  esac
done
((windows)) || exit 0

docs=$root/docs
guide_folder=pomoc  # the guide's HTML inside the packages
[[ -f $docs/CZYTAJ.txt ]] || { echo "package: $docs/CZYTAJ.txt is missing (the guide's branch brings it)" >&2; exit 1; }
ls "$docs"/*.html >/dev/null 2>&1 || { echo "package: no guide pages in $docs" >&2; exit 1; }

# The guide, once for both: compiled in a copy so that chmcmd leaves nothing in the source tree.
help=build/package/help
rm -rf "$help" && mkdir -p "$help" && cp -r "$docs/." "$help/"
# The help viewer reads a Polish help file's titles and search index in Windows-1250, and the
# compiler indexes the pages' bytes as they are: the compiled pages are written in that code page
# (what it lacks, such as arrows, as character references), so titles, text and search agree.
for page in "$help"/*.html; do
  perl -MEncode -0777 -i -pe '$_ = encode("cp1250", decode("UTF-8", $_), Encode::FB_HTMLCREF);
    s/charset=utf-8/charset=windows-1250/gi' "$page"
done
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

for flavour in "$@"; do
  case $flavour in
    win64) arch=x86_64 ;;
    win32) arch=i686 ;;
    *) continue ;;
  esac
  tree=build/mingw-$arch
  cmake -S . -B "$tree" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$tree.configure.log" 2>&1 || { cat "$tree.configure.log"; exit 1; }
  ((configure_only)) && { echo "package: $tree configured"; continue; }
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
