#!/usr/bin/env bash
# Sets up (the run and test tiers), builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
BUILD_QUIET=1 bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure --no-tests=error -j2
