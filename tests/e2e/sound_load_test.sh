#!/usr/bin/env bash
# With two busy processes competing for the processors, the program's sound still equals `xmtool
# render` of the embedded module sample for sample over 60 seconds of music. Silence the sound
# server inserts when its client falls behind is counted and skipped; the probe build shows it is
# not the program's doing: the audio ring always led the device by at least one slice. Then
# WM_CLOSE ends the program with exit code 0 and no heap block left.
. "$(dirname "$0")/lib.sh"

seconds=60         # of music compared
slice_frames=884   # one audio slice at 44100 Hz: the least lead the ring may fall to
busy=2             # busy processes, one per processor of this machine

xmtool="$e2e_root/build/native/xmtool"
[ -f "$e2e_root/build/native/CMakeCache.txt" ] &&
    cmake --build "$e2e_root/build/native" --target xmtool >/dev/null 2>&1 </dev/null
compare() { python3 "$(dirname "$0")/sound_compare.py" "$@"; }

if e2e_begin sound_load; then
    # The reference first, before the load: 10 s beyond the compared music for inserted silence.
    if [ ! -x "$xmtool" ]; then
        e2e_fail "no $xmtool (build the native preset)"
    elif ! "$xmtool" render -o "$E2E_OUT/reference.raw" --seconds $((seconds + 10)) >/dev/null 2>&1 </dev/null; then
        e2e_fail "xmtool render failed"
    elif ! e2e_capture_start; then
        e2e_fail "could not record the sound server's monitor"
    else
        for ((i = 0; i < busy; i++)); do
            e2e_spawn busy_pid /dev/null nice -n 0 sh -c 'while :; do :; done'  # killed by e2e_end
            busy_pids+=("$busy_pid")
        done
        e2e_probe_start
        if e2e_wait_window 60; then
            # Wait for 60 s of music in the capture, then compare until the capture holds 60 s of
            # it equal to the render (inserted silence lengthens the wait) or differs. Bound: the
            # title card, the music and as much again for a loaded machine.
            until=$(( $(e2e_ms) + (2 * seconds + 30) * 1000 ))
            result=3
            while [ "$(e2e_ms)" -lt "$until" ] && qe_alive "$E2E_PID"; do
                music=$(compare --music "$E2E_OUT/sound.raw")
                if awk -v m="$music" -v s="$seconds" 'BEGIN { exit !(m >= s) }'; then
                    compare "$E2E_OUT/sound.raw" "$E2E_OUT/reference.raw" "$seconds" -1 >"$E2E_OUT/compare.txt" 2>&1
                    result=$?
                    [ "$result" = 3 ] || break
                fi
                sleep 0.5  # between polls: each one reads the whole capture again
            done
            wmctrl -c Quietembers 2>/dev/null
            e2e_wait_exit 10
            for p in "${busy_pids[@]}"; do qe_kill "$p" 1; done
            e2e_capture_stop
            sed 's/^/    /' "$E2E_OUT/compare.txt" 2>/dev/null
            e2e_check '[ "$result" = 0 ]' "the captured sound is not the rendered sound for $seconds s (see above)"
            lead=$(e2e_probe lead_min_frames)
            e2e_log "lead of the ring over the device: at least ${lead:-?} frames ($(e2e_probe lead_min_ms) ms)," \
                "$(e2e_probe polls) polls, $(e2e_probe position_failures) unreadable," \
                "longest poll gap $(e2e_probe poll_gap_max_us) us, longest render $(e2e_probe render_max_us) us"
            e2e_log "audio thread: $(e2e_probe audio_cpu_permille) per mille of one core;" \
                "main thread: $(e2e_probe main_cpu_us_per_frame) us of CPU per frame (under the load)"
            e2e_check '[ "${lead:--1}" -ge "$slice_frames" ]' "the ring's lead fell to ${lead:-?} frames, below one slice"
            e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
            e2e_check '[ "$(e2e_probe live_blocks)" = 0 ]' "heap blocks left at exit: $(e2e_probe live_blocks)"
        else
            e2e_fail "no window titled Quietembers"
        fi
    fi
fi
e2e_end
