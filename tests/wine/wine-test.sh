#!/usr/bin/env bash
# The Windows tests under Wine, in a prefix of their own.
#   wine-test.sh setup CONF          make a fresh prefix in a temporary folder
#   wine-test.sh cleanup CONF        end its wineserver and remove the folder
#   wine-test.sh run CONF EXE ARGS   run one test program there (ctest's emulator)
# CONF (written by CMake) names the Wine programs, the native serial peer and
# the stamp file that holds the folder of the current run. ctest runs setup
# and cleanup as a fixture around the tests; `run` alone makes and removes a
# prefix of its own.
#
# The prefix maps COM1 .. COM255 to links in its own ports/ folder, which the
# serial peer points at one end of a socat pair. The host's own serial ports,
# which Wine would add after those (COM256), are unlinked: nothing here opens
# them. Chinese dialog fonts are mapped to the installed CJK font. Windows
# go to an Xvfb display of the run's own.
set -euo pipefail
cmd=$1
conf=$2
shift 2
# shellcheck source=/dev/null
source "$conf"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

readonly KESTREL_RUN_TEMPLATE=kestrel-wine.XXXXXX
readonly COM_PORTS=255
readonly CJK_FONT="Noto Sans CJK SC"

log() { echo "wine-test: $*" >&2; }

# UTF-16 with a byte-order mark: reg.exe reads anything else in the prefix's
# ANSI code page, which would garble 宋体.
write_registry() {
  local run=$1 n
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for font in "SimSun" "宋体" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "Microsoft YaHei UI"; do
      printf '"%s"="%s"\r\n' "$font" "$CJK_FONT"
    done
    printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for ((n = 1; n <= COM_PORTS; n++)); do
      printf '"COM%d"="%s/ports/com%d"\r\n' "$n" "$run" "$n"
    done
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$run/prefix.reg"
}

