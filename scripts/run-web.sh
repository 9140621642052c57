#!/usr/bin/env bash
# Kd215 link w przeglądarce: builds the page and its WebAssembly engine (Emscripten, build/web/),
# serves it on 127.0.0.1 at a free port and opens it with the demo controller chosen. With no
# display, headless Chromium takes screenshots at 1280x800 and 390x844 into build/web-shots/.
# Usage: scripts/run-web.sh [--build-only] [--exit-after SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build_only= exit_after=
while (($#)); do
  case $1 in
    --build-only) build_only=yes ;;
    --exit-after) exit_after=${2:?--exit-after needs seconds}; shift ;;
    *) echo "run-web: unknown argument '$1' (--build-only, --exit-after SECONDS)" >&2; exit 2 ;;
  esac
  shift
done

bash scripts/install-deps.sh
# Debian's emscripten ships its system libraries built, in its own frozen cache, so nothing is
# built into a cache here. The machine's node is not Debian's and needs Debian's modules pointed out.
export NODE_PATH=/usr/share/nodejs
site=$root/build/web/site
if [[ ! -f build/web/build.ninja ]]; then
  emcmake cmake -S web -B build/web -G Ninja -DCMAKE_BUILD_TYPE=Release >build/web-configure.log 2>&1 ||
    { cat build/web-configure.log; exit 1; }
fi
cmake --build build/web -j2
echo "run-web: the page is in $site"
[[ -n $build_only ]] && exit 0

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
profile=$(mktemp -d)
server_pid= browser_pid=
finish() {
  trap - EXIT INT TERM
  [[ -n $browser_pid ]] && kill "$browser_pid" 2>/dev/null
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null
  rm -rf "$profile"
}
trap finish EXIT
trap 'exit 130' INT TERM

python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >build/web-server.log 2>&1 &
server_pid=$!
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null && break
  sleep 0.1
done
url="http://127.0.0.1:$port/?port=demo"
echo "run-web: serving $site at http://127.0.0.1:$port/ (the demo controller: $url)"

browser_flags=(--no-sandbox --disable-gpu --disable-background-networking --disable-component-update
               --disable-sync --no-first-run)
if [[ -z ${DISPLAY:-} ]]; then
  shots=$root/build/web-shots
  mkdir -p "$shots"
  for size in 1280x800 390x844; do
    shot=$shots/run-web-$size.png
    # Taken once the status bar shows the demo controller's firmware version.
    node web/screenshot.mjs "$url" "$shot" "${size%x*}" "${size#*x}" \
      --hide-scrollbars "${browser_flags[@]}" --user-data-dir="$(mktemp -d "$profile/$size.XXXX")" 2>build/web-browser.log || { cat build/web-browser.log; exit 1; }
    echo "run-web: no display: screenshot saved to $shot"
  done
  exit 0
fi

chromium "${browser_flags[@]}" --user-data-dir="$profile" --new-window "$url" >build/web-browser.log 2>&1 &
browser_pid=$!
if [[ -n $exit_after ]]; then
  sleep "$exit_after"
  echo "run-web: ended after $exit_after s, as asked"
  exit 0
fi
echo "run-web: press Ctrl-C to end it"
wait "$browser_pid" || true
