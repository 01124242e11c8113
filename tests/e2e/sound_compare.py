#!/usr/bin/env python3
"""Compares the program's captured sound with `xmtool render` of the same module.

    sound_compare.py CAPTURE.raw REFERENCE.raw SECONDS ESCAPE
    sound_compare.py --upto CAPTURE.raw REFERENCE.raw UNTIL [--ring SECONDS] [--stops] [--music] [--starved]

Both files are 44100 Hz 16-bit stereo. The capture starts before the program, so the two are lined
up at their first non-zero frame. The sound server plays silence when Wine's sound thread falls
behind on a loaded machine (an underrun: zeros inserted, nothing lost or changed); such gaps are
counted and reported, and the comparison goes on after each one. Any other difference ends the
equal part.

First form: the first SECONDS of the music are equal sample for sample; and if ESCAPE (seconds
into the capture at which Escape was pressed) is not negative, the sound stays equal until about
two seconds after the key (the ring ahead of the speakers), then changes, and five seconds after
the key it has fallen to silence against the reference.

Second form (the soak): everything heard up to UNTIL seconds into the capture equals the render,
and the sound goes on at least that long once the music has started; a capture that ends in
silence before the music starts passes unless --music is given. With --ring, also the first
SECONDS of the music (what was rendered before anything could change it). With --stops, nothing
but silence follows the equal part (the program ended and its sound simply stopped).

--starved is for a machine so loaded that Wine's sound path starves: a forward skip of whole
10 ms periods (at most half a second) after which the sound agrees again is counted and reported,
not taken for a difference (Wine drops periods rather than fall behind; the program's ring cannot
skip forward, as a slice rendered late plays its old contents); and a silence at the end that
starts at most STALL seconds before UNTIL passes, since such an underrun and the sound stopping
look the same.

Prints one fact a line; exits 1 when a check fails.
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


class Match:
    """The capture followed against the reference from the music's first frame.

    start      capture frame at which the music starts
    c, r       capture and reference frames at which the equal part ends
    gaps       underruns skipped, and the silence they inserted (frames)
    drops      periods Wine's sound path dropped, and their frames (only with drops=True)
    silent_end nothing but silence follows c in the capture (or the capture ends there)
    mark       the reference frame heard at capture frame `mark_at` (given to follow), if reached
    """


PERIOD = 441        # Wine's sound path moves sound in 10 ms periods
MAX_DROP = 50       # periods
AGREE = RATE // 10  # frames that must agree after a drop
MIN_AGREE = 100     # ... at the least (400 samples of music do not agree by chance)
STALL = 3.0         # the longest underrun seen with a load average of 12 on two cores: 2.55 s


def dropped(capture, c, reference, r):
    """The whole periods Wine dropped at capture frame c (0: not a drop). After them the capture
    agrees with the reference for a tenth of a second, or up to the next silence (an underrun may
    follow at once), but at least for MIN_AGREE frames."""
    n = min(AGREE, len(capture) // FRAME - c)
    z = capture.find(ZERO, c * FRAME, (c + n) * FRAME)
    while z >= 0 and z % FRAME:
        z = capture.find(ZERO, z + 1, (c + n) * FRAME)
    if z >= 0:
        n = z // FRAME - c
    if n < MIN_AGREE:
        return 0
    want = capture[c * FRAME:(c + n) * FRAME]
    for k in range(1, MAX_DROP + 1):
        d = k * PERIOD
        if reference[(r + d) * FRAME:(r + d + n) * FRAME] == want:
            return d
    return 0


def follow(capture, reference, mark_at=None, drops=False):
    nc, nr = len(capture) // FRAME, len(reference) // FRAME
    m = Match()
    c, r = next_nonzero(capture, 0), next_nonzero(reference, 0)
    m.start, m.r0 = c, r
    m.gaps, m.gap_frames, m.mark = 0, 0, None
    m.drops, m.drop_frames = 0, 0
    if c >= nc or r >= nr:
        m.c, m.r, m.silent_end = c, r, c >= nc
        return m
    while True:
        if mark_at is not None and m.mark is None and c - r <= mark_at:
            m.mark = mark_at - (c - r)
        agree = first_difference(capture, c, reference, r, min(nc - c, nr - r))
        c += agree
        r += agree
        if c >= nc or r >= nr:
            break
        if frame(capture, c) != ZERO:
            # Starved of time, Wine's sound path drops whole periods rather than fall behind.
            d = dropped(capture, c, reference, r) if drops else 0
            if not d:
                break  # a real difference
            m.drops += 1
            m.drop_frames += d
            r += d
            continue
        # An underrun: silence inserted into the capture. Line up again at the next sound.
        c2, r2 = next_nonzero(capture, c), next_nonzero(reference, r)
        if c2 >= nc or r2 >= nr or c2 - c < r2 - r:
            break  # not an insertion: the capture lacks sound the reference has
        m.gaps += 1
        m.gap_frames += (c2 - c) - (r2 - r)
        c, r = c2, r2
    if m.mark is None and mark_at is not None:
        m.mark = mark_at - (c - r)
    m.c, m.r = c, r
    m.silent_end = next_nonzero(capture, c) >= nc
    return m


def check_escape(capture, reference, seconds, escape):
    nc, nr = len(capture) // FRAME, len(reference) // FRAME
    escape_frame = int(escape * RATE) if escape >= 0 else None
    m = follow(capture, reference, escape_frame)
    if m.start >= nc or m.r0 >= nr:
        print("no sound in the %s" % ("capture" if m.start >= nc else "reference"))
        return 1
    print("the music starts %.3f s into the capture" % ((m.start - m.r0) / RATE))
    equal, key = m.r, m.mark
    print("equal to the render for %.3f s of music" % (equal / RATE))
    print("underruns of the sound server: %d, %.3f s of silence inserted" % (m.gaps, m.gap_frames / RATE))
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
        offset = m.c - m.r
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


def check_upto(capture, reference, until, ring, stops, music, starved):
    nc, nr = len(capture) // FRAME, len(reference) // FRAME
    m = follow(capture, reference, drops=starved)
    if m.r0 >= nr:
        print("FAIL: no sound in the reference")
        return 1
    if m.start >= nc:
        print("no music in the capture")
        if music:
            print("FAIL: the music never started")
            return 1
        return 0
    print("music from %.3f s into the capture; equal to the render up to %.3f s (%.3f s of music)"
          % (m.start / RATE, m.c / RATE, (m.r - m.r0) / RATE))
    if m.gaps:
        print("underruns of the sound server: %d, %.3f s of silence inserted" % (m.gaps, m.gap_frames / RATE))
    if m.drops:
        print("dropped by Wine's sound path: %d times, %.3f s" % (m.drops, m.drop_frames / RATE))
    ok = True
    if m.r >= nr and m.c < nc:
        print("FAIL: the reference is too short for the capture")
        ok = False
    need = max(int(until * RATE), m.start + int(ring * RATE))
    if m.c < need and starved and m.silent_end and need - m.c <= STALL * RATE:
        print("silent from %.3f s into the capture on, %.3f s before %.3f s: an underrun at the end"
              " cannot be told from the sound stopping" % (m.c / RATE, (need - m.c) / RATE, need / RATE))
    elif m.c < need:
        what = "stops" if m.silent_end else "differs from the render"
        print("FAIL: the sound %s at %.3f s into the capture, before %.3f s" % (what, m.c / RATE, need / RATE))
        ok = False
    if stops and not m.silent_end:
        print("FAIL: sound other than the render follows at %.3f s into the capture" % (m.c / RATE))
        ok = False
    return 0 if ok else 1


def main(argv):
    try:
        if argv and argv[0] == "--upto":
            args, flags, ring = list(argv[1:]), set(), 0.0
            if "--ring" in args:
                i = args.index("--ring")
                ring = float(args[i + 1])
                del args[i:i + 2]
            rest = [a for a in args if not a.startswith("--")]
            flags = set(a for a in args if a.startswith("--"))
            if len(rest) != 3 or not flags <= {"--stops", "--music", "--starved"}:
                raise ValueError
            capture, reference = (open(p, "rb").read() for p in rest[:2])
            return check_upto(capture, reference, float(rest[2]), ring, "--stops" in flags, "--music" in flags,
                              "--starved" in flags)
        if len(argv) != 4:
            raise ValueError
        capture, reference = (open(p, "rb").read() for p in argv[:2])
        return check_escape(capture, reference, float(argv[2]), float(argv[3]))
    except (ValueError, IndexError):
        print("usage: sound_compare.py CAPTURE REFERENCE SECONDS ESCAPE | "
              "--upto CAPTURE REFERENCE UNTIL [--ring SECONDS] [--stops] [--music] [--starved]", file=sys.stderr)
        return 2
    except OSError as e:
        print("sound_compare.py: %s: %s" % (e.filename, e.strerror), file=sys.stderr)
        return 2


sys.exit(main(sys.argv[1:]))
