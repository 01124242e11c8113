#!/usr/bin/env python3
"""Checks what the capture build wrote: the length of the title card, the sound, the pictures.

    capture_check.py title-frames FPS
        -> the frames the title card lasts at FPS: its timer adds the frame clock's 16.16 frame
           times in single precision until it reaches 6 s
    capture_check.py sound WAV REFERENCE.raw FPS MUSIC_FRAME ESCAPE_FRAME
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


def sound(wav_path, ref_path, fps, music, escape):
    wav = open(wav_path, "rb").read()
    ref = open(ref_path, "rb").read()
    check(wav[:4] == b"RIFF" and wav[8:16] == b"WAVEfmt " and struct.unpack("<I", wav[24:28])[0] == RATE,
          "a 44100 Hz WAV")
    data = wav[44:]
    check(struct.unpack("<I", wav[40:44])[0] == len(data), "the header counts every byte of sound")
    start = music * RATE // fps   # the sample of the frame where the title card ends
    print("music starts at sample %d (frame %d)" % (start, music))
    check(data[:start * 4].count(0) == start * 4, "silence before the music")
    # Escape takes effect on the frame after it (the first closing frame keeps the volume); that
    # volume is heard in the first slice rendered after the device has moved on, a ring later.
    changed = (escape + 1 - music) * RATE // fps
    equal_until = (changed // SLICE + 100) * SLICE
    escape_sample = (escape - music) * RATE // fps
    music_data = data[start * 4:]
    n = min(len(music_data), len(ref)) // 4
    same = n
    for i in range(0, n, 4096):  # coarse, then exact
        if music_data[4 * i:4 * (i + 4096)] != ref[4 * i:4 * (i + 4096)]:
            same = next(j for j in range(i, min(n, i + 4096)) if music_data[4 * j:4 * j + 4] != ref[4 * j:4 * j + 4])
            break
    print("equal to the render for %d sample frames (%.3f s); Escape at %.3f s of music" %
          (same, same / RATE, escape_sample / RATE))
    check(same >= equal_until, "equal from the first sample of music to one ring after Escape (%d)" % equal_until)
    check(equal_until >= escape_sample + RING - SLICE - RATE // fps, "that is at least Escape plus a ring")
    check(same < equal_until + RATE // 2, "the fade is heard within half a second after that")
    # The overlay rises 0.5 a second, and the volume with it: silent two seconds after Escape, heard
    # a ring later. From there (plus a slice and a tick of slack) every sample is zero.
    silent = escape_sample + 2 * RATE + RING + 2 * SLICE
    tail = music_data[silent * 4:]
    check(len(tail) > RATE and tail.count(0) == len(tail),
          "silent from %.3f s of music to the end (%.3f s of it)" % (silent / RATE, len(tail) / 4 / RATE))

    def energy(d, a, b):
        s = struct.unpack("<%dh" % ((b - a) * 2), d[4 * a:4 * b])
        return sum(v * v for v in s) / len(s)

    # The volume falls as 1 - 0.5 t from where the fade is first heard, so the energy as its square:
    # 0.5625, 0.25 and 0.0625 at 0.5, 1 and 1.5 s (give or take the volume's 1/64 steps).
    ratios = []
    for k in (1, 2, 3):  # quarter-second windows around each
        a = same + k * RATE // 2 - RATE // 8
        full = energy(ref, a, a + RATE // 4)
        ratios.append(energy(music_data, a, a + RATE // 4) / full if full else 0.0)
    print("fade: %s of the music's energy" % " ".join("%.3f" % r for r in ratios))
    check(all(abs(r - (1 - 0.25 * k) ** 2) < 0.05 for k, r in zip((1, 2, 3), ratios)),
          "the sound falls as the closing fade's overlay rises")


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
    args = [sys.argv[2], sys.argv[3]] if what == "sound" else [sys.argv[2]]
    nums = [int(v) for v in sys.argv[len(args) + 2:]]
    if what == "sound":
        sound(*args, *nums)
    else:
        pictures(*args, *nums)
    return 1 if failed else 0


if __name__ == "__main__":  # the soak imports the clock's arithmetic from here
    sys.exit(main())
