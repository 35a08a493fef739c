#!/usr/bin/env bash
# Damaged executables (tests/package/damage.py, one fault each, made from
# the template itself) given to the packing tools:
#  - as the installer: the tool packs it as it is, leaves out what cannot be
#    read with a warning that names it, and writes a sound wrapper;
#  - as the template (the Linux tool): refused with a message, exit code 1,
#    and no output.
# No case may crash or hang the tool.
#   pack_damage_test.sh BIN_DIR TOOL...   (inside a Wine session for a Windows tool)
set -u
bin=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/checks.sh"

sound() {  # the wrapper's checksum is right and it carries the installer unchanged
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
ok = pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum()
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for n in t.directory.entries:
        if str(n.name) == "RES_INSTALLER_PACKAGE":
            d = n.directory.entries[0].data.struct
            ok = ok and pe.get_data(d.OffsetToData, d.Size) == open(sys.argv[2], "rb").read()
            break
    else:
        continue
    break
else:
    ok = False
sys.exit(0 if ok else 1)
PY
}

# KIND and the warning the installer gives ("" for none).
cases=(
  "not-pe|"
  "truncated-headers|the installer's resources cannot be read"
  "bad-e_lfanew|the installer's resources cannot be read (the NT headers' offset"
  "section-table-past-end|the installer's resources cannot be read (the section table"
  "resource-loop|the installer's resources cannot be read (the resource directory refers back to itself)"
  "resource-offset-out-of-range|the installer's resources cannot be read (a resource directory lies outside"
  "version-data-outside-file|the installer's version information is damaged"
  "icon-group-larger-than-resource|the installer's icon group lists 30583 images in 48 bytes"
  "icon-missing-image|the installer's icon group refers to icon 30583, which it does not contain"
  "no-resource-section|"
  "truncated-in-resources|the installer's resources cannot be read (the resource section runs past the end"
)
for entry in "${cases[@]}"; do
  kind=${entry%%|*}
  warning=${entry#*|}
  installer=$work/$kind.exe
  /usr/bin/python3 "$here/damage.py" "$bin/bountiq-wrapper.exe" "$kind" "$installer" || { fail "$kind: not made"; continue; }
  for tool in "$@"; do
    what="$(basename "$tool"): $kind as the installer"
    rm -f "$work/out.exe"
    rc=0
    # With silent arguments: the damage's is the only warning there may be.
    err=$(set -o pipefail; timeout 120 "$tool" "$installer" -o "$work/out.exe" --silent-args /S 2>&1 >/dev/null |
      tr -d '\r') || rc=$?
    if [ "$rc" != 0 ]; then fail "$what: exit code $rc: $err"; continue; fi
    if [ -n "$warning" ]; then
      grep -qF -- "warning: $warning" <<<"$err" || { fail "$what: no warning '$warning' in '$err'"; continue; }
    else
      [ -z "$err" ] || { fail "$what: unexpected '$err'"; continue; }
    fi
    sound "$work/out.exe" "$installer" || { fail "$what: the wrapper is not sound"; continue; }
    ok
  done
done

# Templates: only the Linux tool rebuilds a template's resources itself.
native=$bin/bountiq-pack
for kind in not-pe truncated-headers bad-e_lfanew section-table-past-end resource-loop \
  resource-offset-out-of-range version-data-outside-file no-resource-section truncated-in-resources; do
  templ=$work/template-$kind.exe
  /usr/bin/python3 "$here/damage.py" "$bin/bountiq-wrapper.exe" "$kind" "$templ"
  rm -f "$work/out.exe"
  rc=0
  err=$(timeout 120 "$native" "$bin/fake-installer.exe" -o "$work/out.exe" --template "$templ" 2>&1 >/dev/null) || rc=$?
  what="$kind as the template"
  if [ "$rc" != 1 ]; then fail "$what: exit code $rc"; continue; fi
  grep -q "^bountiq-pack: template '.*' \(is not a Windows executable\|cannot carry the installer: .\)" <<<"$err" ||
    { fail "$what: message '$err'"; continue; }
  [ ! -e "$work/out.exe" ] && [ -z "$(find "$work" -name '.bountiq-pack-*')" ] || { fail "$what: output left"; continue; }
  ok
done

checks_end pack_damage
