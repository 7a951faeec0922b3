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


def rec(op, reply=b"", a=0, b=0, c=0, d=0, e=0, timeout_first=False):
    """An adapter record: op, a (2 bytes, little-endian), b (2 bytes), c, d, e, n, reply."""
    n = len(reply) | (0x80 if timeout_first else 0)
    return bytes([op]) + struct.pack("<hh", a, b) + bytes([c, d, e, n]) + reply


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
for name, count, text in [("interval", 10, b"2.500e-06\n"), ("empty", 0, b""), ("error_text", 4, b"ERR\n"),
                          ("leading_blanks", 12, b"   -1.5E+03\n"), ("full_999", 999, b"1" * 999),
                          ("count_past_buffer", 1200, b"7" * 1000), ("count_beyond_bytes", 20, b"4.0\n")]:
    write("reply", name, struct.pack("<I", count) + text)

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

# adapter: records made by rec()
write("iss", "version", rec(0, b"\x07\x08\x40"))
write("iss", "serial_digits", rec(1, b"0001234"))
write("iss", "i2c_mode_ack", rec(2, b"\xff\x00", a=0x40, b=0x00))
write("iss", "io_mode_nack", rec(3, b"\x00\x05", a=0x0F))
write("iss", "pins_low_byte", rec(5, b"\xff", a=0x10E))
write("iss", "cmd12", rec(7, b"\xff" + b"\x01\x02\x03\x04\x05\x06\x07\x08"))
write("iss", "srf08_300_100", rec(8, b"\x01" + b"\x00\x00\x01\x2c\x00\x64"))
write("iss", "srf08_far_echo", rec(8, b"\x01" + b"\x05\x80\xff\xff\xff\xff"))
write("iss", "srf08_short", rec(8, b"\x01\x00\x00"))
write("iss", "display_text", rec(9, b"Distance:   123 cm  ", a=12))
write("iss", "keypad_keys_1_3", rec(10, b"\x00\x05\x00\x03"))
write("iss", "keypad_timeout", rec(10, b"\x00\x05\x00\x03", timeout_first=True))
write("iss", "pixel_block", rec(11, b"\xff"))
write("iss", "pixel", rec(12, b"\xff", a=4, b=4, c=255, d=64, e=0))
write("iss", "max2719_word", rec(13, b"\xff" * 53, a=0x0F00))
write("iss", "max2719_led", rec(14, b"\xff" * 53, c=3, d=5))
write("iss", "pin_walk", rec(15, b"\xff" * 13))
write("iss", "session", rec(0, b"\x07\x08\x40") + rec(2, b"\xff\x00", a=0x40) + rec(8, b"\x01\x00\x00\x01\x2c\x00\x64")
      + rec(10, b"\x00\x01\x00\x00") + rec(9, b"Hello", a=0) + rec(7, b""))
