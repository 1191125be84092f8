#!/usr/bin/env bash
# Takes docs/screenshots/ui-*.png under a private Xvfb display.
# Usage: tests/ui_game/take_screenshots.sh BUILD_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common/xvfb_screenshots.sh"
take_screenshots :98 1600x1000x24 ui_screenshots "${1:-}"
