#!/usr/bin/env python3
"""Compares two screenshots of the scroll text band: prints how many rows the text moved up between
them, and how many much text brightness each one holds inside the band and outside it.

    band_shift.py A.png B.png      ->  "<shift> <text pixels A> <text pixels B> <bright pixels outside>"
"""
import subprocess
import sys

X0, X1, Y0, Y1 = 320, 640, 60, 420  # the band's right half, where the text lives


def gray(path):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True).stdout
    w, h = (int(v) for v in size.split())
    data = subprocess.run(["convert", path, "-colorspace", "Gray", "-depth", "8", "gray:-"],
                          check=True, capture_output=True).stdout
    return w, h, data


def profile(path):
    """Brightness of the text per screen row inside the band, and the brightness right of x 320 above
    and below the band (apart from the colour lines and the caption), where no text may show."""
    w, h, data = gray(path)
    rows = [0] * h
    outside = 0
    for y in range(h):
        line = data[y * w:(y + 1) * w]
        count = sum(v for v in line[X0:X1] if v >= 48)
        if Y0 <= y < Y1:
            rows[y] = count
        elif y < 58 or 423 <= y < 440:  # clear of the colour lines; the corner caption starts at 440
            outside += count
    return rows, outside


def main():
    a, outside_a = profile(sys.argv[1])
    b, outside_b = profile(sys.argv[2])
    best, best_score = 0, -1
    for shift in range(0, 120):  # text moves up: row y in A is row y - shift in B
        score = sum(a[y] * b[y - shift] for y in range(Y0 + shift, Y1))
        if score > best_score:
            best, best_score = shift, score
    print(best, sum(a), sum(b), outside_a + outside_b)


main()
