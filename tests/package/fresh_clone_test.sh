#!/usr/bin/env bash
# scripts/package.sh from a fresh clone of this work tree (its committed state), with nothing built: the
# Debian flavour all the way to its .deb, the two Windows flavours up to their first build step (guide
# compiled, Release trees configured). Building those two as well would add minutes of MinGW compiling
# that scripts/test.sh already does once; what a fresh clone lacks is in the steps before the compilers.
# Usage: fresh_clone_test.sh SOURCE_TREE
set -u
source_tree=${1:?usage: fresh_clone_test.sh SOURCE_TREE}
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

git clone --quiet --no-hardlinks "$source_tree" "$work/clone" || fail "git clone of $source_tree"
cd "$work/clone"
[[ ! -e build && ! -e dist ]] || fail "the clone already holds build/ or dist/"
bash scripts/package.sh --configure-only win64 win32 >"$work/windows.log" 2>&1 ||
  fail "package.sh win64 win32 on a fresh clone: $(cat "$work/windows.log")"
for arch in x86_64 i686; do
  [[ -f build/mingw-$arch/CMakeCache.txt ]] || fail "build/mingw-$arch not configured: $(cat "$work/windows.log")"
done
[[ -n $(find build/package -name Kd215.chm -size +0) ]] || fail "the guide was not compiled: $(cat "$work/windows.log")"
bash scripts/package.sh deb >"$work/deb.log" 2>&1 || fail "package.sh deb on a fresh clone: $(cat "$work/deb.log")"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/deb/CMakeCache.txt)
deb=dist/kd215ctl_${version}_$(dpkg --print-architecture).deb
dpkg-deb --field "$deb" Package Version >"$work/fields" 2>&1 || fail "no readable $deb: $(cat "$work/deb.log")"
grep -qx "Package: kd215ctl" "$work/fields" && grep -qx "Version: $version" "$work/fields" ||
  fail "$deb names $(cat "$work/fields")"
echo "fresh clone packaged: $deb; win64 and win32 configured and the guide compiled"
