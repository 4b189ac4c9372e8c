#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS
# (default 30) from the committed seed corpus. A crash fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh ci
SECONDS_EACH=${FUZZ_SECONDS:-30}
BUILD_QUIET=1 BUILD_DIR=build-fuzz BUILD_TARGETS="fuzz_text_rules fuzz_frame_builders fuzz_write_multiple_text" \
  bash scripts/build.sh -DCMAKE_CXX_COMPILER=clang++ -DKESTREL_FUZZ=ON -DKESTREL_WITH_GUI=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
for target in text_rules frame_builders write_multiple_text; do
  work=$(mktemp -d)
  cp fuzz/corpus/$target/* "$work"/
  echo "fuzz: $target for ${SECONDS_EACH}s"
  build-fuzz/fuzz/fuzz_$target -max_total_time="$SECONDS_EACH" -max_len=4096 -print_final_stats=0 \
    -artifact_prefix=build-fuzz/crash-$target- "$work" 2>&1 | tail -n 2
  rm -rf "$work"
done
