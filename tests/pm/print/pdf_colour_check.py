#!/usr/bin/python3
"""Reads back the grey levels of the sheets test_print_mono printed.

Each line of FIXDIR/colours.txt is
  title|lines black (1/0)|colour printer (1/0)|dpi|offset x|offset y|
  kind:left,top,right,bottom:rgb|...
with device-pixel rectangles and COLORREF values (0x00BBGGRR).  The PDF of
the title is rendered in grey without anti-aliasing (pdftoppm), and every
feature is compared with the grey level of its colour (luminance
0.3 R + 0.59 G + 0.11 B) or with black:
  line, outline  black when lines must be black, else the colour's grey;
  fill           always the colour's grey (only lines turn black);
  text           its darkest pixel is the colour's grey, never black.
Rendered in colour, the fill shows its own colour on the colour printer
and a grey (red = green = blue) on the grey one.
Exit 0 when all match, 1 on a mismatch, 77 when nothing was printed.
"""
import glob
import os
import subprocess
import sys
import tempfile
import time

RESOLUTION = 100          # rendering dots per inch
TOLERANCE = 14            # grey levels either side of the expected one
BLACK_AT_MOST = 20


def grey_of(colorref):
    r, g, b = colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF
    return round(0.3 * r + 0.59 * g + 0.11 * b)


def pdf_dirs():
    dirs = []
    try:
        for line in open('/etc/cups/cups-pdf.conf'):
            if line.startswith('Out'):
                dirs.append(line.split(None, 1)[1].strip().replace('${HOME}', os.environ.get('HOME', '')))
    except OSError:
        pass
    return dirs + [os.path.expanduser('~/PDF'), '/root/PDF', '/var/spool/cups-pdf/ANONYMOUS']


def find_pdf(title):
    for _ in range(120):           # the spooler and cups-pdf work in the background
        found = [f for d in pdf_dirs() for f in glob.glob(os.path.join(d, title + '*.pdf'))]
        if found and os.path.getsize(found[0]) > 0:
            time.sleep(0.5)        # let cups-pdf finish writing
            return found[0]
        time.sleep(0.5)
    return None


def render(pdf, colour=False):
    """The first page as (width, height, bytes): 8-bit grey, or 8-bit RGB
    triples when colour is asked for."""
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, 'page')
        mode = [] if colour else ['-gray']
        subprocess.run(['pdftoppm'] + mode + ['-r', str(RESOLUTION), '-aa', 'no', '-aaVector', 'no',
                                              '-f', '1', '-l', '1', '-singlefile', pdf, base],
                       check=True)
        data = open(base + ('.ppm' if colour else '.pgm'), 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:         # P5 width height maxval, then one whitespace
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    assert fields[0] == (b'P6' if colour else b'P5') and fields[3] == b'255', fields
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def pixels(page, rect, dpi, offx, offy, depth=1):
    width, height, grey = page
    left, top, right, bottom = rect
    scale = RESOLUTION / dpi
    x0, x1 = int((left + offx) * scale), int((right + offx) * scale)
    y0, y1 = int((top + offy) * scale), int((bottom + offy) * scale)
    return [tuple(grey[(y * width + x) * depth:(y * width + x + 1) * depth]) if depth > 1
            else grey[y * width + x]
            for y in range(max(y0, 0), min(y1, height)) for x in range(max(x0, 0), min(x1, width))]


def check_fill_colour(title, colour_printer, page, rect, rgb, dpi, offx, offy):
    """The fill's middle pixel in colour: its own colour or a grey."""
    values = pixels(page, rect, dpi, offx, offy, depth=3)
    r, g, b = values[len(values) // 2]
    want = (rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF)
    if colour_printer:
        ok = all(abs(got - w) <= TOLERANCE for got, w in zip((r, g, b), want))
        expected = 'colour %s' % (want,)
    else:
        ok = max(r, g, b) - min(r, g, b) <= 2
        expected = 'a grey'
    line = '%s fill in colour: %s, expected %s' % (title, (r, g, b), expected)
    print(('ok ' if ok else 'FAIL ') + line)
    return [] if ok else [line]


def check_sheet(fields):
    title, black, colour_printer = fields[0], fields[1] == '1', fields[2] == '1'
    dpi, offx, offy = map(int, fields[3:6])
    pdf = find_pdf(title)
    if not pdf:
        return ['%s: no PDF' % title]
    page, coloured = render(pdf), render(pdf, colour=True)
    failures = []
    for part in fields[6:]:
        kind, rect, rgb = part.split(':')
        values = pixels(page, [int(v) for v in rect.split(',')], dpi, offx, offy)
        if not values:
            failures.append('%s %s: outside the page' % (title, kind))
            continue
        want = grey_of(int(rgb, 16))
        if kind == 'fill':
            failures += check_fill_colour(title, colour_printer, coloured,
                                          [int(v) for v in rect.split(',')], int(rgb, 16),
                                          dpi, offx, offy)
        if kind == 'text':
            got = min(values)
        else:
            got = sorted(values)[len(values) // 2]
        if kind in ('line', 'outline') and black:
            ok, expected = got <= BLACK_AT_MOST, 'black'
        else:
            ok, expected = abs(got - want) <= TOLERANCE, 'grey %d' % want
        line = '%s %s: grey %d, expected %s' % (title, kind, got, expected)
        print(('ok ' if ok else 'FAIL ') + line)
        if not ok:
            failures.append(line)
    return failures


def main():
    listing = os.path.join(sys.argv[1], 'colours.txt')
    if not os.path.exists(listing) or os.path.getsize(listing) == 0:
        print('no sheets were printed (no printer): skipped')
        return 77
    failures = []
    for line in open(listing):
        line = line.strip()
        if line:
            failures += check_sheet(line.split('|'))
    for f in failures:
        print('FAIL', f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
