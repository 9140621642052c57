# Shell functions to run the Win32 program headless under Wine: template and private prefixes, COM ports, Xvfb,
# the Polish locale, screenshots and clean-up. Source it from bash: `source scripts/wine-env.sh`.
#
# Everything lives under $KD_BUILD (default: build/ of this checkout); nothing touches ~/.wine or the system
# locales. The functions return non-zero with a message on stderr; they never exit the caller's shell.

KD_ROOT=${KD_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
KD_BUILD=${KD_BUILD:-$KD_ROOT/build}
KD_WINE_TEMPLATE=${KD_WINE_TEMPLATE:-$KD_BUILD/wine-template}
# Bump when the template recipe below changes, so existing templates are rebuilt.
KD_WINE_TEMPLATE_RECIPE=1
# A port path that exists nowhere; the template points COM1..COM4 at it (see kd_wine_template).
KD_WINE_ABSENT_PORT=/nonexistent/kd215-no-port

# The simulator that kd_sim_start runs.
KD_SIM=${KD_SIM:-$KD_BUILD/native/sim/kd215-sim}

KD_XVFB_PID=
KD_SIM_PIDS=()
KD_WINE_PREFIXES=()

# kd__log MESSAGE...: one line on stderr, prefixed so that it can be told apart in test output.
kd__log() { echo "wine-env: $*" >&2; }

# kd__abspath PATH: prints PATH made absolute (it need not exist).
kd__abspath() {
  case $1 in
    /*) printf '%s\n' "$1" ;;
    *) printf '%s\n' "$PWD/$1" ;;
  esac
}

# kd__template_id: what the template stamp must say for the template to be current.
kd__template_id() { printf '%s recipe %s\n' "$(wine --version 2>/dev/null)" "$KD_WINE_TEMPLATE_RECIPE"; }

# kd_wine_template: builds the ready template prefix under $KD_WINE_TEMPLATE once; later calls return at once.
# Parallel callers serialise on a lock, and the template only appears, complete, after a rename.
kd_wine_template() {
  local tpl=$KD_WINE_TEMPLATE want
  want=$(kd__template_id)
  [[ -f $tpl/.kd215-template && $(<"$tpl/.kd215-template") == "$want" ]] && return 0
  command -v wineboot >/dev/null || { kd__log "wineboot not found: run scripts/install-deps.sh"; return 1; }
  mkdir -p "$(dirname "$tpl")" || return 1
  (
    flock -x 9 || exit 1
    [[ -f $tpl/.kd215-template && $(<"$tpl/.kd215-template") == "$want" ]] && exit 0
    kd__log "building the Wine template prefix in $tpl (once, a few seconds)"
    rm -rf "$tpl" "$tpl.new"
    export WINEPREFIX=$tpl.new WINEDEBUG=-all
    # No display needed: wineboot runs headless. Mono and Gecko are never used, and winemenubuilder
    # would write menu entries into the user's home.
    WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' env -u DISPLAY wineboot -i >"$tpl.log" 2>&1 ||
      { kd__log "wineboot failed, see $tpl.log"; exit 1; }
    # Wine's own fonts: without them the caption buttons draw as "0 1 r" and Polish letters may be missing.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" || exit 1
    # Managed=N: with no window manager every dialog would otherwise take 2 s to close.
    # ShowCrashDialog=0: a crash prints its backtrace and ends instead of waiting on a dialog nobody sees.
    # COM1..COM4 point at a path that exists nowhere, so the machine's own /dev/ttyS* (which Wine maps to
    # the first free COM numbers by itself) can never become one of the four ports that EnumPorts lists.
    cat >"$tpl.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]
"winemenubuilder.exe"=""

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
"COM1"="$KD_WINE_ABSENT_PORT"
"COM2"="$KD_WINE_ABSENT_PORT"
"COM3"="$KD_WINE_ABSENT_PORT"
"COM4"="$KD_WINE_ABSENT_PORT"
REG
    env -u DISPLAY wine reg import "$tpl.reg" >>"$tpl.log" 2>&1 || { kd__log "reg import failed, see $tpl.log"; exit 1; }
    # The registry reaches the .reg files only when the wineserver ends.
    wineserver -k
    wineserver -w
    echo "$want" >"$WINEPREFIX/.kd215-template"
    mv "$WINEPREFIX" "$tpl"
  ) 9>"$tpl.lock"
}

# kd_wine_prefix DIR: makes DIR a private prefix for one run (a copy of the template, built first if needed) and
# exports WINEPREFIX=DIR and WINEDEBUG=-all. A DIR left by an earlier run is replaced; any other existing DIR is
# refused, and so is ~/.wine.
kd_wine_prefix() {
  local dir
  [[ -n ${1:-} ]] || { kd__log "usage: kd_wine_prefix DIR"; return 2; }
  dir=$(kd__abspath "$1")
  if [[ $dir == "$HOME/.wine" || $dir == "$HOME/.wine/" ]]; then
    kd__log "refusing to use the user's own prefix $dir"
    return 1
  fi
  kd_wine_template || return 1
  if [[ -e $dir ]]; then
    if [[ -f $dir/.kd215-template ]]; then
      WINEPREFIX=$dir wineserver -k 2>/dev/null || true  # fails when none runs
      rm -rf "$dir"
    elif [[ -n $(ls -A "$dir" 2>/dev/null) ]]; then
      kd__log "$dir exists and is not a prefix made here; not touching it"
      return 1
    else
      rmdir "$dir"
    fi
  fi
  mkdir -p "$(dirname "$dir")" || return 1
  # A shared lock: a template being rebuilt is never copied half-way.
  (flock -s 9 && cp -a "$KD_WINE_TEMPLATE" "$dir") 9>"$KD_WINE_TEMPLATE.lock" || {
    kd__log "cannot copy the template to $dir"
    return 1
  }
  export WINEPREFIX=$dir WINEDEBUG=${KD_WINEDEBUG:--all}
  KD_WINE_PREFIXES+=("$dir")
}

# kd_sim_start LINK [COMMANDS [SIM_OPTIONS...]]: starts kd215-sim ($KD_SIM) on a pseudo-terminal reachable as LINK, with its memory,
# log and control file beside it (LINK.bin, LINK.log, LINK.control); COMMANDS (such as "unplug", which makes a
# silent line that still logs what reaches it) are in force before the first byte arrives. Waits for the link;
# the pid goes to KD_SIM_PIDS, which kd_wine_cleanup ends. LINK must not be a DOS device name such as com1.
kd_sim_start() {
  local link i
  [[ -n ${1:-} ]] || { kd__log "usage: kd_sim_start LINK [COMMANDS]"; return 2; }
  link=$(kd__abspath "$1")
  [[ -x $KD_SIM ]] || { kd__log "kd215-sim not found at $KD_SIM: build the native tree"; return 1; }
  mkdir -p "$(dirname "$link")" || return 1
  rm -f "$link"
  [[ -n ${2:-} ]] && printf '%s\n' "$2" >"$link.control"
  "$KD_SIM" --link "$link" --memory "$link.bin" --log "$link.log" --control "$link.control" --quiet "${@:3}" &
  KD_SIM_PIDS+=($!)
  for ((i = 0; i < 200; i++)); do
    [[ -L $link && ! -e $link.control ]] && return 0
    kill -0 "${KD_SIM_PIDS[-1]}" 2>/dev/null || break
    sleep 0.025
  done
  kd__log "kd215-sim did not come up at $link"
  return 1
}

# kd_wine_ports DIR COMn=PATH ...: registers serial ports in the prefix DIR (HKLM\Software\Wine\Ports) and
# restarts its wineserver so that they show in HKLM\HARDWARE\DEVICEMAP\SERIALCOMM. PATH is a device path (a
# simulator's pty link, say) or one of two words:
#   idle    a line that opens and accepts every setting but never answers (kd215-sim unplugged, DIR/ports/line-N)
#   absent  a path where nothing exists: under Wine such a port still opens, but every comm call fails
# COM1..COM4 not named keep the template's absent path. Ports above COM4 are also entered in the list that
# EnumPortsA reads, which holds only COM1..COM4 otherwise.
kd_wine_ports() {
  local dir arg name path n reg
  [[ -n ${1:-} ]] || { kd__log "usage: kd_wine_ports DIR COMn=PATH ..."; return 2; }
  dir=$(kd__abspath "$1")
  shift
  [[ -f $dir/.kd215-template ]] || { kd__log "$dir is not a prefix made by kd_wine_prefix"; return 1; }
  export WINEPREFIX=$dir WINEDEBUG=${WINEDEBUG:--all}
  reg=$dir/ports.reg
  local ports=() listed=()
  for arg in "$@"; do
    name=${arg%%=*}
    path=${arg#*=}
    name=${name^^}
    if [[ $arg != *=* || ! $name =~ ^COM([1-9][0-9]{0,2})$ ]]; then
      kd__log "bad port argument '$arg' (want COMn=PATH)"
      return 2
    fi
    n=${BASH_REMATCH[1]}
    case $path in
      idle)
        path=$dir/ports/line-$n
        kd_sim_start "$path" unplug || return 1
        ;;
      absent) path=$dir/ports/${name,,}-absent ;;
      '') kd__log "empty path for $name"; return 2 ;;
      *) path=$(kd__abspath "$path") ;;
    esac
    path=${path//\\/\\\\}
    ports+=("\"$name\"=\"${path//\"/\\\"}\"")
    ((n > 4)) && listed+=("\"$name:\"=\"9600,n,8,1\"")
  done
  {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
    printf '%s\n' "${ports[@]}"
    if ((${#listed[@]})); then
      printf '\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports]\n'
      printf '%s\n' "${listed[@]}"
    fi
  } >"$reg"
  wine reg import "$reg" >/dev/null 2>"$reg.log" || { kd__log "reg import failed: $(cat "$reg.log")"; return 1; }
  # The mount manager reads the port list only when the wineserver starts.
  wineserver -k || true  # none may be left running
  wineserver -w
}

# kd_wine_serialcomm: prints the COM ports that the current prefix lists in HARDWARE\DEVICEMAP\SERIALCOMM,
# one per line, in the order of their devices.
kd_wine_serialcomm() {
  wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | awk '$2 == "REG_SZ" { print $3 }' | tr -d '\r'
}

# kd_xvfb_start: starts Xvfb (1024x768x24 or $KD_XVFB_SCREEN, no TCP) on a display number it picks itself, exports DISPLAY and
# keeps the pid in KD_XVFB_PID. Xvfb ends with the shell that started it (for a subshell: with the subshell).
kd_xvfb_start() {
  local fdfile n i
  command -v Xvfb >/dev/null || { kd__log "Xvfb not found: run scripts/install-deps.sh"; return 1; }
  fdfile=$(mktemp) || return 1
  # -displayfd lets the server take the first free number, so parallel runs never collide; the death signal
  # ends it with this shell even when the shell is killed before it can clean up.
  setpriv --pdeathsig TERM Xvfb -displayfd 3 -nolisten tcp -screen 0 "${KD_XVFB_SCREEN:-1024x768x24}" 3>"$fdfile" >/dev/null 2>&1 &
  KD_XVFB_PID=$!
  for ((i = 0; i < 200; i++)); do
    n=$(head -n1 "$fdfile")
    [[ -n $n ]] && break
    kill -0 "$KD_XVFB_PID" 2>/dev/null || break
    sleep 0.025
  done
  rm -f "$fdfile"
  if [[ -z $n ]]; then
    kd__log "Xvfb did not start"
    kd_xvfb_stop
    return 1
  fi
  export DISPLAY=:$n
}

# kd_xvfb_stop: stops the Xvfb that kd_xvfb_start started, if any.
kd_xvfb_stop() {
  [[ -n $KD_XVFB_PID ]] || return 0
  kill "$KD_XVFB_PID" 2>/dev/null && wait "$KD_XVFB_PID" 2>/dev/null
  KD_XVFB_PID=
  return 0
}

# kd_display: makes sure DISPLAY names a usable X display: keeps one that is set and answers (a developer's
# desktop), otherwise starts Xvfb. Used by the run command; tests call kd_xvfb_start to always have their own.
kd_display() {
  if [[ -n ${DISPLAY:-} ]] && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    return 0
  fi
  kd_xvfb_start
}

# kd_polish_locale: builds a pl_PL.UTF-8 locale under $KD_BUILD/locale once (the system's locales stay as they
# are) and prints the environment that selects it, for `env $(kd_polish_locale) wine ...`. Wine then takes
# code page 1250 as the ANSI code page.
kd_polish_locale() {
  local dir=$KD_BUILD/locale
  if [[ ! -f $dir/pl_PL.UTF-8/LC_CTYPE ]]; then
    mkdir -p "$dir" || return 1
    (
      flock -x 9 || exit 1
      [[ -f $dir/pl_PL.UTF-8/LC_CTYPE ]] && exit 0
      rm -rf "$dir/pl_PL.UTF-8.new"
      # localedef exits 1 on mere warnings; the files it wrote are what counts.
      localedef -i pl_PL -f UTF-8 "$dir/pl_PL.UTF-8.new" >"$dir/localedef.log" 2>&1
      [[ -f $dir/pl_PL.UTF-8.new/LC_CTYPE ]] || { cat "$dir/localedef.log" >&2; exit 1; }
      mv "$dir/pl_PL.UTF-8.new" "$dir/pl_PL.UTF-8"
    ) 9>"$dir.lock" || { kd__log "cannot build the pl_PL.UTF-8 locale"; return 1; }
  fi
  printf 'LOCPATH=%s LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8\n' "$dir"
}

# kd_screenshot FILE: saves the whole screen of $DISPLAY as FILE (PNG by its extension).
kd_screenshot() {
  [[ -n ${1:-} && -n ${DISPLAY:-} ]] || { kd__log "usage: kd_screenshot FILE (with DISPLAY set)"; return 2; }
  mkdir -p "$(dirname "$1")" || return 1
  import -display "$DISPLAY" -window root "$1"
}

# kd_wait_window NAME [SECONDS]: waits until a visible window whose title matches NAME (a regular expression)
# is on $DISPLAY, default 10 s; prints its X window id.
kd_wait_window() {
  local name=${1:-} limit=${2:-10} id end
  [[ -n $name ]] || { kd__log "usage: kd_wait_window NAME [SECONDS]"; return 2; }
  end=$((SECONDS + limit))
  while ((SECONDS <= end)); do
    id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n1)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.05
  done
  kd__log "no window '$name' within $limit s"
  return 1
}

# kd_wine_cleanup: ends the wineserver (and so every Windows process) of each prefix made in this shell and of
# the current WINEPREFIX, stops the simulators started by kd_sim_start, and stops Xvfb if kd_xvfb_start started it. Prefixes
# are left on disk; remove them yourself (a prefix is about 700 MB).
kd_wine_cleanup() {
  local dir pid
  for dir in "${KD_WINE_PREFIXES[@]}" ${WINEPREFIX:+"$WINEPREFIX"}; do
    # wineserver -k fails when no server runs; that is nothing to report.
    if [[ -d $dir ]] && WINEPREFIX=$dir wineserver -k 2>/dev/null; then WINEPREFIX=$dir wineserver -w 2>/dev/null; fi
  done
  for pid in "${KD_SIM_PIDS[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  KD_SIM_PIDS=()
  kd_xvfb_stop
}

# The machine's own serial lines kept out of reach of the programs under Wine.
# shellcheck source=serial-guard.sh
source "$KD_ROOT/scripts/serial-guard.sh"
