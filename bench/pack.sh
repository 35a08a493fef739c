#!/usr/bin/env bash
# Packing cost and the payload's effect on start-up, inside a Wine session
# (make bench-pack):
#  - packing incompressible installers of 64 and 256 MiB with the Linux tool
#    and the Windows tool under Wine, beside cp of the same file, all in one
#    run: wall time (median of three, each after a sync) and peak memory;
#  - start-up to the first window of a wrapper with a 64 MiB payload beside
#    the bare template.
# SIZE_MB and PAYLOAD_MB change the sizes; LIMIT=1 also searches for the
# largest installer whose wrapper starts, extracts it and runs it.
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
# The median of three runs, each with the file system flushed first (the
# last run's written pages would slow the next one down) and its output
# removed after: measure_median OUTPUT COMMAND...
measure_median() {
  local out=$1 runs=()
  shift
  for _ in 1 2 3; do
    sync
    runs+=("$(measure "$@")")
    rm -f "$out"
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p
}

echo "Packing an incompressible installer (peak memory is the largest resident set)"
printf '  %-22s %9s %9s %12s\n' "" "64 MiB" "${size_mb} MiB" "peak at ${size_mb}"
for mb in 64 "$size_mb"; do
  head -c "${mb}M" /dev/urandom >"$work/setup-$mb.exe"
  cp "$work/setup-$mb.exe" "$work/warm.exe" && rm "$work/warm.exe"  # both read from the page cache
  read -r t_cp[$mb] m_cp < <(measure_median "$work/copy.exe" cp "$work/setup-$mb.exe" "$work/copy.exe")
  read -r t_native[$mb] m_native[$mb] < <(measure_median "$work/wrapped.exe" "$bin/bountiq-pack" "$work/setup-$mb.exe" \
    -o "$work/wrapped.exe")
  read -r t_wine[$mb] m_wine < <(measure_median "$work/wrapped-wine.exe" "$bin/bountiq-pack-wine" \
    "$work/setup-$mb.exe" -o "$work/wrapped-wine.exe")
done
printf '  %-22s %7s s %7s s %9s KiB\n' cp "${t_cp[64]}" "${t_cp[$size_mb]}" "$m_cp" \
  "bountiq-pack (Linux)" "${t_native[64]}" "${t_native[$size_mb]}" "${m_native[$size_mb]}" \
  "bountiq-pack.exe (Wine)" "${t_wine[64]}" "${t_wine[$size_mb]}" "$m_wine"
awk -v a="${t_native[$size_mb]}" -v b="${t_cp[$size_mb]}" -v m="${m_native[$size_mb]}" -v m64="${m_native[64]}" \
  -v w="${t_wine[$size_mb]}" -v s="$size_mb" 'BEGIN {
  printf "  at %d MiB the Linux tool takes %.2fx the time of cp (the Windows tool under Wine %.1fx),\n", s, a / (b > 0 ? b : 0.01), w / (b > 0 ? b : 0.01)
  printf "  with %.1f MB peak (%.1f MB at 64 MiB)\n", m * 1.024 / 1000, m64 * 1.024 / 1000 }'
rm -f "$work"/setup-*.exe

echo "Start-up with a ${payload_mb} MiB payload (median of ${ROUNDS:-9})"
head -c "${payload_mb}M" /dev/urandom >"$work/payload.exe"
"$bin/bountiq-pack" "$work/payload.exe" -o "$work/payload-wrapper.exe" >/dev/null
read -r t_big t_bare < <("$top/scripts/wine" "$bin/bench-startup-probe.exe" "${ROUNDS:-9}" "$(winpath "$work/payload-wrapper.exe")" \
  "$(winpath "$bin/bountiq-wrapper.exe")" | tr -d '\r' | paste -sd ' ')
printf '  %-32s %7s ms\n' "wrapper with the payload" "$t_big" "bare template" "$t_bare"

if [ "${LIMIT:-0}" = 1 ]; then
  # The stand-in installer of the tests, padded to the size with data after
  # its sections (the loader ignores it): the wrapper's Next extracts and
  # starts it, and it leaves a record in the temporary folder.
  . "$top/tests/internet/loopback.sh"
  . "$top/scripts/wizard.sh"
  temp=$(wizard_temp)
  echo "Largest installer whose wrapper starts and extracts it (Next pressed; the stand-in installer runs)"
  for mb in 512 1024 1536 1792 1920 2048 3072; do
    cp "$bin/fake-installer.exe" "$work/big.exe"
    truncate -s "${mb}M" "$work/big.exe"
    if out=$(/usr/bin/time -f '%e s, %M KiB peak' "$bin/bountiq-pack" "$work/big.exe" --name Product-Setup.exe \
      -o "$work/big-wrapper.exe" 2>&1); then
      rm -f "$temp/Product-Setup.exe.record"
      start=$(date +%s.%N)
      if ! BOUNTIQ_FAKE_SLEEP_MS=0 wizard_quiet=1 wizard_start_command "$work/big-wrapper.exe"; then
        printf '  %5d MiB: packed (%s); the wrapper did not start (Wine: not enough memory to map it)\n' "$mb" \
          "$(tail -1 <<<"$out")"
        break
      fi
      shown=$(echo "$(date +%s.%N) - $start" | bc)
      if wizard_await_quiet 10 10 2DA9D3; then
        wizard_click 475 354
        wizard_end 600
        ran=no
        [ -e "$temp/Product-Setup.exe.record" ] && ran=yes
        printf '  %5d MiB: packed (%s); window after %.1f s; extracted and ran: %s (exit %s)\n' "$mb" \
          "$(tail -1 <<<"$out")" "$shown" "$ran" "$rc"
        [ "$ran" = yes ] || break
      else
        kill "$wrapper" 2>/dev/null || true
        printf '  %5d MiB: packed (%s); the wrapper showed no wizard\n' "$mb" "$(tail -1 <<<"$out")"
        break
      fi
    else
      printf '  %5d MiB: failed: %s\n' "$mb" "$(grep -m1 bountiq-pack <<<"$out")"
      break
    fi
    rm -f "$work/big.exe" "$work/big-wrapper.exe"
  done
fi
