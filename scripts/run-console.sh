#!/usr/bin/env bash
# Sets up, builds and runs the console.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -x "${BUILD_DIR:-build}/app/Kestrel" ]; then
  exec "${BUILD_DIR:-build}/app/Kestrel"
fi
echo "Built the frame codec; the console window is not part of this build yet."
