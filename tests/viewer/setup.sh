#!/usr/bin/env bash
# Installs what the viewer's browser tests need: Debian's Chromium, Node.js with npm
# (when there is none), and playwright-core from tests/viewer/package-lock.json.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/lib.sh"

need_packages chromium
# a Node.js that came with its own npm (as on our machines) is kept
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  need_packages nodejs npm
fi

cd "$ROOT/tests/viewer"
wanted=$(node -p "require('./package.json').dependencies['playwright-core']")
have=$(node -p "try { require('playwright-core/package.json').version } catch (e) { '' }")
if [ "$have" != "$wanted" ]; then
  say "installing playwright-core $wanted for the viewer tests (npm ci)"
  npm ci --no-audit --no-fund --loglevel=error
fi
