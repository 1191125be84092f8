#!/usr/bin/env bash
# chess.js, the second independent reference of the PGN tests: plays seeded
# random legal games and writes their SAN. Installed with npm into a fixed
# folder; idempotent (nothing happens when the pinned version is there).
set -euo pipefail
# shellcheck source=../as_root.sh
. "$(dirname "$0")/../as_root.sh"
dest=/opt/quorel-test
version=1.4.0
pkg="$dest/node_modules/chess.js/package.json"
if [ -f "$pkg" ] && grep -q "\"version\": \"$version\"" "$pkg"; then exit 0; fi
if ! command -v npm >/dev/null 2>&1; then
  # Debian's nodejs comes without npm; a Node.js build that bundles npm
  # already has it.
  as_root apt-get install -y -qq --no-install-recommends npm >/dev/null
fi
as_root mkdir -p "$dest"
as_root npm install --prefix "$dest" --no-audit --no-fund --silent "chess.js@$version"
test -f "$pkg"
