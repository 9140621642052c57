#!/usr/bin/env bash
# Prints how long each step of the Wine setup in scripts/wine-env.sh takes on this machine (not a test).
#
# Usage: tests/wine/timings.sh [--fresh]   --fresh also times building a template from nothing (in a scratch
# place, the shared build/wine-template is left alone). Needs build/wine-smoke/kd215-smoke.exe (run smoke.sh once).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/wine-env.sh"

scratch=$(mktemp -d "$KD_BUILD/wine-timings.XXXXXX")
trap 'kd_wine_cleanup; rm -rf "$scratch"' EXIT
exe=$KD_BUILD/wine-smoke/kd215-smoke.exe
[[ -f $exe ]] || { echo "build $exe first: bash tests/wine/smoke.sh" >&2; exit 1; }

# measure LABEL COMMAND...: runs COMMAND in this shell and prints its wall time.
measure() {
  local label=$1 start end
  shift
  start=$(date +%s.%N)
  "$@" >/dev/null || true # the figure is what counts here, not the outcome
  end=$(date +%s.%N)
  awk -v label="$label" -v t="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" \
    'BEGIN { printf "%-44s %6.2f s\n", label, t }'
}

if [[ ${1:-} == --fresh ]]; then
  KD_WINE_TEMPLATE=$scratch/template measure "template prefix, built from nothing" kd_wine_template 2>/dev/null
fi
measure "template prefix, already there" kd_wine_template
measure "private prefix (cp -a of the template)" kd_wine_prefix "$scratch/prefix"
measure "ports COM1..COM4 (reg import + restart)" kd_wine_ports "$scratch/prefix" COM1=absent COM2=absent COM3=idle COM4=absent
measure "Xvfb start" kd_xvfb_start
measure "Polish locale (built once, then cached)" kd_polish_locale
measure "exe start to exit, no wineserver running" wine "$exe" 0 COM1
# the wineserver stays 3 s after its last process ends (or longer with wineserver -p)
measure "exe start to exit, wineserver still running" wine "$exe" 0 COM1
measure "screenshot (import, 1024x768)" kd_screenshot "$scratch/shot.png"
measure "clean-up (wineserver -k, Xvfb stop)" kd_wine_cleanup
echo "prefix size: $(du -sh "$scratch/prefix" | cut -f1); load average: $(cut -d' ' -f1-3 /proc/loadavg)"
