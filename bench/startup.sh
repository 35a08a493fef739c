#!/usr/bin/env bash
# Size and start-up of the wrapper template beside a minimal Win32 program
# that opens one window, built by the same toolchain and measured in the same
# run. Runs inside a Wine session: make bench (or
# scripts/wine-session.sh bench/startup.sh). ROUNDS=N sets the rounds.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin=$BOUNTIQ_BUILD/bin
wrapper=$bin/bountiq-wrapper.exe
minimal=$bin/bench-minimal-window.exe
rounds=${ROUNDS:-15}

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

size_wrapper=$(stat -c %s "$wrapper")
size_minimal=$(stat -c %s "$minimal")
echo "Size"
printf '  %-40s %8d bytes\n' "bountiq-wrapper.exe (template)" "$size_wrapper" "minimal window program" "$size_minimal"
echo "  where the template's code and data come from:"
python3 "$top/bench/size_breakdown.py" "$BOUNTIQ_BUILD/bountiq-wrapper.map" | sed 's/^/  /'
echo "  DLLs it imports (link map and import table):"
/usr/bin/python3 "$top/scripts/imports.py" "$BOUNTIQ_BUILD/bountiq-wrapper.map" "$wrapper" | sed 's/^/    /' || true

echo "Start-up to the first visible window (median of $rounds, alternating)"
read -r t_wrapper t_minimal < <("$top/scripts/wine" "$bin/bench-startup-probe.exe" "$rounds" "$(winpath "$wrapper")" \
  "$(winpath "$minimal")" | tr -d '\r' | paste -sd ' ')
printf '  %-40s %8s ms\n' "bountiq-wrapper.exe" "$t_wrapper" "minimal window program" "$t_minimal"
budget=$(cat "$BOUNTIQ_BUILD/template-budget.txt")
awk -v a="$t_wrapper" -v b="$t_minimal" -v sa="$size_wrapper" -v sb="$size_minimal" -v budget="$budget" 'BEGIN {
  printf "Ratios: start-up %.2fx (goal at most 1.1x), size %.1fx; template %d bytes of its budget of %d (%.0f KiB)\n",
    a / b, sa / sb, sa, budget, budget / 1024 }'
# The shipped i686 template beside the tested one, each against its own budget.
if [ "$BOUNTIQ_BUILD" != "$top/build" ] && [ -f "$top/build/bin/bountiq-wrapper.exe" ]; then
  printf '  shipped i686 template: %d bytes of its budget of %d\n' "$(stat -c %s "$top/build/bin/bountiq-wrapper.exe")" \
    "$(cat "$top/build/template-budget.txt" 2>/dev/null || echo 0)"
fi
