#!/usr/bin/env python3
"""Reads the capture's raw frames (640 x 480, B G R 0 bytes) from standard input as they come.

    capture_frames.py OUTDIR [FRAME ...]

Writes OUTDIR/frames.md5 (one MD5 a frame, in order) and OUTDIR/frame-N.png for each FRAME index
asked for; prints the number of frames read. Ends with status 1 when the stream stops inside a frame.
"""
import hashlib
import os
import struct
import sys
import zlib

W, H = 640, 480
SIZE = W * H * 4


def write_png(path, bgr0):
    rows = bytearray()
    for y in range(H):
        line = bgr0[y * W * 4:(y + 1) * W * 4]
        rgb = bytearray(W * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        rows += b"\0" + rgb

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1]
    wanted = {int(v) for v in sys.argv[2:]}
    os.makedirs(out, exist_ok=True)
    stream = sys.stdin.buffer
    count = 0
    with open(os.path.join(out, "frames.md5"), "w") as hashes:
        while True:
            frame = stream.read(SIZE)
            if not frame:
                break
            if len(frame) < SIZE:
                print("the stream ends inside frame %d" % count, file=sys.stderr)
                return 1
            hashes.write(hashlib.md5(frame).hexdigest() + "\n")
            if count in wanted:
                write_png(os.path.join(out, "frame-%d.png" % count), frame)
            count += 1
    print(count)
    return 0


sys.exit(main())
