#!/usr/bin/env bash
# The program opens one full-screen 640 x 480 window titled "Quietembers" at (0, 0) and presents
# frames into it; closing it (WM_CLOSE) then ends the process with exit code 0.
. "$(dirname "$0")/lib.sh"
if e2e_begin window; then
    e2e_start -all,trace+fps
    if e2e_wait_window 30; then
        e2e_geometry
        e2e_check '[ "$E2E_X,$E2E_Y,$E2E_W,$E2E_H" = "0,0,640,480" ]' "window at $E2E_X,$E2E_Y size ${E2E_W}x$E2E_H"
        e2e_check '[ "$(qe_x xdotool getwindowname "$E2E_WINDOW")" = Quietembers ]' "window title"
        e2e_check 'qe_x xprop -id "$E2E_WINDOW" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN' "full-screen state"
        e2e_check '[ "$(qe_x xdotool search --onlyvisible --name "^Quietembers\$" | wc -l)" = 1 ]' "exactly one window"
        if e2e_wait_frames 30; then
            e2e_log "presenting at about $E2E_FPS frames per second"
        else
            e2e_fail "no frames presented"
        fi
        e2e_check 'qe_alive "$E2E_PID"' "the program is running"
        e2e_check "e2e_screenshot running any" "screenshot of the display"
        wmctrl -c Quietembers 2>/dev/null
        e2e_wait_exit 10
        e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
    else
        e2e_fail "no window titled Quietembers (exit code ${QE_EXIT:-?})"
    fi
fi
e2e_end
