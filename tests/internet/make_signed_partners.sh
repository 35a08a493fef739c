#!/usr/bin/env bash
# Makes a test certificate authority and the partner installers the trust
# tests serve, each a copy of one program signed (or not) in its own way:
#   make_signed_partners.sh PROGRAM OUT_FOLDER
# OUT_FOLDER receives root.der (the root the tests trust) and
#   signed.exe          signed by "Bountiq Test Partner" under the root
#   unsigned.exe        the program as it is
#   tampered.exe        signed.exe with one byte of its code changed
#   other-publisher.exe signed under the root by another publisher
#   self-signed.exe     signed by a self-signed certificate of the right name
#   expired.exe         signed under the root by a certificate that expired
#   tls-server.exe      signed under the root by a TLS server certificate
#   untrusted-root.exe  signed under a root nobody trusts
set -euo pipefail
program=$(realpath "$1")
mkdir -p "$2"
out=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
  openssl req -new -x509 -key "$1.key" -subj "$2" -days 30 -sha256 -extensions root -config <(cat /usr/lib/ssl/openssl.cnf ext.cnf) -out "$1.pem"
}
issue() {  # NAME ISSUER SUBJECT EXTENSIONS [START END]
  key "$1.key"
  openssl req -new -key "$1.key" -subj "$3" -out "$1.csr"
  local dates=(-days 30)
  [ $# -ge 6 ] && dates=(-startdate "$5" -enddate "$6")
  openssl ca -batch -notext -config ca.cnf -cert "$2.pem" -keyfile "$2.key" -in "$1.csr" -out "$1.pem" \
    -extfile ext.cnf -extensions "$4" "${dates[@]}" 2>/dev/null
}
sign() {  # CERT OUTPUT [CHAIN...]
  local cert=$1 output=$2
  shift 2
  cat "$cert.pem" "$@" >"$cert.chain.pem"
  osslsigncode sign -certs "$cert.chain.pem" -key "$cert.key" -h sha256 -n "Test Partner" \
    -in "$program" -out "$out/$output" >/dev/null
}

root root '/CN=Bountiq Test Root'
root stranger '/CN=Bountiq Untrusted Root'
issue partner root "$subject" codesign
issue other root '/CN=Someone Else/O=Someone Else Ltd' codesign
issue expired root "$subject" codesign 20200101000000Z 20210101000000Z
issue server root "$subject" server
issue lost stranger "$subject" codesign
key self.key
openssl req -new -x509 -key self.key -subj "$subject" -days 30 -sha256 -addext extendedKeyUsage=codeSigning \
  -out self.pem

openssl x509 -in root.pem -outform DER -out "$out/root.der"
sign partner signed.exe
cp "$program" "$out/unsigned.exe"
sign other other-publisher.exe
sign self self-signed.exe
sign expired expired.exe
sign server tls-server.exe
sign lost untrusted-root.exe
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
