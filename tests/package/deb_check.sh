#!/usr/bin/env bash
# The Debian package in dist/, never installed on this machine: unpacked with dpkg-deb, its kd215ctl
# backs up its kd215-sim and reads the backup back; its manual page and completion are in place;
# lintian finds nothing beyond the package's own justified overrides.
# Usage: deb_check.sh DIST_DIR VERSION
set -u
dist=${1:?usage: deb_check.sh DIST_DIR VERSION}
version=${2:?usage: deb_check.sh DIST_DIR VERSION}
work=$(mktemp -d)
sim_pid=
trap '[[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

deb=$dist/kd215ctl_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "FAIL: no $deb (scripts/package.sh deb makes it)" >&2; exit 1; }
dpkg-deb -x "$deb" "$work/root" || { echo "FAIL: $deb does not unpack" >&2; exit 1; }
root=$work/root/usr
for file in bin/kd215ctl bin/kd215-sim share/man/man1/kd215ctl.1.gz share/bash-completion/completions/kd215ctl \
            share/doc/kd215ctl/copyright; do
  [[ -f $root/$file ]] || fail "$file missing"
done
[[ $("$root/bin/kd215ctl" --version) == "kd215ctl $version (Kd215 link)" ]] || fail "kd215ctl --version is not $version"

# The unpacked programs work together: a backup of the simulator, then the simulator's memory
# verified against it.
"$root/bin/kd215-sim" --link "$work/line" --memory "$work/memory.bin" --quiet >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [[ -L $work/line ]] && break; sleep 0.1; done
"$root/bin/kd215ctl" -q backup --port "$work/line" --site "Hala 1" "$work/backup.json" >/dev/null || fail "backup from kd215-sim failed"
grep -q '"site": "Hala 1"' "$work/backup.json" || fail "the backup does not name its site"
"$root/bin/kd215ctl" -q verify all --port "$work/line" "$work/backup.json" >/dev/null || fail "the backup does not verify"

lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.log")"
grep -v '^N' "$work/lintian.log" | grep -q '^[EW]:' && fail "lintian: $(cat "$work/lintian.log")"
((failures == 0)) || { echo "$failures Debian package check(s) failed" >&2; exit 1; }
echo "Debian package checked: $deb; lintian: $(grep -c '^[A-Z]:' "$work/lintian.log") tags beyond the overrides"
