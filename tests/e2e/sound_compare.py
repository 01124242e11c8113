#!/usr/bin/env python3
"""Compares the program's captured sound with `xmtool render` of the same module.

    sound_compare.py CAPTURE.raw REFERENCE.raw SECONDS ESCAPE

Both files are 44100 Hz 16-bit stereo. The capture starts before the program, so the two are lined
up at their first non-zero frame. The sound server plays silence when Wine's sound thread falls
behind on a loaded machine (an underrun: zeros inserted, nothing lost or changed); such gaps are
counted and reported, and the comparison goes on after each one. Any other difference ends the
equal part. Checks: the first SECONDS of the music are equal sample for sample; and if ESCAPE
(seconds into the capture at which Escape was pressed) is not negative, the sound stays equal
until about two seconds after the key (the ring ahead of the speakers), then changes, and five
seconds after the key it has fallen to silence against the reference. Prints one fact a line;
exits 1 when a check fails.
"""
import array
import sys

RATE = 44100
FRAME = 4  # bytes per stereo frame
ZERO = b"\0\0\0\0"


def frame(data, i):
    return data[i * FRAME:(i + 1) * FRAME]


def next_nonzero(data, i):
    n = len(data) // FRAME
    while i < n and frame(data, i) == ZERO:
        i += 1
    return i


def first_difference(a, ai, b, bi, count):
    """How many frames a[ai:] and b[bi:] agree for, up to count."""
    done, step = 0, RATE
    while done < count:
        g = min(step, count - done)
        if a[(ai + done) * FRAME:(ai + done + g) * FRAME] != b[(bi + done) * FRAME:(bi + done + g) * FRAME]:
            for h in range(g):
                if frame(a, ai + done + h) != frame(b, bi + done + h):
                    return done + h
        done += g
    return count


def energy(data, start, end):
    s = array.array("h", data[start * FRAME:end * FRAME])
    return sum(v * v for v in s) / max(1, len(s))


def main():
    capture = open(sys.argv[1], "rb").read()
    reference = open(sys.argv[2], "rb").read()
    seconds = float(sys.argv[3])
    escape = float(sys.argv[4])
    nc, nr = len(capture) // FRAME, len(reference) // FRAME

    c, r = next_nonzero(capture, 0), next_nonzero(reference, 0)
    if c >= nc or r >= nr:
        print("no sound in the %s" % ("capture" if c >= nc else "reference"))
        return 1
    print("the music starts %.3f s into the capture" % ((c - r) / RATE))
    gaps, gap_frames = 0, 0
    key = None  # the Escape key, in the reference's frames
    escape_frame = int(escape * RATE) if escape >= 0 else None
    while True:
        if escape_frame is not None and key is None and c - r <= escape_frame:
            key = escape_frame - (c - r)
        agree = first_difference(capture, c, reference, r, min(nc - c, nr - r))
        c += agree
        r += agree
        if c >= nc or r >= nr:
            break
        if frame(capture, c) != ZERO:
            break  # a real difference
        # An underrun: silence inserted into the capture. Line up again at the next sound.
        c2, r2 = next_nonzero(capture, c), next_nonzero(reference, r)
        if c2 >= nc or r2 >= nr or c2 - c < r2 - r:
            break  # not an insertion: the capture lacks sound the reference has
        gaps += 1
        gap_frames += (c2 - c) - (r2 - r)
        c, r = c2, r2
    if key is None and escape_frame is not None:
        key = escape_frame - (c - r)
    equal = r
    print("equal to the render for %.3f s of music" % (equal / RATE))
    print("underruns of the sound server: %d, %.3f s of silence inserted" % (gaps, gap_frames / RATE))
    ok = True
    if equal < seconds * RATE:
        print("FAIL: the capture differs from the render at %.3f s of music" % (equal / RATE))
        ok = False
    if escape_frame is not None:
        delay = (equal - key) / RATE
        print("the sound changed %.3f s after Escape" % delay)
        if not 1.2 <= delay <= 3.5:
            print("FAIL: the fade should be heard about two seconds after the key")
            ok = False
        offset = c - r
        quiet = (key + 5 * RATE, key + 6 * RATE)
        if quiet[1] + offset > nc or quiet[1] > nr:
            print("FAIL: the capture ends too early to hear the end of the fade")
            ok = False
        else:
            heard = energy(capture, quiet[0] + offset, quiet[1] + offset)
            full = energy(reference, quiet[0], quiet[1])
            ratio = heard / full if full else 0.0
            print("five seconds after Escape: %.4f of the music's energy" % ratio)
            if ratio > 0.01:
                print("FAIL: the music has not faded out")
                ok = False
    return 0 if ok else 1


sys.exit(main())
