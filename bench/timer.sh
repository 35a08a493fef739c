#!/usr/bin/env bash
# The timer service's clock resolution and the jitter of a 30 ms window
# timer beside the system's own 30 ms window timer, under Wine
# (make bench-timer). PERIODS=N sets the periods measured of each.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/wine" "$BOUNTIQ_BUILD/bin/bench-timer.exe" "${PERIODS:-200}" | tr -d '\r'
