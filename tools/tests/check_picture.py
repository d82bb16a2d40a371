"""Checks a picture of the velkor tool: well-formed SVG with the expected
parts, labels that do not overprint each other, and, when rsvg-convert is
installed, a rendering that is not blank.

usage: check_picture.py FILE.svg [--polylines N] [--class NAME]... [--text REGEX]...
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

SVG = "{http://www.w3.org/2000/svg}"


def label_boxes(root):
    """The boxes of the point labels, as the tool estimates text at 11 px."""
    boxes = []
    for t in root.iter(SVG + "text"):
        if t.get("class") in ("label", "startlabel"):
            x, y = float(t.get("x")), float(t.get("y"))
            boxes.append((t.text, x, y - 11, 0.62 * 11 * len(t.text or "") + 2, 13))
    return boxes


def overlapping(boxes):
    found = []
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            if a[1] < b[1] + b[3] - 0.5 and b[1] < a[1] + a[3] - 0.5 and a[2] < b[2] + b[4] - 0.5 and b[2] < a[2] + a[4] - 0.5:
                found.append((a[0], b[0]))
    return found


def png_ink(path):
    """The share of pixels of a PNG that are not white (8-bit RGB or RGBA)."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, width, height, channels = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), "unexpected PNG format"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    ink = 0
    for row in range(height):
        start = row * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        for i in range(0, stride, channels):
            if line[i] < 200 or line[i + 1] < 200 or line[i + 2] < 200:
                ink += 1
        previous = line
    return ink / float(width * height)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("svg")
    parser.add_argument("--polylines", type=int, default=1, help="at least this many lines drawn")
    parser.add_argument("--class", dest="classes", action="append", default=[], help="an element class that must occur")
    parser.add_argument("--text", action="append", default=[], help="a regular expression some text must match")
    args = parser.parse_args()

    root = ET.parse(args.svg).getroot()
    problems = []
    if root.tag != SVG + "svg":
        problems.append("the root is not <svg>")
    if len(root.findall(".//" + SVG + "polyline")) < args.polylines:
        problems.append("fewer than %d polylines" % args.polylines)
    classes = {e.get("class") for e in root.iter()}
    problems += ["no element of class %s" % c for c in args.classes if c not in classes]
    texts = [t.text or "" for t in root.iter(SVG + "text")]
    problems += ["no text matches %r" % r for r in args.text if not any(re.search(r, t) for t in texts)]
    problems += ["labels %r and %r overprint" % pair for pair in overlapping(label_boxes(root))]

    renderer = shutil.which("rsvg-convert")
    if renderer:
        with tempfile.TemporaryDirectory() as folder:
            png = os.path.join(folder, "picture.png")
            subprocess.run([renderer, "--background-color=white", "-o", png, args.svg], check=True)
            ink = png_ink(png)
            if ink < 0.01:
                problems.append("the rendering is blank (%.4f of the pixels drawn)" % ink)
    for p in problems:
        print("%s: %s" % (args.svg, p))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
