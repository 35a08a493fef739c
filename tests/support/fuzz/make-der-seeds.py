#!/usr/bin/env python3
"""Writes the seeds of the der_timestamp fuzz target: time stamps' contents
(TSTInfo) as time-stamping authorities make them, in short and long form."""
import os
import sys


def der(tag, contents):
    n = len(contents)
    if n < 0x80:
        length = bytes([n])
    else:
        raw = n.to_bytes((n.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(raw)]) + raw
    return bytes([tag]) + length + contents


SHA256 = bytes.fromhex("608648016503040201")
POLICY = bytes.fromhex("2b0601040182371402")


def tst_info(time, digest=b"\x5a" * 32, rest=b""):
    imprint = der(0x30, der(0x30, der(0x06, SHA256) + der(0x05, b"")) + der(0x04, digest))
    return der(0x30, der(0x02, b"\x01") + der(0x06, POLICY) + imprint + der(0x02, b"\x12\x34") +
               der(0x18, time) + rest)


out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "der_timestamp")
os.makedirs(out, exist_ok=True)
seeds = {
    "plain": tst_info(b"20200601123456Z"),
    "fraction": tst_info(b"20200601123456.789Z"),
    "optional-fields": tst_info(b"20200601123456Z", rest=der(0x30, der(0x02, b"\x01")) + der(0x02, b"\x11\x22")),
    "long-digest": tst_info(b"20200601123456Z", digest=b"\x5a" * 300),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
