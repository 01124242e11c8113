#!/usr/bin/env python3
"""Compares the program's captured sound with `xmtool render` of the same module.

    sound_compare.py CAPTURE.raw REFERENCE.raw SECONDS
    sound_compare.py --music CAPTURE.raw    # seconds of sound heard (its non-zero frames)

Both files are 44100 Hz 16-bit stereo. The capture starts before the program, so the two are lined
up at their first non-zero frame. The sound server plays silence when Wine's sound thread falls
behind on a loaded machine (an underrun: zeros inserted, nothing lost or changed); such gaps are
counted and reported, and the comparison goes on after each one. After underruns, Wine may also
drop a little of the stream to catch up with its clock: the capture goes on further ahead in the
render. Such a skip is accepted, counted and reported when it is short (at most MAX_DROP, far
below the program's two-second ring, whose faults would show as a ring's worth of shift) and when
no more has been dropped in all than silence was inserted (a catch-up never gets ahead of time).
Any other difference ends the equal part. Checks that the first SECONDS of the music are equal
sample for sample. Prints one fact a line; exits 1 when the check fails, 3 when the only failure is
a capture that ends before SECONDS of music (a test still recording may wait and compare again).
"""
import array
import sys

RATE = 44100
FRAME = 4  # bytes per stereo frame
ZERO = b"\0\0\0\0"
MAX_DROP = RATE // 2  # frames one catch-up may skip
RESYNC = RATE // 100  # frames of the capture that must match where the render is taken up again


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


def resume(capture, c, reference, r, window):
    """The first frame of reference[r:r + window] where the capture's RESYNC frames at c recur, or
    those up to the next silence inserted when that comes sooner (at least an eighth of them)."""
    if c + RESYNC > len(capture) // FRAME:
        return None
    length = next((i for i in range(RESYNC) if frame(capture, c + i) == ZERO), RESYNC)
    if length < RESYNC // 8:
        return None
    chunk = capture[c * FRAME:(c + length) * FRAME]
    at = reference.find(chunk, r * FRAME, (r + window + length) * FRAME)
    while at >= 0 and at % FRAME:
        at = reference.find(chunk, at + 1, (r + window + length) * FRAME)
    return None if at < 0 else at // FRAME


def music_seconds(path):
    """Seconds of sound heard: the non-zero frames, so that silence the server inserted (and any
    silence in the music itself) is left out; never more than was heard."""
    data = open(path, "rb").read()
    frames = array.array("I", data[:len(data) // FRAME * FRAME])
    return (len(frames) - frames.count(0)) / RATE


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--music":
        print("%.3f" % music_seconds(sys.argv[2]))
        return 0
    if len(sys.argv) != 4:
        print("usage: sound_compare.py CAPTURE.raw REFERENCE.raw SECONDS | --music CAPTURE.raw")
        return 2
    capture = open(sys.argv[1], "rb").read()
    reference = open(sys.argv[2], "rb").read()
    seconds = float(sys.argv[3])
    nc, nr = len(capture) // FRAME, len(reference) // FRAME

    c, r = next_nonzero(capture, 0), next_nonzero(reference, 0)
    if c >= nc or r >= nr:
        print("no sound in the %s" % ("capture" if c >= nc else "reference"))
        return 1
    print("the music starts %.3f s into the capture" % ((c - r) / RATE))
    r0 = r
    gaps, gap_frames, gap_longest = 0, 0, 0
    drops, drop_frames = 0, 0
    silence = (-1, 0)  # where the render stood when the last underrun ended, and its frames
    while True:
        agree = first_difference(capture, c, reference, r, min(nc - c, nr - r))
        c += agree
        r += agree
        if c >= nc or r >= nr:
            break
        # An underrun: silence inserted into the capture. Line up again at the next sound.
        c2, r2 = next_nonzero(capture, c), next_nonzero(reference, r)
        if c2 >= nc or r2 >= nr:
            break
        if c2 > c and c2 - c >= r2 - r:
            gaps += 1
            gap_frames += (c2 - c) - (r2 - r)
            gap_longest = max(gap_longest, (c2 - c) - (r2 - r))
            silence = (r2, c2 - c)
            c, r = c2, r2
            continue
        # A catch-up: the capture (after any silence) goes on further ahead in the render.
        r2 = resume(capture, c2, reference, r, c2 - c + MAX_DROP)
        if r2 is None or r2 - r <= c2 - c:
            # A real difference, unless it follows silence inserted for longer than the compared part
            # had left: a catch-up may have skipped past its end, to what may rightly differ (the
            # closing fade), and all of it that was heard was equal.
            if silence[0] == r and silence[1] >= seconds * RATE - r > 0:
                print("the last %.3f s compared were not heard (silence inserted)" % (seconds - r / RATE))
                r = int(seconds * RATE + 0.5)
            break
        if c2 > c:
            gaps += 1
            gap_frames += c2 - c
            gap_longest = max(gap_longest, c2 - c)
        drops += 1
        drop_frames += r2 - r
        if drop_frames > gap_frames:
            break  # ahead of time: not a catch-up
        c, r = c2, r2
    equal = r
    print("equal to the render for %.3f s of music" % (equal / RATE))
    compared = equal - r0 - drop_frames
    print("compared %d frames (%d samples)" % (compared, 2 * compared))
    print("underruns of the sound server: %d, %.3f s of silence inserted, the longest %.3f s"
          % (gaps, gap_frames / RATE, gap_longest / RATE))
    print("catch-ups after underruns: %d, %.3f s of music dropped" % (drops, drop_frames / RATE))
    ok, short = True, False
    if equal < seconds * RATE:
        if r >= nr:
            print("FAIL: the reference ends after %.3f s" % (equal / RATE))
            ok = False
        elif next_nonzero(capture, c) >= nc:
            # Captured so far, or followed by nothing but silence: not a difference (yet).
            print("the capture ends after %.3f s of music" % (equal / RATE))
            short = True
        else:
            print("FAIL: the capture differs from the render at %.3f s of music" % (equal / RATE))
            ok = False
    return 1 if not ok else 3 if short else 0


if __name__ == "__main__":
    sys.exit(main())
