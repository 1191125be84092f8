#!/usr/bin/env bash
# Sets up, builds and starts Quorel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release -DQUOREL_TESTS=OFF
cmake --build --preset release
exec build/release/bin/quorel "$@"
