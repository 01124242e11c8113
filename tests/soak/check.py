#!/usr/bin/env python3
"""What one soak run of the capture build must have done, derived from the design, and the check.

    check.py FPS ACTION N LOG WAV REFERENCE.raw    # exit 0 clean, 1 not
    check.py expect FPS ACTION N                   # the presents at exit the design gives

ACTION (escape, close, deactivate) was posted after the Present that made N frames: the message
loop that looks next takes it before frame N (frames count from 0, the title card's first). The
clock counts presented frames; the frame time of a frame is what the frame clock's 16.16 arithmetic
gives (0 for the first frame after each reset), and the timers add it up in single precision.

  T  frames of the title card: its loop draws until its timer reaches 6 s (181 at 30 fps).
  E  frames of the closing: from its first frame the end card's timer adds the frame times and
     posts the quit on the frame that takes it past 7 s; the main loop ends before another frame.
     211 at 30 fps; 212 when the closing starts on the show's first frame, whose time is 0.

  moment           action       show starts   closing starts   presents at exit
  N < T (card)     escape       T             T                T + E (212)
  N < T (card)     close/deact  N             N                N + E (212): the card's loop takes
                                                               the quit and ends, the flag stays 0
  N = T (loading)  escape       T             T                T + E (212)
  N = T (loading)  close/deact  T             -                T: the main loop quits at once
  N > T (show)     escape       T             N                N + E (211)
  N > T (show)     close/deact  T             -                N: quits at once

A deactivation is the posted WM_ACTIVATE with WA_INACTIVE; nothing re-activates the window after
it in the capture (a real loss of focus also makes Direct3D minimise the window, which the show's
ShowWindow after the card may restore: tests/e2e/endings_test.sh plays a real one).

The sound (44100 Hz; the ring is 100 slices of 884 frames; the device starts as the show does, at
WAV frame S = floor(T' x 44100 / FPS), T' the frame the show starts on, and after n presents has
played floor(n x 44100 / FPS) - S frames): all silence before S. Without a closing, the music
runs unchanged to the end, which is the last Present's: the WAV is silence then `xmtool render`.
With a closing, each closing frame stores the volume (1 - fade level) x 64 (the level as the
opening fade left it), and the audio thread renders each slice the device has left, after every
Present. So every slice rendered before the frame that first stores a lower volume equals the
render (the ring's pre-fill plus the slices the device has left: at least the action plus one
ring); the change must be heard within half a second after that; from there the sound follows the
stored volumes (energy per quarter second against the render's, each volume heard from a slice
after its frame to a tenth of a second later); and after the last store it stays at that volume
(silent when it is 0). live_blocks must be 0.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from capture_check import RATE, RING, SLICE, f32, frame_times, title_frames  # noqa: E402

# A stored volume reaches a voice when the player next updates that voice's volume: every tick
# for a channel whose volume envelope runs or that fades out, but only on a row's first tick for
# the others. The music keeps speed 11 at 125 BPM (ticks of 882 frames), so a volume is heard at
# most a row and a tick (the ramp) after the slice it was stored before.
LATE = 12 * 882
HEARD = RATE // 2      # the first lower volume must be heard this soon (the music may rest a moment)


def expect(fps, action, n):
    """(phase, show start, presents at exit, [(closing frame, volume it stores)])."""
    t = title_frames(fps)
    phase = "card" if n < t else "loading" if n == t else "show"
    show = n if phase == "card" and action != "escape" else t
    if action != "escape" and phase != "card":
        return phase, show, n, []
    closing = n if phase == "show" else show
    level, timer, volumes, ended = 1.0, 0.0, [], False
    for i, ft in zip(range(show, 1 << 40), frame_times(fps)):
        if i < closing:  # the opening fade
            level = max(0.0, f32(level - f32(0.5 * ft))) if level > 0.0 else level
            continue
        if not ended:
            volumes.append((i, round((1.0 - level) * 64)))
            level = f32(level + f32(0.5 * ft))
            ended = level > 1.0
        timer = f32(timer + ft)
        if timer > 7.0:
            return phase, show, i + 1, volumes


def energy(d, a, b):
    return sum(v * v for v in struct.unpack("<%dh" % (2 * (b - a)), d[4 * a:4 * b])) / (2 * (b - a))


def check_sound(wav, ref, fps, show, presents, volumes):
    """Problems with the WAV, as a list of lines."""
    data, s = wav[44:], show * RATE // fps
    m = len(data) // 4 - s  # frames of music
    if wav[:4] != b"RIFF" or struct.unpack("<I", wav[40:44])[0] != len(data) or m > len(ref) // 4:
        return ["the WAV's header does not count its data, or the render is too short"]
    bad = [] if m + s == presents * RATE // fps else ["the WAV has %d frames, not %d" % (m + s, presents * RATE // fps)]
    if data[:4 * s].count(0) != 4 * s:
        bad.append("sound before the show's first frame")
    music, ref = data[4 * s:], ref[:4 * m]
    same = next((i for i in range(0, m, 4096) if music[4 * i:4 * i + 16384] != ref[4 * i:4 * i + 16384]), m)
    same = next((j for j in range(same, m) if music[4 * j:4 * j + 4] != ref[4 * j:4 * j + 4]), m)
    if not volumes:
        return bad + (["the music differs from the render at %.3f s" % (same / RATE)] if same < m else [])

    def rendered(frame):  # music frames rendered before the volume stored in this frame
        return RING + (frame * RATE // fps - s) // SLICE * SLICE

    def volume_at(x):  # the last volume stored by music frame x
        return ([64] + [v for f, v in volumes if rendered(f) <= x])[-1]

    lo = rendered(next(f for f, v in volumes if v != 64))
    if same < min(lo, m):
        bad.append("the music differs from the render at %.3f s, before %.3f s" % (same / RATE, lo / RATE))
    elif lo + HEARD <= same < m:
        bad.append("the closing is first heard at %.3f s of music, not by %.3f s" % (same / RATE, (lo + HEARD) / RATE))
    w = RATE // 4
    for a in range(lo, m - w, w):
        full = energy(ref, a, a + w)
        ratio = energy(music, a, a + w) / full if full > 1e4 else None  # None: too quiet to tell
        hi, low = (volume_at(a - LATE) / 64) ** 2, (volume_at(a + w) / 64) ** 2
        if ratio is not None and not low * 0.9 - 0.002 <= ratio <= hi * 1.1 + 0.002:
            bad.append("at %.2f s of music the sound has %.4f of the render's energy, not %.4f..%.4f (the fade)"
                       % (a / RATE, ratio, low, hi))
            break
    quiet = rendered(volumes[-1][0]) + LATE
    if volumes[-1][1] == 0 and quiet < m and music[4 * quiet:].count(0) != 4 * (m - quiet):
        bad.append("not silent from %.3f s of music on, after the fade" % (quiet / RATE))
    return bad


def main(argv):
    if len(argv) == 4 and argv[0] == "expect":
        print(expect(int(argv[1]), argv[2], int(argv[3]))[2])
        return 0
    if len(argv) != 6:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    fps, action, n = int(argv[0]), argv[1], int(argv[2])
    phase, show, presents, volumes = expect(fps, action, n)
    report = {}
    for line in open(argv[3], errors="replace"):
        if line.startswith("capture: exit "):
            report = dict(kv.split("=", 1) for kv in line.split()[2:])
    got = int(report.get("presents", -1))
    bad = [] if got == presents else ["%d presents, not %d" % (got, presents)]
    if report.get("live_blocks") != "0":
        bad.append("live_blocks=%s" % report.get("live_blocks", "(no report)"))
    bad += check_sound(open(argv[4], "rb").read(), open(argv[5], "rb").read(), fps, show, got, volumes)
    print("%-7s presents %d, live_blocks=%s" % (phase, got, report.get("live_blocks", "?")))
    print("".join("FAIL: %s\n" % b for b in bad), end="")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
