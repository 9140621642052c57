#!/usr/bin/env bash
# Renders kd215ctl's report of a known backup in headless Chromium: a screenshot of the page and
# one of each printed A4 sheet, the sheet count, the chart's steps as the browser reads them
# against the backup, and one scene level changed by one, shown and, with --compare, marked.
set -uo pipefail
ctl=${1:?usage: report_check.sh KD215CTL BACKUP SCREENSHOT_DIR}
backup=${2:?usage: report_check.sh KD215CTL BACKUP SCREENSHOT_DIR}
shots=${3:?usage: report_check.sh KD215CTL BACKUP SCREENSHOT_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
complain() { echo "report_check: $*" >&2; failed=1; }
browser() {
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" "$@" 2>/dev/null
}

"$ctl" report "$backup" -o "$work/raport.html" >/dev/null || complain "no report of $backup"
# Self-contained: nothing to fetch, no script to run.
grep -Eqi '(src|href)=|url\(|<script|@import' "$work/raport.html" && complain "the page reaches outside itself"
mkdir -p "$shots"
rm -f "$shots"/*.png
browser --window-size=1000,4300 --hide-scrollbars --screenshot="$shots/raport.png" "file://$work/raport.html" >/dev/null
browser --no-pdf-header-footer --print-to-pdf="$work/raport.pdf" "file://$work/raport.html" >/dev/null
# Header and settings, scenes, program 1, program 2: a sheet each.
sheets=$(pdfinfo "$work/raport.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
[[ $sheets == 4 ]] || complain "printed on ${sheets:-no} A4 sheets, not 4"
pdftoppm -png -r 80 "$work/raport.pdf" "$shots/arkusz" || complain "no picture of the sheets"

# Every step drawn, written back in the backup's own notation, must be the backup's step.
browser --dump-dom "file://$work/raport.html" > "$work/dom.html"
grep -o '<g class="step[^>]*>' "$work/dom.html" |
  sed -E 's/.*data-levels="([^"]*)" data-rise="([0-9]+)" data-duration="([0-9]+)".*/{"levels": [\1], "riseTime": \2, "duration": \3}/' \
  > "$work/drawn"
grep -o '{"levels": \[[^]]*\], "riseTime": [0-9]*, "duration": [0-9]*}' "$backup" > "$work/held"
[[ $(wc -l < "$work/held") == 28 ]] || complain "the backup does not hold 2 x 14 steps"
diff "$work/held" "$work/drawn" >&2 || complain "the chart's steps are not the backup's"
[[ $(grep -o 'data-end-step="[0-9]*"' "$work/dom.html" | tr -dc '0-9\n') == \
   $(grep -o '"endStep": [0-9]*' "$backup" | tr -dc '0-9\n') ]] || complain "end steps differ from the backup"

# Scene 3, channel 5: 151 in the backup, 152 in the copy (59% both, so only the raw value shows it).
sed 's/\[184, 190, 190, 80, 151,/[184, 190, 190, 80, 152,/' "$backup" > "$work/zmieniona.json"
cmp -s "$backup" "$work/zmieniona.json" && complain "the backup has no scene 3 as expected"
"$ctl" report "$work/zmieniona.json" -o "$work/zmieniona.html" >/dev/null
browser --dump-dom "file://$work/zmieniona.html" | grep -q '<td id="scena3-k5"[^>]*><b>59%</b><small class="raw">152<' ||
  complain "scene 3 channel 5 does not show 152"
"$ctl" report --compare "$backup" "$work/zmieniona.json" -o "$work/porownanie.html" >/dev/null
browser --dump-dom "file://$work/porownanie.html" > "$work/compared.html"
grep -q '<td id="scena3-k5" class="diff"[^>]*>.*<small class="other">B: 152 (59%)<' "$work/compared.html" ||
  complain "scene 3 channel 5 is not marked with both values"
[[ $(grep -o 'class="diff"' "$work/compared.html" | wc -l) == 1 ]] || complain "cells marked besides scene 3 channel 5"
browser --window-size=1000,1900 --hide-scrollbars --screenshot="$shots/porownanie.png" "file://$work/porownanie.html" >/dev/null

((failed == 0)) && echo "report_check: $sheets sheets, 28 steps match the backup, the change is marked; pictures in $shots"
exit "$failed"
