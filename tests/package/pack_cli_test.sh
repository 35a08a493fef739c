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
# The payload's section on a page boundary in the file: Wine maps it lazily.
rsrc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2].VirtualAddress
for s in pe.sections:
    if s.VirtualAddress == rsrc and s.PointerToRawData % 4096:
        problems.append("resources at %#x in the file" % s.PointerToRawData)
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
check "pefile: checksum right, resources on 4 KiB" pe_check "$out"
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
  check "$kind: checksum right, resources on 4 KiB" pe_check "$work/other.exe"
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

# ---- silent arguments and the offer: stored, shown by --info, warned about ----
no_silent_args="bountiq-pack: warning: no --silent-args for an EXE installer: an unattended install (/S) starts it \
without arguments, and it may show its own windows"
lacks() { ! grep -qF -- "$1" <<<"$2"; }
# Packs with ARGS and checks the stored items (UTF-16LE without terminator,
# language 1033), the --info lines and whether the tool warned that an EXE
# has no silent arguments.
#   packed WHAT INSTALLER SILENT-ARGS|none on|off WARNED(yes|no) ARGS...
packed() {
  local what=$1 from=$2 silent=$3 offer=$4 warned=$5
  shift 5
  rm -f "$work/case.exe"
  local err rc info list
  err=$("$pack" "$from" -o "$work/case.exe" "$@" 2>&1 >/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")
  rc=$?
  [ "$rc" = 0 ] || { fail "$what: exit code $rc: $err"; return; }
  check "$what: checksum right" pe_check "$work/case.exe"
  list=$(wrestool -l "$work/case.exe")
  info=$("$pack" --info "$work/case.exe" | tr -d '\r')
  check "$what: --info's lines in order" \
    test "$(cut -d: -f1 <<<"$info" | paste -sd,)" = "installer,payload,silent arguments,offer,checksum"
  check "$what: --info shows the silent arguments" grep -qxF "silent arguments: $silent" <<<"$info"
  if [ "$silent" = none ]; then
    check "$what: no silent arguments stored" lacks "RES_INSTALLER_SILENT_ARGS" "$list"
  else
    check "$what: silent arguments stored in language 1033" \
      grep -qF -- "--type=10 --name='RES_INSTALLER_SILENT_ARGS' --language=1033 " <<<"$list"
    check "$what: silent arguments stored as UTF-16LE without terminator" \
      cmp -s <(resource "$work/case.exe" 10 RES_INSTALLER_SILENT_ARGS) <(printf %s "$silent" | iconv -f UTF-8 -t UTF-16LE)
  fi
  if [ "$offer" = on ]; then
    check "$what: --info shows the offer on" grep -qx "offer: on" <<<"$info"
    check "$what: no offer switch stored" lacks "RES_NO_OFFER" "$list"
  else
    check "$what: --info shows the offer off" grep -qx "offer: off (--no-offer)" <<<"$info"
    check "$what: offer switch stored in language 1033" grep -qF -- "--type=10 --name='RES_NO_OFFER' --language=1033 " <<<"$list"
    check "$what: offer switch is the UTF-16LE text 1" cmp -s <(resource "$work/case.exe" 10 RES_NO_OFFER) <(printf '1\0')
  fi
  if [ "$warned" = yes ]; then
    check "$what: warns that the EXE has no silent arguments" grep -qxF "$no_silent_args" <<<"$err"
  else
    check "$what: no warning about silent arguments" lacks "no --silent-args" "$err"
  fi
}
a2047=$(printf '%*s' 2047 '' | tr ' ' a)
spaced='/S /LOG="C:\Temp\setup log.txt" /D=C:\Program Files\Acme'
packed "an EXE without either" "$installer" none on yes
packed "--silent-args with spaces, quotes and backslashes" "$installer" "$spaced" on no --silent-args "$spaced"
packed "--no-offer" "$installer" none off yes --no-offer
packed "both, not ASCII" "$installer" "/S /LANG=Français 😀" off no --no-offer --silent-args "/S /LANG=Français 😀"
packed "--silent-args of 2048 characters" "$installer" "${a2047}b" on no --silent-args "${a2047}b"
packed "--silent-args given twice: the last counts" "$installer" "/S" on no --silent-args "" --silent-args /S
packed "an MSI" "$fixtures/Sample-Product.msi" none on no
packed "an EXE stored as .MSI" "$installer" none on no --name Setup.MSI
packed "an EXE stored as .msi.exe" "$installer" none on yes --name Setup.msi.exe

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
  bad_rc=$rc
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
bad "device name with two extensions" "is not a bare file name" "$installer" -o "$work/bad.exe" --name "CON.setup.exe"
bad "device name before .tar.gz" "is not a bare file name" "$installer" -o "$work/bad.exe" --name "nul.tar.gz"
bad "template is no executable" "is not a Windows executable" "$installer" -o "$work/bad.exe" --template "$work/notes.txt"
bad "missing template" "cannot read template" "$installer" -o "$work/bad.exe" --template "$work/none.exe"
bad "output folder missing" "does not exist" "$installer" -o "$work/no/such/bad.exe"
bad "no output" "no output given" "$installer"
bad "unknown option" "unknown option" "$installer" -o "$work/bad.exe" --frobnicate
bad "--info of no wrapper" "carries no installer" --info "$bin/bench-minimal-window.exe"
bad "--silent-args without its value" "option --silent-args needs a value (see --help)" "$installer" -o "$work/bad.exe" \
  --silent-args
check "--silent-args without its value: a usage error (exit code 2)" test "$bad_rc" = 2
# What the wrapper could not hand the installer as its command line's text.
refused() {  # refused DESCRIPTION MESSAGE SILENT-ARGS
  bad "$1" "bountiq-pack: $2" "$installer" -o "$work/bad.exe" --silent-args "$3"
  check "$1: exit code 1" test "$bad_rc" = 1
}
refused "empty --silent-args" "--silent-args is empty" ""
refused "--silent-args of 2049 characters" "--silent-args is too long: 2049 characters, at most 2048" "${a2047}bc"
# Counted in UTF-16 code units: a character beyond U+FFFF takes two.
refused "--silent-args of 2049 code units" "--silent-args is too long: 2049 characters, at most 2048" "${a2047}😀"
refused "a newline in --silent-args" "--silent-args holds a control character (U+000A)" $'/S\n/D=C:\\Acme'
refused "a tab in --silent-args" "--silent-args holds a control character (U+0009)" $'/S\t/D=C:\\Acme'
refused "DEL in --silent-args" "--silent-args holds a control character (U+007F)" $'/S\x7f'
# The Windows tool gets its command line as UTF-16 from Wine, which has
# already replaced what is not UTF-8.
case $pack in
  *-wine) ;;
  *)
    refused "a byte that is no UTF-8 in --silent-args" "--silent-args is not text (not valid UTF-8)" $'/S \xff'
    refused "a cut-short sequence in --silent-args" "--silent-args is not text (not valid UTF-8)" $'/S \xc3'
    refused "an overlong / in --silent-args" "--silent-args is not text (not valid UTF-8)" $'/S \xc0\xaf'
    refused "a surrogate in --silent-args" "--silent-args is not text (not valid UTF-8)" $'/S \xed\xa0\x80'
    refused "a character beyond U+10FFFF in --silent-args" "--silent-args is not text (not valid UTF-8)" \
      $'/S \xf4\x90\x80\x80'
    ;;
