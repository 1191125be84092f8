#!/usr/bin/env bash
# Takes docs/screenshots/ui-*.png under a private Xvfb display.
# Usage: tests/ui_game/take_screenshots.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build/release}
out=$here/docs/screenshots
display=:98
Xvfb $display -screen 0 1600x1000x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb' EXIT
sleep 1
DISPLAY=$display "$build/bin/ui_screenshots" "$out"
