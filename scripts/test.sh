#!/usr/bin/env bash
# Installs what is missing, builds everything (native, fuzz, both Windows targets) and runs every
# test through ctest, so one summary line closes the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

jobs=$(nproc)
configure() {  # dir, extra cmake args...
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -Wno-dev "$@" > "$dir.configure.log" 2>&1 ||
        { cat "$dir.configure.log"; exit 1; }
}
mkdir -p build

echo "== Windows x86_64 and i686 (MinGW-w64)"
for arch in x86_64 i686; do
    configure "build/mingw-$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release
    cmake --build "build/mingw-$arch" -j "$jobs"
done

# The zips and installers the package tests look at, from the two trees just built (a few seconds).
echo "== packages (dist/)"
bash scripts/package.sh

echo "== libFuzzer target (clang)"
CC=clang CXX=clang++ configure build/fuzz -DKD215_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/fuzz -j "$jobs"

echo "== native build and all tests"
configure build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKD215_FUZZ_BINARY="$root/build/fuzz/tests/fuzz/reply_fuzz" \
    -DKD215_WIN64_BUILD="$root/build/mingw-x86_64"
cmake --build build/native -j "$jobs"

# The page and its WebAssembly engine, and the browser suite's pinned npm packages (web.suite,
# bench.web): both skip with the reason when these are missing.
echo "== the page in the browser (Emscripten) and the browser suite's packages"
bash scripts/run-web.sh --build-only
bash tests/web/install.sh

cd build/native
# Benchmarks print figures and depend on how busy the machine is: they run only when asked for
# (scripts/test.sh -L bench -V), never as part of the plain test run.
(($#)) || set -- -LE bench
ctest --output-on-failure -j "$jobs" "$@"
