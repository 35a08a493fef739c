#!/usr/bin/env bash
# Makes a test certificate authority and the partner installers the trust
# tests serve, each a copy of one program signed (or not) in its own way:
#   make_signed_partners.sh PROGRAM OUT_FOLDER
# OUT_FOLDER receives root.der (the root the tests trust) and
#   signed.exe          signed by "Bountiq Test Partner" under the root
#   unsigned.exe        the program as it is
#   tampered.exe        signed.exe with one byte of its code changed
#   other-publisher.exe signed under the root by another publisher
#   other-organisation.exe  signed under the root by "Bountiq Test Partner"
#                       of another organisation
#   self-signed.exe     signed by a self-signed certificate of the right name
#   expired.exe         signed under the root by a certificate that expired
#                       (valid through 2020)
#   tls-server.exe      signed under the root by a TLS server certificate
#   untrusted-root.exe  signed under a root nobody trusts
# and copies whose signature carries a time stamp, a legacy Authenticode
# one (NAME.exe) and an RFC 3161 one (NAME-rfc3161.exe) each, made by a
# stand-in time-stamping authority (timestamp_server.py) on the loopback:
#   stamped             signed.exe, stamped now by a time-stamping authority
#                       under the root
#   expired-stamped     expired.exe, stamped in June 2020 by that authority
#   expired-stamped-late            ... stamped in June 2022, after it expired
#   expired-stamped-untrusted       ... in 2020 by an authority under the
#                                   root nobody trusts
#   expired-stamped-tsa-not-valid-then  ... in 2020 by an authority under the
#                                   root whose certificate starts in 2023
#   expired-stamped-other-digest    ... by the authority, for another digest
#   expired-stamped-broken          ... by the authority, its signature broken
# and, legacy only:
#   expired-stamped-not-tsa.exe     stamped in 2020 by a code-signing
#                                   certificate under the root
#   expired-lifetime-stamped.exe    like expired-stamped.exe, by a certificate
#                                   that also has the lifetime-signing usage
# The roots are valid from 2019 on, so that each of those dates is judged
# by the certificates' own validity.
set -euo pipefail
program=$(realpath "$1")
mkdir -p "$2"
out=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
# A work folder, and the clean-up that stops the server in $server.
. "$here/loopback.sh"
cd "$work"

