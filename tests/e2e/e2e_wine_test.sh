#!/usr/bin/env bash
# Runs the end-to-end suite: Kd215.exe in one private Wine prefix on its own Xvfb, driven by
# kd215-e2e-driver.exe as a user would, against kd215-sim on pseudo-terminals registered as COM ports.
#
# Usage: e2e_wine_test.sh MODE WIN64_BUILD_DIR KD215_SIM [GTEST_ARGS...]
#   MODE  suite  every scenario under LANG=C.UTF-8, then a Polish-locale part, in one prefix
#         c      every scenario under LANG=C.UTF-8 only (GTEST_ARGS such as --gtest_filter=Verify.* pick some)
#         pl     the Polish-locale part only (or what GTEST_ARGS pick)
#         bench  the benchmarks, against another port layout
# Ports: COM1 and COM3 are simulators that stay unplugged (silent lines that log what reaches them), COM2
# is the controller. The bench layout has the controller on COM1 and eight silent lines on COM2..COM9.
# The machine's own serial devices are kept out of the prefix (serial_guard.sh).
# Screenshots land in build/screenshots/e2e/, the simulators' logs and memories and the driver's output
# in build/e2e-wine-MODE/logs/, the files the scenarios save in build/e2e-wine-MODE/files/.
set -u
usage="usage: e2e_wine_test.sh suite|c|pl|bench WIN64_BUILD_DIR KD215_SIM [GTEST_ARGS...]"
mode=${1:?$usage}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=serial_guard.sh
source "$here/serial_guard.sh"
kd_hide_serial_devices "$here/e2e_wine_test.sh" "$@"

winbuild=$(cd "${2:?$usage}" && pwd) || exit 1
sim=$(realpath "${3:?$usage}") || exit 1
shift 3
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"

polish_filter='StartUp.*:Editors.*:Verify.*'
case $mode in
  suite | c | pl) layout=suite ;;
  bench) layout=bench ;;
  *) echo "$usage" >&2; exit 2 ;;
esac

for file in Kd215.exe kd215-e2e-driver.exe kd215-inspect.dll; do
  [[ -f $winbuild/$file ]] || { echo "$winbuild/$file is missing: build the Windows x86_64 tree first" >&2; exit 1; }
done
for tool in wine wineserver Xvfb import; do
  command -v "$tool" >/dev/null || { echo "$tool not found: run scripts/install-deps.sh" >&2; exit 1; }
done

