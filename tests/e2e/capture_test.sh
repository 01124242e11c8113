#!/usr/bin/env bash
# The capture build (build/win64/quietembers-capture.exe) at 30 frames a second, Escape at 20 s:
# two runs give the same WAV and the same frames byte for byte; the frames presented, the heap and
# the WAV (silent through the title card, then `xmtool render` sample for sample until a ring after
# Escape, then the closing fade into silence) are what the soak's check derives; the frames show the title card, the composition, the end card,
# and the text rising 6.4 pixels a second. Then scripts/capture encodes three seconds (its frame at
# 1.5 s against the one drawn), and 13 s at 720p for a frame of the show proper at that size.
. "$(dirname "$0")/lib.sh"
here=$(dirname "$0")

QE_EXE=$e2e_root/build/win64/quietembers-capture.exe
fps=30
escape_at=20

# capture NAME FRAME...: one run, its frames hashed (and the given ones kept) as they come, run
# once more after an environment fault. 27 s of show at 30 frames a second (811 frames) took 25 s
# here with both cores loaded by other builds, and 120 s did not suffice under the stress run; the
# limit of 600 s is only against a hang (the capture stops itself by its frame count).
capture_once() {
    local name=$1 pauses
    shift
    pauses=$(qe_pauses)
    (
        qe_close_fds
        export QE_CAPTURE_FPS=$fps QE_CAPTURE_ESCAPE_AT=$escape_at QE_CAPTURE_SECONDS_MAX=60 \
            QE_CAPTURE_WAV="$E2E_OUT/$name.wav" WINEDEBUG=-all,$QE_VERDICT_CHANNELS
        timeout -k 5 600 "$WINE" "$QE_EXE" 2>"$E2E_OUT/$name.log" </dev/null |
            python3 "$here/capture_frames.py" "$E2E_OUT/$name" "$@" >"$E2E_OUT/$name.count"
        echo "${PIPESTATUS[0]} ${PIPESTATUS[1]}" >"$E2E_OUT/$name.status"
    )
    read -r rc prc <"$E2E_OUT/$name.status"
    qe_verdict "$rc" "$E2E_OUT/$name.log" "$pauses" && [ "$prc" = 0 ]
}
capture() {
    qe_judged "[$E2E_NAME] run $1" capture_once "$@"
    local rc=$?
    e2e_check '[ $rc = 0 ]' "run $1: $QE_VERDICT_WHY (status, frames: $(cat "$E2E_OUT/$1.status"))"
}

