#!/usr/bin/env bash
# Checks the Debian package as a technician gets it: installs
# kestrel_<version>_amd64.deb with apt (its dependencies too), starts the
# installed console from the PATH on a virtual display, checks that its
# window appears with its caption, and removes the package again.
# Needs root (apt); without root it says so and skips.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: skipped: installing a package needs root"
  exit 0
fi
if dpkg-query -W -f='${Status}' kestrel 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: skipped: kestrel is installed on this machine already, and this check would remove it"
  exit 0
fi

bash scripts/package.sh
deb=$(ls kestrel_*_amd64.deb | head -n 1)
log="$(pwd)/build-package/check-package.log"
: >"$log"
caption="Modbus调试软件 V3"
failures=0
fail() { echo "check-package: FAILED: $*"; failures=$((failures + 1)); }

remove() { DEBIAN_FRONTEND=noninteractive apt-get purge -y kestrel >>"$log" 2>&1 || true; }
trap remove EXIT

echo -n "check-package: apt-get install ./$deb (log: $log) ... "
if DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "./$deb" >>"$log" 2>&1; then
  echo "done"
else
  echo "failed"
  tail -n 15 "$log"
  exit 1
fi

for f in /usr/bin/Kestrel /usr/bin/kestrel-demo /usr/bin/kestrel-sim /usr/share/kestrel/Kestrel.html \
         /usr/share/applications/kestrel.desktop /usr/share/icons/hicolor/scalable/apps/kestrel.svg; do
  [ -e "$f" ] || fail "$f is not installed"
done
[ "$(command -v Kestrel)" = /usr/bin/Kestrel ] || fail "Kestrel on the PATH is $(command -v Kestrel || echo nothing)"
grep -qx "Exec=Kestrel" /usr/share/applications/kestrel.desktop || fail "the desktop entry does not start Kestrel"

# The installed console on its own virtual display; its window's caption
# read back from the X server.
shown=$(env -i PATH=/usr/bin:/bin HOME="${HOME:-/root}" LANG=C.UTF-8 \
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    Kestrel >/dev/null 2>&1 &
    console=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$console" 2>/dev/null | head -n 1)
    [ -n "$window" ] && xdotool getwindowname "$window"
    kill "$console" 2>/dev/null
    wait "$console" 2>/dev/null || true' 2>>"$log" || true)
if [ "$shown" = "$caption" ]; then
  echo "check-package: the installed console showed its window \"$shown\""
else
  fail "the installed console's window: expected \"$caption\", got \"${shown:-no window}\""
fi

remove
trap - EXIT
if dpkg-query -W -f='${Status}' kestrel 2>/dev/null | grep -q "install ok installed"; then
  fail "the package is still installed after apt-get purge"
fi
[ ! -e /usr/bin/Kestrel ] || fail "/usr/bin/Kestrel is left after removal"

if [ $failures -eq 0 ]; then
  echo "check-package: 1 passed, 0 failed"
else
  echo "check-package: 0 passed, 1 failed"
  exit 1
fi
