# Keeps this machine's own serial devices out of reach of the Wine programs under test. Source it from bash.
#
# Wine maps every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* that exists to the first free COM number by itself
# (it only checks that the path exists), so a probe that finds no controller on the test's ports would go on
# to write its probe frame to the machine's real line (on a virtual machine, often its console). Two guards:
#
#   kd_hide_serial_devices SCRIPT ARGS...   re-runs SCRIPT in a private mount namespace whose /dev lacks those
#       devices, so that Wine never sees them. Needs the right to mount (root, or CAP_SYS_ADMIN). Where that is
#       not granted it returns with KD215_SERIAL_HIDDEN=no and the caller relies on the second guard alone.
#   kd_drop_foreign_ports NAME...            with the prefix's wineserver running (start it with
#       `wineserver -p`, so that it does not end and map the devices again), removes every port from the
#       prefix's device map that is not one of NAME, then checks that the map lists exactly NAME. The program
#       lists its ports from that map, so a port removed there is never opened.
#
# KD215_SERIAL_HIDDEN tells what happened: yes (hidden or none there), no (not hidden), inside (being set up).

# kd__serial_devices: prints the machine's serial device paths that Wine would map, one per line.
kd__serial_devices() {
  local path
  for path in /dev/ttyS[0-9]* /dev/ttyUSB[0-9]* /dev/ttyACM[0-9]*; do
    [[ -e $path ]] && printf '%s\n' "$path"
  done
  return 0
}

# kd__dev_without_serial: inside a private mount namespace, puts a /dev in place that holds everything of
# the real one (bound, so ptys, shared memory and the null device are the same objects) but the serial devices.
kd__dev_without_serial() {
  local staging entry name
  staging=$(mktemp -d /tmp/kd215-dev.XXXXXX) || return 1
  if ! mount -t tmpfs -o mode=755,size=64k kd215-dev "$staging"; then
    rmdir "$staging"
    return 1
  fi
  for entry in /dev/* /dev/.[!.]*; do
    [[ -e $entry || -L $entry ]] || continue
    name=${entry#/dev/}
    case $name in
      ttyS[0-9]* | ttyUSB[0-9]* | ttyACM[0-9]*) continue ;;
    esac
    if [[ -L $entry ]]; then
      cp -P "$entry" "$staging/$name"
    elif [[ $name == ptmx ]]; then
      # The kernel finds a ptmx's pty instance in the "pts" beside it, which a bound file does not have.
      mknod -m 666 "$staging/ptmx" c 5 2
    elif [[ -d $entry ]]; then
      mkdir "$staging/$name" && mount --rbind "$entry" "$staging/$name"
    else
      : >"$staging/$name" && mount --bind "$entry" "$staging/$name"
    fi || { umount -R "$staging"; rmdir "$staging"; return 1; }
  done
  mount --move "$staging" /dev || { umount -R "$staging"; rmdir "$staging"; return 1; }
  rmdir "$staging"
  [[ -z $(kd__serial_devices) ]]
}

kd_hide_serial_devices() {
  [[ -n ${1:-} ]] || { echo "usage: kd_hide_serial_devices SCRIPT ARGS..." >&2; return 2; }
  case ${KD215_SERIAL_HIDDEN:-} in
    yes | no) return 0 ;;
    inside)
      if kd__dev_without_serial; then
        export KD215_SERIAL_HIDDEN=yes
      else
        echo "serial-guard: cannot rebuild /dev without the serial devices; relying on the device map" >&2
        export KD215_SERIAL_HIDDEN=no
      fi
      return 0
      ;;
  esac
  if [[ -z $(kd__serial_devices) ]]; then
    export KD215_SERIAL_HIDDEN=yes
    return 0
  fi
  if unshare -m --propagation private true 2>/dev/null; then
    KD215_SERIAL_HIDDEN=inside exec unshare -m --propagation private bash "$@"
  fi
  echo "serial-guard: no private mount namespace here; relying on the device map" >&2
  export KD215_SERIAL_HIDDEN=no
}

# kd__device_map: prints "VALUE PORT" for each entry of the current prefix's HARDWARE\DEVICEMAP\SERIALCOMM.
kd__device_map() {
  wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' |
    awk '$2 == "REG_SZ" { print $1, $3 }'
}

kd_drop_foreign_ports() {
  local value port wanted listed name
  [[ -n ${WINEPREFIX:-} ]] || { echo "serial-guard: WINEPREFIX is not set" >&2; return 2; }
  while read -r value port; do
    [[ -n $value ]] || continue
    wanted=no
    for name in "$@"; do [[ $port == "$name" ]] && wanted=yes; done
    if [[ $wanted == no ]]; then
      echo "serial-guard: removing $port ($value) from the device map" >&2
      wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "$value" /f >/dev/null 2>&1
    fi
  done < <(kd__device_map)
  listed=$(kd__device_map | awk '{ print $2 }' | sort | tr '\n' ' ')
  if [[ $listed != "$(printf '%s\n' "$@" | sort | tr '\n' ' ')" ]]; then
    echo "serial-guard: the device map lists '$listed', want '$*'" >&2
    return 1
  fi
}
