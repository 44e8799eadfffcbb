#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the small seed corpora of the fuzz targets (kept in fuzz/corpus)."""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def ck(b):
    c = (65536 - (sum(b) & 0xFFFF)) & 0xFFFF
    return bytes([c >> 8, c & 0xFF])


def block(tag, payload):
    h = bytearray(28)
    h[0:len(tag)] = tag
    h[8:12] = struct.pack("<I", len(payload))
    for i in range(12, 28):
        h[i] = 0x30 + i
    return bytes(h) + payload


def w(d, n, b):
    os.makedirs(os.path.join(here, d), exist_ok=True)
    with open(os.path.join(here, d, n), "wb") as f:
        f.write(b)


ACK = bytes([0x52, 0xA0, 0xEC, 0xFE, 0x74])
NAK = bytes([0x52, 0xA0, 0xE0, 0xFE, 0x80])
w("readers", "ack", b"\x00" + ACK)
w("readers", "nak", b"\x00" + NAK)
t = bytes([0x07, 0x52, 0, 0, 0x41, 0x20, 0x42])
w("readers", "text", b"\x00" + t + ck(t))
w("readers", "dcf", block(b"*DCF*", bytes(range(192))))
w("readers", "dff", block(b"*DFF*", bytes(640)))
w("readers", "dcf_short", block(b"*DCF*", bytes(100)))

bc = bytearray(28)
bc[0:4] = b"*BC*"
bc[8:12] = struct.pack("<I", 11)
im = bytearray(40)
im[0:5] = b"*IMT*"
im[8:12] = struct.pack("<I", 16)
im[12:28] = struct.pack("<8H", 100, 100, 300, 100, 300, 200, 100, 200)
im[28:32] = struct.pack("<I", 35)
im[32:34] = struct.pack("<H", 300)
im[34] = 72
w("capture_stream", "both", bytes(bc) + b"VARNET-0001" + bytes(im) + bytes(16))
w("capture_stream", "image_first", bytes(im) + bytes(16) + bytes(bc) + b"VARNET-0001")
w("capture_stream", "nak", NAK)
w("capture_stream", "junk", b"xxxxx" + bytes(bc) + b"VARNET-0001" + bytes(im))

w("scan_data", "crlf", b"ABC123\r\n")
w("scan_data", "cr_stop", b"AB\rCD")
w("scan_data", "controls", bytes([1, 7, 9, 0x10, 0x7E, 0x41]))
w("scan_data", "ack", ACK)

# Profiles: the written one (fuzz/corpus/profile_reader/written) comes from
# `varnet-cli profile`; this one exercises the edit forms.
w("profile_reader", "edit", b"varnet-profile: 1\nmodel: {name: HS-2D, code: 1}\nsettings:\n"
  b"  Symbologies:\n    MSI: {add: [MOD10], remove: [Transmit Check Digits]}\n"
  b"  Output Settings:\n    QR Prefix: \"QR:\"\n  Scan Settings:\n    Power On Beep: yes\n")
