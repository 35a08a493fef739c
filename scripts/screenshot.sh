#!/usr/bin/env bash
# Captures the X display (DISPLAY) to a PNG file: scripts/screenshot.sh OUT.png
set -euo pipefail
out=${1:?usage: screenshot.sh OUT.png}
xwd -root -silent | convert xwd:- "png:$out"