esac
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
# Silent arguments changed after packing are not what the tools write:
# --info says the resources are damaged.
tamper() {  # tamper WRAPPER OUTPUT odd-size|lone-surrogate|control
  /usr/bin/python3 - "$@" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
rcdata = next(t for t in pe.DIRECTORY_ENTRY_RESOURCE.entries if t.id == 10)
item = next(n for n in rcdata.directory.entries if str(n.name) == "RES_INSTALLER_SILENT_ARGS")
data = item.directory.entries[0].data.struct
if sys.argv[3] == "odd-size":
    data.Size -= 1
elif sys.argv[3] == "lone-surrogate":
    pe.set_bytes_at_rva(data.OffsetToData + 2, b"\x00\xd8")
else:
    pe.set_bytes_at_rva(data.OffsetToData + 2, b"\x1b\x00")
pe.write(sys.argv[2])
PY
}
"$pack" "$installer" -o "$work/with-args.exe" --silent-args "/S /D=C:\Acme" 2>/dev/null
for kind in odd-size lone-surrogate control; do
  tamper "$work/with-args.exe" "$work/$kind.exe" "$kind"
  bad "--info of silent arguments with $kind" "has damaged resources: the silent arguments are not text" \
    --info "$work/$kind.exe"
  check "--info of silent arguments with $kind: exit code 1" test "$bad_rc" = 1
done
check "--help shows the usage" grep -q "^usage: bountiq-pack" <("$pack" --help)
for option in --silent-args --no-offer; do
  check "--help explains $option" grep -qE "^  $option( TEXT)? +[a-z]" <("$pack" --help | tr -d '\r')
done
check "--version" grep -q "^bountiq-pack [0-9]" <("$pack" --version)

checks_end pack_cli
