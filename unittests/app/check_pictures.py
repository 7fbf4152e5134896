#!/usr/bin/env python3
"""Checks the pictures of a vex2d-run --out folder against its result file:
each test's PNG carries its test, mode, screen, program and surface SHA-1 as
text chunks (the SHA-1 the result file names), and overview.png is there.
   check_pictures.py OUT_DIR RESULT.json"""
import json
import struct
import sys
import zlib


def chunks(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path + ": not a PNG"
    at, found = 8, []
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        assert zlib.crc32(kind + body) == struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0], path
        found.append((kind, body))
        at += 12 + length
    return found


def text_of(path):
    return dict(body.split(b"\0", 1) for kind, body in chunks(path) if kind == b"tEXt")


def size_of(path):
    ihdr = chunks(path)[0]
    assert ihdr[0] == b"IHDR"
    return struct.unpack(">II", ihdr[1][:8])


out, result = sys.argv[1], json.load(open(sys.argv[2]))
screen = "%dx%d" % (result["context"]["screen"]["width"], result["context"]["screen"]["height"])
for test in result["tests"]:
    text = text_of("%s/%s.png" % (out, test["name"]))
    want = {b"vex2d test": test["name"], b"vex2d mode": result["run"]["mode"], b"vex2d screen": screen,
            b"vex2d surface SHA-1": test["surface_sha1"]}
    for key, value in want.items():
        assert text.get(key) == value.encode(), (test["name"], key, text.get(key), value)
    assert text[b"Software"].startswith(b"vex2d-run " + result["program"]["version"].encode()), text[b"Software"]
    assert size_of("%s/%s.png" % (out, test["name"])) == (result["context"]["screen"]["width"],
                                                            result["context"]["screen"]["height"])
width, height = size_of(out + "/overview.png")
assert width == 1056 and height > 400, (width, height)
assert text_of(out + "/overview.png")[b"vex2d mode"] == result["run"]["mode"].encode()
print("pictures: %d tests and the overview check out" % len(result["tests"]))
