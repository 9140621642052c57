#!/usr/bin/env bash
# The Wine suite: Kd215.exe in one private prefix on its own Xvfb, driven by kd215-wine-driver.exe as a
# user would, against kd215-sim as COM12 between two silent lines, COM1 and COM3. Two more controllers
# stand by as COM5 (an adapter plugged in at run time) and COM10 (a Bluetooth port): each opens but is
# listed only when a scenario enters it in the device map.
#
# Usage: wine_suite.sh suite|c|pl|bench WIN64_BUILD_DIR KD215_SIM [GTEST_ARGS...]
#   suite  every scenario under C.UTF-8 (code page 1252), then those with Polish text and names under
#          the Polish locale (code page 1250), and the start-up screens of both compared
#   c, pl  one of the two (GTEST_ARGS such as --gtest_filter=Files.* pick scenarios)
#   bench  the benchmark (bench/wine_bench_win32.cpp), with the controller answering after 40 ms
# Screenshots go to build/screenshots/wine-*.png; the lines' logs and the driver's output to
# build/wine-MODE/logs/. The machine's own serial devices are kept out of the prefix (scripts/serial-guard.sh).
set -u
usage="usage: wine_suite.sh suite|c|pl|bench WIN64_BUILD_DIR KD215_SIM [GTEST_ARGS...]"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"
kd_hide_serial_devices "$here/wine_suite.sh" "$@"
mode=${1:?$usage}
winbuild=$(cd "${2:?$usage}" && pwd) || exit 1
KD_SIM=$(realpath "${3:?$usage}") || exit 1
shift 3
[[ $mode =~ ^(suite|c|pl|bench)$ ]] || { echo "$usage" >&2; exit 2; }
for tool in wine wineserver Xvfb import xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool not found: run scripts/install-deps.sh" >&2; exit 1; }
done

