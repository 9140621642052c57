#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kd215 link need; quiet and quick when all are there.
set -euo pipefail

packages=(
  # native build, unit tests and fuzzing (libclang-rt-14-dev carries libFuzzer)
  cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev
  # the Win32 program, both targets (windres comes with binutils)
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
  # running it headless under Wine, screenshots, GUI driving, the Polish locale
  wine wine64 fonts-wine xvfb imagemagick xdotool x11-utils locales
  # kd215ctl reads and writes JSON with nlohmann-json (header only, for every build)
  nlohmann-json3-dev
  # kd215ctl's manual page, rendered and linted by its install test
  groff-base mandoc
  # the user guide: its check in a headless browser and its HTML Help file (chmcmd)
  chromium fp-utils
  # the report check: sheets counted and pictured from the printed PDF
  poppler-utils
  # the Windows packages: the installer and the zips; the help file's contents checked (7z)
  nsis zip unzip p7zip-full
  # the Debian package: dpkg-shlibdeps and dpkg-buildflags, and lintian to check it
  dpkg-dev lintian
  # Kd215 link w przeglądarce: the engine compiled to WebAssembly (emcmake, em++, binaryen); its
  # picture and icons are converted by ImageMagick above, the page served by python3's http.server,
  # its screenshots taken by node (web/screenshot.mjs) driving the Chromium above
  emscripten python3 nodejs
)

# One dpkg-query for the whole list; names it does not know at all are simply not printed.
declare -A state=()
while read -r name status; do
  state[$name]=$status
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)

missing=()
for p in "${packages[@]}"; do
  [[ ${state[$p]:-} == installed ]] || missing+=("$p")
done
((${#missing[@]} == 0)) && exit 0

if ((EUID != 0)); then
  echo "install-deps: missing packages: ${missing[*]}; run this script as root" >&2
  exit 1
fi

# Recommends stay on: Wine's X11 driver loads libxrender, libxrandr and friends that come only as recommends.
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "${missing[@]}"
