#!/usr/bin/env bash
# Runs finished wrappers through the faults the installer phase must
# survive, inside a Wine session (make faults), each as a user meets it:
# the wizard is clicked through and the offer accepted. Prints one line per
# case: what ran, how long the installer phase took (from "Agree and
# Install" to the wrapper's end) and the installer files left behind in the
# temporary folder. The offer vendor and the partner are loopback stand-ins
# (tests/internet/http_server.py); the product is the tests' stand-in
# installer, or the sample MSI.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin=$BOUNTIQ_BUILD/bin
. "$top/tests/internet/loopback.sh"
. "$top/scripts/wizard.sh"

"$top/tests/internet/make_signed_partners.sh" "$bin/fake-installer.exe" "$work/partners" >/dev/null
export BOUNTIQ_PARTNER_ROUTE=$work/route
: >"$work/route"
offer_machine "$work/partners/signed.exe"
"$bin/bountiq-pack" "$bin/fake-installer.exe" --name Product-Setup.exe --template "$bin/demo-template.exe" \
  -o "$work/Product-Wrapped.exe" >/dev/null
"$bin/bountiq-pack" "$BOUNTIQ_BUILD/fixtures/Sample-Product.msi" --template "$bin/demo-template.exe" \
  -o "$work/Sample-Wrapped.exe" >/dev/null
temp=$(wizard_temp)
export BOUNTIQ_FAKE_SLEEP_MS=0

# case NAME PARTNER_ROUTE SETUP [WINDOWS_ENVIRONMENT]
case_() {
  local name=$1 route=$2 setup=$3 environment=${4:-}
  echo "$route" >"$work/route"
  local records=${small:-$temp}  # the installers' temporary folder
  rm -f "$records"/*.record
  if [ -n "$environment" ]; then
    # Through cmd, which hands its environment to the wrapper (Wine sets
    # the temporary folders from the registry, not from Linux).
    wizard_start_command cmd /c "set $environment&& start /wait \"\" \"$(winpath "$setup")\""
  else
    wizard_start "$setup"
  fi
  local outcome product partner start end left
  if wizard_await_quiet 10 10 2DA9D3; then
    wizard_click 475 354
    wizard_await 10 10 FFFFFF "$name: the offer page did not appear"
    start=$(date +%s.%N)
    wizard_agree
  else
    start=$(date +%s.%N)
  fi
  wizard_end 900
  end=$(date +%s.%N)
  product=no
  [ -e "$records/Product-Setup.exe.record" ] && product=yes
  find "$WINEPREFIX/drive_c" -path '*/Bountiq Sample Product/readme.txt' | grep -q . && product=installed
  partner=no
  [ -e "$records/WebCompanionInstaller.exe.record" ] && partner=yes
  left=$(find "$temp" ${small:+"$small"} -maxdepth 1 \( -name 'Product-Setup*' -o -name 'WebCompanion*' -o -name 'bq-*' -o -name '*.msi' \) \
    ! -name '*.record' | wc -l)
  printf '%-48s exit %-4s product %-9s partner %-3s %7.1f s  files left %s\n' "$name" "$rc" "$product" "$partner" \
    "$(echo "$end - $start" | bc)" "$left"
  if [ "$product" = installed ]; then "$wine" msiexec /x "$(winpath "$BOUNTIQ_BUILD/fixtures/Sample-Product.msi")" /qn; fi
}

product=$work/Product-Wrapped.exe
small=""  # set for the cases whose temporary folder is a small file system
echo "faults: each wrapper clicked through and the offer accepted; the partner limit is $(sed -n \
  's/^BOUNTIQ_MAX_DOWNLOAD_MB:STRING=//p' "$BOUNTIQ_BUILD/CMakeCache.txt") MiB, the time-out $(sed -n \
  's/^BOUNTIQ_INTERNET_TIMEOUT_SECONDS:STRING=//p' "$BOUNTIQ_BUILD/CMakeCache.txt") s"
case_ "no fault: both installers run" "" "$product"
case_ "partner server stops sending" /stall "$product"
case_ "partner body never ends" /endless "$product"
case_ "error page (404) with an 8 MB body" "/status/404?size=8000000" "$product"
case_ "chunked partner body cut short" /cutchunked "$product"
case_ "partner with a changed byte" /files/tampered.exe "$product"
case_ "partner signed by an expired certificate" /files/expired.exe "$product"
case_ "expired since, time-stamped while valid" /files/expired-stamped.exe "$product"
case_ "the same with an RFC 3161 time stamp" /files/expired-stamped-rfc3161.exe "$product"
case_ "expired, time-stamped after it expired" /files/expired-stamped-late.exe "$product"
case_ "expired, time stamp from an untrusted authority" /files/expired-stamped-untrusted.exe "$product"
BOUNTIQ_FAKE_BROADCAST=1 case_ "product broadcasts to every window" "" "$product"
case_ "no usable temporary folder" "" "$product" "TMP=C:\\$(printf 'x%.0s' $(seq 300))"
case_ "MSI product, held until msiexec ends" "" "$work/Sample-Wrapped.exe"

# A disk that fills up: the temporary folder on a small file system of its
# own (a tmpfs mount, which needs the right to mount; skipped without it).
# A product too large for it, then a partner too large for what is left.
small=$work/small
mkdir -p "$small"
if mount -t tmpfs -o size=2m bountiq-faults "$small" 2>/dev/null; then
  trap 'umount "$small" 2>/dev/null || true; cleanup' EXIT
  cp "$bin/fake-installer.exe" "$work/Big-Setup.exe"
  head -c 4000000 /dev/zero >>"$work/Big-Setup.exe"  # past the image: still the same program
  "$bin/bountiq-pack" "$work/Big-Setup.exe" --name Product-Setup.exe --template "$bin/demo-template.exe" \
    -o "$work/Big-Wrapped.exe" >/dev/null
  case_ "disk full while extracting the product" "" "$work/Big-Wrapped.exe" "TMP=$(winpath "$small")"
  case_ "disk full while downloading the partner" "/bytes?size=8000000" "$product" "TMP=$(winpath "$small")"
  umount "$small"
else
  echo "disk full while extracting / downloading: skipped (mounting a small tmpfs needs the right to mount)"
fi
