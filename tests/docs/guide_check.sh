#!/usr/bin/env bash
# Checks the user guide: every link between its pages and contents files resolves, and each page
# renders in headless Chromium, with a screenshot kept for a look at the Polish letters.
set -uo pipefail
docs=${1:?usage: guide_check.sh DOCS_DIR SCREENSHOT_DIR}
shots=${2:?usage: guide_check.sh DOCS_DIR SCREENSHOT_DIR}
failed=0
complain() { echo "guide_check: $*" >&2; failed=1; }
source "$(dirname "$0")/../support/chromium.sh"

# Relative hrefs, and the "Local" topics of the help contents and index, must name a file of the
# guide and, after a #, an id on that page. Nothing may point outside: the guide ships offline.
for source in "$docs"/*.html "$docs"/*.hhc "$docs"/*.hhk; do
  while read -r link; do
    case $link in *:*) complain "${source##*/}: link outside the guide: $link"; continue ;; esac
    file=${link%%#*}
    target=$docs/${file:-${source##*/}}
    if [[ ! -f $target ]]; then
      complain "${source##*/}: broken link $link"
    elif [[ $link == *#* ]] && ! grep -q "id=\"${link#*#}\"" "$target"; then
      complain "${source##*/}: no anchor for $link"
    fi
  done < <(grep -oE '(href="|"Local" value=")[^"]*' "$source" | sed 's/.*"//')
done

mkdir -p "$shots"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
for page in "$docs"/*.html; do
  name=$(basename "$page" .html)
  grep -q "$name.html" "$docs/kd215.hhc" || complain "$name.html is missing from kd215.hhc"
  shot=$shots/$name.png
  rm -f "$shot"
  headless_chromium "$profile" --window-size=1024,1400 --screenshot="$shot" "file://$(realpath "$page")" \
    >/dev/null 2>&1
  [[ -s $shot ]] || complain "no screenshot of $name.html"
done
((failed == 0)) && echo "guide_check: $(ls "$docs"/*.html | wc -l) pages, links resolve, screenshots in $shots"
exit "$failed"
