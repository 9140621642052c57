#!/usr/bin/env bash
# Runs kd215-serial-check.exe under Wine: a silent pty as COM10 and kd215-sim as COM12 (a two-digit
# port, which opens only through the \\.\ prefix).
# Usage: serial_wine_check.sh KD215_SERIAL_CHECK_EXE KD215_SIM
set -u
exe=${1:?usage: serial_wine_check.sh KD215_SERIAL_CHECK_EXE KD215_SIM}
sim=${2:?usage: serial_wine_check.sh KD215_SERIAL_CHECK_EXE KD215_SIM}
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

work=$KD_BUILD/wine-serial-check
mkdir -p "$work"
sim_pid=
finish() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  kd_wine_cleanup
}
trap finish EXIT

kd_wine_prefix "$work/prefix" || exit 1
"$sim" --link "$work/controller" --quiet &
sim_pid=$!
for ((i = 0; i < 100; i++)); do
  [[ -L $work/controller ]] && break
  sleep 0.05
done
[[ -L $work/controller ]] || { echo "kd215-sim did not create $work/controller" >&2; exit 1; }
kd_wine_ports "$work/prefix" COM10=idle COM12="$work/controller" || exit 1
wine "$exe" COM12 COM10
