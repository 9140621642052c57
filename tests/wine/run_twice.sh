#!/usr/bin/env bash
# scripts/run.sh twice in a row without a display, each ended by --exit-after: both must end with
# exit code 0 and leave their screenshot (the second run reuses what the first left in build/run/).
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
status=0
for run in 1 2; do
  rm -f "$root/build/run/screenshot.png"
  env -u DISPLAY bash "$root/scripts/run.sh" --exit-after 8 >"$root/build/run-$run.log" 2>&1
  code=$?
  ((code == 0)) || { echo "run $run ended with exit code $code:"; tail -n 5 "$root/build/run-$run.log"; status=1; }
  [[ -s $root/build/run/screenshot.png ]] || { echo "run $run left no screenshot"; status=1; }
done
exit $status
