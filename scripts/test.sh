#!/usr/bin/env bash
# Sets up, builds (warnings are errors) and runs the whole test suite.
# Test servers (POP3, SMTP) are started and stopped by the suite itself.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset ci
cmake --build --preset ci
ctest --preset ci
