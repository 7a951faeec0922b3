#!/usr/bin/env bash
# Installs what the viewer's tests need: Debian's Chromium and sigrok-cli (which reads
# the sessions the page saves), Node.js with npm (when there is none), the fflate
# package that viewer/package-lock.json pins (its files must equal viewer/fflate.*),
# and the packages in tests/viewer/package-lock.json. With --node: only Node.js and
# fflate, which the tests of the viewer's scripts without a page need.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/lib.sh"
dirs=(viewer tests/viewer)
if [ "${1:-}" = --node ]; then
  dirs=(viewer)
else
  need_packages chromium sigrok-cli
fi
# a Node.js that came with its own npm (as on our machines) is kept
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  need_packages nodejs npm
fi

for dir in "${dirs[@]}"; do
  cd "$ROOT/$dir"
  # npm ls fails when a package is missing or not the version package.json names
  if ! npm ls --depth=0 >/dev/null 2>&1; then
    say "installing the npm packages of $dir (npm ci)"
    npm ci --no-audit --no-fund --loglevel=error
  fi
done
