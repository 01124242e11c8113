#!/usr/bin/env python3
"""Checks what the capture build wrote: the length of the title card, the pictures (the sound is
tests/soak/check.py's).

    capture_check.py title-frames FPS
        -> the frames the title card lasts at FPS: its timer adds the frame clock's 16.16 frame
           times in single precision until it reaches 6 s
    capture_check.py pictures DIR FPS MUSIC_FRAME ESCAPE_FRAME

MUSIC_FRAME is the first frame of the show after the title card (the music starts with it) and
ESCAPE_FRAME the first frame drawn after Escape. Prints one fact a line; exits 1 when a check fails.
"""
import struct
import subprocess
import sys

RATE = 44100
RING = 88400     # sample frames in the program's ring: 100 slices of 884
SLICE = 884
W, H = 640, 480
failed = False


def check(ok, message):
    global failed
    print(("ok: " if ok else "FAIL: ") + message)
    failed = failed or not ok


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def frame_times(fps):
    """The frame time of each frame after a clock reset, as g_frameTime holds it: the counter moves
    65536 counts per presented frame, and the 16.16 arithmetic carries what it truncates."""
    f, last, k = fps * 65536, 0, 0
    while True:
        elapsed = k * 65536 - last
        q = (elapsed << 16) // f if elapsed > 0 else 0
        last += (q * f) >> 16
        yield f32(q / 65536.0)
        k += 1


def title_frames(fps):
    timer = 0.0
    for k, ft in enumerate(frame_times(fps), 1):
        timer = f32(timer + ft)
        if timer >= 6.0:
            return k


def load(path):
    rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return rgb


def region(img, x0, y0, x1, y1):
    """(max channel, mean channel, fraction of pixels not black: a channel above 4) over x0..x1, y0..y1."""
    top, total, lit, n = 0, 0, 0, 0
    for y in range(y0, y1):
        row = img[3 * (y * W + x0):3 * (y * W + x1)]
        top = max(top, max(row))
        total += sum(row)
        lit += sum(1 for i in range(0, len(row), 3) if max(row[i:i + 3]) > 4)
        n += x1 - x0
    return top, total / (3 * n), lit / n


def text_top(img):
    """The first row of the band's right half (x 320..640, y 60..420) with ten or more text pixels
    (grey 48 or brighter): the top of the highest line of text. A star lights a pixel or two."""
    for y in range(60, 420):
        row = img[3 * (y * W + 320):3 * (y * W + 640)]
        if sum(1 for i in range(0, len(row), 3) if 0.299 * row[i] + 0.587 * row[i + 1] + 0.114 * row[i + 2] >= 48) >= 10:
            return y
    return None


def pictures(d, fps, music, escape):
    frame = lambda i: load("%s/frame-%d.png" % (d, i))
    hold = frame(3 * fps)  # the title card holds from 2 s to 5 s
    surround = [region(hold, *r) for r in ((0, 0, 640, 100), (0, 380, 640, 480), (0, 0, 180, 480), (460, 0, 640, 480))]
    check(min(r[1] for r in surround) >= 240, "title card at 3 s: white around the picture (%s)" %
          " ".join("%.0f" % r[1] for r in surround))
    mid = region(hold, 224, 144, 416, 336)
    check(mid[1] < 200, "title card at 3 s: the picture in the middle is not white (%.0f)" % mid[1])

    a = frame(music + 6 * fps)  # the opening fade is over after two seconds
    # A line from y 59 to 60 covers the pixels whose centres lie between: row 59 (and row 420).
    for y, what in ((59, "upper"), (420, "lower")):
        top, mean, lit = region(a, 0, y, 640, y + 1)
        check(lit == 1.0 and mean > 64, "%s colour line across row %d (mean %.0f)" % (what, y, mean))
    check(region(a, 0, 0, 640, 58)[0] <= 8, "nothing above the upper line")
    inside = region(a, 32, 112, 288, 368)
    edge = region(a, 290, 112, 318, 368)
    check(inside[2] > 0.99 and edge[2] < 0.05, "the slide fills x 32..288, y 112..368 (%.2f lit; %.2f beside it)" %
          (inside[2], edge[2]))
    caption = region(a, 512, 440, 640, 480)
    left = region(a, 330, 440, 500, 480)
    check(caption[0] >= 128 and left[2] < 0.02, "the caption in the bottom right corner (max %d)" % caption[0])

    # The text rises 6.4 pixels a second: 32 rows in the five seconds from 8 s to 13 s of show,
    # exactly, since both frames are drawn at exact times. Its first line is then well in the band.
    tops = [text_top(frame(music + t * fps)) for t in (8, 13)]
    check(None not in tops and tops[0] - tops[1] == 32, "the text's first line rises from row %s to row %s" % tuple(tops))

    end = frame(escape + 4 * fps)  # the end card holds from 2 s to 6 s after Escape
    card = region(end, 290, 112, 448, 368)
    outside = [region(end, *r)[0] for r in ((0, 0, 640, 110), (0, 370, 640, 480), (450, 0, 640, 480), (0, 0, 30, 480))]
    check(card[2] > 0.99 and max(outside) <= 8, "end card at x 192..448, y 112..368, on black (%.2f lit, %d outside)" %
          (card[2], max(outside)))


def main():
    what = sys.argv[1]
    if what == "title-frames":
        print(title_frames(int(sys.argv[2])))
        return 0
    pictures(sys.argv[2], *(int(v) for v in sys.argv[3:]))
    return 1 if failed else 0


if __name__ == "__main__":  # the soak imports the clock's arithmetic from here
    sys.exit(main())
