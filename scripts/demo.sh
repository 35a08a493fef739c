#!/usr/bin/env bash
# The main job, run inside a Wine session (make demo): packs a sample
# installer (a small MSI) with the packaging tool, starts the finished wrapper
# and writes a screenshot of its wizard to demo/wizard.png.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=${BOUNTIQ_DEMO_DIR:-$top/demo}
title="Bountiq - Software Installation"
mkdir -p "$out"

# The build of the architecture this host runs (scripts/arch.sh, set by the
# session): the shipped i686 one, or the x86_64 one where 32-bit programs
# cannot run.
"$BOUNTIQ_BUILD/bin/bountiq-pack" "$BOUNTIQ_BUILD/fixtures/Sample-Product.msi" -o "$out/Sample-Product-Setup.exe"
"$BOUNTIQ_BUILD/bin/bountiq-pack" --info "$out/Sample-Product-Setup.exe" | sed 's/^/demo: /'
"$top/scripts/wine" "$out/Sample-Product-Setup.exe" &
wrapper=$!

# The wizard's window, as the X server sees it.
window=""
for _ in $(seq 300); do
  window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\":" 'index($0, t) {print $1; exit}')
  [ -n "$window" ] && break
  kill -0 "$wrapper" 2>/dev/null || { echo "demo: the wrapper ended without showing its wizard" >&2; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "demo: no wizard window within 30 seconds" >&2; exit 1; }
sleep 1  # let it paint

geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {printf "%dx%d+%d+%d", w, h, x, y}')
xwd -root -silent | convert xwd:- -crop "$geometry" +repage "png:$out/wizard.png"
echo "demo: the wizard is on screen; screenshot written to $out/wizard.png"

wineserver -k  # closes the wizard with the session
wait "$wrapper" 2>/dev/null || true
