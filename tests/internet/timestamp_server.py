#!/usr/bin/env python3
"""A stand-in time-stamping authority on the loopback, for time-stamping the
test partners' signatures (osslsigncode -t URL for a legacy Authenticode
time stamp, -ts URL for an RFC 3161 one).

    timestamp_server.py PORT_FILE FOLDER

Listens on a free port of 127.0.0.1 and writes it to PORT_FILE. A request
to /NAME/UNIX_TIME[/FAULT] is stamped with the key FOLDER/NAME.key and the
certificate FOLDER/NAME.pem (its chain FOLDER/NAME.chain.pem goes with it),
claiming UNIX_TIME as the time:
  legacy     a PKCS #7 signed message of the digest the request carries,
             with UNIX_TIME as its signing time (base64 in, base64 out)
  RFC 3161   a time-stamp response (application/timestamp-query in,
             application/timestamp-reply out)
Faults, for stamps that must not be trusted:
  other-digest      stamps a digest with one byte changed (a stamp made for
                    another signature)
  broken-signature  changes the last byte of the answer, which is the last
                    byte of the time-stamping authority's signature
openssl makes the stamps, run under faketime for the time they claim.
"""
import base64
import datetime
import http.server
import os
import socketserver
import subprocess
import sys
import tempfile

FAULTS = ("other-digest", "broken-signature")

TS_CONFIG = """
[tsa]
default_tsa = stand_in
[stand_in]
serial = {serial}
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha1, sha256, sha384, sha512
ess_cert_id_alg = sha256
"""


def der_items(data):
    """The (tag, contents) of the DER items that make up data, in order."""
    items, at = [], 0
    while at < len(data):
        tag, size = data[at], data[at + 1]
        at += 2
        if size & 0x80:
            count = size & 0x7F
            size = int.from_bytes(data[at:at + count], "big")
            at += count
        items.append((tag, data[at:at + size]))
        at += size
    return items


def only(items, tag):
    found = [contents for t, contents in items if t == tag]
    if len(found) != 1:
        raise ValueError("expected one item of tag %#x" % tag)
    return found[0]


def legacy_digest(request):
    """The digest a legacy request carries:
    SEQUENCE { type OID, ContentInfo { data OID, [0] { OCTET STRING } } }."""
    body = only(der_items(request), 0x30)
    info = only(der_items(body), 0x30)
    return only(der_items(only(der_items(info), 0xA0)), 0x04)


def rfc3161_imprint(query):
    """The hashed message of a TimeStampReq:
    SEQUENCE { version, MessageImprint { AlgorithmIdentifier, OCTET STRING }, ... }."""
    body = only(der_items(query), 0x30)
    imprint = [contents for tag, contents in der_items(body) if tag == 0x30][0]
    return only(der_items(imprint), 0x04)


def utc_text(unix_time):
    return datetime.datetime.fromtimestamp(unix_time, datetime.timezone.utc).strftime("%Y-%m-%d %H:%M:%S")


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_POST(self):
        try:
            kind, answer = self.stamp()
            self.send_response(200)
            self.send_header("Content-Type", kind)
        except Exception as error:  # the signing tool reports the failure
            answer = str(error).encode()
            self.send_response(500)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def stamp(self):
        request = self.rfile.read(int(self.headers["Content-Length"]))
        parts = self.path.strip("/").split("/")
        if len(parts) not in (2, 3) or parts[2:] and parts[2] not in FAULTS:
            raise ValueError("no such stamp: " + self.path)
        name, when = parts[:2]
        fault = parts[2] if len(parts) == 3 else None
        folder = sys.argv[2]
        signer = ["-signer", os.path.join(folder, name + ".pem"), "-inkey", os.path.join(folder, name + ".key")]
        chain = os.path.join(folder, name + ".chain.pem")
        rfc3161 = self.headers.get("Content-Type", "") == "application/timestamp-query"
        with tempfile.TemporaryDirectory() as work:
            if rfc3161:
                query = bytearray(request)
                if fault == "other-digest":
                    imprint = rfc3161_imprint(request)
                    query[request.index(imprint)] ^= 0xFF
                source = os.path.join(work, "query")
                config = os.path.join(work, "ts.cnf")
                with open(config, "w") as f:
                    f.write(TS_CONFIG.format(serial=os.path.join(work, "serial")))
                with open(os.path.join(work, "serial"), "w") as f:
                    f.write("01\n")
                command = ["openssl", "ts", "-reply", "-config", config, "-queryfile", source, "-chain", chain,
                           "-out", "/dev/stdout"] + signer
                kind = "application/timestamp-reply"
            else:
                query = bytearray(legacy_digest(base64.b64decode(request)))
                if fault == "other-digest":
                    query[0] ^= 0xFF
                source = os.path.join(work, "digest")
                command = ["openssl", "cms", "-sign", "-binary", "-nodetach", "-nosmimecap", "-md", "sha256",
                           "-in", source, "-certfile", chain, "-outform", "DER"] + signer
                kind = "application/octet-stream"
            with open(source, "wb") as f:
                f.write(query)
            answer = bytearray(subprocess.run(["faketime", "-f", "@" + utc_text(int(when))] + command,
                                              env=dict(os.environ, TZ="UTC"), check=True,
                                              capture_output=True).stdout)
        if fault == "broken-signature":
            answer[-1] ^= 0xFF
        return kind, bytes(answer) if rfc3161 else base64.b64encode(answer)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    server = Server(("127.0.0.1", 0), Handler)
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(sys.argv[1] + ".tmp", sys.argv[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
