#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (leak
# detection on) in build-asan/ and runs every test there. Any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
BUILD_QUIET=1 BUILD_DIR=build-asan bash scripts/build.sh -DKESTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks inside system libraries (fontconfig, Qt's plugin loader) are not ours.
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
ctest --test-dir build-asan --output-on-failure --no-tests=error -j2
