#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR) with Ninja; the tests and
# benchmarks too when the test tier's packages are installed (or when
# -DKESTREL_TESTS=ON is passed). With BUILD_QUIET=1 the compiler's
# output goes to BUILD_DIR/build.log and the screen gets one line (the log's
# last lines on failure). BUILD_TARGETS limits the build to those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
tests=ON
if ! bash scripts/setup.sh --check test; then
  tests=OFF
  [ "${BUILD_QUIET:-0}" = 1 ] || echo "build: without the tests (GoogleTest is not installed: bash scripts/setup.sh test)"
fi
if [ "${BUILD_QUIET:-0}" != 1 ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DKESTREL_TESTS=$tests "$@" >/dev/null
  exec cmake --build "$BUILD_DIR" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
fi
mkdir -p "$BUILD_DIR"
log="$(cd "$BUILD_DIR" && pwd)/build.log"
echo -n "build: $BUILD_DIR (log: $log) ... "
if cmake -S . -B "$BUILD_DIR" -G Ninja -DKESTREL_TESTS=$tests "$@" >"$log" 2>&1 &&
   cmake --build "$BUILD_DIR" ${BUILD_TARGETS:+--target $BUILD_TARGETS} >>"$log" 2>&1; then
  echo "done"
else
  echo "failed"
  echo "build: the last lines of $log:" >&2
  tail -n 30 "$log" >&2
  exit 1
fi
