#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their tests
# under Wine, in a fresh prefix of their own; then prints the figures the
# tests measured and the cases that Wine's limits skip.
set -euo pipefail
cd "$(dirname "$0")/.."
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
BUILD_QUIET=1 bash scripts/build-windows.sh
rc=0
ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure --no-tests=error -j2 || rc=$?
log=$WIN_BUILD_DIR/Testing/Temporary/LastTest.log
if [ -f "$log" ]; then
  echo "test-windows: figures under Wine"
  grep -hE "^(read time-out error|connect to a full backlog|06 echo read)" "$log" | sed 's/^/  /' || true
  echo "test-windows: skipped under Wine"
  grep -hE -B1 "^\[  SKIPPED \] [A-Za-z]" "$log" | grep -vE "^(--|\[)" | sort -u | sed 's/^/  /' || true
fi
exit $rc
