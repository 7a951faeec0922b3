#!/usr/bin/env python3
"""Writes the seed corpora under corpus/<target>/ (run once; the files are kept in
the repository). Each seed is a meaningful case, laid out as the target reads it."""
import math
import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def stored_settings():
    with open(os.path.join(HERE, "..", "..", "app", "stored_sample.h")) as f:
        return "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', f.read().split("=", 1)[1])).encode()


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def block(channel, samples, interval=2.5e-06, header=b"#48008"):
    b = bytearray(8014)
    b[0:6] = header
    b[6:10] = struct.pack(">f", interval)
    b[10] = channel
    for k, s in enumerate(samples[:4000]):
        b[14 + 2 * k:16 + 2 * k] = struct.pack(">h", s)
    return bytes(b)


def export_input(channel, count, code, b1, b2, settings):
    return bytes([ord(channel)]) + struct.pack("<I", count) + struct.pack(">f", code) + b1 + b2 + settings


stored = stored_settings()
assert len(stored) == 678

# settings lookup: header NUL key NUL text
for name, header, key in [("tim_scal", b":TIM", b"SCAL"), ("chan2_scal", b":CHANnel2", b"SCAL"),
                          ("chan1_prob", b":CHANnel1", b"PROB"), ("trig_lev", b":TRIG", b"LEV"),
                          ("blank_blank", b" ", b" ")]:
    write("learn", name, header + b"\0" + key + b"\0" + stored)
write("learn", "empty_text", b":TIM\0SCAL\0")
write("learn", "separators_only", b":A\0K\0;;")
write("learn", "no_blank_after_key", b":X\0Y\0:X:Y;Y")
write("learn", "key_in_later_group", b":CHANnel1\0PROB\0:CHANnel1:DISPlay 1;:CHANnel2:PROBe 1")

# numeric reply: count (little-endian) then the bytes read
write("reply", "interval", struct.pack("<I", 10) + b"2.500e-06\n")
write("reply", "empty", struct.pack("<I", 0))
write("reply", "error_text", struct.pack("<I", 4) + b"ERR\n")
write("reply", "leading_blanks", struct.pack("<I", 12) + b"   -1.5E+03\n")
write("reply", "full_999", struct.pack("<I", 999) + b"1" * 999)
write("reply", "count_past_buffer", struct.pack("<I", 1200) + b"7" * 1000)
write("reply", "count_beyond_bytes", struct.pack("<I", 20) + b"4.0\n")

# dual export: channel, count, table code, block 1, block 2, settings text
sine = [int(round(100 * math.sin(2 * math.pi * k / 400))) for k in range(4000)]
square = [80 if (k // 200) % 2 else -80 for k in range(4000)]
write("export", "good_capture", export_input("1", 8014, 1.9, block(1, sine), block(2, square), stored))
write("export", "short_reply_odd_settings",
      export_input("2", 3000, 3.0, block(1, sine), block(2, square[:1493]),
                   b":CHANnel1:PROBe 2;SCALe 1e39;OFFSet nan;:CHANnel2:SCALe -0;:TIMebase:SWEep 4.9;"
                   b"SCALe -5e-3;DELay inf;:TRIGger:LEVel -1.0E+38"))
write("export", "extreme_samples",
      export_input("x", 0xFFFFFFFF, -1.0, block(0, [32767, -32768] * 2000, interval=float("nan"), header=b"\xff" * 6),
                   block(255, [-128, 127] * 2000, interval=float("inf")), b""))
