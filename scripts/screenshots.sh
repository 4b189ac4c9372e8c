#!/usr/bin/env bash
# Sets up, builds and regenerates the README's pictures in docs/: the
# walk-through session against the demo's simulated module, on a virtual
# display (the real xcb platform on Xvfb), whether or not a display exists.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD_DIR/app/kestrel-screenshot" --walkthrough "$(pwd)/docs"
