# Sourced by the scripts that drive a finished wrapper through its wizard
# inside a Wine session (demo.sh, faults.sh), after tests/internet/loopback.sh:
#   offer_machine PARTNER_FILE  trusts the test root, makes a stand-in
#                               firefox.exe the default browser and starts the
#                               loopback offer vendor on the demo port,
#                               serving PARTNER_FILE as the partner
#   wizard_start SETUP          starts the wrapper (its process in $wrapper)
#                               and waits for its window
#   wizard_start_command CMD... the same for a command that starts it
#                               (with wizard_quiet=1 these answer 1 instead
#                               of failing when no wizard appears)
#   wizard_await X Y RRGGBB WHY waits until the client pixel has the colour
#   wizard_await_quiet X Y RRGGBB  the same, answering instead of failing
#   wizard_click X Y            clicks the client point
#   wizard_agree                presses "Agree and Install" once the offer
#                               page counts as read
#   wizard_shot FILE            saves the window as a PNG
#   wizard_end SECONDS          waits for the wrapper; its exit code in $rc
#   wizard_temp                 the user's temporary folder in the prefix,
#                               where the stand-in installer leaves its record
# The wrapper's template must be demo-template (offer host on the loopback).
wizard_title="Bountiq - Software Installation"
wizard_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wizard_fail() { echo "$(basename "$0" .sh): $*" >&2; exit 1; }

offer_machine() {
  local bin=$BOUNTIQ_BUILD/bin port
  port=$(sed -n 's/^BOUNTIQ_DEMO_OFFER_PORT:STRING=//p' "$BOUNTIQ_BUILD/CMakeCache.txt")
  [ -n "$port" ] || wizard_fail "no demo port in $BOUNTIQ_BUILD/CMakeCache.txt"
  "$wine" "$bin/trust-root.exe" "$(winpath "$work/partners/root.der")" || wizard_fail "cannot trust the test root"
  local firefox="$WINEPREFIX/drive_c/Program Files/Mozilla Firefox"
  mkdir -p "$firefox"
  cp "$BOUNTIQ_BUILD/system-fixtures/recorder.exe" "$firefox/firefox.exe"
  for view in 32 64; do
    "$wine" reg add 'HKLM\Software\Classes\http\shell\open\command' /ve /f "/reg:$view" \
      /d '"C:\Program Files\Mozilla Firefox\firefox.exe" "%1"' >/dev/null
  done
  BOUNTIQ_SERVER_PORT=$port BOUNTIQ_PARTNER_FILE=$1 BOUNTIQ_FILES=$work/partners start_server
  offer_port=$port
}

wizard_start() { wizard_start_command "$1"; }  # see wizard_start_command

wizard_start_command() {
  "$wine" "$@" &
  wrapper=$!
  local window="" wx wy ww wh border
  for _ in $(seq 300); do
    window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$wizard_title\":" 'index($0, t) {print $1; exit}')
    [ -n "$window" ] && break
    if ! kill -0 "$wrapper" 2>/dev/null; then
      [ "${wizard_quiet:-0}" = 1 ] && return 1
      wizard_fail "the wrapper ended without showing its wizard"
    fi
    sleep 0.1
  done
  if [ -z "$window" ]; then
    [ "${wizard_quiet:-0}" = 1 ] && { kill "$wrapper" 2>/dev/null; return 1; }
    wizard_fail "no wizard window within 30 seconds"
  fi
  read -r wx wy ww wh < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
  # The client area (545 x 380) sits in the frame Wine draws: equal borders,
  # the caption above.
  border=$(((ww - 545) / 2))
  wizard_cx=$((wx + border))
  wizard_cy=$((wy + wh - border - 380))
  wizard_geometry="${ww}x${wh}+${wx}+${wy}"
}

# The colour of a client pixel, as RRGGBB.
wizard_pixel() { xwd -root -silent | convert xwd:- -format "%[hex:p{$((wizard_cx + $1)),$((wizard_cy + $2))}]" info:; }

wizard_await_quiet() {
  for _ in $(seq 100); do
    [ "$(wizard_pixel "$1" "$2")" = "$3" ] && return 0
    kill -0 "$wrapper" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

wizard_await() { wizard_await_quiet "$1" "$2" "$3" || wizard_fail "$4"; }

wizard_click() { xdotool mousemove $((wizard_cx + $1)) $((wizard_cy + $2)) click 1; }

# "Agree and Install" (150 wide), pressed once the offer page has been on
# screen long enough to count as read: the wrapper ignores a press that
# begins within half a second of the page appearing.
wizard_agree() {
  sleep 0.6
  wizard_click 455 354
}

wizard_shot() { xwd -root -silent | convert xwd:- -crop "$wizard_geometry" +repage "png:$1"; }

wizard_end() {
  for _ in $(seq $(($1 * 10))); do
    kill -0 "$wrapper" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$wrapper" 2>/dev/null && wizard_fail "the wrapper did not finish within $1 seconds"
  rc=0
  wait "$wrapper" || rc=$?
}

wizard_temp() { find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -name Temp ! -path '*/Public/*' -print -quit; }
