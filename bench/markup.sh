#!/usr/bin/env bash
# What parsing and laying out a caption costs as it grows: 1 KB, 10 KB and
# 100 KB with the real fonts under Wine (make bench-markup). Fails when ten
# times the length costs more than twelve times the time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/wine" "$BOUNTIQ_BUILD/bin/bench-markup.exe" "${ROUNDS:-5}" | tr -d '\r'
