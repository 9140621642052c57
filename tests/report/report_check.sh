#!/usr/bin/env bash
# kd215ctl's report of a known backup in headless Chromium: pictures of the page and of each printed
# A4 sheet, the sheet count, the chart's steps against the backup, one scene level changed by one
# marked by --compare; a zeroed controller and a compared pair with a site: every sheet's footer
# numbered "strona N z M" with the site, the end step's label whole inside the sheet.
set -uo pipefail
ctl=${1:?usage: report_check.sh KD215CTL BACKUP SCREENSHOT_DIR}
backup=${2:?usage: report_check.sh KD215CTL BACKUP SCREENSHOT_DIR}
shots=${3:?usage: report_check.sh KD215CTL BACKUP SCREENSHOT_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
complain() { echo "report_check: $*" >&2; failed=1; }
source "$(dirname "$0")/../support/chromium.sh"
browser() { headless_chromium "$work/profile" "$@" 2>/dev/null; }

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

# Every printed sheet of PDF $1 ends with the site and "strona N z M", M its sheet count ($2).
footers() {
  local pages n
  pages=$(pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}')
  [[ $pages == "$2" ]] || complain "${1##*/}: ${pages:-no} sheets, not $2"
  for ((n = 1; n <= ${pages:-0}; n++)); do
    pdftotext -f $n -l $n -layout "$1" - | grep -q "Obiekt: Hala Łódź \"Północ\".*strona $n z $pages\$" ||
      complain "${1##*/}: sheet $n has no footer with the site and \"strona $n z $pages\""
  done
}

# A zeroed controller: no time at all, end step 1 right at the left edge. Its label, in the PDF's
# own words, must stand whole inside the chart, right of the lane names, left of the margin.
sed -E 's/"riseTime": [0-9]+, "duration": [0-9]+/"riseTime": 0, "duration": 0/; s/"endStep": [0-9]+/"endStep": 0/' \
  "$backup" > "$work/zero.json"
"$ctl" report "$work/zero.json" --site 'Hala Łódź "Północ"' -o "$work/zero.html" >/dev/null || complain "no report of a zeroed controller"
browser --no-pdf-header-footer --print-to-pdf="$work/zero.pdf" "file://$work/zero.html" >/dev/null
footers "$work/zero.pdf" 4
pdftotext -f 3 -l 3 -bbox "$work/zero.pdf" - | awk -F'"' '
  />K1</ && !lane { lane = $2 }
  />kończąca:</ && !seen { seen = 1; word = previous; left = start; next }
  seen == 1 { seen = 2; right = $6 }
  { previous = $9; sub(/^>/, "", previous); sub(/<.*/, "", previous); start = $2 }
  END { exit !(lane && word == "Scena" && left >= lane && right <= 595 - 34) }' ||
  complain "program 1's end step label of a zeroed controller crosses the chart's edge"
pdftoppm -png -r 80 -f 3 -l 3 "$work/zero.pdf" "$shots/wyzerowany-program1"

# Scene 3, channel 5: 151 in the backup, 152 in the copy (59% both, so only the raw value shows it).
sed 's/\[184, 190, 190, 80, 151,/[184, 190, 190, 80, 152,/' "$backup" > "$work/zmieniona.json"
"$ctl" report --compare "$backup" "$work/zmieniona.json" -o "$work/porownanie.html" >/dev/null
browser --dump-dom "file://$work/porownanie.html" > "$work/compared.html"
grep -q '<td id="scena3-k5" class="diff"[^>]*><b>59%</b><small class="raw">151</small><small class="other">B: 152 (59%)<' \
  "$work/compared.html" || complain "scene 3 channel 5 is not marked with both values"
[[ $(grep -o 'class="diff"' "$work/compared.html" | wc -l) == 1 ]] || complain "cells marked besides scene 3 channel 5"
browser --window-size=1000,1900 --hide-scrollbars --screenshot="$shots/porownanie.png" "file://$work/porownanie.html" >/dev/null
# After a service visit: the backup before and the zeroed one, with the site, five sheets.
"$ctl" report --compare "$backup" "$work/zero.json" --site 'Hala Łódź "Północ"' --note 'wizyta serwisowa' \
  -o "$work/wizyta.html" >/dev/null
# Sources that differ end in 1, as with diff and verify.
(($? == 1)) || complain "no compared report with a site, or it did not end in 1"
browser --no-pdf-header-footer --print-to-pdf="$work/wizyta.pdf" "file://$work/wizyta.html" >/dev/null
footers "$work/wizyta.pdf" 5
pdftoppm -png -r 80 -f 1 -l 3 "$work/wizyta.pdf" "$shots/wizyta"

((failed == 0)) && echo "report_check: $sheets sheets, 28 steps match the backup, the change is marked, footers numbered, the label whole; pictures in $shots"
exit "$failed"
