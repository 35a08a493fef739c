#!/usr/bin/env bash
# The packing tool for Linux against the Windows tool (under Wine): for a
# table of installers both write wrappers from which wrestool and pefile read
# the same resources, byte for byte, each with a right checksum, and --info
# says the same (but for the checksum's value, which follows the layout), as
# do their warnings; the same with silent arguments and without the offer.
# An empty installer is refused by both without output. Then a
# natively packed wrapper is signed (osslsigncode with a test certificate),
# verified, and run under Wine: Next extracts the stand-in installer and
# starts it.
#   pack_equivalence_test.sh BIN_DIR FIXTURES_DIR   (inside a Wine session)
set -u
bin=$1
fixtures=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tests/internet/loopback.sh"
. "$top/scripts/wizard.sh"
native=$bin/bountiq-pack
windows=$bin/bountiq-pack-wine
. "$top/tests/package/checks.sh"

# Each resource as "type name language size" with its bytes' digest, as
# pefile reads them, and whether the checksum is right.
pe_resources() {
  /usr/bin/python3 - "$1" <<'PY'
import hashlib, sys, pefile
pe = pefile.PE(sys.argv[1])
print("checksum", "right" if pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum() else "WRONG")
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for n in t.directory.entries:
        for l in n.directory.entries:
            d = l.data.struct
            data = pe.get_data(d.OffsetToData, d.Size)
            print(t.name or t.id, n.name or n.id, l.id, d.Size, hashlib.sha256(data).hexdigest()[:16])
PY
}
# wrestool's listing without the file offsets, and each item's bytes.
wrestool_view() {
  local file=$1 item
  wrestool -l "$file" | sed 's/offset=0x[0-9a-f]* *//'
  wrestool -l "$file" | sed -E 's/^(--type=[^ ]+ --name=[^ ]+ --language=[0-9]+).*/\1/' | while read -r item; do
    eval "wrestool -x --raw $item \"\$file\"" | sha256sum | cut -c1-16
  done
}

empty=$work/Empty-Setup.exe
: >"$empty"
# Both tools pack INSTALLER with ARGS; the wrappers, --info and the
# warnings agree.
same_wrappers() {  # same_wrappers WHAT INSTALLER ARGS...
  local name=$1 installer=$2
  shift 2
  "$native" "$installer" -o "$work/native.exe" "$@" >/dev/null 2>"$work/native.err" ||
    { fail "$name: the Linux tool failed"; return; }
  "$windows" "$installer" -o "$work/windows.exe" "$@" >/dev/null 2>"$work/windows.err" ||
    { fail "$name: the Windows tool failed"; return; }
  check "$name: pefile reads the same resources" cmp -s <(pe_resources "$work/native.exe") \
    <(pe_resources "$work/windows.exe")
  check "$name: the checksum is right" grep -qx "checksum right" <(pe_resources "$work/native.exe")
  check "$name: wrestool reads the same resources" cmp -s <(wrestool_view "$work/native.exe") \
    <(wrestool_view "$work/windows.exe")
  # The checksums themselves differ with the layout: both are right.
  check "$name: --info says the same" cmp -s <("$native" --info "$work/native.exe" | sed 's/ (0x.*//') \
    <("$windows" --info "$work/windows.exe" | tr -d '\r' | sed 's/ (0x.*//')
  check "$name: the same warnings" cmp -s "$work/native.err" <(tr -d '\r' <"$work/windows.err")
  rm -f "$work/native.exe" "$work/windows.exe"
}
for installer in "$fixtures/fixture-icon-numeric.exe" "$fixtures/fixture-icon-named.exe" \
  "$fixtures/fixture-version.exe" "$fixtures/fixture-plain.exe" "$fixtures/Sample-Product.msi" \
  "$bin/fake-installer.exe" "$top/tests/pack/fuzz/corpus/pe_resources/nsis-installer.exe"; do
  same_wrappers "$(basename "$installer")" "$installer"
done
same_wrappers "silent arguments not in ASCII, no offer" "$bin/fake-installer.exe" \
  --silent-args '/S /LANG=Français /D=C:\Program Files\Ünïcode' --no-offer
for tool in "$native" "$windows"; do
  rc=0
  err=$("$tool" "$empty" -o "$work/empty.exe" 2>&1 >/dev/null) || rc=$?
  check "$(basename "$tool"): an empty installer is refused" test "$rc" = 1
  check "$(basename "$tool"): ... saying so" grep -q "is empty" <<<"$err"
  check "$(basename "$tool"): ... without output" test ! -e "$work/empty.exe"
done

# Signed after packing, as a publisher does; verified; run.
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Bountiq Test Publisher" -days 2 \
  -addext extendedKeyUsage=codeSigning -keyout "$work/sign.key" -out "$work/sign.pem" >/dev/null 2>&1
"$native" "$bin/fake-installer.exe" --name Product-Setup.exe -o "$work/wrapped.exe" >/dev/null
check "osslsigncode signs the packed wrapper" osslsigncode sign -certs "$work/sign.pem" -key "$work/sign.key" \
  -h sha256 -n "Bountiq Test Product" -in "$work/wrapped.exe" -out "$work/signed.exe" >/dev/null
check "osslsigncode verifies it" osslsigncode verify -CAfile "$work/sign.pem" -in "$work/signed.exe" >/dev/null
temp=$(wizard_temp)
rm -f "$temp/Product-Setup.exe.record"
BOUNTIQ_FAKE_SLEEP_MS=0 wizard_start "$work/signed.exe"
wizard_await 10 10 2DA9D3 "the signed wrapper's welcome page did not appear"
wizard_click 475 354  # Next
wizard_end 60
check "the signed wrapper exits 0" test "$rc" = 0
check "the signed wrapper extracted and started its installer" test -e "$temp/Product-Setup.exe.record"

checks_end pack_equivalence
