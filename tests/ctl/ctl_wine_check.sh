#!/usr/bin/env bash
# Runs the Windows kd215ctl.exe under Wine against kd215-sim on COM3: the commands an installer
# uses, their exit codes and their Polish output through the Win32 serial backend and port table.
# Usage: ctl_wine_check.sh KD215CTL_EXE KD215_SIM
set -u
exe=${1:?usage: ctl_wine_check.sh KD215CTL_EXE KD215_SIM}
sim=${2:?usage: ctl_wine_check.sh KD215CTL_EXE KD215_SIM}
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
exe=$(kd__abspath "$exe")
sim=$(kd__abspath "$sim")

work=$KD_BUILD/wine-ctl-check
rm -rf "$work/run"
mkdir -p "$work/run"
sim_pid=
finish() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  kd_wine_cleanup
}
trap finish EXIT

failures=0
# check WANT_CODE WANT_TEXT ARGS...: runs kd215ctl.exe ARGS; the exit code must be WANT_CODE and the
# output (stdout and stderr) must contain WANT_TEXT.
check() {
  local want=$1 text=$2 out code
  shift 2
  out=$(cd "$work/run" && wine "$exe" "$@" 2>&1)
  code=$?
  # kd215ctl always says something; exit 1 with no output is wine failing to start it (its
  # wineserver ending on its idle time-out just then). Start it once more.
  if [[ $code == 1 && -z $out ]]; then
    out=$(cd "$work/run" && wine "$exe" "$@" 2>&1)
    code=$?
  fi
  out=${out//$'\r'/}
  if [[ $code != "$want" || $out != *"$text"* ]]; then
    echo "FAIL: kd215ctl $*: exit $code (want $want), output:" >&2
    printf '%s\n' "$out" >&2
    failures=$((failures + 1))
  else
    echo "ok: kd215ctl $* -> $code"
  fi
}

# The controller's memory: a pattern, so that every area differs from an empty one.
for ((i = 0; i < 512; i++)); do printf "\\x$(printf %02x $(((i * 7 + 3) & 255)))"; done >"$work/run/memory.bin"
kd_wine_prefix "$work/prefix" || exit 1
"$sim" --link "$work/run/controller" --memory "$work/run/memory.bin" --control "$work/run/control" --quiet &
sim_pid=$!
for ((i = 0; i < 100; i++)); do
  [[ -L $work/run/controller ]] && break
  sleep 0.05
done
[[ -L $work/run/controller ]] || { echo "kd215-sim did not create $work/run/controller" >&2; exit 1; }
kd_wine_ports "$work/prefix" COM3="$work/run/controller" || exit 1

check 0 COM3 ports
check 0 COM3 probe
check 0 "FW : 1.05" version --port COM3
check 0 kopia.json backup --port COM3 kopia.json
check 0 "Program 1, scena kończąca" show kopia.json
head -c 80 /dev/zero >"$work/run/zero.sce"
check 0 "Zapisano do sterownika: sceny." write scenes --port COM3 --no-verify zero.sce
check 1 "Błąd weryfikacji : scena 1 kanał 1 ( 51 <> 0 )" verify all --port COM3 kopia.json
check 0 "Brak różnic." restore --port COM3 kopia.json
check 0 "Brak różnic." verify all --port COM3 kopia.json
check 2 "potrzebuje --port" read all
check 3 "Błąd otwarcia portu !" version --port COM9
check 5 "nie istnieje !" restore --port COM3 brak.json
printf 'fault nak 9\n' >"$work/run/control.tmp" && mv "$work/run/control.tmp" "$work/run/control"
check 4 "Błąd komunikacji : NAK" version --port COM3 --retries 1

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all kd215ctl checks passed under Wine"
