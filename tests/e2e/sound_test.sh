#!/usr/bin/env bash
# The program's sound as the session's sound server plays it, with two busy processes competing
# for the processors: from its first sample it equals `xmtool render` of the embedded module sample
# for sample for as long as it was heard before Escape (60 s of music at least), and after the
# closing sequence it has fallen to silence; the program ends with exit code 0 and every heap block
# freed (the probe build). Silence the sound server inserts when Wine's client falls behind is
# counted and skipped (sound_compare.py). That the fade comes one ring after the key, to the
# sample, is the capture build's to judge (capture_test).
. "$(dirname "$0")/lib.sh"

seconds=60  # of music compared at least
busy=2      # busy processes, one per processor of this machine
# Only against a hang: the title card, the music, the end card, on a machine loaded so that
# Wine's sound thread falls behind now and then.
limit=240
compare() { python3 "$(dirname "$0")/sound_compare.py" "$@"; }

if e2e_begin sound && e2e_xmtool; then
    if ! "$E2E_XMTOOL" render -o "$E2E_OUT/reference.raw" --seconds $((seconds + 30)) >/dev/null 2>&1 </dev/null; then
        e2e_fail "xmtool render failed"
    elif ! e2e_capture_start; then
        e2e_fail "could not record the sound server's monitor"
    else
        for ((i = 0; i < busy; i++)); do e2e_spawn busy_pid /dev/null sh -c 'while :; do :; done'; done
        e2e_probe_start
        if e2e_wait_window "$limit"; then
            enough() { awk -v m="$(compare --music "$E2E_OUT/sound.raw")" -v s=$seconds 'BEGIN { exit !(m >= s) }'; }
            e2e_check 'e2e_wait_until $limit enough' "less than $seconds s of music heard"
            heard=$(compare --music "$E2E_OUT/sound.raw")
            e2e_key Escape
            e2e_wait_exit "$limit"
            for p in "${E2E_EXTRA_PIDS[@]}"; do [ "$p" != "$QE_CAPTURE_PID" ] && qe_kill "$p" 1; done
            e2e_capture_stop
            compare "$E2E_OUT/sound.raw" "$E2E_OUT/reference.raw" "$heard" >"$E2E_OUT/compare.txt" 2>&1
            rc=$?
            e2e_check '[ $rc = 0 ]' "the sound heard is not the rendered sound (compare.txt)"
            sed 's/^/    /' "$E2E_OUT/compare.txt"
            # The last half second heard: the closing fade has ended in silence.
            e2e_check '[ -z "$(tail -c 88200 "$E2E_OUT/sound.raw" | tr -d "\\0")" ]' "the sound did not end in silence"
            e2e_log "lead of the ring over the device: at least $(e2e_probe lead_min_frames) frames," \
                "$(e2e_probe polls) polls, $(e2e_probe position_failures) unreadable; audio thread" \
                "$(e2e_probe audio_cpu_permille) per mille of one core under the load"
            e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
            e2e_check '[ "$(e2e_probe live_blocks)" = 0 ]' "heap blocks left at exit: $(e2e_probe live_blocks)"
        else
            e2e_fail "no window titled Quietembers"
        fi
    fi
fi
e2e_end
