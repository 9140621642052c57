#!/usr/bin/env bash
# Runs the shell tests: Kd215.exe in a private Wine prefix on its own Xvfb, kd215-sim as COM3 beside a
# port with no device (COM1) and a silent line (COM2), driven by kd215-shell-driver.exe.
#
# Usage: shell_wine_test.sh MODE WIN64_BUILD_DIR KD215_SIM [GTEST_ARGS...]
#   MODE  c      every test but the benchmark, under LANG=C.UTF-8 (ANSI code page 1252)
#         pl     the tests that show Polish text, under a Polish locale (ANSI code page 1250)
#         bench  the CPU benchmark, with the simulator answering after 40 ms as a slow line would
# Screenshots go to build/screenshots/shell-MODE-*.png.
set -u
mode=${1:?usage: shell_wine_test.sh MODE WIN64_BUILD_DIR KD215_SIM}
winbuild=$(cd "${2:?usage: shell_wine_test.sh MODE WIN64_BUILD_DIR KD215_SIM}" && pwd) || exit 1
sim=$(realpath "${3:?usage: shell_wine_test.sh MODE WIN64_BUILD_DIR KD215_SIM}") || exit 1
shift 3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"

case $mode in
  c)
    locale_env=(LANG=C.UTF-8 LC_ALL=C.UTF-8)
    filter='-Bench.*'
    sim_args=()
    ;;
  pl)
    read -r -a locale_env <<<"$(kd_polish_locale)" || exit 1
    filter='StartUp.*:Menus.CaptionsIdsAndPopupsAreBuiltFromTheTree:Commands.ExitAsksFirstAndYesEndsTheProgram'
    filter+=':Commands.AboutAndTheMissingHelpFileAreInformation:Ports.WithoutAnOpenPortControllerCommandsAreRefused'
    filter+=':FileStep.SavesUnderAPolishName:FileStep.AShortFileIsAReadErrorAndEndsTheStep:Screens.*'
    sim_args=()
    ;;
  bench)
    locale_env=(LANG=C.UTF-8 LC_ALL=C.UTF-8)
    filter='Bench.*'
    sim_args=(--turnaround-ms 40)
    ;;
  *) echo "unknown mode '$mode' (c, pl or bench)" >&2; exit 2 ;;
esac

for file in Kd215.exe kd215-shell-driver.exe kd215-inspect.dll; do
  [[ -f $winbuild/$file ]] || { echo "$winbuild/$file is missing: build the Windows x86_64 tree first" >&2; exit 1; }
done
for tool in wine Xvfb import; do
  command -v "$tool" >/dev/null || { echo "$tool not found: run scripts/install-deps.sh" >&2; exit 1; }
done

work=$KD_BUILD/shell-wine-$mode
shots=$KD_BUILD/screenshots
sim_pid=
watcher_pid=
full=
finish() {
  [[ -n $watcher_pid ]] && kill "$watcher_pid" 2>/dev/null && wait "$watcher_pid" 2>/dev/null
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  kd_wine_cleanup
  [[ -n $full ]] && umount "$full" 2>/dev/null
  # A prefix is about 700 MB; the logs and files of the run stay for a look afterwards.
  rm -rf "$work/prefix"
}
trap finish EXIT

rm -rf "$work/files" "$work/requests"
mkdir -p "$work/files" "$work/requests" "$shots"
kd_wine_prefix "$work/prefix" || exit 1

# A small file system of its own lets a test fill it and see a save fail half-way. Mounting needs
# root; without it that test is skipped.
full_env=()
if [[ $mode == c ]]; then
  mountpoint -q "$work/full" 2>/dev/null && umount "$work/full"
  mkdir -p "$work/full"
  if mount -t tmpfs -o size=64k kd215-full "$work/full" 2>/dev/null; then
    full=$work/full
    full_env=(KD215_FULL_FOLDER="Z:${full//\//\\}")
  fi
fi

"$sim" --link "$work/controller" --memory "$work/memory.bin" --log "$work/sim.log" --control "$work/control" \
  --quiet "${sim_args[@]}" &
sim_pid=$!
for ((i = 0; i < 100; i++)); do
  [[ -L $work/controller ]] && break
  sleep 0.05
done
[[ -L $work/controller ]] || { echo "kd215-sim did not create $work/controller" >&2; exit 1; }
kd_wine_ports "$work/prefix" COM1=absent COM2=idle COM3="$work/controller" || exit 1
kd_xvfb_start || exit 1

# shellcheck source=../support/driver_requests.sh
source "$here/../support/driver_requests.sh"
kd_serve_driver_requests

cd "$work/files"
env "${locale_env[@]}" \
  KD215_EXE="$(winpath "$winbuild/Kd215.exe")" \
  KD215_WORK="$(winpath "$work/files")" \
  KD215_SIM_LOG="$(winpath "$work/sim.log")" \
  KD215_SIM_MEMORY="$(winpath "$work/memory.bin")" \
  KD215_SIM_CONTROL="$(winpath "$work/control")" \
  KD215_INSPECT_DLL="$(winpath "$winbuild/kd215-inspect.dll")" \
  KD215_SHOTS="$(winpath "$work/requests")" \
  KD215_SHOT_PREFIX="shell-$mode-" \
  "${full_env[@]}" \
  wine "$winbuild/kd215-shell-driver.exe" --gtest_filter="$filter" "$@"
status=$?

if [[ $mode != bench && $# -eq 0 ]]; then
  for name in main menu-akcja; do
    [[ -s $shots/shell-$mode-$name.png ]] || { echo "missing screenshot $shots/shell-$mode-$name.png" >&2; status=1; }
  done
  echo "screenshots: $shots/shell-$mode-*.png"
fi
exit $status
