#!/usr/bin/env bash
# The packaging tool as a publisher runs it on Linux, with the results
# checked by independent tools: wrestool reads the resources, pefile checks
# the checksum and the section layout.
#   pack_cli_test.sh BIN_DIR FIXTURES_DIR [OTHER_TEMPLATE]   (inside a Wine session)
# OTHER_TEMPLATE: the template of the other architecture, packed as well.
# PACK (default BIN_DIR/bountiq-pack, the tool for Linux) is the tool tested.
set -u
bin=$1
fixtures=$2
other_template=${3:-}
pack=${PACK:-$bin/bountiq-pack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

# pefile from Debian's package: the system's Python, whatever else is first
# on the PATH.
pe_check() {
  /usr/bin/python3 - "$1" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
problems = []
if pe.OPTIONAL_HEADER.CheckSum != pe.generate_checksum():
    problems.append("checksum %#x, should be %#x" % (pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum()))
for s in pe.sections:
    if s.SizeOfRawData and s.PointerToRawData % 4096:
        problems.append("section %s at %#x in the file" % (s.Name.rstrip(b"\0").decode(), s.PointerToRawData))
print("; ".join(problems))
sys.exit(1 if problems else 0)
PY
}

resource() {  # resource FILE TYPE NAME -> the item's bytes on stdout
  wrestool -x --raw --type="$2" --name="$3" "$1"
}

# ---- a product with an icon group and several images ----
installer=$work/Product-Setup.exe
cp "$fixtures/fixture-icon-numeric.exe" "$installer"
out=$work/wrapped.exe
check "pack exits 0" "$pack" "$installer" -o "$out"
check "pefile: checksum right, sections on 4 KiB" pe_check "$out"
list=$(wrestool -l "$out")
for item in "--type=10 --name='RES_INSTALLER_NAME'" "--type=10 --name='RES_INSTALLER_PACKAGE'" \
  "--type=14 --name='MAINICON'" "--type=3 --name=1 " "--type=3 --name=2 " "--type=3 --name=3 " \
  "--type=16 --name=1 "; do
  check "wrestool lists $item" grep -qF -- "$item" <<<"$list"
done
check "payload unchanged" cmp -s <(resource "$out" 10 RES_INSTALLER_PACKAGE) "$installer"
check "stored name is the bare file name in UTF-16LE" \
  test "$(resource "$out" 10 RES_INSTALLER_NAME | iconv -f UTF-16LE -t UTF-8)" = "Product-Setup.exe"
check "stored name has no terminator" test "$(resource "$out" 10 RES_INSTALLER_NAME | wc -c)" = 34
check "the product's icon group became MAINICON" \
  cmp -s <(resource "$out" 14 MAINICON) <(resource "$installer" 14 5)
info=$("$pack" --info "$out" | tr -d '\r')
check "--info names the installer" grep -qx "installer: Product-Setup.exe" <<<"$info"
check "--info gives the payload size" grep -qx "payload: $(stat -c %s "$installer") bytes" <<<"$info"
check "--info finds the checksum correct" grep -q "^checksum: correct" <<<"$info"

# ---- a version resource, --name, an explicit template, replacing output ----
cp "$fixtures/fixture-version.exe" "$work/tool.exe"
echo "old" >"$out"
check "pack with --name and --template" "$pack" "$work/tool.exe" -o "$out" --name "Setup 2.0.msi" \
  --template "$bin/bountiq-wrapper.exe"
check "output replaced and sound" pe_check "$out"
check "--name is stored" \
  test "$(resource "$out" 10 RES_INSTALLER_NAME | iconv -f UTF-16LE -t UTF-8)" = "Setup 2.0.msi"
# The system's version reader may hand out more than the block (room for its
# own conversions): the block itself, as long as its first word says, is the
# same.
version_block() { resource "$1" 16 1 | head -c "$(resource "$work/tool.exe" 16 1 | od -An -tu2 -N2 | tr -d ' ')"; }
check "the product's version was copied" cmp -s <(version_block "$out") <(version_block "$work/tool.exe")
temporaries() { find "$work" -name 'bqp*' -o -name '.bountiq-pack-*'; }
check "no temporary file is left" test -z "$(temporaries)"

# ---- a template of the other architecture: PE32 and PE32+ both pack ----
pe_kind() {  # pe_kind FILE -> PE32 or PE32+
  /usr/bin/python3 -c 'import sys, pefile; print("PE32+" if pefile.PE(sys.argv[1], fast_load=True).OPTIONAL_HEADER.Magic == 0x20b else "PE32")' "$1"
}
if [ -f "$other_template" ]; then
  kind=$(pe_kind "$other_template")
  check "pack into the $kind template" "$pack" "$installer" -o "$work/other.exe" --template "$other_template"
  check "$kind: checksum right, sections on 4 KiB" pe_check "$work/other.exe"
  check "$kind: still $kind" test "$(pe_kind "$work/other.exe")" = "$kind"
  check "$kind: payload unchanged" cmp -s <(resource "$work/other.exe" 10 RES_INSTALLER_PACKAGE) "$installer"
  check "$kind: icon group became MAINICON" \
    cmp -s <(resource "$work/other.exe" 14 MAINICON) <(resource "$installer" 14 5)
  check "$kind: --info finds the checksum correct" grep -q "^checksum: correct" <("$pack" --info "$work/other.exe" | tr -d '\r')
else
  echo "note: no template of the other architecture at ${other_template:-(none given)} (make build-other builds it)"
fi

# ---- the packed template still starts and shows its wizard ----
"$(dirname "$0")/../../scripts/wine" "$out" &
wrapper=$!
shown=0
for _ in $(seq 200); do
  if xwininfo -root -tree 2>/dev/null | grep -qF '"Bountiq - Software Installation":'; then shown=1; break; fi
  sleep 0.1
done
check "the packed wrapper shows its wizard" test "$shown" = 1
kill "$wrapper" 2>/dev/null
wait "$wrapper" 2>/dev/null

# ---- bad input: a message on stderr, a non-zero exit, no output ----
mkdir "$work/folder"
echo "not an executable" >"$work/notes.txt"
: >"$work/empty.exe"
bad() {  # bad DESCRIPTION EXPECTED-MESSAGE ARGS...
  local what=$1 expected=$2
  shift 2
  rm -f "$work/bad.exe"
  local err rc
  err=$("$pack" "$@" 2>&1 >/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  rc=$?
  [ "$rc" != 0 ] || { fail "$what: exit code 0"; return; }
  grep -qF -- "$expected" <<<"$err" || { fail "$what: message '$err'"; return; }
  [ "$(wc -l <<<"$err")" = 1 ] || { fail "$what: more than one line: $err"; return; }
  [ ! -e "$work/bad.exe" ] || { fail "$what: output left behind"; return; }
  [ -z "$(temporaries)" ] || { fail "$what: temporary file left behind"; return; }
  ok
}
bad "missing installer" "cannot read installer" "$work/missing.exe" -o "$work/bad.exe"
bad "installer is a folder" "is a folder, not an installer" "$work/folder" -o "$work/bad.exe"
bad "empty installer" "is empty" "$work/empty.exe" -o "$work/bad.exe"
bad "empty file name" "is not a bare file name" "$installer" -o "$work/bad.exe" --name ""
bad "file name with folders" "is not a bare file name" "$installer" -o "$work/bad.exe" --name "..\\evil.exe"
bad "file name of a device" "is not a bare file name" "$installer" -o "$work/bad.exe" --name "CON.exe"
bad "template is no executable" "is not a Windows executable" "$installer" -o "$work/bad.exe" --template "$work/notes.txt"
bad "missing template" "cannot read template" "$installer" -o "$work/bad.exe" --template "$work/none.exe"
bad "output folder missing" "does not exist" "$installer" -o "$work/no/such/bad.exe"
bad "no output" "no output given" "$installer"
bad "unknown option" "unknown option" "$installer" -o "$work/bad.exe" --frobnicate
bad "--info of no wrapper" "carries no installer" --info "$bin/bench-minimal-window.exe"
# The check itself takes message and exit code from one run: a stand-in
# that refuses only its first run is a bad case, and runs once.
stand_in=$work/stand-in.sh
cat >"$stand_in" <<'SH'
#!/usr/bin/env bash
echo run >>"${0%/*}/stand-in.runs"
[ "$(wc -l <"${0%/*}/stand-in.runs")" = 1 ] || exit 0
echo "bountiq-pack: refused" >&2
exit 1
SH
chmod +x "$stand_in"
real_pack=$pack
pack=$stand_in
bad "a tool that refuses its first run" "refused" "$installer" -o "$work/bad.exe"
pack=$real_pack
check "each bad case runs the tool once" test "$(wc -l <"$work/stand-in.runs")" = 1
check "--help shows the usage" grep -q "^usage: bountiq-pack" <("$pack" --help)
check "--version" grep -q "^bountiq-pack [0-9]" <("$pack" --version)

checks_end pack_cli
