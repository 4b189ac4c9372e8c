#!/usr/bin/env bash
# Installs the Debian packages of the named tiers (scripts/deps/TIER.txt) that
# are missing. A tier file lists one package a line; "@other" includes another
# tier. Prints one line per tier; apt's output goes to a log file.
#   run      building and running the console, the demo and the simulator
#   test     what the tests add
#   package  what making the .deb adds
#   ci       fuzzing, benchmarks, the package check (includes test and package)
#   windows  the MinGW-w64 build and Wine
# Usage: setup.sh [--list | --check] TIER...
#   --list prints the tiers' packages, --check exits 0 when all are installed;
#   neither installs anything.
set -euo pipefail
cd "$(dirname "$0")/.."
DEPS=scripts/deps

mode=install
case "${1:-}" in
  --list) mode=list; shift ;;
  --check) mode=check; shift ;;
esac
[ $# -gt 0 ] || set -- run

declare -A seen_tier=() seen_pkg=()
tiers=()      # in include order, each once
declare -A tier_pkgs=()

add_tier() {
  local tier=$1 line own=()
  [ -z "${seen_tier[$tier]:-}" ] || return 0
  if [ ! -f "$DEPS/$tier.txt" ]; then
    echo "setup: no tier '$tier' (tiers: $(cd "$DEPS" && ls *.txt | sed 's/\.txt$//' | tr '\n' ' '))" >&2
    exit 2
  fi
  seen_tier[$tier]=1
  while read -r line; do
    line=${line%%#*}
    line=${line//[[:space:]]/}
    [ -n "$line" ] || continue
    if [ "${line:0:1}" = "@" ]; then
      add_tier "${line:1}"
    elif [ -z "${seen_pkg[$line]:-}" ]; then
      seen_pkg[$line]=1
      own+=("$line")
    fi
  done < "$DEPS/$tier.txt"
  tiers+=("$tier")
  tier_pkgs[$tier]="${own[*]}"
}
for t in "$@"; do add_tier "$t"; done

if [ $mode = list ]; then
  for t in "${tiers[@]}"; do echo "${tier_pkgs[$t]}"; done | tr ' ' '\n' | sed '/^$/d'
  exit 0
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

if [ $mode = check ]; then
  for t in "${tiers[@]}"; do
    for p in ${tier_pkgs[$t]}; do installed "$p" || exit 1; done
  done
  exit 0
fi

LOG_DIR=${BUILD_DIR:-build}
mkdir -p "$LOG_DIR" 2>/dev/null || LOG_DIR=${TMPDIR:-/tmp}
LOG="$(cd "$LOG_DIR" && pwd)/setup.log"
updated=0

for t in "${tiers[@]}"; do
  read -r -a pkgs <<< "${tier_pkgs[$t]}"
  missing=()
  for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: $t: ${#pkgs[@]} packages present"
    continue
  fi
  if [ "$(id -u)" -eq 0 ]; then
    SUDO=()
  elif command -v sudo >/dev/null 2>&1; then
    SUDO=(sudo)
  else
    echo "setup: $t: missing ${missing[*]}; this is not root and sudo is not installed." >&2
    echo "setup: install them as root (or through sudo), then run this again:" >&2
    echo "sudo apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo -n "setup: $t: installing ${#missing[@]} packages (log: $LOG) ... "
  export DEBIAN_FRONTEND=noninteractive
  if { [ $updated -eq 1 ] || "${SUDO[@]}" apt-get update >>"$LOG" 2>&1; } &&
     "${SUDO[@]}" apt-get install -y --no-install-recommends "${missing[@]}" >>"$LOG" 2>&1; then
    updated=1
    echo "done"
  else
    echo "failed"
    echo "setup: the last lines of $LOG:" >&2
    tail -n 15 "$LOG" >&2
    echo "setup: to install them by hand:" >&2
    echo "sudo apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
done
