#!/usr/bin/env python3
"""Writes the hand-made seed inputs of gdi_fuzz into corpus/.

Each seed spells out a short, meaningful call sequence in the input format
that gdi_fuzz.cpp reads, so fuzzing starts from inputs that already reach
every primitive family. Run it again after changing that format:
    python3 fuzz/seeds.py
"""
import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

def facade_functions():
    """The engine's one list of facade functions (VEX2D_FACADE_FUNCTIONS in
    engine.h), in order: an operation's number is its place in the list."""
    with open(os.path.join(HERE, "..", "src", "platform", "gdi", "engine.h")) as f:
        text = f.read()
    start = text.index("#define VEX2D_FACADE_FUNCTIONS(X)")
    end = text.index("\n\n", start)
    return re.findall(r"X\((\w+)\)", text[start:end])


FN = {name: i for i, name in enumerate(facade_functions())}
# The call numbers: one per facade function, then the harness's compound
# operations (Session::step).
(CREATE_PEN, CREATE_BRUSH, GET_STOCK, CREATE_FONT, SELECT, DELETE, GET_OBJECT, CREATE_DC,
 DELETE_DC, CREATE_DIB, MOVE_TO, LINE_TO, POLY_BEZIER, POLYGON, RECTANGLE, ELLIPSE, ARC,
 FILL_RECT, SET_PIXEL, GET_PIXEL, TEXT_OUT, SET_TEXT_COLOR, SET_BK_MODE, SET_BK_COLOR,
 GET_TEXT_METRICS, GET_TEXT_EXTENT, BIT_BLT, STRETCH_BLT, SET_STRETCH_MODE) = (FN[n] for n in (
    "CreatePen", "CreateSolidBrush", "GetStockObject", "CreateFontIndirectA", "SelectObject",
    "DeleteObject", "GetObjectA", "CreateCompatibleDC", "DeleteDC", "CreateDIBSection", "MoveToEx",
    "LineTo", "PolyBezier", "Polygon", "Rectangle", "Ellipse", "Arc", "FillRect", "SetPixel",
    "GetPixel", "TextOutA", "SetTextColor", "SetBkMode", "SetBkColor", "GetTextMetricsA",
    "GetTextExtentPoint32A", "BitBlt", "StretchBlt", "SetStretchBltMode"))
MOVE_VIEW, PEN_PER_LINE, DRAW_HOOK, DELETE_SELECTED = range(len(FN), len(FN) + 4)

# DCs in the order the header creates them.
TWIN24, TWIN32, THIRD, MONO, VIEW = range(5)
# The handle pool after the header: each DIB section, then its DC.
POOL_AFTER_HEADER = 8

EDGE = {0x7FFFFFFF: 0xC0 + 52, -0x80000000: 0xC0 + 53, 1 << 30: 0xC0 + 45, 65536: 0xC0 + 32}
ROPS = {"SRCCOPY": 0, "SRCPAINT": 1, "SRCAND": 2, "SRCINVERT": 3, "NOTSRCCOPY": 4,
        "DSTINVERT": 5, "BLACKNESS": 6, "WHITENESS": 7}


def c(v):
    """One coordinate: small values directly, a few edge values from the table."""
    if -64 <= v < 128:
        return bytes([v + 64])
    if v in EDGE:
        return bytes([EDGE[v]])
    return bytes([0xFF]) + struct.pack("<i", v)


def coords(*vs):
    return b"".join(c(v) for v in vs)


def colour(r, g, b):
    return bytes([0, r, g, b])


