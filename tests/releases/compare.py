"""Korvex's windows on two systems side by side.

    compare.py FOLDER_A FOLDER_B

Each folder holds what the end-to-end tests of one system left there: the screenshots
main-window.png, output-window.png and about-window.png, taken after 6, 7 and 4 were
calculated, and controls.txt, the window, role, name and place of every control as AT-SPI
reports them. The two systems must show one look:
  - every control at the same place and size;
  - the printed lines at the same rows of the main window;
  - each window's pixels the same, but where a glyph's edge is drawn differently: a pixel may
    differ only where both systems show it as a shade between a text colour and a colour the
    text is drawn on. A frame, an edge or a picture that is drawn differently fails.
Prints, window by window, how many pixels differ.
"""

import re
import subprocess
import sys

WINDOWS = ("main-window", "output-window", "about-window")
# Black text, and the navy of the web address.
TEXT_COLOURS = ((0, 0, 0), (0, 0, 128))
# The windows' light blue, and the white of the text boxes.
GROUNDS = ((128, 128, 255), (255, 255, 255))
# How far a smoothed edge's colour may lie from the straight blend, per channel.
TOLERANCE = 12

failures = []


def check(condition, message):
    print(("ok:     " if condition else "FAILED: ") + message, flush=True)
    if not condition:
        failures.append(message)


def read_image(path):
    width, height = map(int, subprocess.run(
        ["identify", "-format", "%w %h", path],
        check=True, stdout=subprocess.PIPE, text=True).stdout.split())
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"],
                          check=True, stdout=subprocess.PIPE).stdout
    return width, height, data


def pixel(image, x, y):
    width, _, data = image
    at = 3 * (y * width + x)
    return tuple(data[at:at + 3])


def is_glyph_shade(colour):
    """Whether colour blends a text colour into a ground, as a glyph's smoothed edge does."""
    for text in TEXT_COLOURS:
        for ground in GROUNDS:
            span = [g - t for g, t in zip(ground, text)]
            length = sum(s * s for s in span)
            share = sum((c - t) * s for c, t, s in zip(colour, text, span)) / length
            share = min(1.0, max(0.0, share))
            if all(abs(c - (t + share * s)) <= TOLERANCE
                   for c, t, s in zip(colour, text, span)):
                return True
    return False


def printed_lines(image, area):
    """The first and last row of each printed line: the rows of the results area, `area` wide
    and high, that have a pixel at least half covered by text, in runs."""
    lines = []
    for y in range(area[1]):
        if any(sum(pixel(image, x, y)) < 3 * 128 - 64 for x in range(area[0])):
            if lines and lines[-1][1] == y - 1:
                lines[-1][1] = y
            else:
                lines.append([y, y])
    return ["%d-%d" % tuple(line) for line in lines]


def main(first, second):
    # Window, name and place; the role a Qt gives a control is the accessibility test's to check
    # (Qt 6.8 calls a line a separator where 6.4 called it a filler).
    places = [[re.sub(r" \| \d+ \| ", " | ", line) for line in
               open("%s/controls.txt" % folder).read().splitlines()] for folder in (first, second)]
    moved = sorted(set(places[0]) ^ set(places[1]))
    # The results area of the main window, where the tree shows "Results".
    area = [tuple(map(int, found[0])) for found in [re.findall(
        r"^Korvex  \| 'Results' \| 0 0 (\d+) (\d+)$", "\n".join(places[0]), re.M)] if found]
    check(places[0] and not moved,
          "all %d controls at the same place and size%s"
          % (len(places[0]), "".join("\n    " + line for line in moved)))

    for window in WINDOWS:
        a, b = (read_image("%s/%s.png" % (folder, window)) for folder in (first, second))
        if a[:2] != b[:2]:
            check(False, "%s: %dx%d against %dx%d" % (window, *a[:2], *b[:2]))
            continue
        width, height = a[:2]
        differing = [(x, y) for y in range(height) for x in range(width)
                     if pixel(a, x, y) != pixel(b, x, y)]
        outside = [(x, y) for x, y in differing
                   if not (is_glyph_shade(pixel(a, x, y)) and is_glyph_shade(pixel(b, x, y)))]
        check(not outside,
              "%s: %d of %d pixels differ, all of them on glyphs' edges%s"
              % (window, len(differing), width * height,
                 "".join("\n    (%d, %d): %s against %s" % (x, y, pixel(a, x, y), pixel(b, x, y))
                         for x, y in outside[:10])))
        if window == "main-window":
            check(area, "the main window's tree shows where the results are printed")
            rows = [printed_lines(image, area[0]) for image in (a, b)] if area else [[], []]
            check(rows[0] == rows[1], "the printed lines stand on the same rows: %s%s"
                  % (", ".join(rows[0]), "" if rows[0] == rows[1] else
                     " against %s" % ", ".join(rows[1])))

    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)


main(*sys.argv[1:3])
