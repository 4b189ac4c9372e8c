#!/usr/bin/env bash
# Builds the Windows programs and regenerates docs/console-windows.png under
# Wine: the console after the write of 7 to register 02 of the native peer,
# request and echo shown (the Windows console test takes the picture).
set -euo pipefail
cd "$(dirname "$0")/.."
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
BUILD_QUIET=1 bash scripts/build-windows.sh
out=$(pwd)/docs/console-windows.png
rm -f "$out"
# Wine's drive Z: is the host's root.
KESTREL_WINDOWS_PICTURE="Z:$out" GTEST_FILTER='ConsoleOnPeer.WriteOfSevenToRegister02ShowsRequestAndEcho' \
  ctest --test-dir "$WIN_BUILD_DIR" -R '^win32_tests$' --output-on-failure
[ -s "$out" ] || { echo "screenshot-windows: no picture was written" >&2; exit 1; }
echo "screenshot-windows: $out"
