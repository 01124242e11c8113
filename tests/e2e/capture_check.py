#!/usr/bin/env python3
"""Checks what the capture build wrote: the length of the title card, the pictures (the sound is
tests/soak/check.py's).

    capture_check.py title-frames FPS
        -> the frames the title card lasts at FPS: its timer adds the frame clock's 16.16 frame
           times in single precision until it reaches 6 s
    capture_check.py pictures DIR FPS MUSIC_FRAME ESCAPE_FRAME
    capture_check.py web DIR RENDER.wav CAPTURE.raw    (the browser page in one engine: tests/e2e/web_test.sh)
    capture_check.py wide FRAME.png WIDTH HEIGHT       (a frame of scripts/capture --size 720p...)
    capture_check.py encoded FRAME.png KEPT.png        (a frame of its 480p video, and as it was drawn)

MUSIC_FRAME is the first frame of the show after the title card (the music starts with it) and
ESCAPE_FRAME the first frame drawn after Escape. Prints one fact a line; exits 1 when a check fails.
"""
import math
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


def region_bytes(img, x0, y0, x1, y1):
    return b"".join(img[3 * (y * W + x0):3 * (y * W + x1)] for y in range(y0, y1))


def text_top(img):
    """The first row of the band's right half (x 320..640, y 60..420) with ten or more text pixels
    (grey 48 or brighter): the top of the highest line of text. A star lights a pixel or two."""
    for y in range(60, 420):
        row = img[3 * (y * W + 320):3 * (y * W + 640)]
        if sum(1 for i in range(0, len(row), 3) if 0.299 * row[i] + 0.587 * row[i + 1] + 0.114 * row[i + 2] >= 48) >= 10:
            return y
    return None


def title_checks(hold):
    surround = [region(hold, *r) for r in ((0, 0, 640, 100), (0, 380, 640, 480), (0, 0, 180, 480), (460, 0, 640, 480))]
    check(min(r[1] for r in surround) >= 240, "title card at 3 s: white around the picture (%s)" %
          " ".join("%.0f" % r[1] for r in surround))
    mid = region(hold, 224, 144, 416, 336)
    check(mid[1] < 200, "title card at 3 s: the picture in the middle is not white (%.0f)" % mid[1])


def composition_checks(a):
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


def end_checks(end):
    card = region(end, 290, 112, 448, 368)
    outside = [region(end, *r)[0] for r in ((0, 0, 640, 110), (0, 370, 640, 480), (450, 0, 640, 480), (0, 0, 30, 480))]
    check(card[2] > 0.99 and max(outside) <= 8, "end card at x 192..448, y 112..368, on black (%.2f lit, %d outside)" %
          (card[2], max(outside)))


def pictures(d, fps, music, escape):
    frame = lambda i: load("%s/frame-%d.png" % (d, i))
    title_checks(frame(3 * fps))  # the title card holds from 2 s to 5 s
    composition_checks(frame(music + 6 * fps))  # the opening fade is over after two seconds
    # The text rises 6.4 pixels a second: 32 rows in the five seconds from 8 s to 13 s of show,
    # exactly, since both frames are drawn at exact times. Its first line is then well in the band.
    tops = [text_top(frame(music + t * fps)) for t in (8, 13)]
    check(None not in tops and tops[0] - tops[1] == 32, "the text's first line rises from row %s to row %s" % tuple(tops))
    end_checks(frame(escape + 4 * fps))  # the end card holds from 2 s to 6 s after Escape


