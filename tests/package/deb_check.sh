#!/usr/bin/env bash
# The Debian package in dist/, unpacked (never installed here): its kd215ctl backs up its own kd215-sim
# and verifies the backup, its files are in place, and lintian finds nothing beyond the justified overrides.
# Usage: deb_check.sh DIST_DIR VERSION
set -u
deb=${1:?usage: deb_check.sh DIST_DIR VERSION}/kd215ctl_${2:?}_$(dpkg --print-architecture).deb
# Nothing packaged is not a fault of the package: ctest reports the check as skipped (77).
[[ -f $deb ]] || { echo "SKIP: no $deb (scripts/package.sh deb makes it)"; exit 77; }
work=$(mktemp -d)
sim_pid=
trap '[[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

dpkg-deb -x "$deb" "$work/root" || { echo "FAIL: no $deb to unpack (scripts/package.sh deb makes it)" >&2; exit 1; }
bin=$work/root/usr/bin
for file in man/man1/kd215ctl.1.gz bash-completion/completions/kd215ctl; do
  [[ -f $work/root/usr/share/$file ]] || fail "$file missing"
done
"$bin/kd215-sim" --link "$work/line" --memory "$work/memory.bin" --quiet >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [[ -L $work/line ]] && break; sleep 0.1; done
"$bin/kd215ctl" -q backup --port "$work/line" --site "Hala 1" "$work/backup.json" >/dev/null || fail "no backup of kd215-sim"
grep -q '"site": "Hala 1"' "$work/backup.json" || fail "the backup does not name its site"
"$bin/kd215ctl" -q verify all --port "$work/line" "$work/backup.json" >/dev/null || fail "the backup does not verify"

lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 && ! grep -q '^[EW]:' "$work/lintian.log" ||
  fail "lintian: $(cat "$work/lintian.log")"
((failures == 0)) || { echo "$failures Debian package check(s) failed" >&2; exit 1; }
echo "Debian package checked: $deb; lintian: nothing beyond the overrides"
