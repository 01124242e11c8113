#!/usr/bin/env bash
# The program from outside, ended each way a viewer can end it, with only what does not depend on
# the machine's speed checked (when each thing comes, to the frame, is the capture build's to
# judge: capture_test, the soak):
#   escape      one full-screen 640 x 480 window titled "Quietembers" at (0, 0); the title card lit
#               on its even surround; the composition, and frames reaching the display while it
#               runs; with two busy processes competing for the
#               processors, the sound the session's sound server plays equal to `xmtool render`
#               sample for sample for as long as it was heard before Escape (60 s of music at
#               least; silence the server inserts when Wine's client falls behind is counted and
#               skipped); then the end card, the program's own quit, and the fade ended in silence
#   close       WM_CLOSE during the composition: quits at once
#   deactivate  another window takes the activation: quits at once
# Each time exit code 0, every heap block freed (the probe build's report), nothing left running.
# The pictures are the probe's, each taken in the frame that drew it and judged after the run.
. "$(dirname "$0")/lib.sh"

# How long a step may take at most: the title card and 30 s of show, a minute of music, the end
# card's seven seconds, on a machine loaded so that frames come a few a second. Only against a hang.
limit=240
music=60

if e2e_begin endings && e2e_xmtool; then
    for ending in escape close deactivate; do
        if [ $ending = escape ]; then
            e2e_capture_start || { e2e_fail "could not record the sound server's monitor"; break; }
            for i in 1 2; do e2e_spawn busy /dev/null sh -c 'while :; do :; done'; busy_pids+=("$busy"); done
        fi
        e2e_probe_start -all,trace+fps
        if ! e2e_wait_window "$limit"; then
            e2e_fail "$ending: no window titled Quietembers"
            break
        fi
        if [ $ending = escape ]; then
            e2e_activate
            qe_x xwininfo -id "$E2E_WINDOW" >"$E2E_OUT/window.txt"
            e2e_check 'grep -q "Absolute upper-left X: *0$" "$E2E_OUT/window.txt" && grep -q "Absolute upper-left Y: *0$" "$E2E_OUT/window.txt"' "the window is not at (0, 0)"
            e2e_check 'grep -q "Width: 640$" "$E2E_OUT/window.txt" && grep -q "Height: 480$" "$E2E_OUT/window.txt"' "the window is not 640 x 480"
            e2e_check 'qe_x xprop -id "$E2E_WINDOW" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN' "the window is not full-screen"
            e2e_check '[ "$(qe_x xdotool search --onlyvisible --name "^Quietembers\$" | wc -l)" = 1 ]' "not exactly one window"
        fi
        e2e_wait_picture composition "$limit" && [ $ending = escape ] && e2e_grab composition
        case $ending in
            escape)
                e2e_check 'e2e_wait_until $limit e2e_music_heard $music' "less than $music s of music heard"
                heard=$(e2e_music_heard)
                e2e_key Escape ;;
            close) e2e_close ;;
            deactivate) e2e_check 'e2e_deactivate' "another window did not take the activation" ;;
        esac
        e2e_wait_exit "$limit"
        e2e_log "$ending: exit code $E2E_EXIT, live_blocks=$(e2e_probe live_blocks), about $(e2e_fps) frames a second"
        e2e_check 'e2e_composition' "$ending: the composition was not drawn"
        if [ $ending = escape ]; then
            e2e_check 'e2e_title_card' "the title card was not drawn"
            e2e_check 'e2e_end_card' "the end card was not drawn"
            e2e_check 'e2e_grab_lit composition' "no frame reached the display"
            for p in "${busy_pids[@]}"; do qe_kill "$p" 1; done
            e2e_capture_stop
            e2e_sound_check "$heard"
            e2e_check '[ -z "$(tail -c 88200 "$E2E_OUT/sound.raw" | tr -d "\\0")" ]' "the sound did not end in silence"
            e2e_log "under the load: the ring led the device by $(e2e_probe lead_min_frames) frames at least, over" \
                "$(e2e_probe polls) polls; the audio thread took $(e2e_probe audio_cpu_permille) per mille of one core"
        fi
        [ "$E2E_EXIT" = 75 ] && break
        e2e_check '[ "$E2E_EXIT" = 0 ]' "$ending: exit code $E2E_EXIT"
        e2e_check '[ "$(e2e_probe live_blocks)" = 0 ]' "$ending: heap blocks left at exit: $(e2e_probe live_blocks)"
        [ "$E2E_EXIT" = 124 ] && break  # still running: the next run would meet its window
    done
fi
e2e_end
