#!/usr/bin/env bash
# Sets up, builds and starts the demo: the console talking to a simulated
# audio module over a virtual null-modem pair. No hardware and no root needed;
# the module's requests and replies are printed here. Close the console (or
# press Ctrl+C here) to end both.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: the console needs a display, and none was found (\$DISPLAY and \$WAYLAND_DISPLAY are empty)." >&2
  echo "demo: on a machine without one, 'bash scripts/screenshots.sh' runs the same session on a" >&2
  echo "demo: virtual display and saves its pictures in docs/." >&2
  exit 1
fi

bash scripts/setup.sh run
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
exec "$BUILD_DIR/app/kestrel-demo"
