#!/usr/bin/env bash
# Sets up, builds and starts Quorel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release -DQUOREL_TESTS=OFF
cmake --build --preset release
if [ -x build/release/bin/quorel ]; then
  exec build/release/bin/quorel "$@"
fi
# Until the desktop program is built, show a sample game with qrltool.
exec build/release/bin/qrltool game show docs/samples/sample.qrl
