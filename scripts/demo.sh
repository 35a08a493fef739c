#!/usr/bin/env bash
# The main job, run inside a Wine session (make demo), as a user meets it:
#   1. packs a sample product (a small MSI) with the packaging tool;
#   2. sets the machine up so that the partner offer applies (a stand-in
#      default browser named firefox.exe; the session's locale is in the
#      United States) and starts a stand-in offer vendor on the loopback
#      interface, serving a stand-in partner signed by the test publisher;
#   3. starts the finished wrapper, saves its welcome page as welcome.png,
#      presses Next, saves the offer page as offer.png, presses
#      "Agree and Install";
#   4. waits for the wrapper to finish and prints what ran.
# The wrapper's template is the shipped one built with its offer host on the
# loopback port (tools/demo/): nothing leaves the machine.
# BOUNTIQ_DEMO_DIR (default demo/) receives the wrapper and the pictures.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=${BOUNTIQ_DEMO_DIR:-$top/demo}
bin=$BOUNTIQ_BUILD/bin
mkdir -p "$out"
rm -f "$out/welcome.png" "$out/offer.png" "$out/wizard.png"
say() { echo "demo: $*"; }
fail() { echo "demo: $*" >&2; exit 1; }

# The loopback server of the tests, its work folder and clean-up; the
# wizard's driver.
. "$top/tests/internet/loopback.sh"
. "$top/scripts/wizard.sh"

# 1. Packing.
setup=$out/Sample-Product-Setup.exe
"$bin/bountiq-pack" "$BOUNTIQ_BUILD/fixtures/Sample-Product.msi" --template "$bin/demo-template.exe" -o "$setup"
"$bin/bountiq-pack" --info "$setup" | sed 's/^/demo: /'

# 2. The machine and the stand-in vendor.
"$top/tests/internet/make_signed_partners.sh" "$bin/fake-installer.exe" "$work/partners" >/dev/null
offer_machine "$work/partners/signed.exe"
say "stand-in offer vendor on http://127.0.0.1:$offer_port/"

# 3. The wizard.
wizard_start "$setup"
wizard_await 10 10 2DA9D3 "the welcome page did not appear"
sleep 0.5  # the badges and labels after the background
wizard_shot "$out/welcome.png"
say "welcome page: $out/welcome.png"
wizard_click 475 354  # Next (110 wide, its right edge 15 from the window's)
wizard_await 10 10 FFFFFF "the offer page did not appear (are the offer's rules met?)"
sleep 0.5
wizard_shot "$out/offer.png"
say "offer page: $out/offer.png"
wizard_agree

# 4. What ran.
wizard_end 120
say "the wrapper finished with exit code $rc"
installed=$(find "$WINEPREFIX/drive_c" -path '*/Bountiq Sample Product/readme.txt' -print -quit)
if [ -n "$installed" ]; then
  say "product installed: ${installed#"$WINEPREFIX/"}"
else
  say "product: not installed"
fi
grep -q 'nano_download.php' "$work/ports.log" 2>/dev/null &&
  say "partner downloaded: $(grep -m1 -o 'GET [^ ]*' "$work/ports.log")"
record=$(find "$WINEPREFIX/drive_c/users" -name 'WebCompanionInstaller.exe.record' -print -quit)
if [ -n "$record" ]; then
  say "partner ran: $(iconv -f UTF-16LE -t UTF-8 "$record" | cut -d' ' -f3-)"
else
  say "partner: did not run"
fi
