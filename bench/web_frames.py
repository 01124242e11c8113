#!/usr/bin/env python3
"""bench/web_frames.py PAGE_DIR CAPTURE_DIR NAME=FRAME ... -- for bench/web-frames: the page's
pictures on the fixed frame clock (PAGE_DIR/NAME.png) against the capture build's frames of the
same index (CAPTURE_DIR/frame-N.png), region by region: the share of pixels within 8 in every
channel. Prints one line a picture; judges nothing.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from capture_check import W, H, load  # noqa: E402

# The pictures set beside the capture build's, by region (x0, y0, x1, y1). The stars and the globe's
# sprites are left out: points and point sprites are rasterised by rules of each driver's own
# (Wine's llvmpipe and the browser's), and a star a pixel aside is no fault of the program's.
FRAME_REGIONS = {
    "title": {"title card": (0, 0, W, H)},
    "show16": {"text band": (320, 60, W, 420), "slide": (32, 112, 288, 368), "caption": (480, 425, W, H),
               "colour lines": (0, 58, W, 61)},
    "show36": {"text band": (320, 60, W, 420), "slide": (32, 112, 288, 368), "caption": (480, 425, W, H)},
    "end": {"end card": (192, 112, 448, 368)},
}


def within(a, b, box, tolerance=8):
    """The share of the box's pixels whose channels differ by at most tolerance."""
    x0, y0, x1, y1 = box
    near = sum(1 for y in range(y0, y1) for x in range(x0, x1)
               if max(abs(a[3 * (y * W + x) + i] - b[3 * (y * W + x) + i]) for i in range(3)) <= tolerance)
    return near / ((x1 - x0) * (y1 - y0))


def web_frames(page_dir, capture_dir, frames):
    """The page's pictures on the fixed frame clock against the capture build's frames of the same
    index (the best of the frame before, the same and the one after: the two may count from a frame
    apart), region by region: the share of pixels within 8 in every channel."""
    for name, frame in frames.items():
        page = load("%s/%s.png" % (page_dir, name))
        shares = {}
        for k in (frame - 1, frame, frame + 1):
            cap = load("%s/frame-%d.png" % (capture_dir, k))
            shares[k] = {region: within(page, cap, box) for region, box in FRAME_REGIONS[name].items()}
        best = max(shares, key=lambda k: sum(shares[k].values()))
        print("%s (frame %d of the capture): %s" % (name, best, "; ".join(
            "%s %.2f%%" % (region, 100 * share) for region, share in shares[best].items())))


if __name__ == "__main__":
    web_frames(sys.argv[1], sys.argv[2], dict((n, int(f)) for n, f in (a.split("=") for a in sys.argv[3:])))
