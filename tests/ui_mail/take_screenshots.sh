#!/usr/bin/env bash
# Takes docs/screenshots/ui-editor-*.png under a private Xvfb display.
# Usage: tests/ui_mail/take_screenshots.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build/release}
out=$here/docs/screenshots
display=:171
Xvfb $display -screen 0 1400x960x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb' EXIT
sleep 1
DISPLAY=$display "$build/bin/ui_mail_screenshots" "$out"
