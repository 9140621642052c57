#!/usr/bin/env bash
# Wine pipeline smoke test: builds the smoke program with MinGW, runs it in a private prefix on its own Xvfb with
# registered COM ports, under C.UTF-8 and under the Polish locale, and checks its report and its screenshots.
#
# Usage: tests/wine/smoke.sh   (outputs in build/wine-smoke/, screenshots in build/screenshots/smoke-*.png)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/wine-env.sh"

for tool in wine Xvfb x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix import compare; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found: run scripts/install-deps.sh" >&2; exit 1; }
done

work=$KD_BUILD/wine-smoke
shots=$KD_BUILD/screenshots
exe=$work/kd215-smoke.exe
failures=0
passes=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }

cleanup() {
  kd_wine_cleanup
  rm -rf "$work/prefix"
}
trap cleanup EXIT

# --- build: x86_64 to run, i686 to prove it compiles (this Wine runs 64-bit programs only) ---------------------
build() {
  local arch=$1 out=$2 sources=("$here/smoke_win32.cpp" "$KD_ROOT"/resources/kd215*)
  local newest
  newest=$(ls -t "${sources[@]}" | head -n1)
  [[ -f $out && $out -nt $newest ]] && return 0
  "$arch-w64-mingw32-windres" -O coff -i "$KD_ROOT/resources/kd215.rc" -o "$work/kd215-res-$arch.o"
  "$arch-w64-mingw32-g++-posix" -std=c++17 -O2 -Wall -Wextra -Werror -static -static-libgcc -static-libstdc++ \
    -mwindows -o "$out" "$here/smoke_win32.cpp" "$work/kd215-res-$arch.o"
}
mkdir -p "$work" "$shots"
build x86_64 "$exe"
build i686 "$work/kd215-smoke-i686.exe"
pass "smoke program built for x86_64 and i686"

# --- a private prefix with four ports: two that are not there, one that never answers, COM3 a live pty --------
kd_wine_prefix "$work/prefix"
kd_wine_ports "$work/prefix" COM1=absent COM2=idle COM3=idle COM4=absent
listed=$(kd_wine_serialcomm | sort | tr '\n' ' ')
if [[ $listed == "COM1 COM2 COM3 COM4 "* ]]; then
  pass "SERIALCOMM lists $listed"
else
  fail "SERIALCOMM lists '$listed', want COM1..COM4 first"
fi

kd_xvfb_start
cd "$work"

# run_windowed NAME ENV...: runs the program with its window under the given environment, takes a screenshot
# of it, closes it, and checks its report and exit code.
run_windowed() {
  local name=$1 out shot pid status i
  shift
  out=$work/$name.out
  shot=$shots/smoke-$name.png
  rm -f "$out" "$work/close-$name" "$shot"
  env "$@" timeout 60 wine "$exe" 30000 COM3 "close-$name" >"$out" 2>"$work/$name.err" &
  pid=$!
  for ((i = 0; i < 400; i++)); do
    grep -q '^window shown' "$out" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if grep -q '^window shown' "$out"; then
    kd_screenshot "$shot"
  else
    fail "$name: the window was never shown"
  fi
  touch "$work/close-$name"
  status=0
  wait "$pid" || status=$?
  if ((status == 0)) && grep -q '^port COM3 opened, settings accepted' "$out"; then
    pass "$name: COM3 opened and took 38400 8N2 ($(grep '^port' "$out"))"
  else
    fail "$name: exit $status, report: $(tr '\n' '|' <"$out") $(head -c 400 "$work/$name.err")"
  fi
}

run_windowed c-utf8 LANG=C.UTF-8 LC_ALL=C.UTF-8
polish_env=$(kd_polish_locale)
# shellcheck disable=SC2086 # the locale helper prints NAME=VALUE words
run_windowed pl $polish_env
if grep -q 'acp 1250$' "$work/pl.out"; then
  pass "pl: the Polish locale gives code page 1250"
else
  fail "pl: code page is not 1250: $(grep '^port' "$work/pl.out")"
fi

# --- the pictures: the window is on screen, and the text renders the same whatever the locale ----------------
im=/usr/bin/convert
[[ -x $im ]] || im=convert
pixel() { "$im" "$1" -format "%[pixel:p{$2,$3}]" info:; }
if [[ -f $shots/smoke-c-utf8.png && -f $shots/smoke-pl.png ]]; then
  # an empty spot of the client area shows the class background
  bg=$(pixel "$shots/smoke-c-utf8.png" 600 300)
  [[ $bg == 'srgb(241,245,247)' ]] && pass "client background is RGB(241, 245, 247)" || fail "client background is $bg"
  # the client picture is drawn at (10, 10) of the client area: its name plate is dark blue
  plate=$(pixel "$shots/smoke-c-utf8.png" 90 102)
  [[ $plate == 'srgb(47,75,99)' ]] && pass "client picture drawn" || fail "no client picture (pixel $plate)"
  # title bar, sample line and buttons (everything above the report line): the same pixels under both locales
  for name in c-utf8 pl; do
    "$im" "$shots/smoke-$name.png" -crop 640x395+0+0 +repage "$work/text-$name.png"
  done
  differing=$(compare -metric AE "$work/text-c-utf8.png" "$work/text-pl.png" null: 2>&1 || true)
  [[ $differing == 0 ]] && pass "Polish text renders identically under both locales" ||
    fail "Polish text differs between the locales ($differing pixels)"
  dark=$("$im" "$shots/smoke-pl.png" -crop 600x26+10+340 +repage -threshold 50% -negate \
    -format '%[fx:int(mean*w*h)]' info:)
  ((dark > 200)) && pass "sample text line is drawn ($dark dark pixels)" || fail "sample text line blank ($dark)"
fi

# --- ports without a controller: quick runs with no window ----------------------------------------------------
check_port() {
  local port=$1 want_status=$2 want=$3 out status=0
  out=$(LANG=C.UTF-8 LC_ALL=C.UTF-8 timeout 30 wine "$exe" 0 "$port" 2>/dev/null) || status=$?
  if ((status == want_status)) && [[ $out == "$want"* ]]; then
    pass "$port: $out"
  else
    fail "$port: exit $status, '$out'; want exit $want_status, '$want'"
  fi
}
check_port COM2 0 "port COM2 opened, settings accepted"               # idle pty: opens, never answers
check_port COM4 3 "port COM4 opened, settings refused (error 1)"      # registered path that does not exist
check_port COM9 2 "port COM9 not opened (error 2)"                    # not registered at all

echo "smoke: $passes passed, $failures failed"
((failures == 0))
