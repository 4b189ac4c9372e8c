#!/usr/bin/env bash
# Sets up, builds and runs every benchmark and prints the figures: the link's
# time-outs and early return, the console's commands end to end, the largest
# inputs, and start-up time and memory beside cutecom on one virtual display.
# Runs as a normal user (socat pairs in a private folder). BENCH_RUNS scales
# the repetitions.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh ci
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" --target Kestrel kestrel-bench kestrel-bench-gui kestrel-startup

echo "machine: $(nproc) cores,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2), $(uname -r)"
echo "build: $(grep -m1 '^CMAKE_BUILD_TYPE' "$BUILD_DIR/CMakeCache.txt" | cut -d= -f2) in $BUILD_DIR"
echo
echo "== link: read time-outs, early return, largest inputs of the codec"
"$BUILD_DIR/bench/kestrel-bench" "${BENCH_RUNS:-100}"
echo
echo "== console: register commands end to end, largest inputs through the handlers"
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/kestrel-bench-gui" "${BENCH_RUNS:-30}" 2>&1 \
  | grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR
echo
echo "== start-up to the window mapped, and resident memory, beside cutecom"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$BUILD_DIR/bench/kestrel-startup" "${BENCH_STARTUP_RUNS:-10}" "$BUILD_DIR/app/Kestrel" cutecom
