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
# name, capture, seconds compared, expected exit status, expected line
cases = [
    ("equal", silence(0.5) + music, 4, 0, "underruns of the sound server: 0,"),
    ("silence inserted", silence(0.5) + music[:at(1)] + silence(0.3) + music[at(1):], 4, 0,
     "underruns of the sound server: 1, 0.300 s"),
    ("catch-up after silence", silence(0.5) + music[:at(1)] + silence(0.3) + music[at(1):at(2)] + music[at(2.04):],
     4, 0, "catch-ups after underruns: 1, 0.040 s"),
    ("catch-up, then soon more silence", silence(0.5) + music[:at(1)] + silence(0.3) + music[at(1.02):at(1.028)] +
     silence(0.2) + music[at(1.028):], 4, 0, "catch-ups after underruns: 1, 0.020 s"),
    ("skip without silence", silence(0.5) + music[:at(1)] + music[at(1.04):], 4, 1, "FAIL"),
    ("skip too long", silence(0.5) + music[:at(1)] + silence(1.5) + music[at(1):at(2)] + music[at(3):], 4, 1, "FAIL"),
    ("one sample changed", silence(0.5) + bytes(changed), 4, 1, "differs from the render at 2.000 s"),
    ("capture too short", silence(0.5) + music[:at(3)], 4, 3, "the capture ends after 3.000 s"),
    # Silence that outlasts the compared part, then sound the render lacks (the closing fade).
    ("silence past the end", silence(0.5) + music[:at(3.95)] + silence(0.1) + bytes(changed[at(2):at(3)]), 4, 0,
     "the last 0.050 s compared were not heard"),
    ("silence short of the end", silence(0.5) + music[:at(3.8)] + silence(0.1) + bytes(changed[at(2):at(3)]), 4, 1,
     "differs from the render at 3.800 s"),
]

failed = 0
with tempfile.TemporaryDirectory() as tmp:
    ref = os.path.join(tmp, "reference.raw")
    open(ref, "wb").write(music)
    for name, capture, seconds, status, line in cases:
        cap = os.path.join(tmp, "capture.raw")
        open(cap, "wb").write(capture)
        run = subprocess.run([sys.executable, os.path.join(here, "sound_compare.py"), cap, ref, str(seconds)],
                             capture_output=True, text=True)
        if run.returncode != status or line not in run.stdout:
            failed += 1
            print("FAIL %s: exit %d (want %d), no %r in:\n%s" % (name, run.returncode, status, line, run.stdout))
print("%d of %d cases failed" % (failed, len(cases)))
sys.exit(1 if failed else 0)