work=$KD_BUILD/wine-$mode
shots=$KD_BUILD/screenshots
# The lines' memories and logs on tmpfs: a disk busy with prefix copies can hold a memory write up past
# the program's wait for an acknowledgement.
lines=/dev/shm/kd215-wine-$mode-$$
[[ -w /dev/shm ]] || lines=$work/lines
watcher_pid=
finish() {
  [[ -n $watcher_pid ]] && kill "$watcher_pid" 2>/dev/null && wait "$watcher_pid" 2>/dev/null
  kd_wine_cleanup
  cp "$lines"/*.log "$work/logs/" 2>/dev/null
  rm -rf "$lines" "$work/prefix"
}
trap finish EXIT
trap 'exit 143' TERM INT HUP

rm -rf "$work"
mkdir -p "$work/files" "$work/requests" "$work/logs" "$shots" "$lines"
kd_wine_prefix "$work/prefix" || exit 1
sim_options=()
[[ $mode == bench ]] && sim_options=(--turnaround-ms 40)  # as a slow line answers
kd_sim_start "$lines/controller" "" "${sim_options[@]}" || exit 1
kd_sim_start "$lines/silent1" unplug && kd_sim_start "$lines/silent3" unplug || exit 1
kd_sim_start "$lines/added" && kd_sim_start "$lines/bluetooth" || exit 1
# The template's COM2 and COM4 (missing devices) go: the suite wants its three ports alone.
for port in COM2 COM4; do wine reg delete 'HKLM\Software\Wine\Ports' /v $port /f >/dev/null 2>&1; done
kd_wine_ports "$work/prefix" COM1="$lines/silent1" COM12="$lines/controller" COM3="$lines/silent3" || exit 1
# A wineserver that stays up until the clean-up maps the ports once, so the check below holds.
wineserver -p || exit 1
kd_drop_foreign_ports COM1 COM12 COM3 || { echo "refusing to run: the prefix lists this machine's ports" >&2; exit 1; }
# Devices that open without being listed, as a port does between its plugging in and the device map's update.
ln -sfn "$lines/added" "$WINEPREFIX/dosdevices/com5" && ln -sfn "$lines/bluetooth" "$WINEPREFIX/dosdevices/com10" || exit 1
kd_xvfb_start || exit 1
# shellcheck source=../support/driver_requests.sh
source "$here/../support/driver_requests.sh"
kd_serve_driver_requests

# run_driver LOCALE FILTER [GTEST_ARGS...]: one run of the driver, ended if it hangs.
run_driver() {
  local locale=$1 filter=$2 locale_env
  shift 2
  if [[ $locale == pl ]]; then
    read -r -a locale_env <<<"$(kd_polish_locale)" || return 1
  else
    locale_env=(LANG=C.UTF-8 LC_ALL=C.UTF-8)
  fi
  (
    cd "$work/files" &&
      env "${locale_env[@]}" KD215_EXE="$(winpath "$winbuild/Kd215.exe")" KD215_WORK="$(winpath "$work/files")" \
        KD215_LINE_CONTROLLER="$(winpath "$lines/controller")" KD215_LINE_SILENT1="$(winpath "$lines/silent1")" \
        KD215_LINE_SILENT3="$(winpath "$lines/silent3")" KD215_LINE_ADDED="$(winpath "$lines/added")" \
        KD215_LINE_BLUETOOTH="$(winpath "$lines/bluetooth")" KD215_REQUESTS="$(winpath "$work/requests")" \
        KD215_SHOT_PREFIX="wine-$locale-" \
        timeout -k 10 300 wine "$winbuild/kd215-wine-driver.exe" --gtest_filter="$filter" "$@"
  ) > >(tee "$work/logs/driver-$locale.txt") 2>&1 &
  wait $!
}

status=0
case $mode in
  suite | c) run_driver c '-Bench*' "$@" || status=1 ;;&
  suite | pl) run_driver pl 'StartUp.Probes*:Editors.*:Files.*' "$@" || status=1 ;;&
  bench) run_driver c 'Bench*' "$@" || status=1 ;;
esac
# Polish letters draw the same under both code pages: the title, menu bar and status bar of the
# start-up screens match pixel for pixel.
if [[ $mode == suite && $# -eq 0 ]]; then
  for area in 800x44+0+0 800x22+0+578; do
    for locale in c pl; do convert "$shots/wine-$locale-start.png" -crop "$area" "$work/$locale-$area.png"; done
    differing=$(compare -metric AE "$work/c-$area.png" "$work/pl-$area.png" null: 2>&1)
    [[ $differing == 0 ]] || { echo "the start-up screens differ in $area ($differing pixels)" >&2; status=1; }
  done
  # kd215ctl.exe on the same Win32 serial layer and port list: finds COM12 (opened only as \\.\COM12),
  # backs the controller up and verifies it against the copy.
  ctl() { (cd "$work/files" && LANG=C.UTF-8 timeout 60 wine "$winbuild/tools/kd215ctl/kd215ctl.exe" "$@" 2>&1 | tr -d '\r'); }
  printf 'clear\nplug\n' >"$lines/controller.control"
  # A Bluetooth port listed before the controller is marked and never opened by the probe.
  wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\BthModem0' /t REG_SZ /d COM10 /f >/dev/null 2>&1
  [[ $(ctl ports) == *"COM10  port Bluetooth"* ]] || { echo "kd215ctl ports does not mark the Bluetooth COM10" >&2; status=1; }
  bluetooth_frames=$(grep -c ' RX ' "$lines/bluetooth.log" 2>/dev/null)
  [[ $(ctl probe) == *COM12* ]] || { echo "kd215ctl probe did not find the controller on COM12" >&2; status=1; }
  [[ $(grep -c ' RX ' "$lines/bluetooth.log" 2>/dev/null) == "$bluetooth_frames" ]] || { echo "kd215ctl probe opened the Bluetooth COM10" >&2; status=1; }
  ctl backup --port COM12 kopia.json >/dev/null
  verified=$(ctl verify all --port COM12 kopia.json)
  [[ $verified == *"Brak różnic."* ]] || { echo "kd215ctl backup and verify: $verified" >&2; status=1; }
  # Two COM ports at once, one of them silent: the controller's copy is written, the silent line
  # ends on its own and the table says which is which.
  many=$(ctl backup --port COM12 --port COM1 'kopia-{port}.json')
  [[ $many == *$'\nCOM12 '*gotowe* && $many == *$'\nCOM1 '*"brak sterownika"* && -s "$work/files/kopia-COM12.json" &&
     ! -e "$work/files/kopia-COM1.json" ]] || { echo "kd215ctl backup over COM12 and COM1: $many" >&2; status=1; }
fi
echo "screenshots: $shots/wine-*.png   logs: $work/logs/"
exit $status