work=$KD_BUILD/e2e-wine-$mode
shots=$KD_BUILD/screenshots/e2e
# The simulators' memories and logs on tmpfs: a memory file on a disk busy with prefix copies can be held
# up past the program's 720 ms wait for an acknowledgement.
lines=/dev/shm/kd215-e2e-$mode-$$
[[ -d /dev/shm && -w /dev/shm ]] || lines=$work/lines
sim_pids=()
watcher_pid=
finish() {
  local pid
  [[ -n $watcher_pid ]] && kill "$watcher_pid" 2>/dev/null && wait "$watcher_pid" 2>/dev/null
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  kd_wine_cleanup
  mkdir -p "$work/logs"
  cp "$lines"/*.log "$lines"/*.bin "$work/logs/" 2>/dev/null
  rm -rf "$lines" "$work/prefix"
}
trap finish EXIT
# Ended from outside (ctest's time-out, Ctrl-C): the clean-up still runs.
trap 'exit 143' TERM INT HUP

rm -rf "$work/files" "$work/requests" "$work/logs" "$lines"
mkdir -p "$work/files" "$work/requests" "$work/logs" "$shots" "$lines"
kd_wine_prefix "$work/prefix" || exit 1

# start_sim NAME [COMMANDS]: a simulator at $lines/NAME with its memory, log and control file there;
# COMMANDS (such as "unplug") are in force before the first byte arrives. NAME must not be a DOS device
# name: Windows opens "com1.log" as the port COM1, whatever the folder.
start_sim() {
  local name=$1 i
  [[ -n ${2:-} ]] && printf '%s\n' "$2" >"$lines/$name.control"
  "$sim" --link "$lines/$name" --memory "$lines/$name.bin" --log "$lines/$name.log" \
    --control "$lines/$name.control" --quiet &
  sim_pids+=($!)
  for ((i = 0; i < 200; i++)); do
    [[ -L $lines/$name && ! -e $lines/$name.control ]] && return 0
    sleep 0.025
  done
  echo "kd215-sim $name did not come up" >&2
  return 1
}

if [[ $layout == suite ]]; then
  start_sim controller && start_sim silent1 unplug && start_sim silent3 unplug || exit 1
  ports=(COM1="$lines/silent1" COM2="$lines/controller" COM3="$lines/silent3")
  port_names=(COM1 COM2 COM3)
else
  start_sim controller || exit 1
  ports=(COM1="$lines/controller")
  port_names=(COM1)
  for n in 2 3 4 5 6 7 8 9; do
    ports+=("COM$n=idle")
    port_names+=("COM$n")
  done
fi
# The template points COM4 at a missing device; the suite wants exactly three ports.
[[ $layout == suite ]] && { wine reg delete 'HKLM\Software\Wine\Ports' /v COM4 /f >/dev/null 2>&1 || exit 1; }
kd_wine_ports "$work/prefix" "${ports[@]}" || exit 1
# A wineserver that stays up until the clean-up: it maps the ports once, and the check below holds.
wineserver -p 2>>"$work/logs/wineserver.txt" || exit 1
kd_drop_foreign_ports "${port_names[@]}" || { echo "refusing to run: the prefix lists ports of this machine" >&2; exit 1; }
echo "ports: ${port_names[*]} (machine's serial devices hidden: $KD215_SERIAL_HIDDEN)"
kd_xvfb_start || exit 1

# shellcheck source=../support/driver_requests.sh
source "$here/../support/driver_requests.sh"
kd_serve_driver_requests

# A driver stuck in a call that never returns is ended, so that the clean-up still runs.
driver_limit=${KD215_E2E_DRIVER_LIMIT:-300}

# run_driver LOCALE FILTER [GTEST_ARGS...]: one run of the driver; its output also goes to logs/.
run_driver() {
  local locale=$1 filter=$2 locale_env
  shift 2
  if [[ $locale == pl ]]; then
    read -r -a locale_env <<<"$(kd_polish_locale)" || return 1
  else
    locale_env=(LANG=C.UTF-8 LC_ALL=C.UTF-8)
  fi
  rm -f "$work"/requests/*
  # In the background, so that a signal to this script is served at once rather than after the driver.
  (
    cd "$work/files" &&
      env "${locale_env[@]}" \
        KD215_EXE="$(winpath "$winbuild/Kd215.exe")" \
        KD215_WORK="$(winpath "$work/files")" \
        KD215_SIM_LOG="$(winpath "$lines/controller.log")" \
        KD215_SIM_MEMORY="$(winpath "$lines/controller.bin")" \
        KD215_SIM_CONTROL="$(winpath "$lines/controller.control")" \
        KD215_E2E_COM1_LOG="$(winpath "$lines/silent1.log")" \
        KD215_E2E_COM3_LOG="$(winpath "$lines/silent3.log")" \
        KD215_E2E_PORTS="${port_names[*]}" \
        KD215_INSPECT_DLL="$(winpath "$winbuild/kd215-inspect.dll")" \
        KD215_SHOTS="$(winpath "$work/requests")" \
        KD215_SHOT_PREFIX="$locale-" \
        timeout -k 10 "$driver_limit" wine "$winbuild/kd215-e2e-driver.exe" --gtest_filter="$filter" "$@"
  ) > >(tee "$work/logs/driver-$locale.txt") 2>&1 &
  local status=0
  wait $! || status=$?
  ((status == 124 || status == 137)) && echo "the driver did not finish within $driver_limit s and was ended" >&2
  return "$status"
}

status=0
case $mode in
  suite)
    run_driver c '-Bench*' "$@" || status=1
    run_driver pl "$polish_filter" "$@" || status=1
    ;;
  c) run_driver c '-Bench*' "$@" || status=1 ;;
  pl) run_driver pl "$polish_filter" "$@" || status=1 ;;
  bench) run_driver c 'Bench*' "$@" || status=1 ;;
esac
echo "screenshots: $shots/   logs: $work/logs/"
exit $status