subject='/CN=Bountiq Test Partner/O=Bountiq Test Partner Ltd'
cat >ext.cnf <<'CNF'
[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[codesign]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
[server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
authorityKeyIdentifier = keyid
[tsa]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
authorityKeyIdentifier = keyid
[lifetime]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning, 1.3.6.1.4.1.311.10.3.13
authorityKeyIdentifier = keyid
CNF
# A minimal CA, for certificates with dates of its choosing.
mkdir -p ca && : >ca/index.txt && echo 1000 >ca/serial
cat >ca.cnf <<'CNF'
[ca]
default_ca = test
[test]
dir = ca
database = ca/index.txt
serial = ca/serial
new_certs_dir = ca
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
organizationName = optional
CNF

key() { openssl genrsa -out "$1" 2048 2>/dev/null; }
root() {  # NAME SUBJECT
  key "$1.key"
  openssl req -new -key "$1.key" -subj "$2" -out "$1.csr"
  openssl ca -batch -notext -selfsign -config ca.cnf -keyfile "$1.key" -in "$1.csr" -out "$1.pem" \
    -extfile ext.cnf -extensions root -startdate 20190101000000Z -enddate "$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)" \
    2>/dev/null
}
issue() {  # NAME ISSUER SUBJECT EXTENSIONS [START END]
  key "$1.key"
  openssl req -new -key "$1.key" -subj "$3" -out "$1.csr"
  local dates=(-days 30)
  [ $# -ge 6 ] && dates=(-startdate "$5" -enddate "$6")
  openssl ca -batch -notext -config ca.cnf -cert "$2.pem" -keyfile "$2.key" -in "$1.csr" -out "$1.pem" \
    -extfile ext.cnf -extensions "$4" "${dates[@]}" 2>/dev/null
  cp "$2.pem" "$1.chain.pem"  # what a time-stamping authority sends along
}
sign() {  # CERT OUTPUT [OPTIONS...]
  local cert=$1 output=$2
  shift 2
  osslsigncode sign -certs "$cert.pem" -key "$cert.key" -h sha256 -n "Test Partner" "$@" \
    -in "$program" -out "$out/$output" >/dev/null
}
# A signature time-stamped by the stand-in authority: -t (legacy) or -ts
# (RFC 3161), the authority's certificate, the time it claims, a fault.
stamp() {  # CERT OUTPUT -t|-ts AUTHORITY TIME [FAULT]
  sign "$1" "$2" "$3" "http://127.0.0.1:$port/$4/$(date -u -d "$5" +%s)${6:+/$6}"
}

root root '/CN=Bountiq Test Root'
root stranger '/CN=Bountiq Untrusted Root'
issue partner root "$subject" codesign
issue other root '/CN=Someone Else/O=Someone Else Ltd' codesign
issue namesake root '/CN=Bountiq Test Partner/O=Someone Else Ltd' codesign
issue expired root "$subject" codesign 20200101000000Z 20210101000000Z
issue server root "$subject" server
issue lost stranger "$subject" codesign
valid_now=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
issue tsa root '/CN=Bountiq Test Time Stamps' tsa 20190101000000Z "$valid_now"
issue tsa-stranger stranger '/CN=Bountiq Untrusted Time Stamps' tsa 20190101000000Z "$valid_now"
issue tsa-young root '/CN=Bountiq Young Time Stamps' tsa 20230101000000Z "$valid_now"
issue lifetime root "$subject" lifetime 20200101000000Z 20210101000000Z
key self.key
openssl req -new -x509 -key self.key -subj "$subject" -days 30 -sha256 -addext extendedKeyUsage=codeSigning \
  -out self.pem

openssl x509 -in root.pem -outform DER -out "$out/root.der"
sign partner signed.exe
cp "$program" "$out/unsigned.exe"
sign other other-publisher.exe
sign namesake other-organisation.exe
sign self self-signed.exe
sign expired expired.exe
sign server tls-server.exe
sign lost untrusted-root.exe

# BOUNTIQ_NO_STAMPS=1 skips the time-stamped copies (for large programs).
if [ "${BOUNTIQ_NO_STAMPS:-0}" != 1 ]; then
# The loopback keeps out of any proxy the environment names.
export no_proxy=127.0.0.1 NO_PROXY=127.0.0.1
/usr/bin/python3 "$here/timestamp_server.py" "$work/tsa-port" "$work" &
server=$!
for _ in $(seq 100); do
  [ -s "$work/tsa-port" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/tsa-port" ] || { echo "the stand-in time-stamping authority did not start" >&2; exit 1; }
port=$(cat "$work/tsa-port")
during='2020-06-01 12:00 UTC'  # the expired certificate was valid then
for kind in -t -ts; do
  suffix=""
  [ "$kind" = -ts ] && suffix=-rfc3161
  stamp partner "stamped$suffix.exe" "$kind" tsa now
  stamp expired "expired-stamped$suffix.exe" "$kind" tsa "$during"
  stamp expired "expired-stamped-late$suffix.exe" "$kind" tsa '2022-06-01 12:00 UTC'
  stamp expired "expired-stamped-untrusted$suffix.exe" "$kind" tsa-stranger "$during"
  stamp expired "expired-stamped-tsa-not-valid-then$suffix.exe" "$kind" tsa-young "$during"
  stamp expired "expired-stamped-other-digest$suffix.exe" "$kind" tsa "$during" other-digest
  stamp expired "expired-stamped-broken$suffix.exe" "$kind" tsa "$during" broken-signature
done
# openssl makes RFC 3161 stamps only with a time-stamping certificate.
stamp expired expired-stamped-not-tsa.exe -t other "$during"
stamp lifetime expired-lifetime-stamped.exe -t tsa "$during"
fi
# One byte of the code changed after signing: the program's entry point.
cp "$out/signed.exe" "$out/tampered.exe"
python3 - "$out/tampered.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
entry = struct.unpack_from("<I", data, pe + 0x28)[0]
sections = struct.unpack_from("<H", data, pe + 6)[0]
table = pe + 0x18 + struct.unpack_from("<H", data, pe + 0x14)[0]
for i in range(sections):
    vsize, va, _, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
    if va <= entry < va + vsize:
        data[raw + entry - va] ^= 0xFF
        break
else:
    sys.exit("no section holds the entry point")
open(sys.argv[1], "wb").write(data)
PY
