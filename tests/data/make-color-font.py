#!/usr/bin/python3
"""Builds glyfrax-colr-test.ttf: a small TrueType font with layered colour glyphs (COLR version 0
and CPAL), for the colour-glyph tests. Run with a Python that has fontTools:
    /usr/bin/python3 tests/data/make-color-font.py tests/data/glyfrax-colr-test.ttf
U+E100 is a red square with a blue bar over its lower half; U+E101 a green square with a layer in
the text colour; "A" and "B" are plain glyphs (a square and a bar)."""
import sys
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.colorLib.builder import buildCOLR, buildCPAL


def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0))
    pen.lineTo((x0, y1))
    pen.lineTo((x1, y1))
    pen.lineTo((x1, y0))
    pen.closePath()
    glyph = pen.glyph()
    glyph.recalcBounds(None)
    return glyph


order = [".notdef", "space", "A", "B", "redSquare", "blueBar", "greenSquare", "dot", "uniE100", "uniE101"]
glyphs = {
    ".notdef": box(50, 0, 450, 700),
    "space": TTGlyphPen(None).glyph(),
    "A": box(100, 0, 900, 800),
    "B": box(100, 0, 300, 800),
    "redSquare": box(100, 0, 900, 800),
    "blueBar": box(100, 0, 900, 300),
    "greenSquare": box(100, 0, 900, 800),
    "dot": box(400, 300, 600, 500),
    "uniE100": box(100, 0, 900, 800),
    "uniE101": box(100, 0, 900, 800),
}
fb = FontBuilder(1000, isTTF=True)
fb.setupGlyphOrder(order)
fb.setupCharacterMap({0x20: "space", 0x41: "A", 0x42: "B", 0xE100: "uniE100", 0xE101: "uniE101"})
fb.setupGlyf(glyphs)
# Each glyph's left side bearing is its outline's left edge, as FreeType places outlines by it.
fb.setupHorizontalMetrics({name: (1000, getattr(glyph, "xMin", 0)) for name, glyph in glyphs.items()})
fb.setupHorizontalHeader(ascent=900, descent=-200)
fb.setupNameTable({"familyName": "Glyfrax COLR Test", "styleName": "Regular"})
fb.setupOS2(sTypoAscender=900, sTypoDescender=-200, usWinAscent=900, usWinDescent=200)
fb.setupPost()
fb.font["COLR"] = buildCOLR({
    "uniE100": [("redSquare", 0), ("blueBar", 1)],
    "uniE101": [("greenSquare", 2), ("dot", 0xFFFF)],
}, version=0)
fb.font["CPAL"] = buildCPAL([[(1.0, 0.0, 0.0, 1.0), (0.0, 0.0, 1.0, 1.0), (0.0, 0.5, 0.0, 1.0)]])
fb.save(sys.argv[1])
