#!/usr/bin/env bash
# Installs what the viewer's browser tests need: Debian's Chromium, Node.js with npm
# (when there is none), and the packages in tests/viewer/package-lock.json.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/lib.sh"

need_packages chromium
# a Node.js that came with its own npm (as on our machines) is kept
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  need_packages nodejs npm
fi

cd "$ROOT/tests/viewer"
# npm ls fails when a package is missing or not the version package.json names
if ! npm ls --depth=0 >/dev/null 2>&1; then
  say "installing the viewer tests' packages (npm ci)"
  npm ci --no-audit --no-fund --loglevel=error
fi
