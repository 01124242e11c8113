#!/usr/bin/env python3
"""The soak's sound check: what the program played, captured, against `xmtool render`.

    sound_check.py CAPTURE.raw REFERENCE.raw UNTIL [--ring SECONDS] [--stops] [--music]

Both files are 44100 Hz 16-bit stereo, lined up at their first non-zero frame, as
tests/e2e/sound_compare.py does. Everything heard up to UNTIL seconds into the capture must equal
the render, and the sound must go on that long once the music has started; with --ring, also the
first SECONDS of the music (what was rendered before anything could change it). A capture silent
before the music starts passes unless --music is given. With --stops, nothing but silence may follow
the equal part (the program ended and its sound simply stopped).

What a loaded machine does to the sound on its way is lined up across, counted and reported:
- an underrun: the sound server plays silence while Wine's sound thread is late (zeros inserted);
- a catch-up: after underruns Wine drops a little of the stream to catch up with its clock. A skip
  forward is taken for one when it is short (MAX_DROP), the sound agrees again after it, and no
  more has been dropped in all than silence was inserted. The program's ring cannot skip forward: a
  slice rendered late plays its old contents, a ring's length back;
- a silence at the end that starts at most STALL seconds before UNTIL passes: such an underrun and
  the sound stopping look the same.
Prints one fact a line; exits 1 when a check fails, 2 on bad arguments.
"""
import os
import sys

# The line-up's pieces are the end-to-end comparison's own.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from sound_compare import FRAME, MAX_DROP, RATE, ZERO, frame, next_nonzero  # noqa: E402
from sound_compare import first_difference as agreeing  # noqa: E402

AGREE = RATE // 100   # frames that must agree after a catch-up (or up to the next silence) ...
MIN_AGREE = 100       # ... at the least: 200 stereo frames of music do not agree by chance
STALL = 3.0           # seconds: the longest underrun seen at a load average of 12 on two cores, 2.55


def catch_up(capture, c, reference, r):
    """Frames of the render skipped at capture frame c (0: not a catch-up)."""
    n = min(AGREE, len(capture) // FRAME - c)
    z = capture.find(ZERO, c * FRAME, (c + n) * FRAME)
    while z >= 0 and z % FRAME:
        z = capture.find(ZERO, z + 1, (c + n) * FRAME)
    if z >= 0:
        n = z // FRAME - c
    if n < MIN_AGREE:
        return 0
    want = capture[c * FRAME:(c + n) * FRAME]
    at = reference.find(want, (r + 1) * FRAME, (r + MAX_DROP + n) * FRAME)
    while at >= 0 and at % FRAME:
        at = reference.find(want, at + 1, (r + MAX_DROP + n) * FRAME)
    return 0 if at < 0 else at // FRAME - r


def check(capture, reference, until, ring, stops, music):
    nc, nr = len(capture) // FRAME, len(reference) // FRAME
    c, r = next_nonzero(capture, 0), next_nonzero(reference, 0)
    start, r0 = c, r
    if r0 >= nr:
        print("FAIL: no sound in the reference")
        return 1
    if start >= nc:
        print("no music in the capture")
        if music:
            print("FAIL: the music never started")
            return 1
        return 0
    gaps = gap_frames = drops = drop_frames = 0
    while True:
        agree = agreeing(capture, c, reference, r, min(nc - c, nr - r))
        c, r = c + agree, r + agree
        if c >= nc or r >= nr:
            break
        if frame(capture, c) == ZERO:
            # An underrun: silence inserted into the capture. Line up again at the next sound.
            c2, r2 = next_nonzero(capture, c), next_nonzero(reference, r)
            if c2 >= nc or r2 >= nr or c2 - c < r2 - r:
                break  # not an insertion: the capture lacks sound the reference has
            gaps, gap_frames = gaps + 1, gap_frames + (c2 - c) - (r2 - r)
            c, r = c2, r2
            continue
        d = catch_up(capture, c, reference, r)
        if not d or drop_frames + d > gap_frames:
            break  # a real difference
        drops, drop_frames, r = drops + 1, drop_frames + d, r + d
    silent_end = next_nonzero(capture, c) >= nc

    print("music from %.3f s into the capture; equal to the render up to %.3f s (%.3f s of music)"
          % (start / RATE, c / RATE, (r - r0) / RATE))
    if gaps:
        print("underruns of the sound server: %d, %.3f s of silence inserted" % (gaps, gap_frames / RATE))
    if drops:
        print("catch-ups of Wine's sound path: %d, %.3f s dropped" % (drops, drop_frames / RATE))
    ok = True
    if r >= nr and c < nc:
        print("FAIL: the reference is too short for the capture")
        ok = False
    need = max(int(until * RATE), start + int(ring * RATE))
    if c < need and silent_end and need - c <= STALL * RATE:
        print("silent from %.3f s into the capture on, %.3f s before %.3f s: an underrun at the end"
              " cannot be told from the sound stopping" % (c / RATE, (need - c) / RATE, need / RATE))
    elif c < need:
        what = "stops" if silent_end else "differs from the render"
        print("FAIL: the sound %s at %.3f s into the capture, before %.3f s" % (what, c / RATE, need / RATE))
        ok = False
    if stops and not silent_end:
        print("FAIL: sound other than the render follows at %.3f s into the capture" % (c / RATE))
        ok = False
    return 0 if ok else 1


def main(argv):
    args, ring = list(argv), 0.0
    try:
        if "--ring" in args:
            i = args.index("--ring")
            ring = float(args[i + 1])
            del args[i:i + 2]
        rest = [a for a in args if not a.startswith("--")]
        flags = set(a for a in args if a.startswith("--"))
        if len(rest) != 3 or not flags <= {"--stops", "--music"}:
            raise ValueError
        until = float(rest[2])
    except (ValueError, IndexError):
        print("usage: sound_check.py CAPTURE REFERENCE UNTIL [--ring SECONDS] [--stops] [--music]", file=sys.stderr)
        return 2
    try:
        capture, reference = (open(p, "rb").read() for p in rest[:2])
    except OSError as e:
        print("sound_check.py: %s: %s" % (e.filename, e.strerror), file=sys.stderr)
        return 2
    return check(capture, reference, until, ring, "--stops" in flags, "--music" in flags)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
