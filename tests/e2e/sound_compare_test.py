#!/usr/bin/env python3
"""sound_compare.py on made-up streams: what it lets through (the sound server's inserted silence,
Wine's short catch-ups after it) and what it must not (changed samples, skips that no underrun
explains or that are as long as a ring shift, a capture too short). Exits 1 on a failure."""
import os
import random
import subprocess
import sys
import tempfile

RATE = 44100
here = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(7)
music = b"".join(rng.randrange(1, 65536).to_bytes(2, "little") * 2 for _ in range(10 * RATE))  # no zero frame
silence = lambda s: b"\0" * (4 * int(s * RATE))
at = lambda s: 4 * int(s * RATE)
changed = bytearray(music)
changed[at(2.0)] ^= 1
# The closing fade as heard: the music from 3.0 s on at a hundredth of its level (never all zero).
faded = bytes(b for i in range(at(3.0), len(music), 2)
              for b in (max(1, int.from_bytes(music[i:i + 2], "little", signed=True) // 100) & 0xFFFF).to_bytes(2, "little"))

# name, capture, seconds compared, expected exit status, expected line[, Escape in the capture, s]
cases = [
    ("equal", silence(0.5) + music, 4, 0, "underruns of the sound server: 0,"),
    ("silence inserted", silence(0.5) + music[:at(1)] + silence(0.3) + music[at(1):], 4, 0,
     "underruns of the sound server: 1, 0.300 s"),
    ("catch-up after silence", silence(0.5) + music[:at(1)] + silence(0.3) + music[at(1):at(2)] + music[at(2.04):],
     4, 0, "catch-ups after underruns: 1, 0.040 s"),
    ("skip without silence", silence(0.5) + music[:at(1)] + music[at(1.04):], 4, 1, "FAIL"),
    ("skip too long", silence(0.5) + music[:at(1)] + silence(1.5) + music[at(1):at(2)] + music[at(3):], 4, 1, "FAIL"),
    ("one sample changed", silence(0.5) + bytes(changed), 4, 1, "differs from the render at 2.000 s"),
    ("capture too short", silence(0.5) + music[:at(3)], 4, 3, "the capture ends after 3.000 s"),
    # Escape 3.0 s into the capture, after 1.5 s of inserted silence: at 1.0 s of music, so the
    # fade comes 2.0 s after it (measured from the capture's start alone, 0.5 s).
    ("escape after an underrun", silence(0.5) + music[:at(0.5)] + silence(1.5) + music[at(0.5):at(3.0)] + faded,
     2, 0, "the sound changed 2.000 s after Escape", 3.0),
    ("escape, no fade", silence(0.5) + music[:at(0.5)] + silence(1.5) + music[at(0.5):], 2, 1, "FAIL", 3.0),
    # The fade 4.0 s after the key: late by 0.5 s, within the 1.5 s the server inserted before it.
    ("late fade after underruns", silence(0.5) + music[:at(0.5)] + silence(1.5) + music[at(0.5):at(5.0)] + faded[:at(5.0)],
     2, 0, "the sound changed 4.000 s after Escape", 3.0),
    ("late fade, no underrun", silence(0.5) + music[:at(5.0)] + faded[:at(5.0)], 2, 1, "FAIL", 1.5),
]

failed = 0
with tempfile.TemporaryDirectory() as tmp:
    ref = os.path.join(tmp, "reference.raw")
    open(ref, "wb").write(music)
    for name, capture, seconds, status, line, *escape in cases:
        cap = os.path.join(tmp, "capture.raw")
        open(cap, "wb").write(capture)
        run = subprocess.run([sys.executable, os.path.join(here, "sound_compare.py"), cap, ref, str(seconds), str(escape[0] if escape else -1)],
                             capture_output=True, text=True)
        if run.returncode != status or line not in run.stdout:
            failed += 1
            print("FAIL %s: exit %d (want %d), no %r in:\n%s" % (name, run.returncode, status, line, run.stdout))
print("%d of %d cases failed" % (failed, len(cases)))
sys.exit(1 if failed else 0)
