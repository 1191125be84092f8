#!/usr/bin/env bash
# Takes docs/screenshots/ui-analysis-*.png under a private Xvfb display with
# Stockfish (the stockfish package). Usage:
#   tests/ui_game/take_analysis_screenshots.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build/release}
out=$here/docs/screenshots
display=:94
Xvfb $display -screen 0 1280x900x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb' EXIT
sleep 1
DISPLAY=$display "$build/bin/ui_analysis_screenshots" "$out"
