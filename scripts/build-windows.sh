#!/usr/bin/env bash
# Sets up what the Windows build needs (MinGW-w64, Wine, GoogleTest's
# sources), then cross-builds into build-win/ (or $WIN_BUILD_DIR). The serial
# tests under Wine talk to one native helper, kestrel_wine_peer, built first
# into build-win/native/. BUILD_QUIET=1 as for scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
BUILD_DIR=$WIN_BUILD_DIR bash scripts/setup.sh windows

native=$WIN_BUILD_DIR/native
BUILD_DIR=$native BUILD_TARGETS=kestrel_wine_peer bash scripts/build.sh -DKESTREL_WITH_GUI=OFF
BUILD_DIR=$WIN_BUILD_DIR bash scripts/build.sh \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DKESTREL_WINE_PEER="$PWD/$native/tests/support/kestrel_wine_peer" "$@"
