#!/usr/bin/env bash
# Extraction of a 256 MiB payload beside cp of the same file, download of a
# 64 MiB file from a loopback server beside curl, and the signature check of
# a signed 64 MiB program beside sha256sum of it, in the same run. Inside a
# Wine session (make bench-transfer). EXTRACT_MB and DOWNLOAD_MB change sizes,
# ROUNDS the rounds of the extraction (alternating with cp, medians).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$BOUNTIQ_BUILD/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/bountiq-bench.XXXXXX")
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
extract_mb=${EXTRACT_MB:-256}
download_mb=${DOWNLOAD_MB:-64}
rounds=${ROUNDS:-5}

# Extraction: a copy of bench-transfer.exe packed with the payload writes it
# out through the installer phase's own code, into the installer folder in
# Wine's temporary folder; cp copies the same bytes into that folder. Neither
# flushes; each starts after a sync, with its source in the page cache.
head -c "${extract_mb}M" /dev/urandom >"$work/setup.exe"
"$bin/bountiq-pack" "$work/setup.exe" -o "$work/extract.exe" --template "$bin/bench-transfer.exe" >/dev/null
temp=$("$top/scripts/wine" winepath -u "$("$top/scripts/wine" cmd /c echo %TEMP% | tr -d '\r')" | tr -d '\r')
cat "$work/setup.exe" "$work/extract.exe" >/dev/null
extract_times="" cp_times=""
for round in $(seq "$rounds"); do
  sync
  copy=()
  ((round > 1)) || copy=("$(winpath "$work/out.exe")")
  extract_times+="$("$top/scripts/wine" "$work/extract.exe" extract "${copy[@]}" | tr -d '\r') "
  if ((round == 1)); then
    cmp -s "$work/setup.exe" "$work/out.exe" || { echo "extraction gave other bytes" >&2; exit 1; }
    rm -f "$work/out.exe"
  fi
  sync
  start=$(date +%s.%N)
  cp "$work/setup.exe" "$temp/bench-copy.exe"
  cp_times+="$(awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN {print a - b}') "
  rm -f "$temp/bench-copy.exe"
done
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
t_extract=$(median <<<"$extract_times")
t_cp=$(median <<<"$cp_times")
awk -v a="$t_extract" -v b="$t_cp" -v mb="$extract_mb" -v n="$rounds" 'BEGIN {
  printf "Extraction of %d MiB (median of %d, alternating): %.3f s; cp %.3f s\n", mb, n, a, b
  printf "  extraction takes %.2fx the time of cp (goal at most 1.0x)\n", a / b }'
rm -f "$work"/*.exe

head -c "${download_mb}M" /dev/urandom >"$work/partner.bin"
BOUNTIQ_PARTNER_FILE="$work/partner.bin" /usr/bin/python3 "$top/tests/internet/http_server.py" "$work/ports" &
server=$!
for _ in $(seq 100); do [ -s "$work/ports" ] && break; sleep 0.1; done
read -r port _ <"$work/ports" || true
url="http://127.0.0.1:$port/nano_download.php?partner=bench"
t_download=$("$top/scripts/wine" "$bin/bench-transfer.exe" download "$url" "$(winpath "$work/download.bin")" | tr -d '\r')
cmp -s "$work/partner.bin" "$work/download.bin" || { echo "the download gave other bytes" >&2; exit 1; }
t_curl=$(curl -s -o "$work/curl.bin" -w '%{time_total}' "$url")
awk -v a="$t_download" -v b="$t_curl" -v mb="$download_mb" 'BEGIN {
  printf "Download of %d MiB: %.3f s (%.0f MB/s); curl %.3f s (%.0f MB/s)\n", mb, a, mb * 1.048576 / a, b, mb * 1.048576 / b
  printf "  download speed %.2fx that of curl\n", b / a }'

# The signature check of a downloaded partner: a packed wrapper carrying the
# downloaded bytes, signed under a test root (tests/internet).
"$bin/bountiq-pack" "$work/partner.bin" -o "$work/big.exe" --name big.exe >/dev/null
BOUNTIQ_NO_STAMPS=1 "$top/tests/internet/make_signed_partners.sh" "$work/big.exe" "$work/partners" >/dev/null
t_verify=$("$top/scripts/wine" "$bin/bench-transfer.exe" verify "$(winpath "$work/partners/signed.exe")" \
  "$(winpath "$work/partners/root.der")" | tr -d '\r')
start=$(date +%s.%N)
sha256sum "$work/partners/signed.exe" >/dev/null
t_sha=$(awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN {print a - b}')
awk -v a="$t_verify" -v b="$t_sha" -v size="$(stat -c %s "$work/partners/signed.exe")" 'BEGIN {
  printf "Signature check of a signed %.0f MiB program: %.3f s; sha256sum %.3f s\n", size / 1048576, a, b
  printf "  the check takes %.2fx the time of hashing the file once\n", a / b }'