if e2e_begin capture; then
    if e2e_xmtool; then
        music=$(python3 "$here/capture_check.py" title-frames $fps)
        escape=$((escape_at * fps))
        keep="$((3 * fps / 2)) $((3 * fps)) $((music + 6 * fps)) $((music + 8 * fps)) $((music + 13 * fps)) $((escape + 4 * fps))"
        capture a $keep
        capture b
        e2e_log "run a: $(cat "$E2E_OUT/a.count") frames; $(grep -c . "$E2E_OUT/b/frames.md5") in run b"
        logged=$(sed -n 's/^capture: music starts after frame \([0-9]*\),.*/\1/p' "$E2E_OUT/a.log")
        e2e_check '[ "$logged" = "$music" ]' "the title card lasted $logged frames, not $music"
        e2e_check 'cmp -s "$E2E_OUT/a.wav" "$E2E_OUT/b.wav"' "the two WAVs differ"
        e2e_check 'cmp -s "$E2E_OUT/a/frames.md5" "$E2E_OUT/b/frames.md5"' "the two runs' frames differ"
        e2e_log "hashes: WAV $(md5sum <"$E2E_OUT/a.wav" | cut -c1-32), frames $(md5sum <"$E2E_OUT/a/frames.md5" | cut -c1-32)"
        # The frames presented, the heap, and the sound against the render through the closing fade,
        # as the soak judges every run: Escape before frame $escape.
        "$E2E_XMTOOL" render -o "$E2E_OUT/reference.raw" --seconds 40 >/dev/null 2>&1
        python3 "$e2e_root/tests/soak/check.py" $fps escape "$escape" "$E2E_OUT/a.log" "$E2E_OUT/a.wav" \
            "$E2E_OUT/reference.raw" >"$E2E_OUT/sound.txt" 2>&1
        rc=$?
        e2e_check '[ $rc = 0 ]' "the frames, heap or sound (see sound.txt)"
        sed 's/^/    /' "$E2E_OUT/sound.txt"
        python3 "$here/capture_check.py" pictures "$E2E_OUT/a" $fps "$music" "$escape" >"$E2E_OUT/pictures.txt" 2>&1
        rc=$?
        e2e_check '[ $rc = 0 ]' "the pictures (see pictures.txt)"
        sed 's/^/    /' "$E2E_OUT/pictures.txt"
    fi

    # scripts/capture, briefly: three seconds of the title card into an MP4, its WAV and poster.
    "$e2e_root/scripts/capture" --fps 30 --escape-at 1 --seconds-max 3 -o "$E2E_OUT/short.mp4" >"$E2E_OUT/short.txt" 2>&1
    rc=$?
    e2e_check '[ $rc = 0 ]' "scripts/capture failed: $(tail -n 1 "$E2E_OUT/short.txt")"
    streams=$(ffprobe -v error -show_entries stream=codec_name,pix_fmt,r_frame_rate,nb_frames,start_time \
        -of compact=nokey=1 "$E2E_OUT/short.mp4" 2>&1 | tr '\n' ' ')
    e2e_log "short.mp4: $streams"
    e2e_check '[[ $streams =~ stream\|h264\|yuv420p\|30/1\|0\.0+\|90\ stream\|aac\|0/0\|0\.0+\| ]]' \
        "not 90 frames of H.264 yuv420p at 30 a second and AAC sound, both from 0"
    e2e_check '[ "$(stat -c %s "$E2E_OUT/short.wav" 2>/dev/null)" = $((44 + 3 * 44100 * 4)) ]' "short.wav is not 3 s long"
    e2e_check '[ -s "$E2E_OUT/poster.png" ]' "no poster frame"
    # Its frame at 1.5 s, from the program's yuv420p through the encoder, against run a's.
    ffmpeg -hide_banner -loglevel error -nostdin -y -ss 1.5 -i "$E2E_OUT/short.mp4" -frames:v 1 \
        "$E2E_OUT/short-45.png" 2>>"$E2E_OUT/short.txt"
    python3 "$here/capture_check.py" encoded "$E2E_OUT/short-45.png" "$E2E_OUT/a/frame-$((3 * fps / 2)).png" \
        >"$E2E_OUT/encoded.txt" 2>&1
    rc=$?
    e2e_check '[ $rc = 0 ]' "the 480p video's frame (see encoded.txt)"
    sed 's/^/    /' "$E2E_OUT/encoded.txt"

    # --size 720p, at 10 frames a second: a frame 6.5 s into the show proper is 1280 x 720, black
    # beside the picture, with the colour lines on the rows the scaling gives them.
    "$e2e_root/scripts/capture" --size 720p --fps 10 --escape-at 30 --seconds-max 13 -o "$E2E_OUT/720p/show.mp4" \
        >"$E2E_OUT/720p.txt" 2>&1
    rc=$?
    e2e_check '[ $rc = 0 ]' "scripts/capture --size 720p failed: $(tail -n 1 "$E2E_OUT/720p.txt")"
    ffmpeg -hide_banner -loglevel error -nostdin -y -ss 12.5 -i "$E2E_OUT/720p/show.mp4" -frames:v 1 \
        "$E2E_OUT/720p/frame.png" 2>>"$E2E_OUT/720p.txt"
    python3 "$here/capture_check.py" wide "$E2E_OUT/720p/frame.png" 1280 720 >"$E2E_OUT/wide.txt" 2>&1
    rc=$?
    e2e_check '[ $rc = 0 ]' "the 720p frame (see wide.txt)"
    sed 's/^/    /' "$E2E_OUT/wide.txt"
fi
e2e_end
