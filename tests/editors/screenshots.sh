#!/usr/bin/env bash
# Opens each editor dialog modally with sample values under Wine on a private Xvfb display and saves a
# screenshot of its window to OUTDIR (SpecEdit.png, ChnlEdit.png, Scenes.png, Program1.png); fails when a
# dialog does not appear or its picture is blank.
# Usage: screenshots.sh EXE OUTDIR [LOCALE]   LOCALE: C (C.UTF-8, the default) or pl (pl_PL.UTF-8)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1 outdir=$2 locale=${3:-C}
source "$root/scripts/wine-env.sh" || exit 1

case $locale in
  C) locale_env=(LANG=C.UTF-8 LC_ALL=C.UTF-8) ;;
  pl) read -ra locale_env <<<"$(kd_polish_locale)" || exit 1 ;;
  *) echo "unknown locale '$locale'" >&2; exit 2 ;;
esac

prefix=$KD_BUILD/wine-editors/shots-$locale-$$
trap 'kd_wine_cleanup; rm -rf "$prefix"' EXIT
kd_wine_prefix "$prefix" || exit 1
kd_xvfb_start || exit 1
mkdir -p "$outdir" || exit 1

# Editor, then an ASCII part of its title to find its window by.
shots=(
  "SpecEdit:ustawianie wsp"
  "ChnlEdit:ustawianie parametr"
  "Scenes:Edycja scen"
  "Program1:Edycja programu 1"
)
status=0
for shot in "${shots[@]}"; do
  which=${shot%%:*} title=${shot#*:}
  timeout 90 env "${locale_env[@]}" wine "$exe" --show "$which" 2000 >"$outdir/$which.log" 2>&1 &
  pid=$!
  if id=$(kd_wait_window "$title" 20); then
    sleep 0.5  # the first paint of every control
    import -display "$DISPLAY" -window "$id" "$outdir/$which.png" || status=1
    colours=$(convert "$outdir/$which.png" -format %k info: 2>/dev/null || echo 0)
    if ((colours < 4)); then
      echo "$which: the screenshot is blank ($colours colours)" >&2
      status=1
    else
      echo "$which: $outdir/$which.png ($colours colours)"
    fi
  else
    status=1
  fi
  wait "$pid" || { echo "$which: the program failed, see $outdir/$which.log" >&2; status=1; }
done
exit $status
