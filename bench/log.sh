#!/usr/bin/env bash
# The diagnostic log: what a record costs with logging off, and how many
# records a second it writes with logging on. Runs inside a Wine session
# (make bench-log).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

echo "A record with logging off, as compiled (the facade's WriteLog inlined into the caller):"
"$BOUNTIQ_TRIPLE-objdump" -d --no-show-raw-insn -C "$BOUNTIQ_BUILD/bench/CMakeFiles/bench-log.dir/log-bench.cpp.obj" |
  awk '/^[0-9a-f]+ <.*Record\(/ {show = 1} show {print "  " $0} show && /ret/ {exit}'  || true  # awk stops reading early
echo "Measured (${RECORDS:-2000000} records on, ten times as many off):"
"$top/scripts/wine" "$BOUNTIQ_BUILD/bin/bench-log.exe" "${RECORDS:-2000000}" | tr -d '\r' | sed 's/^/  /'
