#!/usr/bin/env bash
# Builds the Debian package for technicians: kestrel_<version>_amd64.deb in
# the repository's top folder, from a release build in build-package/ (no
# tests). Install it with: sudo apt install ./kestrel_3.0.0_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh package
BUILD_DIR=build-package BUILD_QUIET=1 bash scripts/build.sh -DKESTREL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
log="$(pwd)/build-package/cpack.log"
echo -n "package: cpack (log: $log) ... "
if ! (cd build-package && cpack -G DEB) >"$log" 2>&1; then
  echo "failed"
  tail -n 20 "$log" >&2
  exit 1
fi
echo "done"
deb=$(ls build-package/kestrel_*_amd64.deb)
mv -f "$deb" .
deb=$(basename "$deb")
echo "package: $(pwd)/$deb ($(du -k "$deb" | cut -f1) KiB)"
echo "package: depends on $(dpkg-deb -f "$deb" Depends)"
