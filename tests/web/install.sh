#!/usr/bin/env bash
# Installs the browser suite's npm packages (puppeteer-core, pinned by the root's package-lock.json)
# into node_modules at the root; the suite drives Debian's /usr/bin/chromium, so no browser is downloaded.
set -euo pipefail
cd "$(dirname "$0")/../.."
stamp=node_modules/.package-lock.json
if [[ -f $stamp && ! package-lock.json -nt $stamp ]]; then exit 0; fi
command -v npm >/dev/null || { echo "tests/web/install.sh: npm is missing (it comes with the nodejs package)" >&2; exit 1; }
PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
