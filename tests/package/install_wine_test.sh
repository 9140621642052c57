#!/usr/bin/env bash
# The x64 installer under Wine: a silent install into a private prefix, the installed Kd215.exe finding
# kd215-sim on COM3 and showing its firmware, "Opis &Programu" opening the installed guide, the installed
# kd215ctl.exe making a backup, and a silent uninstall that leaves neither files nor shortcuts nor its key.
# Usage: install_wine_test.sh SETUP_EXE WIN64_BUILD_DIR KD215_SIM
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"
kd_hide_serial_devices "$0" "$@"
[[ -f ${1:?usage: install_wine_test.sh SETUP_EXE WIN64_BUILD_DIR KD215_SIM} ]] ||
  { echo "SKIP: no $1 (scripts/package.sh win64 makes it)"; exit 77; }  # ctest: skipped
setup=$(realpath "$1") || exit 1
peek=$(realpath "${2:?}/kd215-peek.exe") || exit 1
KD_SIM=$(realpath "${3:?}") || exit 1

work=$KD_BUILD/package-wine
finish() {
  kd_wine_cleanup
  rm -rf "$work/prefix"  # about 700 MB; the logs stay
}
trap finish EXIT
failures=0
check() {  # DESCRIPTION COMMAND...: one line per check, counted when it fails
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1" >&2; failures=$((failures + 1)); fi
}
wait_until() {  # SECONDS COMMAND...: polls COMMAND every 0.2 s
  local end=$((SECONDS + $1))
  until "${@:2}"; do ((SECONDS < end)) || return 1; sleep 0.2; done
}

rm -rf "$work" && mkdir -p "$work/run"
kd_wine_prefix "$work/prefix" || exit 1
kd_sim_start "$work/controller" || exit 1
kd_wine_ports "$work/prefix" COM1=absent COM2=idle COM3="$work/controller" || exit 1
kd_xvfb_start || exit 1
wineserver -p  # kept running, so that the device map stays as it is now
kd_drop_foreign_ports COM1 COM2 COM3 || exit 1

dir="$WINEPREFIX/drive_c/Program Files/Kd215 link"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kd215 link"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kd215 link'
check "silent install" wine "$setup" /S
for file in Kd215.exe kd215ctl.exe Kd215.chm CZYTAJ.txt Odinstaluj.exe "pomoc/index.html"; do
  check "installed $file" test -f "$dir/$file"
done
check "shortcuts" test -f "$menu/Kd215 link.lnk" -a -f "$menu/Opis programu.lnk"
check "uninstall key" bash -c "wine reg query '$key' /v QuietUninstallString | grep -q 'Odinstaluj.exe\" /S'"

# The installed program, started from elsewhere as a shortcut would; Wine's help viewer reports its
# calls on the htmlhelp channel, which shows which file it was handed.
(cd "$work/run" && WINEDEBUG=-all,+htmlhelp wine "$dir/Kd215.exe" >"$work/program.log" 2>&1) &
status() { [[ $(wine "$peek" status "$1" 2>/dev/null | tr -d '\r') == "$2" ]]; }
check "firmware shown" wait_until 30 status 0 $'\tFW : 1.05'
check "ready" wait_until 10 status 2 $'\tGotowe'
wine "$peek" command 100
# The viewer's window carries the guide's title; the trace shows the call with the installed file.
check "help window" kd_wait_window "Kd215 link .* poradnik" 15
check "HtmlHelpW got the installed guide" grep -q 'HtmlHelpW.*Program Files\\\\Kd215 link\\\\Kd215.chm' "$work/program.log"
kd_screenshot "$KD_BUILD/screenshots/package/help.png"
wine "$peek" close
check "program ended" wait_until 10 bash -c "! wine '$peek' status 0 >/dev/null 2>&1"

out=$(cd "$work/run" && wine "$dir/kd215ctl.exe" backup --port COM3 kopia.json 2>&1)
check "kd215ctl backup" grep -q '"format"' "$work/run/kopia.json"
[[ -f $work/run/kopia.json ]] || echo "$out" >&2

# The uninstaller copies itself away and ends at once; the copy does the work.
check "silent uninstall started" wine "$dir/Odinstaluj.exe" /S
# The copy removes the folder, the shortcuts and the key one after another: wait for each.
check "folder removed" wait_until 30 test ! -e "$dir"
check "shortcuts removed" wait_until 30 test ! -e "$menu"
check "uninstall key removed" wait_until 30 bash -c "! wine reg query '$key' >/dev/null 2>&1"

((failures == 0)) || { echo "$failures installer check(s) failed" >&2; exit 1; }
echo "installer checks passed under Wine"
