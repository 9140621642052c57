# Sourced by the Wine suite's runner: the requests the driver makes of it through files, and the Windows
# view of a Linux path. Needs $work (the run's folder, holding prefix/ and requests/), $shots (where
# screenshots go) and DISPLAY.

# cpu_ticks: the processor time used so far by Kd215.exe of this prefix and by the prefix's wineserver, as
# "PROGRAM_TICKS WINESERVER_TICKS TICKS_PER_SECOND" read from Linux; "none" when the program is not running.
cpu_ticks() {
  local dir fields program= server=0
  for dir in /proc/[0-9]*; do
    { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$work/prefix" || continue
    # After "pid (comm) ": state is the first field, utime the 12th and stime the 13th.
    read -r -a fields < <(sed 's/^.*) //' "$dir/stat" 2>/dev/null) || continue
    if { tr '\0' '\n' <"$dir/cmdline"; } 2>/dev/null | grep -q 'Kd215\.exe$'; then
      program=$((fields[11] + fields[12]))
    elif { tr '\0' '\n' <"$dir/cmdline"; } 2>/dev/null | head -n1 | grep -q 'wineserver[0-9]*$'; then
      server=$((fields[11] + fields[12]))
    fi
  done
  if [[ -n $program ]]; then echo "$program $server $(getconf CLK_TCK)"; else echo none; fi
}

# kd_serve_driver_requests: answers, in the background, the driver's requests: NAME.req in requests/
# holding "shot" (a screenshot saved as NAME.png), "cpu" (cpu_ticks written to NAME.txt) or "xdotool
# ARGS..." (keys or clicks, with the program's main window focused first); the driver waits until the
# request is gone. Sets watcher_pid, which the caller's clean-up ends.
kd_serve_driver_requests() {
  (
  shopt -s nullglob
  while sleep 0.05; do
    for request in "$work"/requests/*.req; do
      name=$(basename "$request" .req)
      read -r kind args <"$request"
      if [[ $kind == cpu ]]; then
        cpu_ticks >"$work/requests/$name.txt"
      elif [[ $kind == xdotool ]]; then
        # The main window takes the focus as a click on it would; the keys then go where a user's would.
        xdotool search --onlyvisible --name '^Program komunikacyjny Kd215' windowfocus --sync 2>/dev/null
        # shellcheck disable=SC2086 # one word per argument
        xdotool $args || echo "xdotool $args failed" >&2
      else
        kd_screenshot "$shots/$name.png" || echo "screenshot $name failed" >&2
      fi
      rm -f "$request"
    done
  done
) &
  watcher_pid=$!
}

winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
