#!/usr/bin/env bash
# Takes docs/screenshots/ui-analysis-*.png under a private Xvfb display with
# Stockfish (the stockfish package). Usage:
#   tests/ui_game/take_analysis_screenshots.sh BUILD_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common/xvfb_screenshots.sh"
take_screenshots :94 1280x900x24 ui_analysis_screenshots "${1:-}"
