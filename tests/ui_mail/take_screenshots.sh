#!/usr/bin/env bash
# Takes docs/screenshots/ui-editor-*.png under a private Xvfb display.
# Usage: tests/ui_mail/take_screenshots.sh BUILD_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../common/xvfb_screenshots.sh"
take_screenshots :171 1400x960x24 ui_mail_screenshots "${1:-}"
