#!/usr/bin/env bash
# Runs a command inside a private Windows session under Wine:
#   - an Xvfb display of its own (unless KEEP_DISPLAY=1 and DISPLAY is set),
#   - a fresh Wine prefix that reports Windows 10,
#   - one wineserver kept alive for the whole command,
#   - the Wine loader of the architecture this host tests (scripts/arch.sh),
# and tears down everything it started afterwards, whatever happens.
#
#   scripts/wine-session.sh COMMAND [ARGS...]
#
# Inside, DISPLAY, WINEPREFIX, BOUNTIQ_SESSION (the session folder) and the
# settings of scripts/arch.sh (BOUNTIQ_TEST_ARCH, BOUNTIQ_WINE, ...) are set;
# scripts/screenshot.sh captures the display. BOUNTIQ_KEEP_SESSION=1 keeps the
# session folder for inspection.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/arch.sh"
session=$(mktemp -d "${TMPDIR:-/tmp}/bountiq-session.XXXXXX")
xvfb_pid=""

cleanup() {
  local rc=$?
  set +e
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  if [ "${BOUNTIQ_KEEP_SESSION:-0}" = 1 ]; then
    echo "wine-session: kept $session" >&2
  else
    rm -rf "$session"
  fi
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display of our own.
if [ "${KEEP_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 91 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=$n; break; }
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -dpi 96 >"$session/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$session/xvfb.log" >&2; exit 1; }
    sleep 0.1
  done
  export DISPLAY=":$display"
fi

# A prefix of our own, with one server for the whole run.
# One locale for every run: the user's country (GeoID) follows it (C: the
# United States).
export LANG=C.UTF-8
unset LC_ALL
export WINEPREFIX="$session/prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export BOUNTIQ_SESSION="$session"
mkdir -p "$WINEPREFIX"
wineserver -p
"$BOUNTIQ_WINE" wineboot -i >"$session/wineboot.log" 2>&1
cat >"$session/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine]
"Version"="win10"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"
REG
"$BOUNTIQ_WINE" regedit /S "$("$BOUNTIQ_WINE" winepath -w "$session/settings.reg" 2>/dev/null)" >/dev/null 2>&1
# One idle program for the whole session (see the file).
"$BOUNTIQ_TRIPLE-gcc-posix" -mwindows -Os -s -o "$session/session-keeper.exe" "$top/scripts/session-keeper.c"
"$BOUNTIQ_WINE" "$session/session-keeper.exe" >/dev/null 2>&1 &
"$@"
