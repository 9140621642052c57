#!/usr/bin/env bash
# Runs the editor dialog tests under Wine in a private prefix on a private Xvfb display.
# Usage: run_editor_tests.sh EXE LOCALE [gtest options...]   LOCALE: C (C.UTF-8) or pl (pl_PL.UTF-8, code page 1250)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1 locale=$2
shift 2
source "$root/scripts/wine-env.sh" || exit 1

case $locale in
  C) locale_env=(LANG=C.UTF-8 LC_ALL=C.UTF-8) ;;
  pl) read -ra locale_env <<<"$(kd_polish_locale)" || exit 1 ;;
  *) echo "unknown locale '$locale'" >&2; exit 2 ;;
esac

prefix=$KD_BUILD/wine-editors/$locale-$$
trap 'kd_wine_cleanup; rm -rf "$prefix"' EXIT
kd_wine_prefix "$prefix" || exit 1
kd_xvfb_start || exit 1
env "${locale_env[@]}" wine "$exe" "$@"
