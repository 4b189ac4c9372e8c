#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their tests
# under Wine, in a fresh prefix of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
bash scripts/build-windows.sh
ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure --no-tests=error -j2
