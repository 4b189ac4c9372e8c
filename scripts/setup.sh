#!/usr/bin/env bash
# Installs the Debian packages the project needs that are missing; does
# nothing when all are present. Runs apt-get as root, or through sudo.
set -euo pipefail

PACKAGES=(
  # build
  g++ cmake ninja-build pkg-config
  # GUI: Qt 6 Widgets and Test, Qt's own Chinese translations, a CJK font,
  # a virtual display for headless machines
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n fonts-noto-cjk
  xvfb xauth
  # tests: GoogleTest, pseudo-terminal pairs, a real Modbus RTU peer
  libgtest-dev libgmock-dev socat libmodbus-dev
  # the Windows link is compile-checked with MinGW
  g++-mingw-w64-x86-64-posix
  # hardening and measurement
  clang libclang-rt-14-dev libbenchmark-dev
  # start-up comparison: X client headers for the timer, a Qt serial GUI beside ours
  libx11-dev cutecom
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  echo "setup: not root, using sudo for apt-get (you may be asked for your password)"
  SUDO=(sudo)
else
  echo "setup: these packages are missing and this is not root, and sudo is not available:" >&2
  echo "  ${missing[*]}" >&2
  echo "setup: install them as root, then run this again." >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
