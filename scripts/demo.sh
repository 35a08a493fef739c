#!/usr/bin/env bash
# The main job, run inside a Wine session (make demo), as a user meets it:
#   1. packs a sample product (a small MSI) with the packaging tool;
#   2. sets the machine up so that the partner offer applies (a stand-in
#      default browser named firefox.exe; the session's locale is in the
#      United States) and starts a stand-in offer vendor on the loopback
#      interface, serving a stand-in partner signed by the test publisher;
#   3. starts the finished wrapper, saves its welcome page as welcome.png,
#      presses Next, saves the offer page as offer.png, presses
#      "Agree and Install";
#   4. waits for the wrapper to finish and prints what ran.
# The wrapper's template is the shipped one built with its offer host on the
# loopback port (tools/demo/): nothing leaves the machine.
# BOUNTIQ_DEMO_DIR (default demo/) receives the wrapper and the pictures.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=${BOUNTIQ_DEMO_DIR:-$top/demo}
bin=$BOUNTIQ_BUILD/bin
title="Bountiq - Software Installation"
mkdir -p "$out"
rm -f "$out/welcome.png" "$out/offer.png" "$out/wizard.png"
say() { echo "demo: $*"; }
fail() { echo "demo: $*" >&2; exit 1; }

# The loopback server of the tests, its work folder and clean-up.
. "$top/tests/internet/loopback.sh"
port=$(sed -n 's/^BOUNTIQ_DEMO_OFFER_PORT:STRING=//p' "$BOUNTIQ_BUILD/CMakeCache.txt")
[ -n "$port" ] || fail "no demo port in $BOUNTIQ_BUILD/CMakeCache.txt"

# 1. Packing.
setup=$out/Sample-Product-Setup.exe
"$bin/bountiq-pack" "$BOUNTIQ_BUILD/fixtures/Sample-Product.msi" --template "$bin/demo-template.exe" -o "$setup"
"$bin/bountiq-pack" --info "$setup" | sed 's/^/demo: /'

# 2. The machine and the stand-in vendor.
"$top/tests/internet/make_signed_partners.sh" "$bin/fake-installer.exe" "$work/partners" >/dev/null
"$wine" "$bin/trust-root.exe" "$(winpath "$work/partners/root.der")" || fail "cannot trust the test root"
firefox="$WINEPREFIX/drive_c/Program Files/Mozilla Firefox"
mkdir -p "$firefox"
cp "$BOUNTIQ_BUILD/system-fixtures/recorder.exe" "$firefox/firefox.exe"
for view in 32 64; do
  "$wine" reg add 'HKLM\Software\Classes\http\shell\open\command' /ve /f "/reg:$view" \
    /d '"C:\Program Files\Mozilla Firefox\firefox.exe" "%1"' >/dev/null
done
BOUNTIQ_SERVER_PORT=$port BOUNTIQ_PARTNER_FILE=$work/partners/signed.exe start_server
say "stand-in offer vendor on http://127.0.0.1:$port/"

# 3. The wizard.
"$wine" "$setup" &
wrapper=$!
window=""
for _ in $(seq 300); do
  window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\":" 'index($0, t) {print $1; exit}')
  [ -n "$window" ] && break
  kill -0 "$wrapper" 2>/dev/null || fail "the wrapper ended without showing its wizard"
  sleep 0.1
done
[ -n "$window" ] || fail "no wizard window within 30 seconds"
read -r wx wy ww wh < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
# The client area (545 x 380) sits in the frame Wine draws: equal borders,
# the caption above.
border=$(((ww - 545) / 2))
cx=$((wx + border))
cy=$((wy + wh - border - 380))
shot() { xwd -root -silent | convert xwd:- -crop "${ww}x${wh}+${wx}+${wy}" +repage "png:$1"; }
# The colour of a client pixel, as RRGGBB.
pixel() { xwd -root -silent | convert xwd:- -format "%[hex:p{$((cx + $1)),$((cy + $2))}]" info:; }
# Waits until the client pixel has the colour (the page is painted).
await() {
  for _ in $(seq 100); do
    [ "$(pixel "$1" "$2")" = "$3" ] && return 0
    sleep 0.1
  done
  fail "$4"
}
# Clicks the client point.
click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; }

await 10 10 2DA9D3 "the welcome page did not appear"
sleep 0.5  # the badges and labels after the background
shot "$out/welcome.png"
say "welcome page: $out/welcome.png"
click 475 354  # Next (110 wide, its right edge 15 from the window's)
await 10 10 FFFFFF "the offer page did not appear (are the offer's rules met?)"
sleep 0.5
shot "$out/offer.png"
say "offer page: $out/offer.png"
click 455 354  # Agree and Install (150 wide)

# 4. What ran.
for _ in $(seq 1200); do
  kill -0 "$wrapper" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$wrapper" 2>/dev/null && fail "the wrapper did not finish within two minutes"
rc=0
wait "$wrapper" || rc=$?
say "the wrapper finished with exit code $rc"
installed=$(find "$WINEPREFIX/drive_c" -path '*/Bountiq Sample Product/readme.txt' -print -quit)
if [ -n "$installed" ]; then
  say "product installed: ${installed#"$WINEPREFIX/"}"
else
  say "product: not installed"
fi
grep -q 'nano_download.php' "$work/ports.log" 2>/dev/null &&
  say "partner downloaded: $(grep -m1 -o 'GET [^ ]*' "$work/ports.log")"
record=$(find "$WINEPREFIX/drive_c/users" -name 'WebCompanionInstaller.exe.record' -print -quit)
if [ -n "$record" ]; then
  say "partner ran: $(iconv -f UTF-16LE -t UTF-8 "$record" | cut -d' ' -f3-)"
else
  say "partner: did not run"
fi