# Removes every dosdevices/com* link that does not lead into our ports/.
drop_host_ports() {
  local run=$1 link target
  for link in "$run"/prefix/dosdevices/com*; do
    [ -L "$link" ] || continue
    target=$(readlink "$link")
    case $target in
      "$run"/ports/*) ;;
      *) rm -f "$link" ;;
    esac
  done
}

# A virtual display of the run's own, for the windows the tests make; tried
# again when the display it picked does not answer (another server may have
# taken that number at the same moment).
start_display() {
  local run=$1 pid attempt
  for attempt in 1 2 3; do
    rm -f "$run/display"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$run/display" </dev/null >>"$run/wine.log" 2>&1 &
    pid=$!
    echo "$pid" > "$run/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$run/display" ] && break
      sleep 0.05
    done
    if [ -s "$run/display" ] && DISPLAY=:$(cat "$run/display") xdotool getdisplaygeometry >/dev/null 2>&1; then
      return 0
    fi
    kill "$pid" 2>/dev/null || true
    log "virtual display, attempt $attempt: no answer"
  done
  return 1
}

setup() {
  local stamp=$1 run
  run=$(mktemp -d "${TMPDIR:-/tmp}/$KESTREL_RUN_TEMPLATE")
  # An unused port leads to an empty folder, which fails to open as a COM
  # port should. (A port the map names with no file behind it would open
  # Wine's own placeholder device instead.)
  mkdir -p "$run/ports/none"
  local n
  for ((n = 1; n <= COM_PORTS; n++)); do ln -s "$run/ports/none" "$run/ports/com$n"; done
  export WINEPREFIX=$run/prefix
  local wlog=$run/wine.log
  local start=$SECONDS
  # The display first: Wine's desktop process, which any of the commands
  # below may start, keeps the display it started with for the whole run.
  start_display "$run" || log "no virtual display: the tests that make windows will fail"
  if [ -s "$run/display" ]; then
    DISPLAY=:$(cat "$run/display")
    export DISPLAY
  fi
  # Every Wine process here outlives its command line (wineserver, services):
  # keep them off the caller's output, which ctest waits on.
  "$WINE64" wineboot -i </dev/null >>"$wlog" 2>&1
  write_registry "$run"
  "$WINE64" reg import "$run/prefix.reg" </dev/null >>"$wlog" 2>&1
  # The port map is read when the wineserver starts: restart it, persistent
  # this time, so the map is never made again while the tests run.
  "$WINESERVER" -k </dev/null >>"$wlog" 2>&1 || true
  "$WINESERVER" -w </dev/null >>"$wlog" 2>&1 || true
  "$WINESERVER" -p </dev/null >>"$wlog" 2>&1
  "$WINE64" cmd /c exit </dev/null >>"$wlog" 2>&1
  drop_host_ports "$run"
  echo "$run" > "$stamp"
  log "prefix $WINEPREFIX ready in $((SECONDS - start)) s"
}

cleanup() {
  local stamp=$1 run
  [ -s "$stamp" ] || return 0
  run=$(cat "$stamp")
  rm -f "$stamp"
  case $(basename "$run") in
    kestrel-wine.??????) ;;
    *) log "not removing $run: not a folder of ours"; return 1 ;;
  esac
  # Only the wineserver of this prefix, and the processes it runs.
  WINEPREFIX=$run/prefix "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$run/prefix "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  local xvfb
  xvfb=$(cat "$run/xvfb.pid" 2>/dev/null || true)
  if [ -n "$xvfb" ] && [ "$(cat "/proc/$xvfb/comm" 2>/dev/null)" = Xvfb ]; then
    kill "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$run"
}

run() {
  local exe=$1
  shift
  local stamp=$STAMP own=0
  if [ ! -s "$stamp" ] || [ ! -d "$(cat "$stamp")/prefix" ]; then
    stamp=$(mktemp "${TMPDIR:-/tmp}/kestrel-wine-stamp.XXXXXX")
    own=1
    setup "$stamp"
  fi
  local dir
  dir=$(cat "$stamp")
  export WINEPREFIX=$dir/prefix
  if [ -s "$dir/display" ]; then
    DISPLAY=:$(cat "$dir/display")
    export DISPLAY
  fi
  local scratch peer_pid=""
  scratch=$(mktemp -d "$dir/run.XXXXXX")
  if [ -n "$WINE_PEER" ]; then
    "$WINE_PEER" --ports "$dir/ports" --port-file "$scratch/peer.port" </dev/null >"$scratch/peer.log" 2>&1 &
    peer_pid=$!
    for _ in $(seq 100); do
      [ -s "$scratch/peer.port" ] && break
      kill -0 "$peer_pid" 2>/dev/null || break
      sleep 0.05
    done
    if [ -s "$scratch/peer.port" ]; then
      KESTREL_PEER_PORT=$(cat "$scratch/peer.port")
      export KESTREL_PEER_PORT
    else
      log "the serial peer did not start:"
      cat "$scratch/peer.log" >&2
    fi
  fi
  local rc=0
  # Wine's helper processes keep its output open after the test ends: the
  # output goes through a file.
  "$WINE64" "$exe" "$@" </dev/null >"$scratch/out" 2>&1 || rc=$?
  cat "$scratch/out"
  if [ -n "$peer_pid" ]; then
    kill "$peer_pid" 2>/dev/null || true
    wait "$peer_pid" 2>/dev/null || true
    if [ -s "$scratch/peer.log" ]; then
      echo "--- serial peer:"
      cat "$scratch/peer.log"
    fi
  fi
  rm -rf "$scratch"
  if [ $own = 1 ]; then
    cleanup "$stamp"
    rm -f "$stamp"
  fi
  return $rc
}

case $cmd in
  setup) cleanup "$STAMP"; setup "$STAMP" ;;
  cleanup) cleanup "$STAMP" ;;
  run) run "$@" ;;
  *) log "unknown command $cmd"; exit 2 ;;
esac
