#!/usr/bin/env bash
# The program's sound, captured from the session's sound server while it runs, equals `xmtool render`
# of the embedded module sample for sample for the first 20 seconds; after Escape it plays on
# unchanged for about two seconds (the ring ahead of the speakers), then falls to silence.
. "$(dirname "$0")/lib.sh"

xmtool="$e2e_root/build/native/xmtool"
# The reference must come from the same sources as the program: bring xmtool up to date when the
# native build exists (scripts/test builds it before it runs these tests).
[ -f "$e2e_root/build/native/CMakeCache.txt" ] &&
    cmake --build "$e2e_root/build/native" --target xmtool >/dev/null 2>&1 </dev/null
if e2e_begin sound; then
    if [ ! -x "$xmtool" ]; then
        e2e_fail "no $xmtool (build the native preset)"
    elif ! e2e_capture_start; then
        e2e_fail "could not record the sound server's monitor"
    else
        capture_t0=$(e2e_ms)
        e2e_start -all,trace+fps
        if e2e_wait_window 30 && e2e_wait_frames 30; then
            # Six seconds of title card in silence, then the music: let 22 s of it play, as the
            # capture itself counts them.
            music_playing() {
                [ "$(python3 "$(dirname "$0")/sound_compare.py" --music "$E2E_OUT/sound.raw" |
                    awk '{ print ($1 >= 22) }')" = 1 ]
            }
            e2e_check 'e2e_wait_until 60 music_playing' "less than 22 s of music after a minute"
            # The key's moment is taken once the window has the focus, right before the key goes.
            e2e_activate
            escape_ms=$(( $(e2e_ms) - capture_t0 ))
            xdotool key Escape </dev/null >/dev/null 2>&1
            # The program ends by itself about seven seconds after the key; by then the closing fade
            # (heard two seconds after the key) has fallen to silence.
            e2e_wait_exit 20 || { wmctrl -c Quietembers 2>/dev/null; e2e_wait_exit 10; }
            e2e_capture_stop
            "$xmtool" render -o "$E2E_OUT/reference.raw" --seconds 40 >/dev/null 2>&1
            escape_s=$(awk -v ms="$escape_ms" 'BEGIN { printf "%.3f", ms / 1000 }')
            if python3 "$(dirname "$0")/sound_compare.py" "$E2E_OUT/sound.raw" "$E2E_OUT/reference.raw" 20 "$escape_s" \
                >"$E2E_OUT/compare.txt" 2>&1; then
                sed 's/^/    /' "$E2E_OUT/compare.txt"
            else
                sed 's/^/    /' "$E2E_OUT/compare.txt"
                e2e_fail "the captured sound is not the rendered sound (see above)"
            fi
        else
            e2e_fail "no window or no frames"
        fi
    fi
fi
e2e_end
