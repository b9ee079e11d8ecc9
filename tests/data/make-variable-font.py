#!/usr/bin/python3
"""Builds glyfrax-test-variable.ttf, the variable font the tests read (Debian ships none).

Run with a Python that has fontTools (Debian's python3-fonttools):
    /usr/bin/python3 tests/data/make-variable-font.py

Axes: wght 100..900 (default 400), wdth 75..100 (default 100). Every coordinate of every glyph is
a + b*t + d*c with t = (wght - 100) / 800 and c = (100 - wdth) / 25, and the masters sit at
t = 0, 3/8, 1 and c = 0, 1, so the font at any coordinates is exactly that formula: a test computes
what the font must give (stems, advances, kerning) from the numbers below, e.g. the stem of I is
40 + 160 t units and its advance 120 + 160 t (units per em: 1000).
"""

import os
import sys

from fontTools.designspaceLib import AxisDescriptor, DesignSpaceDocument, InstanceDescriptor, SourceDescriptor
from fontTools.feaLib.builder import addOpenTypeFeaturesFromString
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools import varLib

FAMILY = "Glyfrax Test Variable"
SIDE = 40  # side bearing, the same everywhere


def stem(t):
    return 40 + 160 * t


def bar(t):  # crossbars and the o's top and bottom
    return 40 + 80 * t


def rect(pen, x0, y0, x1, y1, hole=False):
    points = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]  # clockwise: ink
    if hole:
        points.reverse()
    polygon(pen, points)


def polygon(pen, points):
    pen.moveTo(points[0])
    for point in points[1:]:
        pen.lineTo(point)
    pen.closePath()


def glyphs(t, c):
    """Each glyph's drawing (a function of a pen) and advance at t, c."""
    s, b = stem(t), bar(t)
    result = {}

    def notdef(pen):
        rect(pen, 50, 0, 450, 700)
        rect(pen, 100, 50, 400, 650, hole=True)

    result[".notdef"] = (notdef, 500)
    result["space"] = (None, 200 + 80 * t - 40 * c)

    result["I"] = (lambda pen: rect(pen, SIDE, 0, SIDE + s, 700), 2 * SIDE + s)

    counter = 360 - 80 * c

    def h(pen):
        rect(pen, SIDE, 0, SIDE + s, 700)
        rect(pen, SIDE + s + counter, 0, SIDE + 2 * s + counter, 700)
        rect(pen, SIDE + s, 350 - b / 2, SIDE + s + counter, 350 + b / 2)

    result["H"] = (h, 2 * SIDE + 2 * s + counter)

    round_counter = 300 - 64 * c

    def o(pen):
        rect(pen, SIDE, 0, SIDE + 2 * s + round_counter, 500)
        rect(pen, SIDE + s, b, SIDE + s + round_counter, 500 - b, hole=True)

    result["o"] = (o, 2 * SIDE + 2 * s + round_counter)

    def n(pen):
        rect(pen, SIDE, 0, SIDE + s, 500)
        rect(pen, SIDE + s + round_counter, 0, SIDE + 2 * s + round_counter, 500 - b)
        rect(pen, SIDE + s, 500 - b, SIDE + 2 * s + round_counter, 500)

    result["n"] = (n, 2 * SIDE + 2 * s + round_counter)

    width = 520 + 160 * t - 80 * c
    middle = SIDE + width / 2
    # An inverted V: two legs meeting in a flat top, the notch between them 3 stems below it.
    wedge = [(SIDE, 0), (middle - s / 2, 700), (middle + s / 2, 700), (SIDE + width, 0), (SIDE + width - s, 0),
             (middle, 700 - 3 * s), (SIDE + s, 0)]
    result["A"] = (lambda pen: polygon(pen, wedge), 2 * SIDE + width)
    result["V"] = (lambda pen: polygon(pen, [(x, 700 - y) for x, y in reversed(wedge)]), 2 * SIDE + width)
    return result


def kern(t, c):
    return -40 - 80 * t + 16 * c


CHARACTERS = {"space": 0x20, "A": 0x41, "H": 0x48, "I": 0x49, "V": 0x56, "n": 0x6E, "o": 0x6F}


def master(t, c):
    drawn = glyphs(t, c)
    order = list(drawn)
    builder = FontBuilder(1000, isTTF=True)
    builder.setupGlyphOrder(order)
    builder.setupCharacterMap({code: name for name, code in CHARACTERS.items()})
    outlines, metrics = {}, {}
    for name, (draw, advance) in drawn.items():
        pen = TTGlyphPen(None)
        if draw:
            draw(pen)
        outlines[name] = pen.glyph()
        assert advance == int(advance), (name, t, c)
        metrics[name] = (int(advance), 0)
    for glyph in outlines.values():
        glyph.coordinates.toInt()
        glyph.recalcBounds(outlines)
    builder.setupGlyf(outlines)
    metrics = {name: (advance, getattr(outlines[name], "xMin", 0)) for name, (advance, _) in metrics.items()}
    builder.setupHorizontalMetrics(metrics)
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    builder.setupNameTable({"familyName": FAMILY, "styleName": "Regular"})
    builder.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200, sxHeight=500,
                     sCapHeight=700)
    builder.setupPost()
    builder.setupHead(unitsPerEm=1000, created=3913056000, modified=3913056000)
    amount = kern(t, c)
    assert amount == int(amount)
    addOpenTypeFeaturesFromString(builder.font, "feature kern { pos A V %d; pos V A %d; } kern;" % (amount, amount))
    return builder.font


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    document = DesignSpaceDocument()
    for tag, name, minimum, default, maximum in [("wght", "Weight", 100, 400, 900), ("wdth", "Width", 75, 100, 100)]:
        axis = AxisDescriptor()
        axis.tag, axis.name, axis.minimum, axis.default, axis.maximum = tag, name, minimum, default, maximum
        axis.labelNames = {"en": name}
        document.addAxis(axis)
    for weight in (100, 400, 900):
        for width in (75, 100):
            source = SourceDescriptor()
            source.font = master((weight - 100) / 800, (100 - width) / 25)
            source.location = {"Weight": weight, "Width": width}
            source.name = "master-%d-%d" % (weight, width)
            document.addSource(source)
    for style, weight, width in [("Thin", 100, 100), ("Regular", 400, 100), ("Bold", 700, 100), ("Black", 900, 100),
                                 ("Bold Condensed", 700, 75)]:
        instance = InstanceDescriptor()
        instance.familyName, instance.styleName = FAMILY, style
        instance.location = {"Weight": weight, "Width": width}
        document.addInstance(instance)
    font, _, _ = varLib.build(document)
    # A fixed date, so that the same script makes the same bytes.
    font["head"].created = font["head"].modified = 3913056000  # 2024-01-01
    font.recalcTimestamp = False
    path = os.path.join(here, "glyfrax-test-variable.ttf")
    font.save(path)
    print(path)


if __name__ == "__main__":
    sys.exit(main())