def web(d, render_wav, capture_raw):
    """The browser page's run (tests/e2e/web_drive.js): its pictures, taken on the fixed frame clock
    and judged as the capture's frames, the slices handed to its worklet, and the sound the server
    played."""
    import json
    report = json.load(open(d + "/report.json"))
    check(not report["errors"], "no error in the console %s" % report["errors"][:3])
    if report["engine"] in ("phone", "nowebgl2"):
        return web_shape(report)
    print("click to the title card's first frame: %.0f ms; %.1f frames a second; the page's main thread %s a frame; "
          "render quanta the worklet filled with silence: %d" %
          (report["click_to_title_ms"], report["fps"],
           "%.2f ms" % report["main_thread_ms_per_frame"] if report["main_thread_ms_per_frame"] else "-",
           report["starved_quanta"]))
    check(not report["missing"], "every picture was taken %s" % report["missing"])
    shot = lambda name: load("%s/%s.png" % (d, name))
    start, again = shot("start"), shot("start-again")
    check(region(start, 224, 128, 416, 320)[2] > 0.99 and region(start, 0, 0, 180, 80)[0] <= 8,
          "the start screen: the title picture on black")
    check(start == again, "the same start screen after the end card")
    if report["missing"]:
        return
    pictures(d, report["clock_fps"], report["music_frame"], report["escape_frame"])
    # The second run, without S3TC: the slides decoded by the show itself, the same picture (both
    # taken while the first slide holds, 3.5 s into the music).
    decoded, show = shot("decoded"), shot("slide")
    composition_checks(decoded)
    diff = sum(abs(a - b) for a, b in zip(region_bytes(decoded, 32, 112, 288, 368), region_bytes(show, 32, 112, 288, 368)))
    check(diff / (256 * 256 * 3) < 2, "the slide decoded by the show is the browser's within %.2f a channel on average" %
          (diff / (256 * 256 * 3)))

    ref = open(render_wav, "rb").read()[44:]
    slices = open(d + "/slices.raw", "rb").read()
    escape = report["escape_frames"]
    # escape: where the audio loop last found the worklet before Escape. The slices it renders next,
    # the first that may carry the fade, begin at the slice that was playing then, a ring later.
    until = escape // SLICE * SLICE + RING
    n = min(len(ref), len(slices)) // 4
    same = next((i for i in range(n) if slices[4 * i:4 * i + 4] != ref[4 * i:4 * i + 4]), n)
    print("the worklet was handed %d frames; equal to the render for %d; Escape at frame %d" %
          (len(slices) // 4, same, escape))
    check(until <= same < escape + RING + RATE // 2, "slices equal to the render to a ring after Escape, then faded")

    # The sound the server played, by sound_compare.py (silence inserted by the server is allowed for).
    # The worklet's float x 32768 comes back to the same 16 bits: it is compared exactly.
    with open(d + "/render.raw", "wb") as f:
        f.write(ref)
    compared = subprocess.run([sys.executable, __file__.replace("capture_check.py", "sound_compare.py"), capture_raw,
                               d + "/render.raw", "%.4f" % (until / RATE)], capture_output=True, text=True)
    print(compared.stdout.strip())
    check(compared.returncode == 0, "the sound heard equals the render to a ring after Escape")


def wide(path, width, height):
    """A frame of the show proper from a larger capture: the picture at the full height, centred, on
    black sides. Each pixel is the mean of the show's pixels it covers, so the colour lines' rows are
    those whose span meets 59..60 or 420..421 scaled: partly lit at a fractional edge, never more."""
    size = subprocess.run(["identify", "-format", "%w x %h", path], check=True, capture_output=True, text=True).stdout
    check(size == "%d x %d" % (width, height), "the frame is %s (want %d x %d)" % (size, width, height))
    if size != "%d x %d" % (width, height):
        return
    img, scale = load(path), height / H
    x0 = (width - W * height // H) // 2
    x1 = width - x0

    def lit(y, a, b, level):  # the fraction of pixels in row y, x a..b, with a channel above level
        row = img[3 * (y * width + a):3 * (y * width + b)]
        return sum(1 for i in range(0, len(row), 3) if max(row[i:i + 3]) > level) / (b - a)

    # The encoder's deblocking may touch the three columns beside the picture's edge.
    sides = max(max(img[3 * (y * width):3 * (y * width + x0 - 4)] + img[3 * (y * width + x1 + 4):3 * (y + 1) * width])
                for y in range(height))
    check(sides <= 4, "black beside x %d..%d (brightest %d)" % (x0, x1, sides))
    want = [y for top in (59, 420) for y in range(math.floor(top * scale), math.ceil((top + 1) * scale))]
    rows = [y for y in range(height) if lit(y, x0 + 4, x1 - 4, 16) >= 0.98]
    check(rows == want, "the colour lines across rows %s (want %s)" % (rows, want))


def encoded(path, kept):
    """A frame of scripts/capture's 480p video against the same frame as the capture build wrote it:
    the program's own yuv420p and the encoder keep it within 2 steps on average (1.15 here, the same
    bytes on every machine), where another frame, or rows cut or shifted, move it further (another
    title card frame: 122; the same one 8 pixels aside: 3.06). The planes' order is the unit test's."""
    a, b = load(path), load(kept)
    check(len(a) == len(b) == 3 * W * H, "the frame is 640 x 480")
    if len(a) == len(b):
        diff = sum(abs(x - y) for x, y in zip(a, b)) / len(a)
        check(diff <= 2, "the encoded frame is the one drawn (mean difference %.2f of 255)" % diff)


def web_shape(report):
    """Chromium as a phone (a tap starts the show; 4:3 with black around, upright and turned) and
    without WebGL 2 (the page's one line instead of the show)."""
    if report["engine"] == "nowebgl2":
        check(report["nosupport_shown"] and report["stage_hidden"], "without WebGL 2: \"%s\"" % report["line"])
        return
    check(report["tap_started"], "a tap starts the show")
    for name in ("portrait_start", "portrait", "landscape"):
        b = report[name]
        fits = abs(b["width"] * 3 - b["height"] * 4) <= 4 and b["width"] <= b["vw"] + 0.5 and b["height"] <= b["vh"] + 0.5
        centred = abs(2 * b["left"] + b["width"] - b["vw"]) <= 1 and abs(2 * b["top"] + b["height"] - b["vh"]) <= 1
        full = min(b["vw"] - b["width"], b["vh"] - b["height"]) <= 1
        check(fits and centred and full, "%s %dx%d: the picture %.1fx%.1f at (%.1f, %.1f), 4:3, centred, filling one side" %
              (name, b["vw"], b["vh"], b["width"], b["height"], b["left"], b["top"]))


def main():
    what = sys.argv[1]
    if what == "encoded":
        encoded(sys.argv[2], sys.argv[3])
        return 1 if failed else 0
    if what == "wide":
        wide(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
        return 1 if failed else 0
    if what == "web":
        web(*sys.argv[2:5])
        return 1 if failed else 0
    if what == "title-frames":
        print(title_frames(int(sys.argv[2])))
        return 0
    pictures(sys.argv[2], *(int(v) for v in sys.argv[3:]))
    return 1 if failed else 0


if __name__ == "__main__":  # the soak imports the clock's arithmetic from here
    sys.exit(main())
