#!/bin/sh
# The manual page reads as Polish: man breaks no word at a line's end, as English hyphenation
# patterns would ("wery-fikacji", "standard-owym").
page=${1:?usage: man_check.sh PAGE}
export LC_ALL=C.UTF-8 MANWIDTH=100
text=$(man -l "$page" 2>/dev/null) || { echo "man_check: man cannot show $page" >&2; exit 1; }
broken=$(printf '%s\n' "$text" | grep -E '[[:alpha:]](‐|-)$')
if [ -n "$broken" ]; then
  echo "man_check: words broken at the line's end:" >&2
  printf '%s\n' "$broken" >&2
  exit 1
fi
echo "man_check: $(printf '%s\n' "$text" | wc -l) lines, no word broken"