def size(w, h):
    """A surface size: 1 to 40 a side; 250 + 23k pixels wide (k < 12) and 1 to
    4 rows; or 2048 pixels on one side and 1 to 3 on the other."""
    if w <= 40 and h <= 40:
        return bytes([w - 1, h - 1])
    if w == 2048:
        assert 1 <= h <= 3
        return bytes([0xFC, h - 1])
    if h == 2048:
        assert 1 <= w <= 3
        return bytes([0xFE, w - 1])
    assert (w - 250) % 23 == 0 and 0 <= (w - 250) // 23 < 12 and 1 <= h <= 4
    return bytes([0xF0 + (w - 250) // 23, h - 1])


def header(shape=0, w=32, h=24, third=(17, 9), view=(30, 20), margins=0x55, pad=1,
           origin=(0, 0), clip=(0, 0, 30, 20), level=1):
    """`level` picks the SIMD level from the processor's list (scalar first):
    the seed's top four bits, modulo the number of levels it has."""
    seed = (0x09E3779B9 & 0x0FFFFFFF) | (level << 28)
    return (bytes([shape]) + struct.pack("<I", seed) + size(w, h) + size(*third) +
            size(*view) + bytes([margins, pad]) + coords(*origin) + coords(*clip))


class Seq:
    def __init__(self):
        self.b = bytearray()
        self.pool = POOL_AFTER_HEADER

    def op(self, n, *parts):
        self.b += bytes([n]) + b"".join(parts)

    def new_handle(self):
        """Pool index of the handle the last creating call made."""
        self.pool += 1
        return self.pool - 1

    @staticmethod
    def dc(i):
        return bytes([i])

    @staticmethod
    def obj(pool_index):
        return bytes([0, pool_index])

    @staticmethod
    def stock(i):
        return bytes([0x80 | i])

    def pen(self, width, rgb):
        self.op(CREATE_PEN, bytes([0]), bytes([width]), colour(*rgb))
        return self.new_handle()

    def brush(self, rgb):
        self.op(CREATE_BRUSH, colour(*rgb))
        return self.new_handle()

    def select(self, dc, h):
        self.op(SELECT, self.dc(dc), self.obj(h))
        self.pool += 1  # the previous object goes into the pool too


def write(name, data):
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(data)


def lines():
    s = Seq()
    for dc in (TWIN24, VIEW, THIRD):
        s.op(MOVE_TO, s.dc(dc), coords(1, 1), b"\x01")
        for width, end in ((0, (30, 5)), (1, (3, 20)), (3, (-10, -10)), (7, (40, 40)), (2, (15, 2))):
            s.op(PEN_PER_LINE, s.dc(dc), bytes([width]), colour(200, 30, 60), coords(*end))
        s.op(LINE_TO, s.dc(dc), coords(0x7FFFFFFF, 5))
    write("lines", header(level=0) + s.b)


def shapes():
    s = Seq()
    p = s.pen(3, (10, 200, 10))
    b = s.brush((0, 0, 255))
    for dc in (TWIN32, VIEW):
        s.select(dc, p)
        s.select(dc, b)
        s.op(RECTANGLE, s.dc(dc), coords(2, 2, 20, 14))
        s.op(ELLIPSE, s.dc(dc), coords(25, 1, 5, 18))
        s.op(ARC, s.dc(dc), coords(0, 0, 30, 20, 30, 0, 0, 20))
        s.op(POLYGON, s.dc(dc), bytes([5, 0]), coords(1, 1, 28, 3, 4, 19, 27, 18, 15, -5))
        s.op(POLY_BEZIER, s.dc(dc), bytes([4, 0]), coords(0, 10, 10, -20, 20, 40, 31, 10))
        s.op(FILL_RECT, s.dc(dc), coords(3, 3, 9, 9), b"\x00", s.stock(4))
        s.op(SET_PIXEL, s.dc(dc), coords(5, 6), colour(1, 2, 3))
    s.op(DELETE_SELECTED, s.dc(TWIN24), bytes([5]), colour(9, 9, 9), colour(80, 80, 80),
         coords(-3, -3, 12, 40))
    write("shapes", header(shape=0x21) + s.b)


def text():
    s = Seq()
    # LOGFONTA: height byte, extra flags, weight, italic, pitch, face (0: "Arial").
    for height, weight in ((16 + 10, 2), (8 + 10, 5), (107 + 10, 2)):
        s.op(CREATE_FONT, b"\x00", bytes([height, 0, weight, 0, 0, 0]))
        f = s.new_handle()
        for dc in (TWIN24, VIEW):
            s.select(dc, f)
            s.op(SET_TEXT_COLOR, s.dc(dc), colour(255, 0, 0))
            s.op(SET_BK_MODE, s.dc(dc), bytes([0]))
            s.op(TEXT_OUT, s.dc(dc), coords(-2, 3), bytes([5]) + b"Agx@W")
            s.op(SET_BK_MODE, s.dc(dc), bytes([1]))
            s.op(TEXT_OUT, s.dc(dc), coords(10, -4), bytes([1]) + b"Q")
        s.op(GET_TEXT_METRICS, s.dc(TWIN24), b"\x00")
        s.op(GET_TEXT_EXTENT, s.dc(TWIN24), bytes([3]) + b"abc", b"\x00")
    write("text", header(margins=0x1B, level=2) + s.b)


def blits():
    s = Seq()
    s.op(RECTANGLE, s.dc(THIRD), coords(0, 0, 17, 9))
    for i, name in enumerate(ROPS):
        src = (THIRD, VIEW, TWIN24, TWIN32)[i % 4]
        dst = (TWIN24, VIEW, TWIN32, THIRD)[i % 4]
        s.op(BIT_BLT, s.dc(dst), bytes([0, src]), coords(3, 2, 20, 15, 1, 1), bytes([ROPS[name]]))
    s.op(BIT_BLT, s.dc(TWIN24), bytes([0, TWIN24]), coords(2, 3, 25, 18, 0, 0), bytes([0]))
    for mode in range(4):
        s.op(SET_STRETCH_MODE, s.dc(TWIN32), bytes([mode]))
        s.op(STRETCH_BLT, s.dc(TWIN32), bytes([0, THIRD]), coords(-3, 1, 40, -20, 0, 0, 17, 9),
             bytes([0]))
        s.op(STRETCH_BLT, s.dc(VIEW), bytes([0, TWIN24]), coords(5, 5, 7, 3, 31, 0, -30, 23),
             bytes([3]))
    s.op(MOVE_VIEW, bytes([1, 2, 20, 10]), coords(-5, 4, 0, 0, 12, 9), b"\x00")
    s.op(BIT_BLT, s.dc(VIEW), bytes([0, VIEW]), coords(-4, -4, 30, 30, 0, 0), bytes([3]))
    write("blits", header(shape=0x52, margins=0xE4, pad=5, origin=(3, -2), clip=(1, 2, 25, 17), level=3) + s.b)


def wide():
    """Rows longer than the chunks that row kernels work in."""
    s = Seq()
    big = 0x7FFFFFFF
    for src, dst in ((TWIN32, TWIN24), (TWIN24, TWIN32), (TWIN24, TWIN24), (THIRD, VIEW), (VIEW, VIEW)):
        for rop, dx in (("SRCCOPY", 3), ("SRCINVERT", 7), ("SRCPAINT", -5), ("SRCAND", 1)):
            s.op(BIT_BLT, s.dc(dst), bytes([0, src]), coords(dx, 0, big, big, 0, 0), bytes([ROPS[rop]]))
    s.op(STRETCH_BLT, s.dc(TWIN24), bytes([0, TWIN32]), coords(2, 0, big, 3, 0, 0, 100, 2),
         bytes([ROPS["SRCINVERT"]]))
    s.op(RECTANGLE, s.dc(TWIN24), coords(-3, -3, big, 2))
    s.op(LINE_TO, s.dc(TWIN32), coords(big, 1))
    write("wide", header(w=503, h=3, third=(480, 2), view=(457, 4), clip=(0, 0, big, big), level=0) + s.b)
    write("long", header(w=2048, h=2, third=(3, 2048), view=(2048, 3), clip=(0, 0, big, big), level=2) + s.b)


def handles():
    s = Seq()
    p = s.pen(2, (1, 2, 3))
    b = s.brush((4, 5, 6))
    s.select(MONO, p)
    s.op(DELETE, s.obj(p))
    s.op(DELETE, s.obj(p))        # deleting twice: the second finds a pending object
    s.op(SELECT, s.dc(MONO), s.obj(b))
    s.pool += 1
    s.op(DELETE, s.obj(b))
    s.op(DELETE, s.obj(b))        # now stale
    s.op(SELECT, s.dc(TWIN24), s.obj(b))
    s.pool += 1
    s.op(SELECT, s.dc(VIEW), bytes([0xC0, THIRD]))  # a DC where an object belongs
    s.pool += 1
    s.op(SELECT, s.dc(THIRD), s.obj(0))   # twin's bitmap into another DC
    s.pool += 1
    s.op(GET_OBJECT, s.obj(0), bytes([10, 0]))    # 24 bytes of a BITMAP
    s.op(GET_OBJECT, s.obj(p), bytes([7, 0]))
    s.op(GET_OBJECT, bytes([0xF0]) + struct.pack("<I", 0xDEADBEEF), bytes([13, 0]))
    s.op(CREATE_DC, b"\xC0", s.dc(TWIN24))
    s.op(CREATE_DIB, bytes([0x03, 5, 7]), struct.pack("<I", 7))
    s.op(CREATE_DIB, bytes([0xC0, 5, 7, 9]))
    s.op(DELETE_DC, s.dc(THIRD))
    s.op(RECTANGLE, s.dc(THIRD), coords(0, 0, 5, 5))  # a deleted DC
    s.op(GET_STOCK, b"\x05")
    s.op(DELETE, bytes([0x85]))
    write("handles", header(view=(1, 1), margins=0xFF, clip=(0, 0, 1, 1)) + s.b)


def extremes():
    s = Seq()
    big, small = 0x7FFFFFFF, -0x80000000
    for dc in (TWIN24, VIEW):
        s.op(CREATE_PEN, bytes([0]), bytes([15]), colour(7, 7, 7))  # pen width 1 << 20
        s.select(dc, s.new_handle())
        s.op(MOVE_TO, s.dc(dc), coords(small, small), b"\x00")
        s.op(LINE_TO, s.dc(dc), coords(big, big))
        s.op(RECTANGLE, s.dc(dc), coords(small, small, big, big))
        s.op(ELLIPSE, s.dc(dc), coords(small, 3, big, 9))
        s.op(ARC, s.dc(dc), coords(small, small, big, big, 0, 0, 0, 0))
        s.op(POLYGON, s.dc(dc), bytes([0xE0, 0x82]) + struct.pack("<I", 12345))  # 10000 points
        s.op(STRETCH_BLT, s.dc(dc), bytes([0, THIRD]), coords(small, small, big, big, 0, 0, 1, 1),
             bytes([0]))
        s.op(BIT_BLT, s.dc(dc), bytes([0, dc]), coords(big, big, big, big, small, small), bytes([1]))
    write("extremes", header(origin=(1 << 30, -65536), clip=(small, small, big, big)) + s.b)


def main():
    os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
    lines()
    shapes()
    text()
    blits()
    handles()
    extremes()
    wide()


if __name__ == "__main__":
    main()
