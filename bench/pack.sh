#!/usr/bin/env bash
# Packing cost and the payload's effect on start-up, inside a Wine session
# (make bench-pack):
#  - packing a 256 MiB incompressible installer: wall time and peak memory,
#    beside cp of the same file;
#  - start-up to the first window of a wrapper with a 64 MiB payload beside
#    the bare template.
# SIZE_MB and PAYLOAD_MB change the sizes; LIMIT=1 also searches for the
# largest installer that packs and whose wrapper starts.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin=$BOUNTIQ_BUILD/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/bountiq-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
size_mb=${SIZE_MB:-256}
payload_mb=${PAYLOAD_MB:-64}
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
measure() {  # measure COMMAND... -> "seconds peak-KiB"
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
  cat "$work/time"
}

head -c "${size_mb}M" /dev/urandom >"$work/setup.exe"
echo "Packing a ${size_mb} MiB incompressible installer"
read -r t_pack m_pack < <(measure "$bin/bountiq-pack" "$work/setup.exe" -o "$work/wrapped.exe")
read -r t_cp m_cp < <(measure cp "$work/setup.exe" "$work/copy.exe")
printf '  %-12s %7s s %9s KiB peak\n' bountiq-pack "$t_pack" "$m_pack" cp "$t_cp" "$m_cp"
awk -v a="$t_pack" -v b="$t_cp" -v m="$m_pack" -v s="$size_mb" 'BEGIN {
  printf "  packing takes %.1fx the time of cp; peak memory %.1fx the payload\n", a / (b > 0 ? b : 0.01), m / 1024 / s }'
rm -f "$work/wrapped.exe" "$work/copy.exe"

echo "Start-up with a ${payload_mb} MiB payload (median of ${ROUNDS:-9})"
head -c "${payload_mb}M" /dev/urandom >"$work/payload.exe"
"$bin/bountiq-pack" "$work/payload.exe" -o "$work/payload-wrapper.exe" >/dev/null
read -r t_big t_bare < <("$top/scripts/wine" "$bin/bench-startup-probe.exe" "${ROUNDS:-9}" "$(winpath "$work/payload-wrapper.exe")" \
  "$(winpath "$bin/bountiq-wrapper.exe")" | tr -d '\r' | paste -sd ' ')
printf '  %-32s %7s ms\n' "wrapper with the payload" "$t_big" "bare template" "$t_bare"

if [ "${LIMIT:-0}" = 1 ]; then
  echo "Largest installer that packs and starts"
  rm -f "$work"/*.exe
  for mb in 512 768 896 1024 1280 1536 2048 3072; do
    head -c "${mb}M" /dev/zero | tr '\0' 'x' >"$work/big.exe" 2>/dev/null || head -c "${mb}M" /dev/urandom >"$work/big.exe"
    if out=$(/usr/bin/time -f '%e s, %M KiB peak' "$bin/bountiq-pack" "$work/big.exe" -o "$work/big-wrapper.exe" 2>&1); then
      started=$("$top/scripts/wine" "$bin/bench-startup-probe.exe" 1 "$(winpath "$work/big-wrapper.exe")" 2>&1 | tr -d '\r' || true)
      printf '  %5d MiB: packed (%s); first window after %s ms\n' "$mb" "$(tail -1 <<<"$out")" "$started"
    else
      printf '  %5d MiB: failed: %s\n' "$mb" "$(grep -m1 bountiq-pack <<<"$out")"
      break
    fi
    rm -f "$work/big.exe" "$work/big-wrapper.exe"
  done
fi
