#!/usr/bin/env bash
# Runs Kd215.exe under Wine against kd215-sim: installs what is missing, builds the program and the
# simulator, starts the simulator on a pseudo-terminal, registers it as COM3 of a private Wine prefix
# (beside COM1, a port with no device, and COM2, a silent line), and starts the program on $DISPLAY,
# or under Xvfb when there is no display (then a screenshot is saved and its path printed). When the
# program exits, the simulator and any Xvfb started here are ended.
#
# Usage: scripts/run.sh [--exit-after SECONDS]
#   --exit-after SECONDS   end the program after that long (for a look without a display)
# Everything lives under build/run/: the prefix, the simulator's memory (kept between runs), its log
# (build/run/controller.log: every frame on the line) and the screenshot. The machine's own serial
# lines are kept out of the prefix (scripts/serial-guard.sh), so the probe never writes to them.

set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-env.sh
kd_hide_serial_devices "$root/scripts/run.sh" "$@"

exit_after=
while (($#)); do
  case $1 in
    --exit-after) exit_after=${2:?--exit-after needs a number of seconds}; shift 2 ;;
    -h | --help) sed -n '2,/^$/p' "$0" | sed -e '/^$/d' -e 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done

bash scripts/install-deps.sh

echo "== building Kd215.exe (MinGW-w64, x86_64) and kd215-sim"
mkdir -p build
configure() {  # dir, extra cmake args...
  local dir=$1; shift
  [[ -f $dir/build.ninja ]] && return 0
  cmake -S . -B "$dir" -G Ninja -Wno-dev "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
}
configure build/mingw-x86_64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
cmake --build build/mingw-x86_64 --target Kd215
configure build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/native --target kd215-sim

run=$KD_BUILD/run
mkdir -p "$run"
timer_pid=
finish() {
  trap - EXIT INT TERM
  [[ -n $timer_pid ]] && kill "$timer_pid" 2>/dev/null
  kd_wine_cleanup  # the prefix's wineserver, the simulators and our Xvfb, if any
}
trap finish EXIT
trap 'exit 130' INT TERM

echo "== preparing the Wine prefix $run/prefix"
kd_wine_prefix "$run/prefix"
kd_sim_start "$run/controller"
kd_wine_ports "$run/prefix" COM1=absent COM2=idle COM3="$run/controller"
# A wineserver that stays up keeps the port map as checked here.
wineserver -p
kd_drop_foreign_ports COM1 COM2 COM3 COM4
echo "kd215-sim is COM3 (log: $run/controller.log, memory: $run/controller.bin); COM1 has no device, COM2 never answers"

kd_display
headless=
[[ -n $KD_XVFB_PID ]] && headless=yes

echo "== starting Kd215.exe on display $DISPLAY"
started=$SECONDS
(cd "$run" && exec wine "$root/build/mingw-x86_64/Kd215.exe") &
program_pid=$!

if [[ -n $headless ]]; then
  sleep 4
  shot=$run/screenshot.png
  kd_screenshot "$shot" && echo "no display: Kd215.exe runs under Xvfb $DISPLAY; screenshot saved to $shot"
  [[ -z $exit_after ]] && echo "press Ctrl-C to end it"
fi
if [[ -n $exit_after ]]; then
  (sleep "$exit_after" && WINEPREFIX=$run/prefix wineserver -k) &
  timer_pid=$!
fi
status=0
wait "$program_pid" || status=$?
if [[ -n $exit_after ]] && ((SECONDS - started >= exit_after)); then
  echo "Kd215.exe ended after $exit_after s, as asked"
  exit 0
fi
echo "Kd215.exe ended (exit code $status)"
exit "$status"
