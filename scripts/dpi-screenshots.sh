#!/usr/bin/env bash
# Screenshots of Kd215.exe at 96 and at 144 DPI (Wine's LogPixels) for a look at what a larger system font
# does: the main window, two menus, the three editors and three message boxes (opened through the installer
# test's kd215-peek.exe), into build/screenshots/dpi/. Fails when the DPI did not take: the main window must
# be 800 x 600 scaled by DPI/96. Run by hand after a Windows x86_64 and a native build; not part of the suite.
# Usage: scripts/dpi-screenshots.sh WIN64_BUILD_DIR KD215_SIM
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
winbuild=$(realpath "${1:?usage: dpi-screenshots.sh WIN64_BUILD_DIR KD215_SIM}") || exit 1
sim=$(realpath "${2:?usage: dpi-screenshots.sh WIN64_BUILD_DIR KD215_SIM}") || exit 1
# The serial guard moves to scripts/ with the one Wine suite; either place will do.
guard=$here/../scripts/serial-guard.sh
[[ -f $guard ]] || guard=$here/../tests/e2e/serial_guard.sh
source "$guard"
kd_hide_serial_devices "$0" "$@"
source "$here/wine-env.sh"
work=$KD_BUILD/dpi-shots
shots=$KD_BUILD/screenshots/dpi
sim_pid=
trap '[[ -n $sim_pid ]] && kill $sim_pid; kd_wine_cleanup; rm -rf "$work/prefix"' EXIT
peek() { wine "$winbuild/kd215-peek.exe" "$@"; }
shot() { sleep 1.5; kd_screenshot "$shots/$dpi-$1.png"; }
mkdir -p "$shots"
KD_XVFB_SCREEN=1600x1200x24 kd_xvfb_start || exit 1
for dpi in 96 144; do
  rm -rf "$work" && mkdir -p "$work"
  kd_wine_prefix "$work/prefix" || exit 1
  "$sim" --link "$work/controller" --memory "$work/memory.bin" --quiet &
  sim_pid=$!
  sleep 0.5
  kd_wine_ports "$work/prefix" COM1=absent COM2=idle COM3="$work/controller" || exit 1
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  wine reg query 'HKCU\Control Panel\Desktop' /v LogPixels | grep -q "$(printf '0x%x' "$dpi")" || exit 1
  wineserver -p
  kd_drop_foreign_ports COM1 COM2 COM3 || exit 1
  (cd "$work" && wine "$winbuild/Kd215.exe") &
  window=$(kd_wait_window 'Program komunikacyjny' 20) || exit 1
  sleep 3  # the probe and the version read
  size=$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')
  echo "$dpi DPI: main window $size"
  want=$((800 * dpi / 96))
  [[ $size == "$want"x* || $size == $((want - 2))x* ]] || { echo "the window is $size, not ${want} wide: the DPI did not take" >&2; exit 1; }
  shot main
  xdotool windowfocus --sync "$window" key alt+a; shot menu-akcja; xdotool key Escape Escape
  xdotool key alt+p; shot menu-pomoc; xdotool key Escape Escape
  for editor in 116:common 102:channels 114:scenes; do
    peek command "${editor%%:*}"; shot "editor-${editor#*:}"; xdotool key Escape
  done
  peek command 101; shot about; xdotool key Return
  peek command 100; shot no-help; xdotool key Return
  peek command 106; shot exit; xdotool key Return
  sleep 1
  kill "$sim_pid"; wait "$sim_pid" 2>/dev/null; sim_pid=
  wineserver -k; wineserver -w
done
echo "screenshots: $shots/"
