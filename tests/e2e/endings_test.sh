#!/usr/bin/env bash
# The program from outside, ended each way a viewer can end it: one full-screen 640 x 480 window
# titled "Quietembers" at (0, 0); the title card (its picture in the middle of an even surround);
# the composition (colour lines on rows 59 and 420, the slide, the caption, the globe, nothing
# above the band nor below it where the text runs); then Escape (the end card in the middle on
# black, then the program's own quit), WM_CLOSE, or another window taking the activation (both quit
# at once). Each time: exit code 0, every heap block freed (the probe build's report), nothing left
# running. Only what does not depend on the machine's speed is checked: when each of these comes,
# to the frame, is the capture build's to judge (capture_test, the soak).
. "$(dirname "$0")/lib.sh"

# How long a run may take at most: the title card (6 s), the show and the end card (7 s), on a
# machine loaded so that frames come a few a second. Only against a hang.
limit=120

if e2e_begin endings; then
    for ending in escape close deactivate; do
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
            e2e_check 'e2e_wait_until $limit e2e_title_card' "the title card was never seen"
        fi
        e2e_check 'e2e_wait_until $limit e2e_composition' "$ending: the composition was never seen"
        case $ending in
            escape) e2e_key Escape; e2e_check 'e2e_wait_until $limit e2e_end_card' "the end card was never seen" ;;
            close) e2e_close ;;
            deactivate) e2e_check 'e2e_deactivate' "another window did not take the activation" ;;
        esac
        e2e_wait_exit "$limit"
        e2e_log "$ending: exit code $E2E_EXIT, live_blocks=$(e2e_probe live_blocks), about $(e2e_fps) frames a second"
        [ "$E2E_EXIT" = 75 ] && break
        e2e_check '[ "$E2E_EXIT" = 0 ]' "$ending: exit code $E2E_EXIT"
        e2e_check '[ "$(e2e_probe live_blocks)" = 0 ]' "$ending: heap blocks left at exit: $(e2e_probe live_blocks)"
        [ "$E2E_EXIT" = 124 ] && break  # still running: the next run would meet its window
    done
fi
e2e_end
